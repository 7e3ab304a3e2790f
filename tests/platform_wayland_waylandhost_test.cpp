// Tests of the Wayland host's frames in its own process, under a headless
// weston: what the compositor shows when a frame hands it only the parts
// that changed, through buffers of our own.
#include <gtest/gtest.h>

#include "fixtures/ChangingScene.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "fixtures/Weston.h"
#include "platform/wayland/ShmPresenter.h"
#include "platform/wayland/WaylandHost.h"

#include "xdg-shell-client-protocol.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <wayland-client.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;

// A connection to the compositor with what a surface needs of it.
struct Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_output* output = nullptr;
    EGLDisplay egl = EGL_NO_DISPLAY;

    explicit Connection(const std::string& socket)
    {
        static const wl_registry_listener listener = {OnGlobal, [](void*, wl_registry*, uint32_t) {}};
        static const xdg_wm_base_listener wmListener = {
            [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }};
        display = wl_display_connect(socket.c_str());
        if (!display)
            return;
        registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(display);
        if (wmBase)
            xdg_wm_base_add_listener(wmBase, &wmListener, nullptr);
        const auto platformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        egl = platformDisplay(EGL_PLATFORM_WAYLAND_EXT, display, nullptr);
        if (egl != EGL_NO_DISPLAY && !eglInitialize(egl, nullptr, nullptr))
            egl = EGL_NO_DISPLAY;
    }
    ~Connection()
    {
        // The EGL display is left initialised: terminating it unloads Mesa's
        // driver, which leaves a few small blocks behind that the leak check
        // then reports without a name. It lives until the process ends.
        // Disconnecting frees no proxy of ours.
        if (output)
            wl_output_destroy(output);
        if (wmBase)
            xdg_wm_base_destroy(wmBase);
        if (shm)
            wl_shm_destroy(shm);
        if (compositor)
            wl_compositor_destroy(compositor);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }
    bool ok() const { return compositor && shm && wmBase && output && egl != EGL_NO_DISPLAY; }

    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
    {
        auto* c = static_cast<Connection*>(data);
        if (std::strcmp(interface, wl_compositor_interface.name) == 0)
            c->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
        else if (std::strcmp(interface, wl_shm_interface.name) == 0)
            c->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
            c->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        else if (std::strcmp(interface, wl_output_interface.name) == 0 && !c->output)
            c->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
    }
};

// The view's own buffer as a whole repaint leaves it: top-down RGB.
std::vector<unsigned char> DrawnShot(int width, int height)
{
    std::vector<unsigned char> bottomUp(size_t(width) * size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<unsigned char> topDown;
    topDown.reserve(bottomUp.size());
    const size_t row = size_t(width) * 3;
    for (int y = height - 1; y >= 0; y--)
        topDown.insert(topDown.end(), bottomUp.begin() + long(size_t(y) * row),
                       bottomUp.begin() + long(size_t(y + 1) * row));
    return topDown;
}

// The buffer last handed to the compositor as it would show it: top-down RGB.
std::vector<unsigned char> AttachedShot(const WaylandSurface& surface)
{
    const uint32_t* argb = surface.presenter()->shownPixels();
    std::vector<unsigned char> rgb;
    const size_t pixels = size_t(surface.pixelWidth()) * size_t(surface.pixelHeight());
    rgb.reserve(pixels * 3);
    for (size_t i = 0; argb && i < pixels; i++)
        rgb.insert(rgb.end(), {(unsigned char)(argb[i] >> 16), (unsigned char)(argb[i] >> 8), (unsigned char)argb[i]});
    return rgb;
}

// The same fixed-seed run twice on one full-screen surface: once shown in
// parts, each frame read back from the compositor's screen once it has taken
// the commit; once repainted whole and read from the view's own buffer,
// never shown. What the screen showed must be, frame by frame and byte for
// byte, the whole repaint. So must all of the buffer attached: weston
// repaints only what was damaged, but a compositor may read any of it.
TEST(WaylandHost, FramesShownInPartsLookAsTheWholeRepaintAtHomeRoamingAndUnderTheOverlay)
{
    WestonServer weston(kWidth, kHeight);
    ASSERT_TRUE(weston.ok());
    Connection connection(weston.SocketPath());
    ASSERT_TRUE(connection.ok()) << "weston lacks a global a surface needs, or EGL does not start";
    TempDir dir;
    const std::string picture = dir.File("ground.png");
    WriteChangingGround(picture);
    SETTINGS settings;
    ChangingSceneSettings(&settings);

    const WaylandGlobals globals{connection.compositor, connection.wmBase, nullptr, connection.egl, connection.shm};
    std::string error;
    std::unique_ptr<WaylandSurface> surface =
        WaylandSurface::Create(globals, connection.output, kWidth, kHeight, 1, &error);
    ASSERT_TRUE(surface) << error;
    for (int i = 0; i < 20 && !surface->configured(); i++)
        wl_display_roundtrip(connection.display);
    ASSERT_TRUE(surface->configured());
    ASSERT_EQ(surface->pixelWidth(), kWidth);
    ASSERT_EQ(surface->pixelHeight(), kHeight);
    WaylandShared shared;
    WaylandHost host(&shared, std::move(surface), false, 0, "");
    host.MakeCurrent();
    ASSERT_TRUE(host.KeepsPixels()) << "the view is not drawn off screen";
    SetViewState();

    const auto run = [&](bool inParts) {
        return RunChangingScene(&settings, picture, kWidth, kHeight, inParts, [&](SSMAIN& scene, int frame) {
            if (!inParts)
                return DrawnShot(kWidth, kHeight);
            host.FlushDamage(scene.damage.Rects());
            // Weston has taken the commit (and released what it let go of)
            // once the round trip is back; a screenshot repaints after that.
            wl_display_roundtrip(connection.display);
            Shot shot = weston.Screenshot();
            // The shell fades the screen in as it starts.
            if (frame == 0) {
                const std::vector<unsigned char> drawn = DrawnShot(kWidth, kHeight);
                EXPECT_TRUE(WaitFor([&] { return (shot = weston.Screenshot()).rgb == drawn; }, 15.0));
            }
            const std::vector<unsigned char> attached = AttachedShot(host.surface());
            return shot.rgb == attached ? shot.rgb : std::vector<unsigned char>{};
        });
    };
    const FrameRun parts = run(true);
    const FrameRun whole = run(false);
    ExpectSameFramesThroughEverything(parts, whole);
}

} // namespace
