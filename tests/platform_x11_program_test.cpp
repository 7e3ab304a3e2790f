// Tests of larkspur on an X display, each under its own Xvfb: its own window
// and the desktop capture, a given window ($XSCREENSAVER_WINDOW, --window-id)
// and its resizing, the ways a run ends, and full screen on two monitors.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/Xvfb.h"
#include "platform/loop/FrameLoop.h"
#include "platform/x11/GlxSurface.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class LarkspurOnX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        x = std::make_unique<XvfbServer>(1280, 800);
        ASSERT_TRUE(x->ok());
    }

    std::unique_ptr<ChildProgram> Larkspur(const std::string& arguments, const std::string& environment = "")
    {
        return scratch.Run("DISPLAY=" + x->name() + " " + environment,
                           "--resources '" + scratch.resources + "' " + arguments);
    }

    Display* display() const { return x->display(); }

    // Runs larkspur until the whole screen passes the check, then ends it by
    // SIGTERM with status 0; returns what it said on stderr.
    std::string RunUntilTheScreen(const std::string& arguments, const std::function<bool(const Shot&)>& check)
    {
        auto program = Larkspur(arguments);
        EXPECT_TRUE(WaitFor([&] { return check(TakeShot(display(), DefaultRootWindow(display()))); }, 15.0))
            << program->Stderr();
        program->Signal(SIGTERM);
        ExpectExit(*program, 3.0, 0);
        return program->Stderr();
    }

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

// Sends a key press to the window, as a keyboard would.
void PressKey(Display* display, Window window, KeySym symbol)
{
    XEvent event = {};
    event.xkey.type = KeyPress;
    event.xkey.window = window;
    event.xkey.keycode = XKeysymToKeycode(display, symbol);
    XSendEvent(display, window, False, KeyPressMask, &event);
    XFlush(display);
}

// What the root shows is captured before the window maps. The window, centred
// on the only monitor, takes no notice of an ordinary key and ends on Escape
// and on being closed. --fps shows its text in the bottom-left corner once a
// second has been measured (white ink over the blue quadrant), and on stderr
// at the end.
TEST_F(LarkspurOnX11, OwnWindowShowsTheCaptureAndEndsOnEscapeOrClose)
{
    PaintRoot(display(), 1280, 800, QuadrantPixels(1280, 800, 3));
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "Escape");
        auto program = Larkspur("--bg-type 0 --no-tile-bg --verbose --fps");
        const std::string told = "larkspur: drawing into its own window 0x";
        ASSERT_TRUE(Says(*program, told)) << program->Stderr();
        const std::string err = program->Stderr();
        const Window window = std::stoul(err.substr(err.find(told) + told.size() - 2), nullptr, 16);
        EXPECT_TRUE(WaitForQuadrants(display(), window, 1280, 720)) << program->Stderr();
        EXPECT_TRUE(WaitFor(
            [&] {
                const Shot shot = TakeShot(display(), window);
                int white = 0;
                for (int i = 0; i < 160 * 40; i++)
                    white += Looks(shot, i % 160, 680 + i / 160, kWhite, 10);
                return white > 50;
            },
            5.0));
        PressKey(display(), window, XK_x);
        EXPECT_FALSE(WaitFor([&] { return !program->Running(); }, 0.5)) << program->Stderr();
        if (close) {
            XEvent event = {};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = long(XInternAtom(display(), "WM_DELETE_WINDOW", False));
            XSendEvent(display(), window, False, NoEventMask, &event);
            XFlush(display());
        } else {
            PressKey(display(), window, XK_Escape);
        }
        ExpectExit(*program, 2.0, 0, ", 1280x720+0+40 on monitor 0\n");
        EXPECT_NE(program->Stderr().find("frames per second, load "), std::string::npos);
    }
}

// XScreenSaver's settings dialog gives its preview pane by --root and
// --window-id, a window inside the dialog's, which makes it the
// preview; this one's visual is single-buffered, so it is drawn through a
// child of a visual of its own, which follows its size; SIGINT ends the run
// within a second, and the process by that signal, as XScreenSaver expects. A saver window in $XSCREENSAVER_WINDOW (in
// decimal) of the preview's size carries XScreenSaver's screenshot, which the capture takes before the root; the view
// follows the window's size, and the window being destroyed ends the run cleanly.
TEST_F(LarkspurOnX11, AGivenWindowIsThePreviewFollowsItsSizeAndEndsOnASignalOrWithTheWindow)
{
    const Pixmap screenshot = MakePixmap(display(), 640, 480, QuadrantPixels(640, 480, 3));
    int singleBuffered[] = {GLX_RGBA, None};
    XVisualInfo* visual = glXChooseVisual(display(), DefaultScreen(display()), singleBuffered);
    ASSERT_NE(visual, nullptr);
    // The test's own GLX use loaded the driver too.
    KeepDriverLoaded();
    XSetWindowAttributes set = {};
    set.colormap = XCreateColormap(display(), DefaultRootWindow(display()), visual->visual, AllocNone);
    const Window pane = XCreateWindow(display(), MakeWindow(display(), 0, 0, 900, 600), 40, 40, 720, 400, 0,
                                      visual->depth, InputOutput, visual->visual, CWColormap | CWBorderPixel, &set);
    XFree(visual);
    XMapWindow(display(), pane);

    for (const bool inDialog : {true, false}) {
        const Window window = inDialog ? pane : MakeWindow(display(), 0, 0, 640, 480);
        SCOPED_TRACE(inDialog ? "dialog" : "saver");
        if (!inDialog)
            XChangeProperty(display(), window, XInternAtom(display(), "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(&screenshot), 1);
        auto program = inDialog
                           ? Larkspur("--root --verbose --window-id " + std::to_string(window) + " " + showQuadrants)
                           : Larkspur("--root --verbose --bg-type 0 --no-tile-bg",
                                      "XSCREENSAVER_WINDOW=" + std::to_string(window));
        EXPECT_TRUE(WaitForQuadrants(display(), window, inDialog ? 720 : 640, inDialog ? 400 : 480))
            << program->Stderr();
        XResizeWindow(display(), window, inDialog ? 840 : 1000, inDialog ? 540 : 560);
        XSync(display(), False);
        EXPECT_TRUE(WaitForQuadrants(display(), window, inDialog ? 840 : 1000, inDialog ? 540 : 560))
            << program->Stderr();
        if (inDialog)
            program->Signal(SIGINT);
        else
            XDestroyWindow(display(), window);
        XSync(display(), False);
        // A destroyed window is noticed at the next frame; under the sanitizers
        // that frame and the exit's leak scan can take over a second on a
        // loaded machine, so allow more than the signal case.
        ExpectExit(*program, inDialog ? 1.0 : 3.0, inDialog ? 128 + SIGINT : 0,
                   inDialog ? ", 720x400 on monitor 0, as the preview, through a child window"
                            : ", 640x480 on monitor 0, as the preview\n");
        EXPECT_NE(program->Stderr().find("larkspur: drawing into window 0x"), std::string::npos);
    }
    ExpectExit(*Larkspur("--window-id 0x7fffff0"), 5.0, 1, "there is no such window");
}

// Run as XScreenSaver runs it (--root with $XSCREENSAVER_WINDOW, and its
// settings dialog's --root --window-id), larkspur takes its command line over
// its built-in defaults and neither reads nor touches its settings file, here
// an outdated one that says otherwise about everything; run in its own
// window it reads that file (carrying its values over).
TEST_F(LarkspurOnX11, UnderXScreenSaverTheCommandLineAndDefaultsRunAndTheSettingsFileIsNotRead)
{
    const std::string file = scratch.dir.File("config/larkspur/LarkspurSS.ini");
    const std::string stored = "[LarkspurSS]\nversion=1.0\nNumDogs=60\nDogSize=250\nNumFootprints=10\nBGType=2\n"
                               "BGRes=0\nTileBG=false\nMainMonitorOnly=true\nBGPath=/srv/pictures/\n";
    std::filesystem::create_directories(scratch.dir.File("config/larkspur"));
    scratch.dir.Write("config/larkspur/LarkspurSS.ini", std::vector<unsigned char>(stored.begin(), stored.end()));
    const std::string window = std::to_string(MakeWindow(display(), 0, 0, 640, 480));
    const std::string defaults = "NumDogs=25 DogSize=100 NumFootprints=2000 BGType=0 BGRes=1 TileBG=true "
                                 "MainMonitorOnly=false BGPath=/usr/share/backgrounds/\n";
    const std::string saved = "NumDogs=60 DogSize=250 NumFootprints=10 BGType=2 BGRes=0 TileBG=false "
                              "MainMonitorOnly=true BGPath=/srv/pictures/\n";
    const struct {
        std::string environment, arguments, settings;
        bool byXScreenSaver, readsFile;
    } runs[] = {
        {"XSCREENSAVER_WINDOW=" + window, "--root", defaults, true, false},
        {"", "--root --window-id " + window + " --num-dogs 7 --no-tile-bg --bg-res 2",
         "NumDogs=7 DogSize=100 NumFootprints=2000 BGType=0 BGRes=2 TileBG=false MainMonitorOnly=false "
         "BGPath=/usr/share/backgrounds/\n",
         true, false},
        // MATE's entry: started the same way, but its settings are the saved ones.
        {"XSCREENSAVER_WINDOW=" + window, "--root --saved-settings", saved, true, true},
        {"", "", saved, false, true},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.arguments);
        auto program = Larkspur("--verbose " + r.arguments, r.environment);
        ASSERT_TRUE(Says(*program, "larkspur: settings: " + r.settings)) << program->Stderr();
        const std::string notRead = "larkspur: run by XScreenSaver: settings from the command line over the "
                                    "defaults; " +
                                    file + " is not read\n";
        EXPECT_EQ(program->Stderr().find(notRead) != std::string::npos, !r.readsFile) << program->Stderr();
        program->Signal(SIGTERM);
        ExpectExit(*program, 3.0, r.byXScreenSaver ? 128 + SIGTERM : 0);
        // Only a run that reads the file brings it up to date.
        EXPECT_EQ(TextOfFile(file) == stored, !r.readsFile);
        EXPECT_EQ(std::filesystem::exists(file + ".old"), r.readsFile);
    }
}

// Drawn straight into the root window, whatever the screen's size: not a
// preview, although the root has no parent and may be as small as a preview.
// When the run ends, the root shows its own background again (white here)
// instead of the last frame, and the process ends by the signal that ended
// the run, as XScreenSaver expects of its hacks.
TEST_F(LarkspurOnX11, TheRootIsNeverThePreviewAndGetsItsBackgroundBack)
{
    for (const bool small : {false, true}) {
        SCOPED_TRACE(small ? "640x480" : "1280x800");
        std::unique_ptr<XvfbServer> smallServer = small ? std::make_unique<XvfbServer>(640, 480) : nullptr;
        XvfbServer& server = small ? *smallServer : *x;
        ASSERT_TRUE(server.ok());
        const int width = small ? 640 : 1280, height = small ? 480 : 800;
        PaintRoot(server.display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 255));
        auto program = scratch.Run("DISPLAY=" + server.name(),
                                   "--resources '" + scratch.resources + "' --root --verbose " + showQuadrants);
        const Window root = DefaultRootWindow(server.display());
        EXPECT_TRUE(
            WaitFor([&] { return ShowsQuadrants(TakeShot(server.display(), root), 0, 0, width, height); }, 15.0))
            << program->Stderr();
        program->Signal(SIGTERM);
        ExpectExit(*program, 2.0, 128 + SIGTERM,
                   ", " + std::to_string(width) + "x" + std::to_string(height) + " on monitor 0\n");
        const Shot shot = TakeShot(server.display(), root);
        for (const auto& [px, py] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}})
            EXPECT_TRUE(Looks(shot, width * px / 4, height * py / 4, kWhite, 8)) << px << "," << py;
    }
}

// Full screen, any key or button ends the run, and pointer motion does once
// it has carried the pointer more than a few pixels: the first motion after
// the first half second only sets where the pointer rests.
TEST_F(LarkspurOnX11, FullscreenEndsOnAKeyAButtonOrAMoveOfMoreThanAFewPixels)
{
    const std::string xdotool = "DISPLAY=" + x->name() + " xdotool ";
    const struct {
        const char* name;
        std::vector<std::string> notWaking;
        std::string waking;
    } cases[] = {
        {"a key", {}, "key x"},
        {"a button", {}, "click 1"},
        {"pointer motion", {"mousemove 100 100", "mousemove 105 103"}, "mousemove 130 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto program = Larkspur("--fullscreen --verbose " + showQuadrants);
        ASSERT_TRUE(WaitFor(
            [&] { return ShowsQuadrants(TakeShot(display(), DefaultRootWindow(display())), 0, 0, 1280, 800); }, 15.0))
            << program->Stderr();
        // Past the first half second of the frame loop, which began before
        // the first frame showed.
        WaitFor([] { return false; }, 0.6);
        for (const std::string& input : c.notWaking)
            ASSERT_EQ(RunCommand(xdotool + input), 0) << input;
        if (!c.notWaking.empty()) {
            EXPECT_FALSE(WaitFor([&] { return !program->Running(); }, 0.5)) << program->Stderr();
        }
        ASSERT_EQ(RunCommand(xdotool + c.waking), 0) << c.waking;
        ExpectExit(*program, 2.0, 0, std::string("larkspur: woken by ") + c.name + "\n");
    }
}

// Frames called with no delay at all run late on every pass; SIGTERM still
// ends the run cleanly (its figures are reported) at once. A stopped X server
// is not waited for: the run ends within the second's grace.
TEST_F(LarkspurOnX11, ASignalEndsARunWhoseFramesRunLateOrWhoseServerIsStopped)
{
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped server" : "late frames");
        auto program = Larkspur((stopped ? "" : "--delay 0 --fps ") + showQuadrants);
        ASSERT_TRUE(WaitFor(
            [&] { return ShowsQuadrants(TakeShot(display(), DefaultRootWindow(display())), 0, 40, 1280, 720); }, 15.0))
            << program->Stderr();
        if (stopped)
            x->Signal(SIGSTOP);
        const double start = SteadyNow();
        program->Signal(SIGTERM);
        ExpectExit(*program, 3.0, 0,
                   stopped ? "larkspur: the run did not end within 1 s of the signal" : "frames per second");
        const double took = SteadyNow() - start;
        if (stopped)
            x->Signal(SIGCONT);
        EXPECT_LT(took, stopped ? 2.0 : 1.5);
        if (!stopped) {
            EXPECT_EQ(program->Stderr().find("did not end"), std::string::npos) << program->Stderr();
        }
    }
}

// Two 640x480 monitors side by side: the right one shows the picture, the
// left one black over the white root.
bool RightDrawsLeftBlack(const Shot& shot)
{
    return ShowsQuadrants(shot, 640, 0, 640, 480) && Looks(shot, 320, 240, Colour{0, 0, 0}, 8);
}

// The first monitor given is the primary, here the right-hand one; the other
// one's view stays black over the white root.
TEST_F(LarkspurOnX11, FullscreenMakesAViewPerMonitorAndMainMonitorOnlyKeepsOthersBlack)
{
    PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 255));
    RunUntilTheScreen(showQuadrants + " --fullscreen --monitors 640x480+640+0,640x480+0+0 --main-monitor-only",
                      RightDrawsLeftBlack);
}

// Names two XRandR monitors side by side on the server: the left one, the
// primary, holds the server's only output; the right one holds none, as
// `xrandr --setmonitor NAME geometry none` makes it.
void NameTwoMonitors(Display* display, const char* left, const char* right)
{
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    ASSERT_TRUE(resources && resources->noutput > 0);
    const struct {
        const char* name;
        int x;
        int outputs;
    } monitors[] = {{left, 0, 1}, {right, 640, 0}};
    for (const auto& m : monitors) {
        XRRMonitorInfo* info = XRRAllocateMonitor(display, m.outputs);
        info->name = XInternAtom(display, m.name, False);
        info->primary = m.x == 0;
        info->x = m.x;
        info->width = 640;
        info->height = 480;
        info->mwidth = 170;
        info->mheight = 127;
        if (m.outputs)
            info->outputs[0] = resources->outputs[0];
        XRRSetMonitor(display, root, info);
        XRRFreeMonitors(info);
    }
    XRRFreeScreenResources(resources);
    XSync(display, False);
}

// The monitors named draw and the others stay black, whatever their case and
// even against --main-monitor-only; a list that names no monitor present is
// said once and leaves every monitor drawing.
TEST_F(LarkspurOnX11, MonitorNamesChooseTheMonitorsThatDrawOrAllWhenNoneIsPresent)
{
    NameTwoMonitors(display(), "LEFT-1", "Right-2");
    PaintRoot(display(), 8, 8, std::vector<unsigned char>(8 * 8 * 3, 255));
    RunUntilTheScreen(showQuadrants + " --fullscreen --main-monitor-only --monitor-names ' right-2 ,VGA-9'",
                      RightDrawsLeftBlack);
    const auto bothDraw = [](const Shot& shot) {
        return ShowsQuadrants(shot, 0, 0, 640, 480) && ShowsQuadrants(shot, 640, 0, 640, 480);
    };
    const std::string said = RunUntilTheScreen(showQuadrants + " --fullscreen --monitor-names VGA-9", bothDraw);
    const std::string told = "larkspur: none of the monitors VGA-9 is present (there are LEFT-1, Right-2); the herd "
                             "shows on every monitor\n";
    const size_t at = said.find(told);
    EXPECT_TRUE(at != std::string::npos && said.find(told, at + 1) == std::string::npos) << said;
}

} // namespace
