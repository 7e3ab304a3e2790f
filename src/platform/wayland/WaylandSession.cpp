// WaylandSession: the connection, its globals, outputs, input, the views and
// the frame loop.
#include "platform/wayland/WaylandSession.h"

#include "platform/loop/DisplayHost.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/WakeRule.h"
#include "platform/wayland/WaylandHost.h"
#include "platform/wayland/WaylandSurface.h"
#include "view/LarkspurView.h"

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Bounds on what a compositor may tell us, so that a broken one cannot make
// us allocate without limit.
constexpr int kMaxScale = 8;
constexpr uint32_t kMaxKeymapBytes = 16u << 20;
// Configure round trips to wait for a new surface's first configure.
constexpr int kConfigureRoundTrips = 20;

struct Output {
    uint32_t name = 0;
    wl_output* output = nullptr;
    int scale = 1;
    int width = 0, height = 0;
    // Its place in the layout and its transform, from wl_output.
    int x = 0, y = 0;
    int transform = WL_OUTPUT_TRANSFORM_NORMAL;
    // Its logical rectangle, from xdg-output where the compositor has it.
    zxdg_output_v1* xdgOutput = nullptr;
    LogicalArea logical;
    std::string label;
    // Its first "done" came: its size and scale are known.
    bool ready = false;
    // A "done" came that the session has not acted on yet.
    bool changed = false;
    // A view was made for it (or failed to be made: it is not tried again).
    bool tried = false;
};

struct View : HostedView<WaylandHost> {
    // The output a full-screen view covers; 0 for the window.
    uint32_t output = 0;
    // The outputs the window is on, for its scale.
    std::vector<uint32_t> entered;
};

enum class End { Running, Asked, Failed };

// A transform by a quarter turn swaps the mode's sides.
bool Turned(const Output& output)
{
    return output.transform & 1;
}

// The output's logical rectangle: xdg-output's, else its position with its
// mode divided by its scale.
LogicalArea AreaOf(const Output& output)
{
    if (!output.logical.empty())
        return output.logical;
    const int width = Turned(output) ? output.height : output.width;
    const int height = Turned(output) ? output.width : output.height;
    return LogicalArea{output.x, output.y, width / output.scale, height / output.scale};
}

// An output by its name where it has one (wl_output 4), else its number.
std::string Describe(uint32_t number, const std::string& label)
{
    return label.empty() ? "output " + std::to_string(number) : "output '" + label + "'";
}

struct XkbDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

class Session : public FrameLoopClient {
public:
    Session(const WaylandRun& run, const SettingsOverrides& overrides)
        : run_(run), overrides_(overrides), signals_(QuitSignals::kGraceSeconds, run.endBySignal), wake_(SteadyNow())
    {
    }
    ~Session();

    int Run();

    bool Running() override { return end_ == End::Running; }
    void Frame() override;
    void HandleEvents() override;
    int WaitOn() override;
    void EndWait(bool readable) override;
    void Quit() override { end_ = End::Asked; }

private:
    bool Connect();
    bool AddView(Output* output);
    void StartView(View& view);
    void RemoveOutput(uint32_t name);
    void OnOutputReady(Output& output);
    void UpdateMain();
    // Keeps the names of the outputs present and, when they change, has every
    // view choose again whether it draws.
    void UpdateOutputNames();
    void FollowMain();
    void WatchLayout(Output& output);
    Output* FindOutput(uint32_t name);
    Output* FindOutput(wl_output* output);
    View* ViewOf(wl_surface* surface);
    void UpdateWindowScale(View& view);
    void AfterEvents();
    void Lost();
    void Wake(const char* by);

    // Listeners. Each takes the session as its data.
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void OnGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static void OnPing(void* data, xdg_wm_base* base, uint32_t serial);
    static void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities);
    static void OnKeymap(void* data, wl_keyboard* keyboard, uint32_t format, int fd, uint32_t size);
    static void OnKey(void* data, wl_keyboard* keyboard, uint32_t serial, uint32_t time, uint32_t key, uint32_t state);
    static void OnModifiers(void* data, wl_keyboard* keyboard, uint32_t serial, uint32_t depressed, uint32_t latched,
                            uint32_t locked, uint32_t group);
    static void OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                               wl_fixed_t y);
    static void OnPointerMotion(void* data, wl_pointer* pointer, uint32_t time, wl_fixed_t x, wl_fixed_t y);
    static void OnButton(void* data, wl_pointer* pointer, uint32_t serial, uint32_t time, uint32_t button,
                         uint32_t state);
    static void OnTouchDown(void* data, wl_touch* touch, uint32_t serial, uint32_t time, wl_surface* surface,
                            int32_t id, wl_fixed_t x, wl_fixed_t y);
    static void OnSurfaceEnter(void* data, wl_surface* surface, wl_output* output);
    static void OnSurfaceLeave(void* data, wl_surface* surface, wl_output* output);

    const WaylandRun& run_;
    const SettingsOverrides& overrides_;
    QuitSignals signals_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    xdg_wm_base* wmBase_ = nullptr;
    zxdg_decoration_manager_v1* decorations_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    wl_touch* touch_ = nullptr;
    std::unique_ptr<xkb_context, XkbDeleter> xkb_{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
    std::unique_ptr<xkb_keymap, XkbDeleter> keymap_;
    std::unique_ptr<xkb_state, XkbDeleter> keys_;
    EGLDisplay egl_ = EGL_NO_DISPLAY;
    WaylandShared shared_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<std::unique_ptr<View>> views_;
    // Views exist once the first ones are made; outputs that are ready later
    // gain their view at once.
    bool started_ = false;
    bool prepared_ = false;
    WakeRule wake_;
    End end_ = End::Running;
};

// wl_output

void OnOutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t transform)
{
    auto* output = static_cast<Output*>(data);
    output->x = x;
    output->y = y;
    output->transform = transform;
}

void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    auto* output = static_cast<Output*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output->width = width;
        output->height = height;
    }
}

void OnOutputScale(void* data, wl_output*, int32_t scale)
{
    static_cast<Output*>(data)->scale = std::clamp(scale, 1, kMaxScale);
}

void OnOutputName(void* data, wl_output*, const char* name)
{
    static_cast<Output*>(data)->label = name ? name : "";
}

void OnOutputDescription(void*, wl_output*, const char*) {}

// The session acts on it after the events at hand are handled.
void OnOutputDone(void* data, wl_output*)
{
    auto* output = static_cast<Output*>(data);
    output->ready = true;
    output->changed = true;
}

const wl_output_listener kOutputListener = {OnOutputGeometry, OnOutputMode, OnOutputDone,
                                            OnOutputScale,    OnOutputName, OnOutputDescription};

// xdg-output

// Bounds on a logical coordinate, so that sums of them cannot overflow.
constexpr int kMaxLogical = 1 << 20;

void OnXdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    auto* output = static_cast<Output*>(data);
    output->logical.x = std::clamp(x, -kMaxLogical, kMaxLogical);
    output->logical.y = std::clamp(y, -kMaxLogical, kMaxLogical);
}

void OnXdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    auto* output = static_cast<Output*>(data);
    output->logical.width = std::clamp(width, 0, kMaxLogical);
    output->logical.height = std::clamp(height, 0, kMaxLogical);
}

// wl_output 4 names the output too; xdg-output's name serves where it does not.
void OnXdgName(void* data, zxdg_output_v1*, const char* name)
{
    auto* output = static_cast<Output*>(data);
    if (output->label.empty() && name)
        output->label = name;
}

const zxdg_output_v1_listener kXdgOutputListener = {OnXdgPosition, OnXdgSize, [](void*, zxdg_output_v1*) {}, OnXdgName,
                                                    [](void*, zxdg_output_v1*, const char*) {}};

void Session::OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* self = static_cast<Session*>(data);
    static const xdg_wm_base_listener wmBaseListener = {OnPing};
    static const wl_seat_listener seatListener = {OnSeatCapabilities, [](void*, wl_seat*, const char*) {}};
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 3) {
        self->compositor_ = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        self->shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        self->wmBase_ =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, std::min(version, 3u)));
        xdg_wm_base_add_listener(self->wmBase_, &wmBaseListener, self);
    } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0) {
        self->decorations_ = static_cast<zxdg_decoration_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && !self->xdgOutputs_) {
        self->xdgOutputs_ = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3u)));
        for (const auto& output : self->outputs_)
            self->WatchLayout(*output);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
        self->seat_ =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 4u)));
        wl_seat_add_listener(self->seat_, &seatListener, self);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        auto output = std::make_unique<Output>();
        output->name = name;
        output->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        self->WatchLayout(*output);
        self->outputs_.push_back(std::move(output));
        self->UpdateMain();
    }
}

void Session::OnGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    static_cast<Session*>(data)->RemoveOutput(name);
}

void Session::OnPing(void*, xdg_wm_base* base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}

void Session::OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities)
{
    auto* self = static_cast<Session*>(data);
    static const wl_keyboard_listener keyboardListener = {OnKeymap,
                                                          [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
                                                          [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
                                                          OnKey,
                                                          OnModifiers,
                                                          [](void*, wl_keyboard*, int32_t, int32_t) {}};
    // The seat is bound at version 4 at most: the later events never come.
    static const wl_pointer_listener pointerListener = {OnPointerEnter,
                                                        [](void*, wl_pointer*, uint32_t, wl_surface*) {},
                                                        OnPointerMotion,
                                                        OnButton,
                                                        [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
                                                        nullptr,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr};
    static const wl_touch_listener touchListener = {OnTouchDown,
                                                    [](void*, wl_touch*, uint32_t, uint32_t, int32_t) {},
                                                    [](void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {},
                                                    [](void*, wl_touch*) {},
                                                    [](void*, wl_touch*) {},
                                                    nullptr,
                                                    nullptr};
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool touch = capabilities & WL_SEAT_CAPABILITY_TOUCH;
    if (keyboard && !self->keyboard_) {
        self->keyboard_ = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
    } else if (!keyboard && self->keyboard_) {
        wl_keyboard_destroy(self->keyboard_);
        self->keyboard_ = nullptr;
    }
    if (pointer && !self->pointer_) {
        self->pointer_ = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(self->pointer_, &pointerListener, self);
    } else if (!pointer && self->pointer_) {
        wl_pointer_destroy(self->pointer_);
        self->pointer_ = nullptr;
    }
    if (touch && !self->touch_) {
        self->touch_ = wl_seat_get_touch(seat);
        wl_touch_add_listener(self->touch_, &touchListener, self);
    } else if (!touch && self->touch_) {
        wl_touch_destroy(self->touch_);
        self->touch_ = nullptr;
    }
}

void Session::OnKeymap(void* data, wl_keyboard*, uint32_t format, int fd, uint32_t size)
{
    auto* self = static_cast<Session*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0 || size > kMaxKeymapBytes || !self->xkb_) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED)
        return;
    // The text ends in a NUL within size; the parser is told the length
    // without it, so a keymap that lacks it is still read safely.
    const size_t length = strnlen(static_cast<const char*>(text), size);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(self->xkb_.get(), static_cast<const char*>(text), length,
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!keymap)
        return;
    self->keymap_.reset(keymap);
    self->keys_.reset(xkb_state_new(keymap));
}

void Session::OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    auto* self = static_cast<Session*>(data);
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED)
        return;
    if (self->run_.fullscreen) {
        self->Wake("a key");
        return;
    }
    // Evdev key codes are 8 below XKB's.
    const xkb_keysym_t symbol =
        self->keys_ ? xkb_state_key_get_one_sym(self->keys_.get(), key + 8) : xkb_keysym_t(XKB_KEY_NoSymbol);
    if (symbol == XKB_KEY_q || symbol == XKB_KEY_Q || symbol == XKB_KEY_Escape)
        self->end_ = End::Asked;
}

void Session::OnModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                          uint32_t group)
{
    auto* self = static_cast<Session*>(data);
    if (self->keys_)
        xkb_state_update_mask(self->keys_.get(), depressed, latched, locked, 0, 0, group);
}

void Session::OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t x, wl_fixed_t y)
{
    auto* self = static_cast<Session*>(data);
    if (!self->run_.fullscreen)
        return;
    // A screensaver shows no pointer.
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    self->wake_.Enter(SteadyNow(), wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void Session::OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    auto* self = static_cast<Session*>(data);
    if (self->run_.fullscreen && self->wake_.Motion(SteadyNow(), wl_fixed_to_double(x), wl_fixed_to_double(y)))
        self->Wake("pointer motion");
}

void Session::OnButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    auto* self = static_cast<Session*>(data);
    if (self->run_.fullscreen && state == WL_POINTER_BUTTON_STATE_PRESSED)
        self->Wake("a button");
}

void Session::OnTouchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t, wl_fixed_t)
{
    auto* self = static_cast<Session*>(data);
    if (self->run_.fullscreen)
        self->Wake("a touch");
}

void Session::OnSurfaceEnter(void* data, wl_surface* surface, wl_output* output)
{
    auto* self = static_cast<Session*>(data);
    View* view = self->ViewOf(surface);
    Output* entered = self->FindOutput(output);
    if (!view || !entered)
        return;
    view->entered.push_back(entered->name);
    self->UpdateWindowScale(*view);
}

void Session::OnSurfaceLeave(void* data, wl_surface* surface, wl_output* output)
{
    auto* self = static_cast<Session*>(data);
    View* view = self->ViewOf(surface);
    Output* left = self->FindOutput(output);
    if (!view || !left)
        return;
    view->entered.erase(std::remove(view->entered.begin(), view->entered.end(), left->name), view->entered.end());
    self->UpdateWindowScale(*view);
}

Session::~Session()
{
    // Scenes and contexts go before the surfaces, and everything before the
    // connection. EGL's display is released but not terminated, as the
    // headless context's is: terminating unloads the driver, and leak
    // checkers then report what it still held without being able to name it.
    views_.clear();
    if (egl_ != EGL_NO_DISPLAY)
        eglReleaseThread();
    keys_.reset();
    keymap_.reset();
    for (const auto& output : outputs_) {
        if (output->xdgOutput)
            zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
    }
    if (xdgOutputs_)
        zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (keyboard_)
        wl_keyboard_destroy(keyboard_);
    if (pointer_)
        wl_pointer_destroy(pointer_);
    if (touch_)
        wl_touch_destroy(touch_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (decorations_)
        zxdg_decoration_manager_v1_destroy(decorations_);
    if (wmBase_)
        xdg_wm_base_destroy(wmBase_);
    if (shm_)
        wl_shm_destroy(shm_);
    if (compositor_)
        wl_compositor_destroy(compositor_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_)
        wl_display_disconnect(display_);
}

Output* Session::FindOutput(uint32_t name)
{
    for (const auto& output : outputs_)
        if (output->name == name)
            return output.get();
    return nullptr;
}

Output* Session::FindOutput(wl_output* wl)
{
    for (const auto& output : outputs_)
        if (output->output == wl)
            return output.get();
    return nullptr;
}

View* Session::ViewOf(wl_surface* surface)
{
    for (const auto& view : views_)
        if (view->host->surface().surface() == surface)
            return view.get();
    return nullptr;
}

void Session::WatchLayout(Output& output)
{
    if (!xdgOutputs_ || output.xdgOutput)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

void Session::UpdateMain()
{
    shared_.mainScreen = outputs_.empty() ? 0 : int(outputs_.front()->name);
    shared_.mainOutputName = outputs_.empty() ? std::string() : outputs_.front()->label;
    CaptureTarget target;
    if (!outputs_.empty()) {
        const Output& main = *outputs_.front();
        target.name = main.label;
        target.main = AreaOf(main);
        target.pixelWidth = Turned(main) ? main.height : main.width;
        target.pixelHeight = Turned(main) ? main.width : main.height;
    }
    for (const auto& output : outputs_)
        target.layout = Union(target.layout, AreaOf(*output));
    shared_.captureTarget = target;
}

void Session::UpdateOutputNames()
{
    std::vector<std::string> names;
    for (const auto& output : outputs_)
        if (output->ready)
            names.push_back(output->label);
    if (names == shared_.outputNames)
        return;
    shared_.outputNames = names;
    for (const auto& view : views_)
        view->view->screensChanged();
}

void Session::UpdateWindowScale(View& view)
{
    if (view.output != 0)
        return;
    int scale = 1;
    for (uint32_t name : view.entered)
        if (const Output* output = FindOutput(name))
            scale = std::max(scale, output->scale);
    view.host->surface().SetScale(scale);
}

bool Session::Connect()
{
    const char* name = run_.displayName.empty() ? nullptr : run_.displayName.c_str();
    display_ = wl_display_connect(name);
    if (!display_) {
        const char* env = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "larkspur: cannot connect to the Wayland compositor '%s': %s\n",
                     name  ? name
                     : env ? env
                           : "wayland-0",
                     std::strerror(errno));
        return false;
    }
    static const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
    // The globals, then the first events of the outputs and the seat.
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        Lost();
        return false;
    }
    if (!compositor_ || !wmBase_) {
        std::fprintf(stderr, "larkspur: the Wayland compositor offers no %s\n",
                     !compositor_ ? "wl_compositor (version 3 or later)" : "xdg_wm_base (xdg-shell)");
        return false;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    egl_ = getPlatformDisplay ? getPlatformDisplay(EGL_PLATFORM_WAYLAND_EXT, display_, nullptr) : EGL_NO_DISPLAY;
    if (egl_ == EGL_NO_DISPLAY || !eglInitialize(egl_, nullptr, nullptr)) {
        std::fprintf(stderr, "larkspur: cannot initialise EGL on the Wayland connection (EGL error 0x%04x)\n",
                     unsigned(eglGetError()));
        egl_ = EGL_NO_DISPLAY;
        return false;
    }
    for (const auto& output : outputs_)
        if (output->output && wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output->output)) < 2)
            output->ready = true;
    return true;
}

bool Session::AddView(Output* output)
{
    static const wl_surface_listener surfaceListener = {OnSurfaceEnter, OnSurfaceLeave};
    // The outputs' names and places are known by now; the view captures the
    // screen as it is made.
    UpdateMain();
    // With --fps every frame is drawn whole, so it is shown whole too.
    const WaylandGlobals globals{compositor_, wmBase_, decorations_, egl_, run_.fps ? nullptr : shm_};
    // The round trips below may remove the output: keep what is needed of it.
    const uint32_t outputName = output ? output->name : 0;
    const std::string label = output ? output->label : shared_.mainOutputName;
    int width = kWaylandWindowWidth, height = kWaylandWindowHeight, scale = 1;
    if (output) {
        scale = output->scale;
        width = std::max(1, output->width / scale);
        height = std::max(1, output->height / scale);
    }
    std::string error;
    std::unique_ptr<WaylandSurface> surface =
        WaylandSurface::Create(globals, output ? output->output : nullptr, width, height, scale, &error);
    if (!surface) {
        std::fprintf(stderr, "larkspur: cannot make a surface%s: %s\n", output ? " on an output" : "", error.c_str());
        return false;
    }
    wl_surface_add_listener(surface->surface(), &surfaceListener, this);
    // Nothing may be drawn before the first configure.
    for (int i = 0; i < kConfigureRoundTrips && !surface->configured(); i++)
        if (wl_display_roundtrip(display_) < 0) {
            Lost();
            return false;
        }
    if (outputName != 0 && !FindOutput(outputName))
        return true;
    if (!surface->configured()) {
        std::fprintf(stderr, "larkspur: the compositor never configured our surface\n");
        return false;
    }
    surface->TakeResize();
    auto view = std::make_unique<View>();
    view->output = outputName;
    const int screen = outputName ? int(outputName) : shared_.mainScreen;
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: %s %dx%d pixels at scale %d%s\n",
                     outputName ? Describe(outputName, label).c_str() : "window", surface->pixelWidth(),
                     surface->pixelHeight(), scale, screen == shared_.mainScreen ? ", main" : "");
    view->host = std::make_unique<WaylandHost>(&shared_, std::move(surface), run_.preview, screen, label);
    // The view captures the screen as it is made, before any surface maps.
    view->view = std::make_unique<LarkspurView>(view->host.get(), overrides_);
    views_.push_back(std::move(view));
    return true;
}

void Session::StartView(View& view)
{
    view.view->startAnimation();
}

void Session::OnOutputReady(Output& output)
{
    output.changed = false;
    for (const auto& view : views_) {
        if (view->output == output.name)
            view->host->surface().SetScale(output.scale);
        else if (std::find(view->entered.begin(), view->entered.end(), output.name) != view->entered.end())
            UpdateWindowScale(*view);
    }
    if (!run_.fullscreen || output.tried)
        return;
    output.tried = true;
    const size_t before = views_.size();
    if (AddView(&output) && views_.size() > before)
        StartView(*views_.back());
}

void Session::RemoveOutput(uint32_t name)
{
    const auto found = std::find_if(outputs_.begin(), outputs_.end(),
                                    [name](const std::unique_ptr<Output>& o) { return o->name == name; });
    if (found == outputs_.end())
        return;
    // Its view goes with it.
    views_.erase(std::remove_if(views_.begin(), views_.end(),
                                [name](const std::unique_ptr<View>& v) { return v->output == name; }),
                 views_.end());
    for (const auto& view : views_) {
        view->entered.erase(std::remove(view->entered.begin(), view->entered.end(), name), view->entered.end());
        UpdateWindowScale(*view);
    }
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: %s is gone\n", Describe(name, (*found)->label).c_str());
    if ((*found)->xdgOutput)
        zxdg_output_v1_destroy((*found)->xdgOutput);
    wl_output_destroy((*found)->output);
    outputs_.erase(found);
    const int main = shared_.mainScreen;
    UpdateMain();
    if (shared_.mainScreen != main)
        FollowMain();
}

// The output that is main now takes over. Its view, stopped while it was not
// main, starts drawing when the views choose again (UpdateOutputNames, after
// these events), since an output went.
void Session::FollowMain()
{
    if (!run_.verbose)
        return;
    for (const auto& view : views_)
        if (view->output != 0 && int(view->output) == shared_.mainScreen)
            std::fprintf(stderr, "larkspur: %s is main now\n",
                         Describe(view->output, view->host->outputName()).c_str());
}

void Session::Lost()
{
    if (end_ == End::Failed)
        return;
    const int error = display_ ? wl_display_get_error(display_) : 0;
    std::fprintf(stderr, "larkspur: lost the connection to the Wayland compositor: %s\n",
                 error ? std::strerror(error) : "it closed the connection");
    end_ = End::Failed;
}

void Session::Wake(const char* by)
{
    if (end_ != End::Running)
        return;
    if (run_.verbose)
        SayWoken(by);
    end_ = End::Asked;
}

void Session::Frame()
{
    // A surface the compositor has not asked to redraw is not drawn.
    CallFrames(views_, signals_, [](WaylandHost& host) { return host.surface().frameDue(); });
    if (wl_display_flush(display_) < 0 && errno != EAGAIN)
        Lost();
}

// What the events just handled asked for: outputs that became ready,
// resized surfaces, closed windows.
void Session::AfterEvents()
{
    // Outputs that came or went change which views draw, before any new one
    // is made. AddView runs round trips, which may add or remove outputs:
    // index, and look again each time.
    if (started_)
        UpdateOutputNames();
    for (size_t i = 0; started_ && i < outputs_.size() && end_ == End::Running; i++)
        if (outputs_[i]->changed) {
            OnOutputReady(*outputs_[i]);
            UpdateOutputNames();
        }
    for (const auto& view : views_) {
        WaylandSurface& surface = view->host->surface();
        if (surface.closeRequested())
            end_ = End::Asked;
        if (surface.TakeResize())
            view->view->setFrameSize(surface.pixelWidth(), surface.pixelHeight());
    }
}

void Session::HandleEvents()
{
    if (wl_display_dispatch_pending(display_) < 0) {
        Lost();
        return;
    }
    AfterEvents();
}

int Session::WaitOn()
{
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0) {
            Lost();
            return wl_display_get_fd(display_);
        }
    prepared_ = true;
    if (wl_display_flush(display_) < 0 && errno != EAGAIN)
        Lost();
    return wl_display_get_fd(display_);
}

void Session::EndWait(bool readable)
{
    if (!prepared_)
        return;
    prepared_ = false;
    if (!readable) {
        wl_display_cancel_read(display_);
        return;
    }
    if (wl_display_read_events(display_) < 0)
        Lost();
}

int Session::Run()
{
    if (!Connect())
        return 1;
    shared_.run = run_;
    UpdateOutputNames();
    bool made = true;
    if (run_.fullscreen) {
        for (size_t i = 0; i < outputs_.size() && made; i++)
            if (outputs_[i]->ready) {
                outputs_[i]->tried = true;
                outputs_[i]->changed = false;
                made = AddView(outputs_[i].get());
            }
        if (made && views_.empty() && run_.verbose)
            std::fprintf(stderr, "larkspur: no outputs yet; waiting for one\n");
    } else {
        made = AddView(nullptr);
    }
    if (!made)
        return 1;
    started_ = true;
    for (const auto& view : views_)
        StartView(*view);
    wake_ = WakeRule(SteadyNow());
    RunFrameLoop(this, signals_, run_.periodSeconds());
    ReportViewFigures(run_, views_, "output");
    return end_ == End::Failed ? 1 : 0;
}

} // namespace

int RunWayland(const WaylandRun& run, const SettingsOverrides& overrides)
{
    Session session(run, overrides);
    return session.Run();
}
