// X11Session: setting up the views, the frame loop, events and the end.
#include "platform/x11/X11Session.h"

#include "platform/loop/DisplayHost.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/WakeRule.h"
#include "platform/x11/GlxSurface.h"
#include "platform/x11/X11Errors.h"
#include "platform/x11/X11Host.h"
#include "view/LarkspurView.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

using View = HostedView<X11Host>;

enum class End { Running, Asked, WindowGone, Failed };

class Session : public FrameLoopClient {
public:
    Session(const X11Run& run, const SettingsOverrides& overrides)
        : run_(run), overrides_(overrides), signals_(QuitSignals::kGraceSeconds, run.endBySignal)
    {
    }
    ~Session()
    {
        // Scenes and contexts go before the connection they live on.
        views_.clear();
    }

    int Run();

private:
    bool Open();
    bool AddGivenWindowView();
    bool AddOwnWindowView();
    bool AddFullscreenView(size_t monitor);
    void AddView(std::unique_ptr<GlxSurface> surface, int width, int height, bool preview, int screen);
    void StartView(View& view);
    bool Running() override { return end_ == End::Running; }
    void Frame() override;
    void HandleEvents() override;
    int WaitOn() override { return ConnectionNumber(display_.get()); }
    void EndWait(bool) override { CheckErrors(); }
    void Quit() override { end_ = End::Asked; }
    void Handle(const XEvent& event);
    // Input in full screen, where keys, buttons and pointer motion wake;
    // false for other events.
    bool HandleWakeInput(const XEvent& event);
    void Resize(View& view, int width, int height);
    void OnMonitorChange();
    // After the layout changed: which views draw follows the monitors now.
    void ChooseScreensAgain();
    void CheckErrors();
    int ScreenOfWindow(Window window);
    View* ViewOf(Window window);

    const X11Run& run_;
    const SettingsOverrides& overrides_;
    QuitSignals signals_;
    std::unique_ptr<Display, DisplayCloser> display_;
    X11Shared shared_;
    std::vector<View> views_;
    WakeRule wake_{0.0};
    End end_ = End::Running;
    int randrEvents_ = -1;
    Atom wmProtocols_ = None;
    Atom deleteWindow_ = None;
};

bool Session::Open()
{
    const char* name = run_.displayName.empty() ? nullptr : run_.displayName.c_str();
    display_.reset(XOpenDisplay(name));
    if (!display_) {
        const std::string which = XDisplayName(name);
        if (which.empty())
            std::fprintf(stderr, "larkspur: cannot open a display: $DISPLAY is not set; "
                                 "--headless renders without one\n");
        else
            std::fprintf(stderr, "larkspur: cannot open the display '%s'; --headless renders without one\n",
                         which.c_str());
        return false;
    }
    InstallX11ErrorHandlers();
    Display* display = display_.get();
    shared_.display = display;
    shared_.layout = run_.monitors.empty() ? DetectMonitors(display) : LayoutFromList(run_.monitors);
    shared_.run = run_;
    wmProtocols_ = XInternAtom(display, "WM_PROTOCOLS", False);
    deleteWindow_ = DeleteWindowAtom(display);
    int errorBase = 0;
    if (run_.monitors.empty() && XRRQueryExtension(display, &randrEvents_, &errorBase))
        XRRSelectInput(display, DefaultRootWindow(display), RRScreenChangeNotifyMask);
    else
        randrEvents_ = -1;
    return true;
}

int Session::ScreenOfWindow(Window window)
{
    Display* display = display_.get();
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child;
    X11ErrorTrap trap(display);
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child) || trap.Failed())
        return -1;
    return MonitorOfRect(shared_.layout, x, y, attributes.width, attributes.height);
}

void Session::AddView(std::unique_ptr<GlxSurface> surface, int width, int height, bool preview, int screen)
{
    View view;
    view.host = std::make_unique<X11Host>(&shared_, std::move(surface), width, height, preview);
    view.host->SetScreen(screen);
    // The view captures the desktop as it is made, before any window maps.
    view.view = std::make_unique<LarkspurView>(view.host.get(), overrides_);
    views_.push_back(std::move(view));
}

bool Session::AddGivenWindowView()
{
    Display* display = display_.get();
    const Window window = run_.window != None ? run_.window : DefaultRootWindow(display);
    std::string error;
    std::unique_ptr<GlxSurface> surface = GlxSurface::ForWindow(display, window, &error);
    if (!surface) {
        std::fprintf(stderr, "larkspur: cannot draw into window 0x%lx: %s\n", window, error.c_str());
        return false;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    XSelectInput(display, window, StructureNotifyMask);
    // The root window is the whole screen, never a settings dialog's pane,
    // however small the screen.
    const bool onRoot = window == attributes.root;
    const bool preview =
        run_.preview ||
        (!onRoot && (IsPreviewSize(attributes.width, attributes.height) || IsEmbeddedWindow(display, window)));
    shared_.saverWindow = window;
    const int screen = ScreenOfWindow(window);
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: drawing into window 0x%lx, %dx%d on monitor %d%s%s\n", window, attributes.width,
                     attributes.height, screen, preview ? ", as the preview" : "",
                     surface->throughChild() ? ", through a child window with a depth buffer" : "");
    AddView(std::move(surface), attributes.width, attributes.height, preview, screen);
    return true;
}

bool Session::AddOwnWindowView()
{
    const MonitorRect& main = shared_.layout.monitors[size_t(shared_.layout.primary)];
    const int x = main.x + std::max(0, (main.width - kOwnWindowWidth) / 2);
    const int y = main.y + std::max(0, (main.height - kOwnWindowHeight) / 2);
    std::string error;
    std::unique_ptr<GlxSurface> surface =
        GlxSurface::NewWindow(display_.get(), x, y, kOwnWindowWidth, kOwnWindowHeight, false, &error);
    if (!surface) {
        std::fprintf(stderr, "larkspur: cannot open a window: %s\n", error.c_str());
        return false;
    }
    const int screen = MonitorOfRect(shared_.layout, x, y, kOwnWindowWidth, kOwnWindowHeight);
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: drawing into its own window 0x%lx, %dx%d%+d%+d on monitor %d%s\n",
                     surface->window(), kOwnWindowWidth, kOwnWindowHeight, x, y, screen,
                     run_.preview ? ", as the preview" : "");
    AddView(std::move(surface), kOwnWindowWidth, kOwnWindowHeight, run_.preview, screen);
    return true;
}

bool Session::AddFullscreenView(size_t monitor)
{
    const MonitorRect& m = shared_.layout.monitors[monitor];
    std::string error;
    std::unique_ptr<GlxSurface> surface =
        GlxSurface::NewWindow(display_.get(), m.x, m.y, m.width, m.height, true, &error);
    if (!surface) {
        std::fprintf(stderr, "larkspur: cannot open a window on monitor %zu: %s\n", monitor, error.c_str());
        return false;
    }
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: monitor %zu at %dx%d%+d%+d%s\n", monitor, m.width, m.height, m.x, m.y,
                     int(monitor) == shared_.layout.primary ? ", primary" : "");
    AddView(std::move(surface), m.width, m.height, run_.preview, int(monitor));
    return true;
}

void Session::StartView(View& view)
{
    view.host->surface().Map();
    view.view->startAnimation();
}

View* Session::ViewOf(Window window)
{
    for (View& view : views_)
        if (view.host->surface().Uses(window))
            return &view;
    return nullptr;
}

void Session::Frame()
{
    CallFrames(views_, signals_, [](const X11Host&) { return true; });
    CheckErrors();
}

void Session::Resize(View& view, int width, int height)
{
    const ViewSize size = view.host->Bounds();
    if (int(size.width) == width && int(size.height) == height)
        return;
    view.view->setFrameSize(width, height);
}

void Session::OnMonitorChange()
{
    shared_.layout = DetectMonitors(display_.get());
    if (run_.target != X11Run::Target::Fullscreen) {
        for (View& view : views_)
            view.host->SetScreen(ScreenOfWindow(view.host->surface().window()));
        ChooseScreensAgain();
        return;
    }
    // One window per monitor: move the ones that stay, add or drop the rest.
    const size_t count = shared_.layout.monitors.size();
    while (views_.size() > count)
        views_.pop_back();
    for (size_t i = 0; i < views_.size(); i++) {
        const MonitorRect& m = shared_.layout.monitors[i];
        XMoveResizeWindow(display_.get(), views_[i].host->surface().window(), m.x, m.y, unsigned(m.width),
                          unsigned(m.height));
    }
    ChooseScreensAgain();
    for (size_t i = views_.size(); i < count; i++)
        if (AddFullscreenView(i))
            StartView(views_.back());
}

void Session::ChooseScreensAgain()
{
    for (View& view : views_)
        view.view->screensChanged();
}

void Session::Handle(const XEvent& event)
{
    if (randrEvents_ >= 0 && event.type == randrEvents_ + RRScreenChangeNotify) {
        XEvent copy = event;
        XRRUpdateConfiguration(&copy);
        OnMonitorChange();
        return;
    }
    View* view = ViewOf(event.xany.window);
    if (!view)
        return;
    if (run_.target == X11Run::Target::Fullscreen && HandleWakeInput(event))
        return;
    switch (event.type) {
    case ConfigureNotify:
        Resize(*view, event.xconfigure.width, event.xconfigure.height);
        if (!view->host->surface().ownWindow())
            view->host->SetScreen(ScreenOfWindow(event.xconfigure.window));
        break;
    case Expose:
        // What the window showed is gone; the back buffer still holds it.
        view->host->ShowWholeNext();
        break;
    case DestroyNotify:
        view->host->surface().MarkGone();
        end_ = End::WindowGone;
        break;
    case KeyPress: {
        XKeyEvent key = event.xkey;
        char text[8];
        KeySym symbol = NoSymbol;
        XLookupString(&key, text, sizeof text, &symbol, nullptr);
        if (symbol == XK_q || symbol == XK_Q || symbol == XK_Escape)
            end_ = End::Asked;
        break;
    }
    case ClientMessage:
        if (event.xclient.message_type == wmProtocols_ && Atom(event.xclient.data.l[0]) == deleteWindow_)
            end_ = End::Asked;
        break;
    default:
        break;
    }
}

bool Session::HandleWakeInput(const XEvent& event)
{
    // Root coordinates, so that a pointer going from one monitor's window to
    // another's keeps one frame of reference.
    const char* by = nullptr;
    switch (event.type) {
    case KeyPress:
        by = "a key";
        break;
    case ButtonPress:
        by = "a button";
        break;
    case EnterNotify:
        wake_.Enter(SteadyNow(), event.xcrossing.x_root, event.xcrossing.y_root);
        break;
    case MotionNotify:
        if (wake_.Motion(SteadyNow(), event.xmotion.x_root, event.xmotion.y_root))
            by = "pointer motion";
        break;
    default:
        return false;
    }
    if (by && end_ == End::Running) {
        if (run_.verbose)
            SayWoken(by);
        end_ = End::Asked;
    }
    return true;
}

void Session::CheckErrors()
{
    X11Error error;
    if (!TakeX11Error(&error))
        return;
    // An error about one of our windows means it was destroyed under us.
    if (View* view = ViewOf(Window(error.resource))) {
        view->host->surface().MarkGone();
        end_ = End::WindowGone;
        return;
    }
    std::fprintf(stderr, "larkspur: X error: %s (request %d, resource 0x%lx)\n", error.text.c_str(), error.request,
                 error.resource);
    end_ = End::Failed;
}

void Session::HandleEvents()
{
    Display* display = display_.get();
    while (XPending(display) > 0 && end_ == End::Running) {
        XEvent event;
        XNextEvent(display, &event);
        Handle(event);
    }
}

int Session::Run()
{
    if (!Open())
        return 1;
    bool made = false;
    switch (run_.target) {
    case X11Run::Target::GivenWindow:
        made = AddGivenWindowView();
        break;
    case X11Run::Target::OwnWindow:
        made = AddOwnWindowView();
        break;
    case X11Run::Target::Fullscreen:
        made = true;
        for (size_t i = 0; i < shared_.layout.monitors.size() && made; i++)
            made = AddFullscreenView(i);
        break;
    }
    if (!made)
        return 1;
    for (View& view : views_)
        StartView(view);

    wake_ = WakeRule(SteadyNow());
    RunFrameLoop(this, signals_, run_.periodSeconds());
    ReportViewFigures(run_, views_, "monitor");
    return end_ == End::Failed ? 1 : 0;
}

} // namespace

bool IsPreviewSize(int width, int height)
{
    return width <= 640 && height <= 480;
}

bool IsEmbeddedWindow(Display* display, Window window)
{
    Window root = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    X11ErrorTrap trap(display);
    const bool known = XQueryTree(display, window, &root, &parent, &children, &count) != 0;
    if (children)
        XFree(children);
    // The root window has no parent.
    if (!known || trap.Failed() || parent == root || parent == None)
        return false;
    // A top-level window that a window manager has framed carries WM_STATE.
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    const bool managed = XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                            &items, &after, &data) == Success &&
                         type != None;
    if (data)
        XFree(data);
    return !managed && !trap.Failed();
}

int RunX11(const X11Run& run, const SettingsOverrides& overrides)
{
    Session session(run, overrides);
    return session.Run();
}
