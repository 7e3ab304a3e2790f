// Tests of larkspur on an X display, each under its own Xvfb: its own window
// and the desktop capture, a given window ($XSCREENSAVER_WINDOW, --window-id)
// and its resizing, the ways a run ends, and full screen on two monitors.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/Xvfb.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace {

class LarkspurOnX11 : public ::testing::Test {
protected:
    void Start(int width = 1280, int height = 800)
    {
        x = std::make_unique<XvfbServer>(width, height);
        ASSERT_TRUE(x->ok());
    }

    std::unique_ptr<ChildProgram> Larkspur(const std::string& arguments, const std::string& environment = "")
    {
        return scratch.Run("DISPLAY=" + x->name() + " " + environment, "--resources '" + scratch.resources + "' " +
                                                                           arguments);
    }

    Display* display() const { return x->display(); }

    LarkspurScratch scratch;
    const std::string& showQuadrants = scratch.showQuadrants;
    std::unique_ptr<XvfbServer> x;
};

// The picture fills the view, upright.
bool WaitForQuadrants(Display* display, Window window, int width, int height)
{
    return WaitFor(
        [&] {
            const Shot shot = TakeShot(display, window);
            return shot.width == width && shot.height == height && ShowsQuadrants(shot, 0, 0, width, height);
        },
        15.0);
}

// Ends the run; the time is generous, as the signal cases measure it.
void Stop(ChildProgram& program)
{
    program.Signal(SIGTERM);
    ExpectExit(program, 3.0, 0);
}

std::string Hex(Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// What the root shows is captured before the window maps; a black root gives
// the desktop picture instead. The window ends on Escape and on being closed,
// and goes with the run. --fps shows its text in the bottom-left corner once
// a second has been measured (white ink over the blue quadrant), and on
// stderr at the end.
TEST_F(LarkspurOnX11, OwnWindowShowsTheCaptureOrDesktopPictureAndEndsOnEscapeOrClose)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    for (const bool painted : {true, false}) {
        SCOPED_TRACE(painted ? "painted root, Escape" : "black root, close");
        if (painted)
            PaintRoot(display(), 1280, 800, QuadrantPixels(1280, 800, 3));
        else
            PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
        auto program = Larkspur("--bg-type 0 --no-tile-bg" +
                                (painted ? std::string(" --verbose --fps") : " --desktop-picture " + scratch.quadrants));
        const Window window = FindWindowNamed(display(), "Larkspur", 10.0);
        ASSERT_NE(window, Window(None)) << program->Stderr();
        EXPECT_TRUE(WaitForQuadrants(display(), window, 1280, 720)) << program->Stderr();
        EXPECT_TRUE(!painted || WaitFor(
                                    [&] {
                                        const Shot shot = TakeShot(display(), window);
                                        int white = 0;
                                        for (int y = 720 - 40; y < 720; y++)
                                            for (int px = 0; px < 160; px++)
                                                white += Looks(shot, px, y, kWhite, 10);
                                        return white > 50;
                                    },
                                    5.0));
        XEvent event = {};
        if (painted) {
            event.xkey.type = KeyPress;
            event.xkey.window = window;
            event.xkey.root = DefaultRootWindow(display());
            event.xkey.same_screen = True;
            event.xkey.keycode = XKeysymToKeycode(display(), XK_Escape);
        } else {
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = long(XInternAtom(display(), "WM_DELETE_WINDOW", False));
        }
        XSendEvent(display(), window, False, painted ? KeyPressMask : NoEventMask, &event);
        XFlush(display());
        // --verbose names the window used, centred on the only monitor.
        ExpectExit(*program, 2.0, 0,
                   painted ? "larkspur: drawing into its own window " + Hex(window) + ", 1280x720+0+40 on monitor 0\n"
                           : "");
        EXPECT_EQ(program->Stderr().find("frames per second, load ") != std::string::npos, painted);
        EXPECT_EQ(program->Stderr().find("drawing into") != std::string::npos, painted) << "only --verbose tells";
        EXPECT_TRUE(WaitFor([&] { return FindWindowNamed(display(), "Larkspur", 0) == None; }, 2.0));
    }
}

// In hex the run ends on SIGINT within a second; in decimal by the window
// being destroyed, which must end it cleanly. That window carries
// XScreenSaver's screenshot, which the capture takes before the (black) root,
// and the view follows its size.
TEST_F(LarkspurOnX11, RootTakesXScreenSaverWindowAndItsScreenshotFollowsItsSizeAndEndsWithIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
    const Pixmap screenshot = MakePixmap(display(), 700, 500, QuadrantPixels(700, 500, 3));
    const struct {
        int width, height;
        bool hex;
    } cases[] = {{320, 240, true}, {700, 500, false}};
    for (const auto& c : cases) {
        const Window window = MakeWindow(display(), 0, 0, c.width, c.height);
        const std::string id = c.hex ? Hex(window) : std::to_string(window);
        SCOPED_TRACE(id);
        if (!c.hex) {
            XChangeProperty(display(), window, XInternAtom(display(), "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP,
                            32, PropModeReplace, reinterpret_cast<const unsigned char*>(&screenshot), 1);
            XSync(display(), False);
        }
        auto program = Larkspur("--root --verbose " + (c.hex ? showQuadrants : "--bg-type 0 --no-tile-bg"),
                                "XSCREENSAVER_WINDOW=" + id);
        EXPECT_TRUE(WaitForQuadrants(display(), window, c.width, c.height)) << program->Stderr();
        if (c.hex) {
            program->Signal(SIGINT);
        } else {
            XResizeWindow(display(), window, 1000, 560);
            XSync(display(), False);
            EXPECT_TRUE(WaitForQuadrants(display(), window, 1000, 560)) << program->Stderr();
            XDestroyWindow(display(), window);
        }
        XSync(display(), False);
        // A destroyed window is noticed at the next frame; under the sanitizers
        // that frame and the exit's leak scan can take over a second on a
        // loaded machine, so allow more than the signal case.
        ExpectExit(*program, c.hex ? 1.0 : 3.0, 0, "drawing into window " + Hex(window));
        EXPECT_EQ(program->Stderr().find("as the preview") != std::string::npos, c.hex) << program->Stderr();
        if (c.hex)
            XDestroyWindow(display(), window);
    }
    XFreePixmap(display(), screenshot);

    // A bad number or a window that never existed is refused with a reason.
    ExpectExit(*Larkspur("--root", "XSCREENSAVER_WINDOW=0xZZ"), 5.0, 2, "$XSCREENSAVER_WINDOW needs a window number");
    ExpectExit(*Larkspur("--window-id 0x7fffff0"), 5.0, 1, "there is no such window");
}

// The bits of depth buffer of an OpenGL double-buffered RGBA visual; -1 for
// any other visual.
int DepthBits(Display* display, XVisualInfo* visual)
{
    int gl = 0, rgba = 0, doubleBuffer = 0, depth = -1;
    glXGetConfig(display, visual, GLX_USE_GL, &gl);
    glXGetConfig(display, visual, GLX_RGBA, &rgba);
    glXGetConfig(display, visual, GLX_DOUBLEBUFFER, &doubleBuffer);
    glXGetConfig(display, visual, GLX_DEPTH_SIZE, &depth);
    return gl && rgba && doubleBuffer ? depth : -1;
}

// The only child of a window with its size and depth-buffer bits, or None.
struct Child {
    Window window = None;
    int width = 0, height = 0, depthBits = -1;
};

Child OnlyChild(Display* display, Window parent)
{
    Child child;
    Window root, up, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, parent, &root, &up, &children, &count);
    XWindowAttributes attributes;
    if (count == 1 && XGetWindowAttributes(display, children[0], &attributes)) {
        XVisualInfo wanted = {};
        wanted.visualid = XVisualIDFromVisual(attributes.visual);
        int found = 0;
        if (XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &wanted, &found)) {
            child = {children[0], attributes.width, attributes.height, DepthBits(display, visual)};
            XFree(visual);
        }
    }
    if (children)
        XFree(children);
    return child;
}

// Given as XScreenSaver's settings dialog gives its preview pane (--root and
// --window-id, a window inside the dialog's), a window whose visual has no
// depth buffer is drawn through a child with one, which follows the window's
// size and goes with the run; the pane is the preview whatever its size.
TEST_F(LarkspurOnX11, PreviewPaneWithoutDepthIsDrawnThroughAChildThatFollowsIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    XVisualInfo wanted = {}, visual = {};
    wanted.screen = DefaultScreen(display());
    wanted.depth = DefaultDepth(display(), wanted.screen);
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display(), VisualScreenMask | VisualDepthMask, &wanted, &count);
    for (int i = 0; i < count && visual.visualid == 0; i++)
        if (DepthBits(display(), &visuals[i]) == 0)
            visual = visuals[i];
    XFree(visuals);
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
    const Child child = OnlyChild(display(), window);
    ASSERT_NE(child.window, Window(None));
    EXPECT_GE(child.depthBits, 16);
    EXPECT_TRUE(child.width == 720 && child.height == 400) << child.width << "x" << child.height;
    EXPECT_NE(program->Stderr().find("drawing into window " + Hex(window) + ", 720x400"), std::string::npos)
        << program->Stderr();
    EXPECT_NE(program->Stderr().find("as the preview, through a child window"), std::string::npos);

    XResizeWindow(display(), window, 500, 300);
    XSync(display(), False);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Child now = OnlyChild(display(), window);
            return now.width == 500 && now.height == 300;
        },
        5.0));
    EXPECT_TRUE(WaitForQuadrants(display(), window, 500, 300)) << program->Stderr();

    Stop(*program);
    XSync(display(), False);
    EXPECT_EQ(OnlyChild(display(), window).window, Window(None));
    XDestroyWindow(display(), dialog);
    XFreeColormap(display(), set.colormap);
}

TEST_F(LarkspurOnX11, FullscreenMakesAViewPerMonitorAndMainMonitorOnlyKeepsOthersBlack)
{
    ASSERT_NO_FATAL_FAILURE(Start(1280, 480));
    // The first monitor given is the primary, here the right-hand one.
    for (const bool mainOnly : {false, true}) {
        SCOPED_TRACE(mainOnly ? "main monitor only" : "both");
        auto program = Larkspur(showQuadrants + " --fullscreen --monitors 640x480+640+0,640x480+0+0" +
                                (mainOnly ? " --main-monitor-only" : ""));
        const Window root = DefaultRootWindow(display());
        EXPECT_TRUE(WaitFor(
            [&] {
                const Shot shot = TakeShot(display(), root);
                return ShowsQuadrants(shot, 640, 0, 640, 480) && (mainOnly || ShowsQuadrants(shot, 0, 0, 640, 480));
            },
            15.0))
            << program->Stderr();
        const Shot shot = TakeShot(display(), root);
        for (const auto& at : {std::make_pair(160, 120), std::make_pair(480, 360), std::make_pair(320, 240)})
            EXPECT_TRUE(!mainOnly || Looks(shot, at.first, at.second, Colour{0, 0, 0}, 8)) << at.first << "," << at.second;
        Stop(*program);
    }
}

} // namespace
