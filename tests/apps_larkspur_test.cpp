// Tests of the larkspur program: the command line and headless runs.
#include "fixtures/FakeHost.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kProgram = LARKSPUR_PROGRAM;

// Runs larkspur with its settings kept inside the test's folder.
int Larkspur(const TempDir& dir, const std::string& arguments, std::string* out = nullptr,
             std::string* err = nullptr)
{
    return RunCommand("XDG_CONFIG_HOME='" + dir.File("config") + "' " + kProgram + " " + arguments, out, err);
}

TEST(LarkspurProgram, HelpListsTheOptions)
{
    TempDir dir;
    std::string out;
    ASSERT_EQ(Larkspur(dir, "--help", &out), 0);
    for (const char* option : {"--headless", "--seconds", "--step", "--size", "--out", "--every", "--seed",
                               "--num-dogs", "--tile-bg", "--desktop-picture", "--resources", "--window-id"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
    ASSERT_EQ(Larkspur(dir, "-help", &out), 0);
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
    // fails and says why.
    std::string err;
    EXPECT_EQ(RunCommand("env -u DISPLAY XSCREENSAVER_WINDOW=bad " + kProgram +
                             " -root -window-id 0x2a00003 -monitors 800x600+0+0,640x480+800+0",
                         nullptr, &err),
              1);
    EXPECT_NE(err.find("cannot open the display"), std::string::npos) << err;
}

TEST(LarkspurProgram, MissingResourcesGiveBlackFramesAndSuccess)
{
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(Larkspur(dir, "--headless --frames 6 --every 3 --size 32x18 --resources " + dir.File("none") +
                                " --out " + dir.File("out"),
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
}

TEST(LarkspurProgram, HeadlessRunShowsTheDesktopPictureUpright)
{
    TempDir dir;
    ASSERT_EQ(RunCommand("mkdir -p '" + dir.File("res") + "'"), 0);
    WriteScenePack(dir.File("res/pellmore.works"), 8);
    const std::string picture = dir.File("desktop.png");
    WritePixbufPicture(picture, "png", 64, 36, 3, QuadrantPixels(64, 36, 3));
    std::string err;
    ASSERT_EQ(Larkspur(dir, "--headless --seconds 1 --every 40 --size 64x36 --seed 1 --no-tile-bg --resources " +
                                dir.File("res") + " --desktop-picture " + picture + " --out " + dir.File("out"),
                       nullptr, &err),
              0)
        << err;
    Picture frame;
    ASSERT_TRUE(DecodePictureFile(dir.File("out/frame-000040.png").c_str(), &frame));
    // PNG rows run from the top: the picture's quadrants land where they were.
    EXPECT_TRUE(Near(frame.Row(2) + 2 * 3, kRed));
    EXPECT_TRUE(Near(frame.Row(2) + 61 * 3, kGreen));
    EXPECT_TRUE(Near(frame.Row(33) + 2 * 3, kBlue));
    EXPECT_TRUE(Near(frame.Row(33) + 61 * 3, kWhite));
}

TEST(LarkspurProgram, SettingsOverridesLeaveTheStoredFileAlone)
{
    TempDir dir;
    ASSERT_EQ(Larkspur(dir, "--headless --frames 1 --num-dogs 3 --resources " + dir.File("none")), 0);
    std::vector<unsigned char> stored;
    ASSERT_TRUE(ReadWholeFile(dir.File("config/larkspur/LarkspurSS.ini"), &stored));
    EXPECT_NE(std::string(stored.begin(), stored.end()).find("NumDogs=25"), std::string::npos);
}

} // namespace
