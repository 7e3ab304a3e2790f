// Tests of the larkspur program: the command line, headless runs and what
// --verbose reports over a minute of simulated time.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/Xvfb.h"
#include "resources/PictureDecoder.h"

#include <sys/stat.h>

#include <string>

namespace {

const std::string kProgram = LARKSPUR_PROGRAM;

// Runs larkspur with its settings kept inside the test's folder, where
// permission bits hold as they do for an ordinary user.
int Larkspur(const TempDir& dir, const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr)
{
    return RunCommand("XDG_CONFIG_HOME='" + dir.File("config") + "' " + PermissionBitsHoldPrefix() + kProgram + " " +
                          arguments,
                      out, err);
}

// One row per check of the command line; each bad one exits 2 with its reason.
TEST(LarkspurProgram, HelpListsTheOptionsAndBadCommandLinesExitTwoWithAReason)
{
    TempDir dir;
    ASSERT_EQ(Larkspur(dir, "-h"), 0);
    const struct {
        const char* arguments;
        const char* reason;
    } cases[] = {
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"--headless --num-dogs 501", "--num-dogs needs a whole number from 0 to 500, not '501'"},
        // No ticks would write nothing and succeed, as no seconds would.
        {"--headless --frames 0", "--frames needs a whole number from 1 to"},
        {"--headless --size 640", "--size needs WxH"},
        {"--headless --step 0", "--step needs a number from 0.001 to 60, not '0'"},
        // A step this small would make a --seconds run practically endless.
        {"--headless --step 1e-30", "--step needs a number from 0.001 to 60, not '1e-30'"},
        {"--headless --seconds 10000000 --step 0.001", "would run more than 1000000000 ticks"},
        {"--headless --seconds 0", "--seconds needs a number above 0 and at most"},
        {"--headless --monitors 640x480+0+0", "--monitors cannot be used with --headless"},
        {"--headless --frames 5 --seconds 5", "not both"},
        {"--headless --every", "--every needs a value"},
        {"--headless --tile-bg=yes", "--tile-bg takes no value"},
        {"--headless --tile-bg --no-tile-bg", "choose only one of --tile-bg and --no-tile-bg"},
        {"--headless --root", "choose only one of --fullscreen, --headless and a given window"},
        {"--window-id 0xZZ", "--window-id needs"},
        {"--monitors 100x100+0", "--monitors needs"},
        {"--out frames", "--out works only with --headless"},
        {"stray", "unexpected argument"},
        {"--wayland --root", "cannot be used with --wayland"},
        {"--wayland --monitors 640x480+0+0", "Wayland reports its outputs itself"},
        {"--wayland --x11", "choose only one of --wayland and --x11"},
        {"--headless --wayland", "cannot be used with --headless"},
        {"--idle --fullscreen", "--idle starts the full-screen saver itself"},
        {"--lock-seconds 5", "--lock-seconds works only with --idle"},
        {"--idle --idle-seconds 0", "--idle-seconds needs a whole number from 1 to 7200, not '0'"},
        {"--idle --lock-command=' '", "--lock-command needs a command"},
        {"--monitor-names HDMI-1,", "--monitor-names needs monitor names separated by commas; 'HDMI-1,' has an "
                                    "empty name between commas"},
        {"--monitor-names \"$(printf 'DP\\033')\"", "'DP\\x1b' holds characters that are not printable text"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Larkspur(dir, c.arguments, nullptr, &err), 2) << c.arguments;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.arguments << ": " << err;
    }
    // Display options parse, --root with --window-id as XScreenSaver's
    // settings dialog gives them (the given window wins, so a bad
    // $XSCREENSAVER_WINDOW is not even read); X windows and layouts send a run
    // to X11 even in a Wayland session; without a display the run fails and
    // says which, and what works without one.
    const struct {
        const char *environment, *arguments;
        int status;
        const char* says;
    } displays[] = {
        {"-u DISPLAY WAYLAND_DISPLAY=wl XSCREENSAVER_WINDOW=bad", "-root -window-id 0x2a00003", 1,
         "larkspur: cannot open a display: $DISPLAY is not set; --headless renders without one\n"},
        {"-u DISPLAY WAYLAND_DISPLAY=wl", "-monitors 800x600+0+0,640x480+800+0", 1, "cannot open a display"},
        {"WAYLAND_DISPLAY=wl DISPLAY=:97", "--x11", 1,
         "larkspur: cannot open the display ':97'; --headless renders without one\n"},
        {"-u DISPLAY XSCREENSAVER_WINDOW=0xZZ", "--root", 2, "$XSCREENSAVER_WINDOW needs a window number"},
        {"WAYLAND_DISPLAY=no-such-socket", "--wayland", 1, "cannot connect to the Wayland compositor 'no-such-socket'"},
        {"-u DISPLAY -u WAYLAND_DISPLAY", "--idle", 1, "larkspur: cannot open a display: $DISPLAY is not set\n"},
        {"WAYLAND_DISPLAY=no-such-socket DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent", "--idle", 1,
         "larkspur: no idle source answered; tried ext-idle-notify-v1 and org_kde_kwin_idle on Wayland display "
         "'no-such-socket' (which could not be reached) and org.gnome.Mutter.IdleMonitor on the session bus "
         "(which could not be reached)\n"},
    };
    for (const auto& d : displays) {
        std::string err;
        EXPECT_EQ(RunCommand(std::string("env ") + d.environment + " " + kProgram + " " + d.arguments, nullptr, &err),
                  d.status)
            << d.arguments;
        EXPECT_NE(err.find(d.says), std::string::npos) << err;
    }
}

// The three programs print the build's one version, in one format, and do
// nothing else: no settings file appears.
TEST(LarkspurProgram, VersionIsTheBuildsOwnOnEveryProgram)
{
    TempDir dir;
    const struct {
        std::string command, prints;
    } programs[] = {
        {kProgram + " --version", "larkspur " LARKSPUR_VERSION "\n"},
        {kProgram + " -version", "larkspur " LARKSPUR_VERSION "\n"},
        {LARKSPUR_CONFIG_PROGRAM " --version", "larkspur-config " LARKSPUR_VERSION "\n"},
        {LARKSPUR_PACK_TOOL " --version", "larkspur-pack " LARKSPUR_VERSION "\n"},
    };
    for (const auto& p : programs) {
        std::string out;
        EXPECT_EQ(RunCommand("env -u DISPLAY XDG_CONFIG_HOME='" + dir.File("config") + "' " + p.command, &out), 0)
            << p.command;
        EXPECT_EQ(out, p.prints);
    }
    EXPECT_NE(RunCommand("test -e '" + dir.File("config") + "'"), 0);
    EXPECT_NE(std::string(LARKSPUR_VERSION).find('.'), std::string::npos);
}

// Every tick draws, the first one too: --fps counts the 40 ticks of a second.
// PNG rows run from the top: the picture's quadrants land where they were
// (a flip either way would move another colour into the corners).
// The settings given on the command line leave the stored ones alone.
TEST(LarkspurProgram, HeadlessRunShowsTheDesktopPictureUpright)
{
    LarkspurScratch scratch;
    const TempDir& dir = scratch.dir;
    std::string out, err;
    ASSERT_EQ(Larkspur(dir,
                       "--headless --size 64x36 --seed 1 --no-tile-bg --num-dogs 3 --fps --seconds 1 --every 39 "
                       "--resources " +
                           scratch.resources + " --desktop-picture " + scratch.quadrants + " --out " + dir.File("out"),
                       &out, &err),
              0)
        << err;
    EXPECT_NE(err.find("larkspur: 40 frames drawn in "), std::string::npos) << err;
    EXPECT_EQ(err.find("skipped"), std::string::npos) << "a good picture is used quietly\n" << err;
    EXPECT_NE(out.find("wrote 1 frame to"), std::string::npos) << out;
    Picture frame;
    ASSERT_TRUE(DecodePictureFile(dir.File("out/frame-000039.png").c_str(), &frame));
    EXPECT_TRUE(Near(frame.Row(2) + 2 * 3, kRed));
    EXPECT_TRUE(Near(frame.Row(33) + 61 * 3, kWhite));
    EXPECT_NE(TextOfFile(dir.File("config/larkspur/LarkspurSS.ini")).find("NumDogs=25"), std::string::npos);
}

// A run is as many ticks as its seconds make at its step, at least one: the
// shortest step is taken, and a run shorter than a step still runs a tick.
// Every tick writes its frame, drawn or not.
TEST(LarkspurProgram, HeadlessRunsTheTicksOfItsSecondsAndAtLeastOne)
{
    TempDir dir;
    const struct {
        const char* arguments;
        const char* wrote;
    } cases[] = {
        {"--seconds 0.005 --step 0.001", "wrote 5 frames to"},
        {"--seconds 1e-9", "wrote 1 frame to"},
        {"--seconds 0.1 --step 0.04", "wrote 3 frames to"},
    };
    for (const auto& c : cases) {
        std::string out, err;
        EXPECT_EQ(Larkspur(dir,
                           std::string("--headless --size 8x8 --resources /none --out ") + dir.File("out") + " " +
                               c.arguments,
                           &out, &err),
                  0)
            << c.arguments << ": " << err;
        EXPECT_NE(out.find(c.wrote), std::string::npos) << c.arguments << ": " << out;
    }
}

// What cannot be used is said once, on a line of its own in the program's
// name (the resources folder holds no pictures). An unreadable settings file
// is told of in every run.
TEST(LarkspurProgram, WhatCannotBeUsedIsToldOnceWithWhatTheGroundShows)
{
    LarkspurScratch scratch;
    const TempDir& dir = scratch.dir;
    ASSERT_EQ(RunCommand("mkdir -p '" + dir.File("config/larkspur") + "'"), 0);
    const std::string settings = dir.Write("config/larkspur/LarkspurSS.ini", {'N', '\n'});
    ASSERT_EQ(chmod(settings.c_str(), 0), 0);
    const struct {
        std::string arguments;
        std::string told;
    } cases[] = {
        {"--resources /none",
         "the scene pack /none/pellmore.works cannot be loaded (no such file or directory); the frames stay black\n"},
        {"--desktop-picture /nonexistent.png",
         "the desktop picture /nonexistent.png is skipped (no such file or directory); the ground shows Larkspur's "
         "own picture\n"},
        // These resources lack our own ground picture.
        {"--desktop-picture /nonexistent.png", "Larkspur's own ground picture " + scratch.resources +
                                                   "/meadow.jpg cannot be shown either (no such file or "
                                                   "directory); the ground shows no picture\n"},
        {"--bg-type 2 --bg-path " + scratch.resources, "the picture folder " + scratch.resources +
                                                           " is skipped (it holds no .jpg, .jpeg, .png, .gif or .webp "
                                                           "picture); "},
        {"", "cannot read " + settings +
                 " (Permission denied); using the default settings and leaving the file as it is\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string err;
        ASSERT_EQ(Larkspur(dir,
                           "--headless --frames 3 --size 32x18 --verbose --resources " + scratch.resources + " " +
                               c.arguments,
                           nullptr, &err),
                  0);
        const std::string all = "\n" + err, line = "\nlarkspur: " + c.told;
        EXPECT_TRUE(all.find(line) != std::string::npos && all.find(line) == all.rfind(line)) << "once:\n" << err;
    }
}

// A large picture costs the memory of its texture, not of its pixels: a
// 6144 x 6144 PNG or JPEG (108 MB decoded whole) adds less than a quarter of
// that to a run that shows a small picture. A GIF whose screen is 16384 wide
// (1 GB decoded) is refused from its header, and so is the same GIF in a
// QuickTime wrapper, which no loader of ours ever opens.
TEST(LarkspurProgram, LargePicturesCostTheirTextureNotTheirPixels)
{
    LarkspurScratch scratch;
    const TempDir& dir = scratch.dir;
    dir.Write("big.png", QuadrantPictureBytes("png", 6144, 6144));
    dir.Write("big.jpg", QuadrantPictureBytes("jpeg", 6144, 6144));
    dir.Write("screen.gif", QuadrantGifBytes(16384, 16384));
    dir.Write("wrapped", QuickTimeImage(QuadrantGifBytes(16384, 16384)));
    const auto peak = [&](const std::string& picture, std::string* err) {
        long kilobytes = 0;
        EXPECT_EQ(RunCommandPeak("XDG_CONFIG_HOME='" + dir.File("config") + "' " + kProgram +
                                     " --headless --frames 1 --size 32x18 --num-dogs 0 --bg-type 1 --bg-res 1 "
                                     "--resources " +
                                     scratch.resources + " --desktop-picture " + picture,
                                 &kilobytes, err),
                  0);
        return kilobytes;
    };
    std::string err;
    const long small = peak(scratch.quadrants, &err);
    const struct {
        const char* name;
        const char* told; // nullptr: shown quietly
    } cases[] = {
        {"big.png", nullptr},
        {"big.jpg", nullptr},
        {"screen.gif", "over the limit of 67 million pixels for a GIF"},
        {"wrapped", "unsupported picture format qtif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long kilobytes = peak(dir.File(c.name), &err);
        EXPECT_LT(kilobytes - small, 27 * 1024) << kilobytes << " KB against " << small << " KB";
        EXPECT_EQ(err.find("skipped") == std::string::npos, c.told == nullptr) << err;
        EXPECT_NE(err.find(c.told ? c.told : ""), std::string::npos) << err;
    }
}

// A run with the real packs reports camera mode changes and the herd's
// counts once per simulated minute; without --verbose nothing is reported.
TEST(LarkspurVerbose, ReportsCameraModesAndMinuteCounts)
{
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(Larkspur(dir, "--headless --size 160x90 --seconds 61 --step 0.1 --seed 7 --verbose", &out, &err), 0)
        << err;
    EXPECT_NE(err.find(": camera home -> "), std::string::npos) << err;
    EXPECT_EQ(err.find(" slots, "), err.rfind(" slots, ")) << "one count per simulated minute: " << err;
    EXPECT_NE(err.find("larkspur: 60.1 s: herd: 25 slots"), std::string::npos) << err;
    // The first birth comes at 7.1 s.
    ASSERT_EQ(Larkspur(dir, "--headless --size 160x90 --seconds 8 --step 0.1 --seed 7", &out, &err), 0);
    EXPECT_EQ(err, "");
}

} // namespace
