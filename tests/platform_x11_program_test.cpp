// Tests of larkspur on an X display, each under its own Xvfb: its own window,
// a given window ($XSCREENSAVER_WINDOW, --window-id), resizing, the ways a
// run ends, full screen on two monitors, the desktop capture and --fps.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/FakeHost.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "fixtures/Xvfb.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace {

const std::string kProgram = LARKSPUR_PROGRAM;

// Each test's own server, with a scratch folder holding a small scene pack
// and a quadrant desktop picture.
class LarkspurOnX11 : public ::testing::Test {
protected:
    void Start(int width = 1280, int height = 800)
    {
        x = std::make_unique<XvfbServer>(width, height);
        ASSERT_TRUE(x->ok());
        RunCommand("mkdir -p '" + dir.File("res") + "'");
        WriteScenePack(dir.File("res") + "/pellmore.works", 8);
        WritePixbufPicture(quadrants, "png", 64, 48, 3, QuadrantPixels(64, 48, 3));
    }

    // Starts larkspur on the server with its settings inside the scratch
    // folder, no desktop settings of the machine, and the scratch scene.
    std::unique_ptr<ChildProgram> Larkspur(const std::string& arguments, const std::string& environment = "")
    {
        return std::make_unique<ChildProgram>(
            "env DISPLAY=" + x->name() + " XDG_CONFIG_HOME='" + dir.File("config") + "' HOME='" + dir.path() +
            "' GSETTINGS_BACKEND=memory XDG_CURRENT_DESKTOP= " + environment + " " + kProgram +
            " --num-dogs 0 --seed 1 --resources '" + dir.File("res") + "' " + arguments);
    }

    Display* display() const { return x->display(); }

    TempDir dir;
    std::string quadrants = dir.File("quadrants.png");
    // The arguments that show the quadrant picture, untiled.
    std::string showQuadrants = "--bg-type 1 --no-tile-bg --desktop-picture " + quadrants;
    std::unique_ptr<XvfbServer> x;
};

// The pixel at (x, y) is near the colour; false outside the shot.
bool Looks(const Shot& shot, int x, int y, Colour colour, int tolerance = 40)
{
    return x >= 0 && y >= 0 && x < shot.width && y < shot.height && Near(shot.At(x, y), colour, tolerance);
}

// The picture fills the view, upright: each quadrant's colour away from the
// edges and from the frame-rate corner.
bool WaitForQuadrants(Display* display, Window window, int width, int height)
{
    const int left = width / 4, right = width * 3 / 4, top = height / 4, bottom = height * 3 / 4;
    return WaitFor(
        [&] {
            const Shot shot = TakeShot(display, window);
            return shot.width == width && shot.height == height && Looks(shot, left, top, kRed) &&
                   Looks(shot, right, top, kGreen) && Looks(shot, left, bottom, kBlue) &&
                   Looks(shot, right, bottom, kWhite);
        },
        15.0);
}

// Exits within the time with the given status and no X error.
void ExpectExit(ChildProgram& program, double seconds, int status)
{
    int got = -1;
    ASSERT_TRUE(program.Wait(seconds, &got)) << "still running after " << seconds << " s\n" << program.Stderr();
    EXPECT_EQ(got, status) << program.Stderr();
    EXPECT_EQ(program.Stderr().find("X error"), std::string::npos) << program.Stderr();
}

void Stop(ChildProgram& program)
{
    program.Signal(SIGTERM);
    ExpectExit(program, 1.0, 0);
}

void Send(Display* display, Window window, XEvent event, long mask)
{
    event.xany.window = window;
    XSendEvent(display, window, mask != NoEventMask, mask, &event);
    XFlush(display);
}

std::string Hex(Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

TEST_F(LarkspurOnX11, OwnWindowShowsTheGroundPictureAndEndsOnEscapeOrClose)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    for (const bool byKey : {true, false}) {
        auto program = Larkspur(showQuadrants + (byKey ? " --verbose" : ""));
        const Window window = FindWindowNamed(display(), "Larkspur", 10.0);
        ASSERT_NE(window, Window(None)) << program->Stderr();
        EXPECT_TRUE(WaitForQuadrants(display(), window, 1280, 720)) << program->Stderr();
        XEvent event = {};
        if (byKey) {
            event.xkey.type = KeyPress;
            event.xkey.root = DefaultRootWindow(display());
            event.xkey.same_screen = True;
            event.xkey.keycode = XKeysymToKeycode(display(), XK_Escape);
            Send(display(), window, event, KeyPressMask);
        } else {
            event.xclient.type = ClientMessage;
            event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = long(XInternAtom(display(), "WM_DELETE_WINDOW", False));
            Send(display(), window, event, NoEventMask);
        }
        ExpectExit(*program, 2.0, 0);
        // --verbose names the window used, centred on the only monitor.
        const bool told = program->Stderr().find("larkspur: drawing into its own window " + Hex(window) +
                                                 ", 1280x720+0+40 on monitor 0\n") != std::string::npos;
        EXPECT_EQ(told, byKey) << program->Stderr();
        // The window goes with the program.
        EXPECT_TRUE(WaitFor([&] { return FindWindowNamed(display(), "Larkspur", 0) == None; }, 2.0));
    }
}

TEST_F(LarkspurOnX11, GivenWindowFollowsItsSizeAndSigtermExitsWithinASecond)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const Window window = MakeWindow(display(), 10, 10, 800, 600);
    auto program = Larkspur("--fps " + showQuadrants + " --window-id " + Hex(window));
    ASSERT_TRUE(WaitForQuadrants(display(), window, 800, 600)) << program->Stderr();
    // The frame-rate text appears in the bottom-left corner once a second has
    // been measured: white ink over the blue quadrant.
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(display(), window);
            int white = 0;
            for (int y = 600 - 40; y < 600; y++)
                for (int px = 0; px < 160; px++)
                    white += Looks(shot, px, y, kWhite, 10);
            return white > 50;
        },
        5.0));

    XResizeWindow(display(), window, 1000, 560);
    XSync(display(), False);
    EXPECT_TRUE(WaitForQuadrants(display(), window, 1000, 560)) << program->Stderr();

    const auto sent = std::chrono::steady_clock::now();
    Stop(*program);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0);
    EXPECT_NE(program->Stderr().find("frames per second, load "), std::string::npos) << program->Stderr();
}

// In hex the run ends on SIGINT; in decimal by the window being destroyed,
// which must end it cleanly.
TEST_F(LarkspurOnX11, RootTakesXScreenSaverWindowInHexOrDecimalAndEndsWithIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const struct {
        int width, height;
        bool hex;
        bool preview;
    } cases[] = {{320, 240, true, true}, {700, 500, false, false}};
    for (const auto& c : cases) {
        const Window window = MakeWindow(display(), 0, 0, c.width, c.height);
        const std::string id = c.hex ? Hex(window) : std::to_string(window);
        auto program = Larkspur("--root --verbose " + showQuadrants, "XSCREENSAVER_WINDOW=" + id);
        EXPECT_TRUE(WaitForQuadrants(display(), window, c.width, c.height)) << id << "\n" << program->Stderr();
        if (c.hex)
            program->Signal(SIGINT);
        else
            XDestroyWindow(display(), window);
        XSync(display(), False);
        // A destroyed window is noticed at the next frame; under the sanitizers
        // that frame and the exit's leak scan can take over a second on a
        // loaded machine, so allow more than the signal case below.
        ExpectExit(*program, c.hex ? 1.0 : 3.0, 0);
        const std::string err = program->Stderr();
        EXPECT_NE(err.find("drawing into window " + Hex(window)), std::string::npos) << err;
        EXPECT_EQ(err.find("as the preview") != std::string::npos, c.preview) << err;
        if (c.hex)
            XDestroyWindow(display(), window);
    }

    // A bad number or a window that never existed is refused with a reason.
    const struct {
        const char *arguments, *environment, *reason;
        int status;
    } refused[] = {{"--root", "XSCREENSAVER_WINDOW=0xZZ", "$XSCREENSAVER_WINDOW needs a window number", 2},
                   {"--window-id 0x7fffff0", "", "there is no such window", 1}};
    for (const auto& r : refused) {
        auto bad = Larkspur(r.arguments, r.environment);
        int status = -1;
        ASSERT_TRUE(bad->Wait(5.0, &status));
        EXPECT_EQ(status, r.status);
        EXPECT_NE(bad->Stderr().find(r.reason), std::string::npos) << bad->Stderr();
    }
}

// A visual of the screen's depth with double-buffered OpenGL but no depth
// buffer; visualid 0 when the server has none.
XVisualInfo VisualWithoutDepth(Display* display)
{
    XVisualInfo wanted = {}, found = {};
    wanted.screen = DefaultScreen(display);
    wanted.depth = DefaultDepth(display, wanted.screen);
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask | VisualDepthMask, &wanted, &count);
    for (int i = 0; i < count && found.visualid == 0; i++) {
        int gl = 0, rgba = 0, doubleBuffer = 0, depth = 1;
        glXGetConfig(display, &visuals[i], GLX_USE_GL, &gl);
        glXGetConfig(display, &visuals[i], GLX_RGBA, &rgba);
        glXGetConfig(display, &visuals[i], GLX_DOUBLEBUFFER, &doubleBuffer);
        glXGetConfig(display, &visuals[i], GLX_DEPTH_SIZE, &depth);
        if (gl && rgba && doubleBuffer && depth == 0)
            found = visuals[i];
    }
    if (visuals)
        XFree(visuals);
    return found;
}

// The only child of a window, or None.
Window OnlyChild(Display* display, Window window)
{
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    const Window child = count == 1 ? children[0] : None;
    if (children)
        XFree(children);
    return child;
}

int DepthBufferBits(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return -1;
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0, bits = -1;
    if (XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &wanted, &count)) {
        glXGetConfig(display, visual, GLX_DEPTH_SIZE, &bits);
        XFree(visual);
    }
    return bits;
}

bool HasSize(Display* display, Window window, int width, int height)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.width == width &&
           attributes.height == height;
}

// Given as XScreenSaver's settings dialog gives its preview pane (--root and
// --window-id, a window inside the dialog's), a window whose visual has no
// depth buffer is drawn through a child with one, which follows the window's
// size and goes with the run; the pane is the preview whatever its size.
TEST_F(LarkspurOnX11, PreviewPaneWithoutDepthIsDrawnThroughAChildThatFollowsIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const XVisualInfo visual = VisualWithoutDepth(display());
    ASSERT_NE(visual.visualid, 0u) << "Xvfb offers no OpenGL visual without depth";
    const Window dialog = MakeWindow(display(), 0, 0, 900, 600);
    XSetWindowAttributes set = {};
    set.colormap = XCreateColormap(display(), DefaultRootWindow(display()), visual.visual, AllocNone);
    const Window window = XCreateWindow(display(), dialog, 40, 40, 720, 400, 0, visual.depth, InputOutput,
                                        visual.visual, CWColormap | CWBorderPixel, &set);
    XMapWindow(display(), window);
    XSync(display(), False);

    auto program = Larkspur("--root --verbose --window-id " + Hex(window) + " " + showQuadrants,
                            "XSCREENSAVER_WINDOW=" + Hex(window));
    ASSERT_TRUE(WaitForQuadrants(display(), window, 720, 400)) << program->Stderr();
    const Window child = OnlyChild(display(), window);
    ASSERT_NE(child, Window(None));
    EXPECT_GE(DepthBufferBits(display(), child), 16);
    EXPECT_TRUE(HasSize(display(), child, 720, 400));
    EXPECT_NE(program->Stderr().find("drawing into window " + Hex(window) + ", 720x400"), std::string::npos)
        << program->Stderr();
    EXPECT_NE(program->Stderr().find("as the preview, through a child window"), std::string::npos);

    XResizeWindow(display(), window, 500, 300);
    XSync(display(), False);
    EXPECT_TRUE(WaitFor([&] { return HasSize(display(), child, 500, 300); }, 5.0));
    EXPECT_TRUE(WaitForQuadrants(display(), window, 500, 300)) << program->Stderr();

    Stop(*program);
    XSync(display(), False);
    EXPECT_EQ(OnlyChild(display(), window), Window(None));
    XDestroyWindow(display(), dialog);
    XFreeColormap(display(), set.colormap);
}

TEST_F(LarkspurOnX11, FullscreenMakesAViewPerMonitorAndMainMonitorOnlyKeepsOthersBlack)
{
    ASSERT_NO_FATAL_FAILURE(Start(1280, 480));
    const Window root = DefaultRootWindow(display());
    // The first monitor given is the primary, here the right-hand one.
    const std::string layout = showQuadrants + " --fullscreen --monitors 640x480+640+0,640x480+0+0 ";
    auto both = Larkspur(layout);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(display(), root);
            return Looks(shot, 160, 120, kRed) && Looks(shot, 480, 360, kWhite) &&
                   Looks(shot, 640 + 160, 120, kRed) && Looks(shot, 640 + 480, 360, kWhite);
        },
        15.0))
        << both->Stderr();
    Stop(*both);

    auto main = Larkspur(layout + "--main-monitor-only");
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(display(), root);
            return Looks(shot, 640 + 160, 120, kRed) && Looks(shot, 640 + 480, 360, kWhite);
        },
        15.0))
        << main->Stderr();
    const Shot shot = TakeShot(display(), root);
    for (const auto& at : {std::make_pair(160, 120), std::make_pair(480, 360), std::make_pair(320, 240)})
        EXPECT_TRUE(Looks(shot, at.first, at.second, Colour{0, 0, 0}, 8)) << at.first << "," << at.second;
    Stop(*main);
}

// A painted root is captured; a black one gives the desktop picture instead.
TEST_F(LarkspurOnX11, CaptureShowsThePaintedRootAndABlackRootGivesTheDesktopPicture)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    PaintRoot(display(), 1280, 800, QuadrantPixels(1280, 800, 3));
    for (const bool painted : {true, false}) {
        if (!painted)
            PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
        auto program = Larkspur("--bg-type 0 --no-tile-bg" + (painted ? "" : " --desktop-picture " + quadrants));
        const Window window = FindWindowNamed(display(), "Larkspur", 10.0);
        ASSERT_NE(window, Window(None)) << program->Stderr();
        EXPECT_TRUE(WaitForQuadrants(display(), window, 1280, 720)) << program->Stderr();
        Stop(*program);
    }
}

TEST_F(LarkspurOnX11, CaptureTakesXScreenSaversScreenshotBeforeTheRoot)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
    const Window window = MakeWindow(display(), 0, 0, 800, 600);
    const Pixmap screenshot = MakePixmap(display(), 800, 600, QuadrantPixels(800, 600, 3));
    XChangeProperty(display(), window, XInternAtom(display(), "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&screenshot), 1);
    XSync(display(), False);
    auto program = Larkspur("--root --bg-type 0 --no-tile-bg", "XSCREENSAVER_WINDOW=" + Hex(window));
    EXPECT_TRUE(WaitForQuadrants(display(), window, 800, 600)) << program->Stderr();
    Stop(*program);
    XFreePixmap(display(), screenshot);
}

} // namespace
