// Tests of larkspur as a native Wayland client, each under its own headless
// compositor: the window, full screen on two outputs (and at scale 2), the
// capture through grim, the ways a run ends, and the choice of backend under
// weston; real key presses and outputs that come and go under sway (with a
// weston nested in it for an output that goes).
#include <gtest/gtest.h>

#include "fixtures/Sway.h"
#include "fixtures/Weston.h"
#include "fixtures/Xvfb.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <memory>
#include <string>

namespace {

class LarkspurOnWayland : public ::testing::Test {
protected:
    // A weston, nested in sway when there is one.
    void Start(int width, int height, int outputs = 1, int scale = 1)
    {
        weston = std::make_unique<WestonServer>(width, height, outputs, scale, sway ? sway->SocketPath() : "");
        ASSERT_TRUE(weston->ok()) << "weston did not start";
        compositor = weston->Environment();
    }

    void StartSway(int width, int height)
    {
        sway = std::make_unique<SwayServer>(width, height);
        ASSERT_TRUE(sway->ok()) << "sway did not start\n" << sway->Log();
        compositor = sway->Environment();
    }

    // larkspur on the compositor last started.
    std::unique_ptr<ChildProgram> Larkspur(const std::string& arguments, const std::string& environment = "")
    {
        return scratch.Run(compositor + " " + environment, "--verbose --resources '" + resources + "' " + arguments);
    }

    LarkspurScratch scratch;
    // The scene pack alone: no creatures unless a test asks for the real packs.
    std::string resources = scratch.resources;
    const std::string& showQuadrants = scratch.showQuadrants;
    // Declared first, so that a weston nested in it goes first.
    std::unique_ptr<SwayServer> sway;
    std::unique_ptr<WestonServer> weston;
    std::string compositor;
};

// Where the colour covers the screenshot: the bounding box of its pixels.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Box Find(const Shot& shot, Colour colour)
{
    Box box;
    for (int y = 0; y < shot.height; y++)
        for (int x = 0; x < shot.width; x++)
            if (Near(shot.At(x, y), colour, 10))
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    return box;
}

// The quadrant picture fills a 1280x720 window somewhere on the screen:
// its box runs from red's top left to white's bottom right, give or take
// slack pixels, as the picture's edge texels blend with what lies beyond.
// The window's pixels that are none of the four colours are counted.
bool WindowShowsQuadrants(const Shot& shot, Box* window, int slack = 4, int* strangers = nullptr)
{
    const Box red = Find(shot, kRed), white = Find(shot, kWhite);
    *window = {red.left, red.top, white.right, white.bottom};
    if (std::abs(window->width() - 1280) > slack || std::abs(window->height() - 720) > slack ||
        !ShowsQuadrants(shot, window->left, window->top, window->width(), window->height()))
        return false;
    for (int y = window->top; strangers && y <= window->bottom; y++)
        for (int x = window->left; x <= window->right; x++) {
            const unsigned char* p = shot.At(x, y);
            *strangers += !Near(p, kRed) && !Near(p, kGreen) && !Near(p, kBlue) && !Near(p, kWhite);
        }
    return true;
}

std::ostream& operator<<(std::ostream& out, const Box& box)
{
    return out << "window at " << box.left << "," << box.top << " to " << box.right << "," << box.bottom << "\n";
}

// The window is 1280x720 and shows the picture upright, then the herd walks
// onto it (the preview draws no overlay, so anything else is a creature, a
// footprint or a spark); SIGTERM ends it within a second.
TEST_F(LarkspurOnWayland, WindowShowsThePictureUprightAndTheHerdAndEndsOnSigterm)
{
    ASSERT_NO_FATAL_FAILURE(Start(1920, 1080));
    resources = LARKSPUR_RESOURCES_DIR;
    auto program = Larkspur("--preview --bg-type 1 --no-tile-bg --num-dogs 25 --dog-size 300 --desktop-picture " +
                            scratch.quadrants);
    Box window;
    EXPECT_TRUE(WaitFor(
        [&] {
            int strangers = 0;
            return WindowShowsQuadrants(weston->Screenshot(), &window, 4, &strangers) && strangers > 500;
        },
        30.0))
        << window << program->Stderr();
    EXPECT_NE(program->Stderr().find("window 1280x720 pixels at scale 1"), std::string::npos) << program->Stderr();

    const auto sent = std::chrono::steady_clock::now();
    program->Signal(SIGTERM);
    ExpectExit(*program, 1.0, 0);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0);
}

// One view per output, each filling it (at scale 2 in pixels, sharp);
// with MainMonitorOnly the first output listed draws and the other stays
// black. Losing the compositor ends the run with status 1.
TEST_F(LarkspurOnWayland, FullscreenCoversEachOutputAndEndsWhenTheCompositorGoes)
{
    for (const int scale : {1, 2}) {
        const bool mainOnly = scale == 2;
        SCOPED_TRACE("scale " + std::to_string(scale));
        ASSERT_NO_FATAL_FAILURE(Start(640, 480, 2, scale));
        auto program = Larkspur("--fullscreen " + showQuadrants + (mainOnly ? " --main-monitor-only" : ""));
        EXPECT_TRUE(WaitFor(
            [&] {
                const Shot shot = weston->Screenshot();
                const bool second = mainOnly ? Looks(shot, 640 + 320, 240, Colour{0, 0, 0})
                                             : ShowsQuadrants(shot, 640, 0, 640, 480);
                return shot.width == 1280 && ShowsQuadrants(shot, 0, 0, 640, 480) && second;
            },
            30.0))
            << program->Stderr();
        const std::string err = program->Stderr(), view = "640x480 pixels at scale " + std::to_string(scale);
        EXPECT_NE(err.find(view, err.find(view) + 1), std::string::npos) << "a view per output\n" << err;

        weston->Kill();
        ExpectExit(*program, 3.0, 1, "lost the connection to the Wayland compositor");
    }
}

// Which display system a run uses, and the combinations refused with a
// reason (status 2). No X server runs, so a run sent to X11 fails to open
// its display (status 1), which tells the choice apart. The session's own
// choice is a run whose compositor lets grim read the screen: the capture is
// asked of grim (for every output, since weston names none), before the
// window maps, and only once; the ground then shows what grim gave, upright
// and in its own colours.
TEST_F(LarkspurOnWayland, BackendFollowsTheSessionAndTheCaptureAsksGrimOnceBeforeTheWindowMaps)
{
    ASSERT_NO_FATAL_FAILURE(Start(1280, 800));
    const std::string bin = scratch.dir.File("bin"), calls = scratch.dir.File("grim-calls");
    // The stand-in grim notes its arguments and writes the picture to stdout.
    RunCommand("mkdir -p '" + bin + "' && printf '#!/bin/sh\\necho \"$*\" >> %s\\nexec cat %s\\n' '" + calls + "' '" +
               scratch.quadrants + "' > '" + bin + "/grim' && chmod +x '" + bin + "/grim'");
    auto program = Larkspur("--num-dogs 0 --bg-type 0 --no-tile-bg", "PATH='" + bin + "':$PATH");
    EXPECT_TRUE(Says(*program, "captured the screen through grim")) << program->Stderr();
    const std::string err = program->Stderr();
    EXPECT_LT(err.find("window 1280x720"), err.find("captured the screen through grim")) << err;
    // The capture wraps around, so half a texel at each edge (20 pixels
    // across, 11 down) blends with the far side.
    Box window;
    EXPECT_TRUE(WaitFor([&] { return WindowShowsQuadrants(weston->Screenshot(), &window, 24); }, 15.0))
        << window << program->Stderr();
    program->Signal(SIGINT);
    ExpectExit(*program, 1.0, 0);
    std::string called;
    RunCommand("cat '" + calls + "'", &called);
    EXPECT_EQ(called, "-\n");

    const struct {
        const char* arguments;
        int status;
        const char* says;
        const char* environment = "";
    } cases[] = {
        {"--wayland", 0, "window 1280x720 pixels"},
        {"--x11", 1, "cannot open a display"},
        {"--window-id 0x400001", 1, "cannot open a display"},
        {"--monitors 640x480+0+0", 1, "cannot open a display"},
        {"--wayland --root", 2, "cannot be used with --wayland"},
        {"--window-id 0x400001 --wayland", 2, "cannot be used with --wayland"},
        {"--wayland --monitors 640x480+0+0", 2, "Wayland reports its outputs itself"},
        {"--wayland --x11", 2, "choose only one of --wayland and --x11"},
        {"--headless --wayland", 2, "cannot be used with --headless"},
        // Without a compositor to reach, --wayland fails with the reason.
        {"--wayland", 1, "cannot connect to the Wayland compositor 'no-such-socket'", "WAYLAND_DISPLAY=no-such-socket"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        program = Larkspur(std::string(c.arguments) + " " + showQuadrants, c.environment);
        if (c.status == 0) {
            EXPECT_TRUE(Says(*program, c.says)) << program->Stderr();
            program->Signal(SIGTERM);
        }
        ExpectExit(*program, 10.0, c.status, c.says);
    }
}

// Real key presses through sway's seat: a window takes no notice of an
// ordinary key and ends on Escape; in full screen any key wakes the run
// (status 0). Pointer motion cannot be tested so: a headless sway has no
// pointer device, so no client is given a pointer (the wake rule's own tests
// cover it).
TEST_F(LarkspurOnWayland, FullScreenWakesOnARealKeyAndTheWindowEndsOnlyOnEscape)
{
    ASSERT_NO_FATAL_FAILURE(StartSway(640, 480));
    auto program = Larkspur(showQuadrants);
    ASSERT_TRUE(Says(*program, "pixels at scale 1")) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("x")) << "no virtual keyboard";
    EXPECT_TRUE(program->Running()) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("Escape"));
    ExpectExit(*program, 3.0, 0);

    program = Larkspur("--fullscreen " + showQuadrants);
    ASSERT_TRUE(Says(*program, "pixels at scale 1")) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("x"));
    ExpectExit(*program, 3.0, 0, "woken by a key");
}

// An output that appears while a full-screen run goes on gains a view that
// draws; one that goes loses its view, and the run goes on drawing on the
// others. Sway makes outputs on request but cannot take a headless one away,
// so the going is that of a weston nested in sway when sway closes the
// window that is one of its outputs.
TEST_F(LarkspurOnWayland, OutputsThatComeAndGoGainAndLoseTheirViews)
{
    ASSERT_NO_FATAL_FAILURE(StartSway(640, 480));
    auto program = Larkspur("--fullscreen --fps " + showQuadrants);
    ASSERT_TRUE(Says(*program, "output 'HEADLESS-1' 640x480 pixels at scale 1, main")) << program->Stderr();
    ASSERT_TRUE(sway->Command("create_output"));
    EXPECT_TRUE(Says(*program, "output 'HEADLESS-2' 640x480 pixels at scale 1\n")) << program->Stderr();
    // Both views draw: each has its own frame figures at the end.
    EXPECT_FALSE(WaitFor([&] { return !program->Running(); }, 1.0)) << program->Stderr();
    program->Signal(SIGTERM);
    ExpectExit(*program, 1.0, 0, "output 1: ");
    EXPECT_NE(program->Stderr().find("output 0: "), std::string::npos) << program->Stderr();
    EXPECT_EQ(program->Stderr().find("no frames drawn"), std::string::npos) << program->Stderr();

    ASSERT_NO_FATAL_FAILURE(Start(320, 240, 2));
    program = Larkspur("--fullscreen --fps " + showQuadrants);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = weston->Screenshot();
            return shot.width == 640 && ShowsQuadrants(shot, 0, 0, 320, 240) &&
                   ShowsQuadrants(shot, 320, 0, 320, 240);
        },
        30.0))
        << program->Stderr();
    ASSERT_TRUE(sway->Command("[title=\"wayland1$\"] kill"));
    EXPECT_TRUE(Says(*program, " is gone")) << program->Stderr();
    // The output that is left still shows the picture, and the run goes on.
    const bool shows = WaitFor(
        [&] {
            const Shot shot = weston->Screenshot();
            return shot.width == 320 && ShowsQuadrants(shot, 0, 0, 320, 240);
        },
        15.0);
    // Weston 10 sometimes crashes as it tears a nested output down: its
    // fault, not the client's, and it leaves nothing to check.
    if (!shows && !weston->Alive())
        GTEST_SKIP() << "weston ended as its output went\n" << weston->Log() << program->Stderr();
    EXPECT_TRUE(shows) << program->Stderr() << weston->Log();
    program->Signal(SIGTERM);
    // One view is left, so its figures stand alone on their line.
    ExpectExit(*program, 1.0, 0, "frames per second");
    EXPECT_EQ(program->Stderr().find("output 0: "), std::string::npos) << program->Stderr();
}

} // namespace
