// Tests of larkspur on an X display, each under its own Xvfb: its own window,
// a given window ($XSCREENSAVER_WINDOW, --window-id), resizing, the ways a
// run ends, full screen on two monitors, the desktop capture and --fps.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/FakeHost.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "fixtures/Xvfb.h"

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

// A scratch folder with a small scene pack and a quadrant desktop picture.
struct Scratch {
    TempDir dir;
    std::string resources = dir.File("res");
    std::string quadrants = dir.File("quadrants.png");

    Scratch()
    {
        RunCommand("mkdir -p '" + resources + "'");
        WriteScenePack(resources + "/pellmore.works", 8);
        WritePixbufPicture(quadrants, "png", 64, 48, 3, QuadrantPixels(64, 48, 3));
    }

    std::string Solid(const std::string& name, Colour colour) const
    {
        std::vector<unsigned char> pixels;
        for (int i = 0; i < 16 * 16; i++)
            pixels.insert(pixels.end(), {colour.r, colour.g, colour.b});
        const std::string path = dir.File(name);
        WritePixbufPicture(path, "png", 16, 16, 3, pixels);
        return path;
    }
};

// Starts larkspur on the server with its settings inside the scratch folder,
// no desktop settings of the machine, and the scene of the scratch pack.
std::unique_ptr<ChildProgram> Larkspur(const XvfbServer& x, const Scratch& s, const std::string& arguments,
                                       const std::string& environment = "")
{
    return std::make_unique<ChildProgram>(
        "env DISPLAY=" + x.name() + " XDG_CONFIG_HOME='" + s.dir.File("config") + "' HOME='" + s.dir.path() +
        "' GSETTINGS_BACKEND=memory XDG_CURRENT_DESKTOP= " + environment + " " + kProgram + " --num-dogs 0 --seed 1" +
        " --resources '" + s.resources + "' " + arguments);
}

// The pixel at (x, y) is near the colour; false outside the shot.
bool Looks(const Shot& shot, int x, int y, Colour colour, int tolerance = 40)
{
    return x >= 0 && y >= 0 && x < shot.width && y < shot.height && Near(shot.At(x, y), colour, tolerance);
}

// The picture fills the view: each quadrant's colour away from the edges and
// from the frame-rate corner.
bool ShowsQuadrants(const Shot& shot, int width, int height)
{
    if (shot.width != width || shot.height != height)
        return false;
    const int left = width / 4, right = width * 3 / 4, top = height / 4, bottom = height * 3 / 4;
    return Looks(shot, left, top, kRed) && Looks(shot, right, top, kGreen) &&
           Looks(shot, left, bottom, kBlue) && Looks(shot, right, bottom, kWhite);
}

bool WaitForQuadrants(Display* display, Window window, int width, int height)
{
    return WaitFor([&] { return ShowsQuadrants(TakeShot(display, window), width, height); }, 15.0);
}

// Exits within the time with the given status.
void ExpectExit(ChildProgram& program, double seconds, int status)
{
    int got = -1;
    ASSERT_TRUE(program.Wait(seconds, &got)) << "still running after " << seconds << " s\n" << program.Stderr();
    EXPECT_EQ(got, status) << program.Stderr();
    EXPECT_EQ(program.Stderr().find("X error"), std::string::npos) << program.Stderr();
}

void SendKey(Display* display, Window window, KeySym symbol)
{
    XEvent event = {};
    event.xkey.type = KeyPress;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode(display, symbol);
    XSendEvent(display, window, True, KeyPressMask, &event);
    XFlush(display);
}

void SendClose(Display* display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

std::string Hex(Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

TEST(LarkspurOnX11, OwnWindowShowsTheGroundPictureAndEndsOnEscapeOrClose)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    for (const bool byKey : {true, false}) {
        auto program = Larkspur(x, s, "--bg-type 1 --no-tile-bg --desktop-picture " + s.quadrants);
        const Window window = FindWindowNamed(x.display(), "Larkspur", 10.0);
        ASSERT_NE(window, Window(None)) << program->Stderr();
        EXPECT_TRUE(WaitForQuadrants(x.display(), window, 1280, 720)) << program->Stderr();
        if (byKey)
            SendKey(x.display(), window, XK_Escape);
        else
            SendClose(x.display(), window);
        ExpectExit(*program, 2.0, 0);
        // The window goes with the program.
        EXPECT_TRUE(WaitFor([&] { return FindWindowNamed(x.display(), "Larkspur", 0) == None; }, 2.0));
    }
}

TEST(LarkspurOnX11, GivenWindowFollowsItsSizeAndSigtermExitsWithinASecond)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    const Window window = MakeWindow(x.display(), 10, 10, 800, 600);
    auto program = Larkspur(x, s, "--fps --bg-type 1 --no-tile-bg --desktop-picture " + s.quadrants +
                                      " --window-id " + Hex(window));
    ASSERT_TRUE(WaitForQuadrants(x.display(), window, 800, 600)) << program->Stderr();

    // The frame-rate text appears in the bottom-left corner once a second has
    // been measured: white ink over the blue quadrant.
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(x.display(), window);
            int white = 0;
            for (int y = 600 - 40; y < 600; y++)
                for (int px = 0; px < 160; px++)
                    white += Looks(shot, px, y, kWhite, 10);
            return white > 50;
        },
        5.0));

    XResizeWindow(x.display(), window, 1000, 560);
    XSync(x.display(), False);
    EXPECT_TRUE(WaitForQuadrants(x.display(), window, 1000, 560)) << program->Stderr();

    const auto sent = std::chrono::steady_clock::now();
    program->Signal(SIGTERM);
    ExpectExit(*program, 1.0, 0);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0);
    const std::string err = program->Stderr();
    EXPECT_NE(err.find("frames per second, load "), std::string::npos) << err;
}

TEST(LarkspurOnX11, RootTakesXScreenSaverWindowInHexOrDecimalAndSmallWindowsArePreviews)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    const struct {
        int width, height;
        bool hex;
        bool preview;
    } cases[] = {{320, 240, true, true}, {700, 500, false, false}};
    for (const auto& c : cases) {
        const Window window = MakeWindow(x.display(), 0, 0, c.width, c.height);
        const std::string id = c.hex ? Hex(window) : std::to_string(window);
        auto program = Larkspur(x, s, "--root --verbose --bg-type 1 --no-tile-bg --desktop-picture " + s.quadrants,
                                "XSCREENSAVER_WINDOW=" + id);
        EXPECT_TRUE(WaitForQuadrants(x.display(), window, c.width, c.height)) << id << "\n" << program->Stderr();
        program->Signal(SIGINT);
        ExpectExit(*program, 1.0, 0);
        const std::string err = program->Stderr();
        EXPECT_NE(err.find("drawing into window " + Hex(window)), std::string::npos) << err;
        EXPECT_EQ(err.find("as the preview") != std::string::npos, c.preview) << err;
        XDestroyWindow(x.display(), window);
    }

    auto bad = Larkspur(x, s, "--root", "XSCREENSAVER_WINDOW=0xZZ");
    int status = -1;
    ASSERT_TRUE(bad->Wait(5.0, &status));
    EXPECT_EQ(status, 2);
    EXPECT_NE(bad->Stderr().find("$XSCREENSAVER_WINDOW needs a window number"), std::string::npos);
}

TEST(LarkspurOnX11, DestroyedWindowEndsTheRunCleanly)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    const Window window = MakeWindow(x.display(), 0, 0, 800, 600);
    auto program = Larkspur(x, s, "--bg-type 1 --no-tile-bg --desktop-picture " + s.quadrants + " --window-id " +
                                      Hex(window));
    ASSERT_TRUE(WaitForQuadrants(x.display(), window, 800, 600)) << program->Stderr();
    XDestroyWindow(x.display(), window);
    XSync(x.display(), False);
    ExpectExit(*program, 1.0, 0);

    // A window that never existed is refused with a reason.
    auto missing = Larkspur(x, s, "--window-id 0x7fffff0");
    int status = -1;
    ASSERT_TRUE(missing->Wait(5.0, &status));
    EXPECT_EQ(status, 1);
    EXPECT_NE(missing->Stderr().find("there is no such window"), std::string::npos) << missing->Stderr();
}

TEST(LarkspurOnX11, FullscreenMakesAViewPerMonitorAndMainMonitorOnlyKeepsOthersBlack)
{
    XvfbServer x(1280, 480);
    ASSERT_TRUE(x.ok());
    Scratch s;
    const Window root = DefaultRootWindow(x.display());
    // The first monitor given is the primary, here the right-hand one.
    const std::string layout = " --fullscreen --monitors 640x480+640+0,640x480+0+0 ";
    const std::string picture = "--bg-type 1 --no-tile-bg --desktop-picture " + s.quadrants;

    auto both = Larkspur(x, s, picture + layout);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(x.display(), root);
            return Looks(shot, 160, 120, kRed) && Looks(shot, 480, 360, kWhite) &&
                   Looks(shot, 640 + 160, 120, kRed) && Looks(shot, 640 + 480, 360, kWhite);
        },
        15.0))
        << both->Stderr();
    both->Signal(SIGTERM);
    ExpectExit(*both, 1.0, 0);

    auto main = Larkspur(x, s, picture + layout + "--main-monitor-only");
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(x.display(), root);
            return Looks(shot, 640 + 160, 120, kRed) && Looks(shot, 640 + 480, 360, kWhite);
        },
        15.0))
        << main->Stderr();
    const Shot shot = TakeShot(x.display(), root);
    for (const auto& at : {std::make_pair(160, 120), std::make_pair(480, 360), std::make_pair(320, 240)})
        EXPECT_TRUE(Looks(shot, at.first, at.second, Colour{0, 0, 0}, 8)) << at.first << "," << at.second;
    main->Signal(SIGTERM);
    ExpectExit(*main, 1.0, 0);
}

TEST(LarkspurOnX11, CaptureShowsThePaintedRootAndABlackRootGivesTheDesktopPicture)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    PaintRoot(x.display(), 1280, 800, QuadrantPixels(1280, 800, 3));
    auto painted = Larkspur(x, s, "--bg-type 0 --no-tile-bg");
    Window window = FindWindowNamed(x.display(), "Larkspur", 10.0);
    ASSERT_NE(window, Window(None)) << painted->Stderr();
    EXPECT_TRUE(WaitForQuadrants(x.display(), window, 1280, 720)) << painted->Stderr();
    painted->Signal(SIGTERM);
    ExpectExit(*painted, 1.0, 0);

    PaintRoot(x.display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
    auto black = Larkspur(x, s, "--bg-type 0 --no-tile-bg --desktop-picture " + s.Solid("green.png", kGreen));
    window = FindWindowNamed(x.display(), "Larkspur", 10.0);
    ASSERT_NE(window, Window(None)) << black->Stderr();
    EXPECT_TRUE(WaitFor([&] { return Looks(TakeShot(x.display(), window), 640, 360, kGreen); }, 15.0))
        << black->Stderr();
    black->Signal(SIGTERM);
    ExpectExit(*black, 1.0, 0);
}

TEST(LarkspurOnX11, CaptureTakesXScreenSaversScreenshotBeforeTheRoot)
{
    XvfbServer x(1280, 800);
    ASSERT_TRUE(x.ok());
    Scratch s;
    PaintRoot(x.display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 0));
    const Window window = MakeWindow(x.display(), 0, 0, 800, 600);
    const Pixmap screenshot = MakePixmap(x.display(), 800, 600, QuadrantPixels(800, 600, 3));
    XChangeProperty(x.display(), window, XInternAtom(x.display(), "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&screenshot), 1);
    XSync(x.display(), False);
    auto program = Larkspur(x, s, "--root --bg-type 0 --no-tile-bg", "XSCREENSAVER_WINDOW=" + Hex(window));
    EXPECT_TRUE(WaitForQuadrants(x.display(), window, 800, 600)) << program->Stderr();
    program->Signal(SIGTERM);
    ExpectExit(*program, 1.0, 0);
    XFreePixmap(x.display(), screenshot);
}

} // namespace
