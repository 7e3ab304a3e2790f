// Tests of the larkspur program: the command line, headless runs and what
// --verbose reports over minutes of simulated time.
#include "fixtures/FakeHost.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace {

const std::string kProgram = LARKSPUR_PROGRAM;

// Runs larkspur with its settings kept inside the test's folder.
int Larkspur(const TempDir& dir, const std::string& arguments, std::string* out = nullptr,
             std::string* err = nullptr)
{
    return RunCommand("XDG_CONFIG_HOME='" + dir.File("config") + "' " + kProgram + " " + arguments, out, err);
}

// A scratch folder with a scene pack of quadrant pictures in res/.
struct SceneFolder : TempDir {
    SceneFolder()
    {
        RunCommand("mkdir -p '" + File("res") + "' '" + File("empty") + "'");
        WriteScenePack(File("res/pellmore.works"), 8);
    }
};

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

TEST(LarkspurProgram, HelpListsTheOptions)
{
    TempDir dir;
    std::string out;
    ASSERT_EQ(Larkspur(dir, "--help", &out), 0);
    for (const char* option : {"--headless", "--seconds", "--step", "--size", "--out", "--every", "--seed",
                               "--num-dogs", "--tile-bg", "--desktop-picture", "--resources", "--window-id"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
    for (const char* other : {"-help", "-h"}) {
        std::string again;
        ASSERT_EQ(Larkspur(dir, other, &again), 0) << other;
        EXPECT_EQ(again, out) << other;
    }
}

TEST(LarkspurProgram, BadCommandLinesExitTwoWithAReason)
{
    TempDir dir;
    const struct {
        const char* arguments;
        const char* reason;
    } cases[] = {
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"--headless --num-dogs -5", "--num-dogs needs a whole number from 0 to 500"},
        {"--headless --num-dogs 2000000000", "from 0 to 500"},
        {"--headless --dog-size=5", "--dog-size needs"},
        {"--headless --bg-type 3", "--bg-type needs"},
        {"--headless --size 0x10", "--size needs"},
        {"--headless --size 640", "--size needs"},
        {"--headless --step 0", "--step needs"},
        {"--headless --seconds nan", "--seconds needs"},
        {"--headless --frames 5 --seconds 5", "not both"},
        {"--headless --every", "--every needs a value"},
        {"--headless --tile-bg=yes", "takes no value"},
        {"--headless --tile-bg --no-tile-bg", "choose only one of --tile-bg and --no-tile-bg"},
        // No ticks would write nothing and succeed, as no seconds would.
        {"--headless --frames 0", "--frames needs a whole number from 1 to"},
        {"--headless --root", "choose only one"},
        // --root goes with --window-id, but neither with a place of its own.
        {"--root --window-id 0x2a --fullscreen", "choose only one"},
        {"--window-id=42 --headless", "choose only one"},
        {"--window-id 0xZZ", "--window-id needs"},
        {"--monitors 100x100+0", "--monitors needs"},
        {"--out frames", "--out works only with --headless"},
        {"stray", "unexpected argument"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Larkspur(dir, c.arguments, nullptr, &err), 2) << c.arguments;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.arguments << ": " << err;
    }
    // Display options parse, --root with --window-id as XScreenSaver's
    // settings dialog gives them (the given window wins, so a bad
    // $XSCREENSAVER_WINDOW is not even read); without a display the run
    // fails and says which, and what works without one.
    const struct {
        const char *environment, *arguments, *says;
    } displays[] = {
        {"-u DISPLAY -u WAYLAND_DISPLAY XSCREENSAVER_WINDOW=bad", "-root -window-id 0x2a00003 -monitors "
                                                                  "800x600+0+0,640x480+800+0",
         "larkspur: cannot open a display: $DISPLAY is not set; --headless renders without one\n"},
        {"-u WAYLAND_DISPLAY DISPLAY=:97", "--x11",
         "larkspur: cannot open the display ':97'; --headless renders without one\n"},
    };
    for (const auto& d : displays) {
        std::string err;
        EXPECT_EQ(RunCommand(std::string("env ") + d.environment + " " + kProgram + " " + d.arguments, nullptr, &err),
                  1)
            << d.arguments;
        EXPECT_NE(err.find(d.says), std::string::npos) << err;
    }
}

// Missing resources give black frames and success; the settings given on
// the command line leave the stored ones alone.
TEST(LarkspurProgram, MissingResourcesGiveBlackFramesAndOverridesLeaveTheStoreAlone)
{
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(Larkspur(dir, "--headless --frames 6 --every 3 --size 32x18 --num-dogs 3 --resources " +
                                dir.File("none") + " --out " + dir.File("out"),
                       &out, &err),
              0)
        << err;
    EXPECT_NE(err.find("cannot be loaded"), std::string::npos) << err;
    EXPECT_NE(out.find("wrote 2 frames"), std::string::npos) << out;
    for (const char* name : {"frame-000003.png", "frame-000006.png"}) {
        Picture frame;
        ASSERT_TRUE(DecodePictureFile(dir.File(std::string("out/") + name).c_str(), &frame)) << name;
        EXPECT_EQ(frame.width(), 32);
        EXPECT_EQ(frame.height(), 18);
        for (int y = 0; y < frame.height(); y++)
            for (int x = 0; x < frame.width() * frame.channels(); x++)
                ASSERT_EQ(frame.Row(y)[x], 0) << name;
    }
    std::vector<unsigned char> stored;
    ASSERT_TRUE(ReadWholeFile(dir.File("config/larkspur/LarkspurSS.ini"), &stored));
    EXPECT_NE(std::string(stored.begin(), stored.end()).find("NumDogs=25"), std::string::npos);
}

// Every tick draws, the first one too: --fps counts the frames, and the first
// frame written shows the scene. PNG rows run from the top: the picture's
// quadrants land where they were.
TEST(LarkspurProgram, HeadlessRunShowsTheDesktopPictureUpright)
{
    SceneFolder dir;
    const std::string picture = dir.File("desktop.png");
    WritePixbufPicture(picture, "png", 64, 36, 3, QuadrantPixels(64, 36, 3));
    const struct {
        const char *length, *drawn, *out, *frame;
    } cases[] = {
        {"--seconds 1 --every 39", "larkspur: 40 frames drawn in ", "out", "out/frame-000039.png"},
        {"--frames 1", "larkspur: 1 frame drawn in ", "one", "one/frame-000001.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::string out, err;
        ASSERT_EQ(Larkspur(dir, std::string("--headless --size 64x36 --seed 1 --no-tile-bg --fps ") + c.length +
                                    " --resources " + dir.File("res") + " --desktop-picture " + picture + " --out " +
                                    dir.File(c.out),
                           &out, &err),
                  0)
            << err;
        EXPECT_NE(err.find(c.drawn), std::string::npos) << err;
        EXPECT_NE(out.find("wrote 1 frame to"), std::string::npos) << out;
        Picture frame;
        ASSERT_TRUE(DecodePictureFile(dir.File(c.frame).c_str(), &frame));
        EXPECT_TRUE(Near(frame.Row(2) + 2 * 3, kRed));
        EXPECT_TRUE(Near(frame.Row(2) + 61 * 3, kGreen));
        EXPECT_TRUE(Near(frame.Row(33) + 2 * 3, kBlue));
        EXPECT_TRUE(Near(frame.Row(33) + 61 * 3, kWhite));
    }
}

TEST(LarkspurProgram, APictureThatCannotBeUsedIsToldOnceWithWhatTheGroundShows)
{
    SceneFolder dir;
    WritePixbufPicture(dir.File("old.bmp"), "bmp", 8, 8, 3, QuadrantPixels(8, 8, 3));
    WritePixbufPicture(dir.File("good.png"), "png", 8, 8, 3, QuadrantPixels(8, 8, 3));
    std::vector<unsigned char> greyTga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 16, 0, 8, 0};
    greyTga.resize(greyTga.size() + 16 * 16, 0x80);
    dir.Write("grey.tga", greyTga);
    const struct {
        std::string arguments;
        std::string told; // empty: nothing is said
    } cases[] = {
        {"--desktop-picture /nonexistent.png",
         "the desktop picture /nonexistent.png is skipped (no such file or directory); the ground shows no picture"},
        {"--desktop-picture " + dir.File("old.bmp"), "(unsupported picture format bmp); the ground shows no picture"},
        {"--desktop-picture " + dir.File("grey.tga"), "(unsupported picture format tga)"},
        {"--bg-type 2 --bg-path /nonexistent", "the picture folder /nonexistent is skipped (no such file or "
                                               "directory); "},
        {"--bg-type 2 --bg-path " + dir.File("empty"),
         "the picture folder " + dir.File("empty") + " is skipped (it holds no .jpg, .gif or .png picture); "},
        {"--desktop-picture " + dir.File("good.png"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string err;
        ASSERT_EQ(Larkspur(dir, "--headless --frames 3 --size 32x18 --verbose --resources " + dir.File("res") + " " +
                                    c.arguments,
                           nullptr, &err),
                  0);
        EXPECT_EQ(err.find("Bug!"), std::string::npos) << err;
        EXPECT_EQ(Occurrences(err, "skipped"), c.told.empty() ? 0u : 1u) << "said once: " << err;
        // Said on a line of its own, in the program's name.
        const size_t at = err.find(c.told);
        ASSERT_NE(at, std::string::npos) << err;
        EXPECT_TRUE(c.told.empty() || err.compare(err.rfind('\n', at) + 1, 10, "larkspur: ") == 0) << err;
    }
}

TEST(LarkspurProgram, AnUnreadableSettingsFileGivesTheDefaultsOnceAndIsLeftAsItIs)
{
    TempDir dir;
    ASSERT_EQ(RunCommand("mkdir -p '" + dir.File("config/larkspur") + "'"), 0);
    const std::string file = dir.Write("config/larkspur/LarkspurSS.ini", {'N', '\n'});
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    std::string err;
    ASSERT_EQ(RunCommand("XDG_CONFIG_HOME='" + dir.File("config") + "' " + PermissionBitsHoldPrefix() + kProgram +
                             " --headless --frames 2 --resources " + dir.File("none"),
                         nullptr, &err),
              0)
        << err;
    const std::string told = "larkspur: cannot read " + file +
                             " (Permission denied); using the default settings and leaving the file as it is\n";
    EXPECT_EQ(err.find(told), 0u) << err;
    EXPECT_EQ(err.find(file, told.size()), std::string::npos) << "said once: " << err;
    chmod(file.c_str(), 0600);
    std::vector<unsigned char> kept;
    ASSERT_TRUE(ReadWholeFile(file, &kept));
    EXPECT_EQ(kept, (std::vector<unsigned char>{'N', '\n'}));
}

// A long run with the real packs reports births, camera mode changes and the
// herd's counts once per simulated minute; without --verbose nothing of the
// herd is reported.
TEST(LarkspurVerbose, ReportsBirthsCameraModesAndMinuteCounts)
{
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(Larkspur(dir, "--headless --size 160x90 --seconds 150 --step 0.1 --seed 7 --verbose", &out, &err), 0)
        << err;
    EXPECT_GE(Occurrences(err, "larkspur: "), 5u) << err;
    EXPECT_GE(Occurrences(err, ": birth at ("), 1u) << err;
    EXPECT_GE(Occurrences(err, ": camera home -> "), 1u) << err;
    EXPECT_EQ(Occurrences(err, " slots, "), 2u) << "one count per simulated minute after the first: " << err;
    EXPECT_NE(err.find("herd: 25 slots"), std::string::npos) << err;

    ASSERT_EQ(Larkspur(dir, "--headless --size 160x90 --seconds 30 --step 0.1 --seed 7", &out, &err), 0);
    EXPECT_EQ(err.find("camera"), std::string::npos) << err;
}

} // namespace
