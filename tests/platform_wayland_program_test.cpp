// Tests of larkspur as a native Wayland client, each under its own headless
// compositor: full screen on two outputs at scale 2, a signal while frames
// run late, opaque frames, the window with the capture through grim and the
// choice of backend under weston; the main output's desktop on every output
// through grim and the desktop portal, real key presses and outputs that
// come and go (the main one among them) under sway (with a weston nested in
// it for an output that goes), and outputs chosen by name.
#include <gtest/gtest.h>

#include "fixtures/DesktopPortal.h"
#include "fixtures/Sway.h"
#include "fixtures/Weston.h"
#include "platform/loop/FrameLoop.h"
#include "platform/wayland/WaylandCapture.h"
#include "resources/PictureDecoder.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

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

    // larkspur on the compositor last started.
    std::unique_ptr<ChildProgram> Larkspur(const std::string& arguments, const std::string& environment = "")
    {
        return scratch.Run(compositor + " " + environment,
                           "--verbose --resources '" + scratch.resources + "' " + arguments);
    }

    // Whether the one nested output left shows the picture. Weston 10
    // sometimes crashes as it tears a nested output down: its fault, not the
    // client's, and the caller skips the rest when it is gone.
    bool TheOutputLeftShowsTheQuadrants()
    {
        return WaitFor(
            [&] {
                const Shot shot = weston->Screenshot();
                return shot.width == 320 && ShowsQuadrants(shot, 0, 0, 320, 240);
            },
            15.0);
    }

    LarkspurScratch scratch;
    const std::string& showQuadrants = scratch.showQuadrants;
    // Declared first, so that a weston nested in it goes first.
    std::unique_ptr<SwayServer> sway;
    std::unique_ptr<WestonServer> weston;
    std::string compositor;
};

// One view per output, each filling it (at scale 2, in pixels); with
// MainMonitorOnly the first output listed draws and the other stays black.
// Losing the compositor ends the run with status 1.
TEST_F(LarkspurOnWayland, FullscreenCoversEachOutputAndEndsWhenTheCompositorGoes)
{
    ASSERT_NO_FATAL_FAILURE(Start(640, 480, 2, 2));
    auto program = Larkspur("--fullscreen --main-monitor-only " + showQuadrants);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = weston->Screenshot();
            return shot.width == 1280 && ShowsQuadrants(shot, 0, 0, 640, 480) &&
                   Looks(shot, 640 + 320, 240, Colour{0, 0, 0});
        },
        30.0))
        << program->Stderr();
    // The black output has a view too: weston's own background is blue.
    EXPECT_NE(program->Stderr().find("640x480 pixels at scale 2"), std::string::npos) << program->Stderr();
    weston->Kill();
    ExpectExit(*program, 3.0, 1, "lost the connection to the Wayland compositor");
}

// Frames called with no delay at all run late on every pass: the surface
// still draws (the compositor's frame callbacks are read on every pass), and
// SIGTERM ends the run cleanly (its figures are reported) at once.
TEST_F(LarkspurOnWayland, ASignalEndsARunWhoseFramesRunLate)
{
    ASSERT_NO_FATAL_FAILURE(Start(640, 480));
    auto program = Larkspur("--fullscreen --delay 0 --fps " + showQuadrants);
    EXPECT_TRUE(WaitFor([&] { return ShowsQuadrants(weston->Screenshot(), 0, 0, 640, 480); }, 30.0))
        << program->Stderr();
    const double start = SteadyNow();
    program->Signal(SIGTERM);
    ExpectExit(*program, 3.0, 0, "frames per second");
    EXPECT_LT(SteadyNow() - start, 1.5);
    EXPECT_EQ(program->Stderr().find("did not end"), std::string::npos) << program->Stderr();
}

// Whatever the scene draws (the sky, footprints blended into the ground),
// every pixel of the output is opaque, so a compositor that honours alpha
// shows nothing of what lies beneath.
TEST_F(LarkspurOnWayland, EveryPixelOfTheScreenIsOpaque)
{
    ASSERT_NO_FATAL_FAILURE(Start(640, 480));
    // The real scene pack, whose footprints are blended.
    auto program = scratch.Run(compositor, "--resources '" LARKSPUR_RESOURCES_DIR "' --fullscreen --num-dogs 6 "
                                           "--dog-size 150 --desktop-picture '" +
                                               scratch.quadrants + "'");
    ASSERT_TRUE(WaitFor(
        [&] {
            return !Looks(weston->Screenshot(), 320, 400, Colour{0, 0, 0});
        },
        30.0))
        << program->Stderr();
    // Footprints build up over the first seconds (without care, alpha about
    // 0.7 where they lie).
    int lowest = 255;
    for (int i = 0; i < 12; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lowest = std::min(lowest, weston->LowestAlpha());
    }
    EXPECT_EQ(lowest, 255);
}

// The session's own choice is a run whose compositor lets grim read the
// screen: the capture is asked of grim, for the main output by the name
// xdg-output gives it, and only once; the window then shows what
// grim gave, upright and in its own colours, and SIGINT ends it within a
// second.
TEST_F(LarkspurOnWayland, BackendFollowsTheSessionAndTheCaptureAsksGrimOnce)
{
    ASSERT_NO_FATAL_FAILURE(Start(1280, 800));
    const std::string bin = scratch.dir.File("bin"), calls = scratch.dir.File("grim-calls");
    // The stand-in grim notes its arguments and writes the picture to stdout.
    RunCommand("mkdir -p '" + bin + "' && printf '#!/bin/sh\\necho \"$*\" >> %s\\nexec cat %s\\n' '" + calls + "' '" +
               scratch.quadrants + "' > '" + bin + "/grim' && chmod +x '" + bin + "/grim'");
    auto program = Larkspur("--num-dogs 0 --bg-type 0 --no-tile-bg", "PATH='" + bin + "':$PATH");
    EXPECT_TRUE(Says(*program, "captured the screen through grim")) << program->Stderr();
    // The window is as wide as the screen and lies below weston's panel:
    // starting anywhere in the top 220 rows, its quadrants hold the quarter
    // points of a 1280x720 area 40 rows down.
    EXPECT_TRUE(WaitFor([&] { return ShowsQuadrants(weston->Screenshot(), 0, 40, 1280, 720); }, 15.0))
        << program->Stderr();
    program->Signal(SIGINT);
    ExpectExit(*program, 1.0, 0);
    EXPECT_EQ(TextOfFile(calls), "-o headless -\n");
}

// The quadrant picture fills the shot upright and unsqueezed: its quarter
// points, and two opposite corners (16 pixels in, past the blur of a
// stretched wallpaper's edge), have their quadrants' colours.
bool ShowsWholeQuadrants(const Shot& shot, int width, int height)
{
    return shot.width == width && shot.height == height && ShowsQuadrants(shot, 0, 0, width, height) &&
           Looks(shot, 16, 16, kRed) && Looks(shot, width - 17, height - 17, kWhite);
}

// Under sway, two outputs with their own wallpapers: the main one (listed
// first) shows the quadrant picture, the other, at scale 2 and placed left of
// it, plain yellow. Captured through grim (asked for the main output) and
// through the desktop portal with wlroots' back end (a screenshot of the
// whole layout at scale 2, cut down), every view's ground is the main
// output's wallpaper alone, filling it upright.
TEST_F(LarkspurOnWayland, EveryViewShowsTheMainOutputsDesktopThroughGrimAndThePortal)
{
    sway = std::make_unique<SwayServer>(640, 480);
    ASSERT_TRUE(sway->ok()) << "sway did not start\n" << sway->Log();
    compositor = sway->Environment();
    ASSERT_TRUE(sway->Command("create_output"));
    ASSERT_TRUE(sway->Command("output HEADLESS-2 scale 2 pos 0 0 bg #ffff00 solid_color"));
    ASSERT_TRUE(sway->Command("output HEADLESS-1 pos 320 0 bg " + sway->Share(scratch.quadrants) + " stretch"));
    ASSERT_TRUE(WaitFor(
        [&] {
            return ShowsWholeQuadrants(sway->Screenshot("HEADLESS-1"), 640, 480) &&
                   Looks(sway->Screenshot("HEADLESS-2"), 320, 240, Colour{255, 255, 0});
        },
        15.0))
        << "the wallpapers did not show\n"
        << sway->Log();
    DesktopPortal portal(compositor, "sway", "wlr.portal gtk.portal", true);
    ASSERT_TRUE(portal.ok()) << portal.Log();
    const struct {
        const char* way;
        std::string environment;
    } ways[] = {{"grim", ""}, {"the desktop portal", portal.Environment()}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        auto program = Larkspur("--fullscreen --num-dogs 0 --bg-type 0 --no-tile-bg", way.environment);
        EXPECT_TRUE(Says(*program, std::string("captured the screen through ") + way.way)) << program->Stderr();
        EXPECT_TRUE(WaitFor(
            [&] {
                return ShowsWholeQuadrants(sway->Screenshot("HEADLESS-1"), 640, 480) &&
                       ShowsWholeQuadrants(sway->Screenshot("HEADLESS-2"), 640, 480);
            },
            15.0))
            << program->Stderr();
        program->Signal(SIGTERM);
        ExpectExit(*program, 3.0, 0);
    }
}

// With MainMonitorOnly only the main output draws; when it goes, the next
// one is main and its view starts drawing. The going is that of a weston
// nested in sway, whose first output's window sway closes (sway cannot take
// a headless output of its own away).
TEST_F(LarkspurOnWayland, WhenTheMainOutputGoesTheNextOneDraws)
{
    sway = std::make_unique<SwayServer>(640, 480);
    ASSERT_TRUE(sway->ok()) << "sway did not start\n" << sway->Log();
    ASSERT_NO_FATAL_FAILURE(Start(320, 240, 2));
    auto program = Larkspur("--fullscreen --main-monitor-only " + showQuadrants);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = weston->Screenshot();
            return shot.width == 640 && ShowsQuadrants(shot, 0, 0, 320, 240) &&
                   Looks(shot, 320 + 160, 120, Colour{0, 0, 0}, 8);
        },
        30.0))
        << program->Stderr();
    ASSERT_TRUE(sway->Command("[title=\"wayland0$\"] kill"));
    EXPECT_TRUE(Says(*program, " is main now")) << program->Stderr();
    const bool shows = TheOutputLeftShowsTheQuadrants();
    if (!shows && !weston->Alive())
        GTEST_SKIP() << "weston ended as its output went\n" << weston->Log() << program->Stderr();
    EXPECT_TRUE(shows) << program->Stderr();
    program->Signal(SIGTERM);
    ExpectExit(*program, 3.0, 0);
}

// A portal that never answers is given up on in its 3 seconds, and the run
// says once why it shows the desktop picture instead of the screen.
TEST_F(LarkspurOnWayland, WithoutACaptureTheRunSaysWhyOnceAndGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(Start(640, 480));
    SilentPortal portal;
    ASSERT_TRUE(portal.ok());
    const double start = SteadyNow();
    auto program =
        Larkspur("--fullscreen --num-dogs 0 --bg-type 0 --no-tile-bg --desktop-picture '" + scratch.quadrants + "'",
                 portal.Environment());
    const std::string why = "larkspur: no screen capture, so the desktop picture is shown (the desktop portal: "
                            "no answer within 3 s; grim: ";
    EXPECT_TRUE(Says(*program, why, 10.0)) << program->Stderr();
    EXPECT_LT(SteadyNow() - start, 8.0);
    EXPECT_TRUE(WaitFor([&] { return ShowsQuadrants(weston->Screenshot(), 0, 0, 640, 480); }, 15.0))
        << program->Stderr();
    const std::string text = program->Stderr();
    EXPECT_EQ(text.find("no screen capture", text.find("no screen capture") + 1), std::string::npos) << text;
    program->Signal(SIGTERM);
    ExpectExit(*program, 3.0, 0);
}

// Real key presses through sway's seat: a window takes no notice of an
// ordinary key and ends on Escape; in full screen any key wakes the run. Pointer
// motion cannot be tested so: a headless sway has no pointer device (the wake
// rule's own tests cover it). An output that appears while a full-screen run
// goes on gains a view that draws; one that goes loses its view, and the run
// goes on drawing on the others. Sway makes outputs on request but cannot
// take a headless one away, so the going is that of a weston nested in sway
// when sway closes the window that is one of its outputs.
TEST_F(LarkspurOnWayland, KeysEndTheRunAndOutputsThatComeAndGoGainAndLoseTheirViews)
{
    sway = std::make_unique<SwayServer>(640, 480);
    ASSERT_TRUE(sway->ok()) << "sway did not start\n" << sway->Log();
    compositor = sway->Environment();
    auto program = Larkspur(showQuadrants);
    ASSERT_TRUE(Says(*program, "pixels at scale 1")) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("x")) << "no virtual keyboard";
    EXPECT_TRUE(program->Running()) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("Escape"));
    ExpectExit(*program, 3.0, 0);

    program = Larkspur("--fullscreen --fps " + showQuadrants);
    ASSERT_TRUE(Says(*program, "output 'HEADLESS-1' 640x480 pixels at scale 1, main")) << program->Stderr();
    ASSERT_TRUE(sway->Command("create_output"));
    EXPECT_TRUE(Says(*program, "output 'HEADLESS-2' 640x480 pixels at scale 1\n")) << program->Stderr();
    // Both views draw: each has its own frame figures at the end.
    EXPECT_FALSE(WaitFor([&] { return !program->Running(); }, 1.0)) << program->Stderr();
    ASSERT_TRUE(sway->PressKey("x"));
    ExpectExit(*program, 3.0, 0, "woken by a key");
    EXPECT_NE(program->Stderr().find("output 1: "), std::string::npos) << program->Stderr();
    EXPECT_EQ(program->Stderr().find("no frames drawn"), std::string::npos) << program->Stderr();

    ASSERT_NO_FATAL_FAILURE(Start(320, 240, 2));
    program = Larkspur("--fullscreen --fps " + showQuadrants);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = weston->Screenshot();
            return shot.width == 640 && ShowsQuadrants(shot, 0, 0, 320, 240) && ShowsQuadrants(shot, 320, 0, 320, 240);
        },
        30.0))
        << program->Stderr();
    ASSERT_TRUE(sway->Command("[title=\"wayland1$\"] kill"));
    EXPECT_TRUE(Says(*program, " is gone")) << program->Stderr();
    // The output that is left still shows the picture, and the run goes on.
    const bool shows = TheOutputLeftShowsTheQuadrants();
    if (!shows && !weston->Alive())
        GTEST_SKIP() << "weston ended as its output went\n" << weston->Log() << program->Stderr();
    EXPECT_TRUE(shows) << program->Stderr() << weston->Log();
    program->Signal(SIGTERM);
    // One view is left, so its figures stand alone on their line.
    ExpectExit(*program, 1.0, 0, "frames per second");
    EXPECT_EQ(program->Stderr().find("output 0: "), std::string::npos) << program->Stderr();
}

// One output of a sway, as grim reads it.
Shot GrimShot(const SwayServer& sway, const std::string& output)
{
    Shot shot;
    TempDir folder;
    Picture picture;
    const std::string file = folder.File("shot.png");
    if (RunCommand(sway.Environment() + " grim -o " + output + " '" + file + "'") == 0 &&
        DecodePictureFile(file.c_str(), &picture))
        PictureToRgb(picture, &shot.rgb, &shot.width, &shot.height);
    return shot;
}

// The list names an output that is not there yet: that is said, and every
// output draws. Once sway makes it, it alone draws and the first output (the
// main one) turns black.
TEST_F(LarkspurOnWayland, MonitorNamesChooseTheOutputsThatDrawAsOutputsComeAndGo)
{
    sway = std::make_unique<SwayServer>(640, 480);
    ASSERT_TRUE(sway->ok()) << "sway did not start\n" << sway->Log();
    compositor = sway->Environment();
    auto program = Larkspur("--fullscreen --monitor-names headless-2 " + showQuadrants);
    EXPECT_TRUE(Says(*program, "larkspur: none of the monitors headless-2 is present (there are HEADLESS-1); the "
                               "herd shows on every monitor\n"))
        << program->Stderr();
    EXPECT_TRUE(WaitFor([&] { return ShowsQuadrants(GrimShot(*sway, "HEADLESS-1"), 0, 0, 640, 480); }, 30.0))
        << program->Stderr();

    ASSERT_TRUE(sway->Command("create_output"));
    EXPECT_TRUE(WaitFor(
        [&] {
            return ShowsQuadrants(GrimShot(*sway, "HEADLESS-2"), 0, 0, 640, 480) &&
                   Looks(GrimShot(*sway, "HEADLESS-1"), 320, 240, Colour{0, 0, 0}, 8);
        },
        30.0))
        << program->Stderr();
    program->Signal(SIGTERM);
    ExpectExit(*program, 3.0, 0);
}

} // namespace
