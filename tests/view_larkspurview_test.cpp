// Tests of the view: frame pacing on a fake clock, main-screen-only, the
// failed and unsized views, resizing, and the background by type.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/AtomicFile.h"
#include "view/LarkspurView.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

class ViewTest : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        host.gl = &gl;
        host.preferencesFile = dir.File("LarkspurSS.ini");
        host.resources = dir.path();
        WriteScenePack(dir.File("pellmore.works"), 8);
        host.desktopPicture = dir.File("desktop.png");
        WritePixbufPicture(host.desktopPicture, "png", 40, 30, 3, QuadrantPixels(40, 30, 3));
    }

    void Preferences(const std::string& keys)
    {
        const std::string text = "[LarkspurSS]\nversion=1.1\n" + keys;
        ASSERT_TRUE(WriteFileAtomically(host.preferencesFile, std::vector<unsigned char>(text.begin(), text.end())));
    }

    // A started view that has run its first frame (setup, nothing drawn).
    std::unique_ptr<LarkspurView> StartedView()
    {
        auto view = std::make_unique<LarkspurView>(&host);
        view->startAnimation();
        view->animateOneFrame();
        return view;
    }

    void Step(LarkspurView* view, double seconds)
    {
        host.now += seconds;
        view->animateOneFrame();
    }

    TempDir dir;
    FakeHost host;
};

TEST_F(ViewTest, FirstFrameSetsUpSeededByTheClockWithoutDrawingThenFramesArePacedAndTeardownReleasesTheScene)
{
    host.wallClock = 4242;
    std::srand(4242);
    const int expected = std::rand();
    std::srand(1);
    auto view = StartedView();
    EXPECT_EQ(std::rand(), expected) << "the scene's random numbers are seeded from the clock";
    ASSERT_NE(view->ssMain, nullptr);
    EXPECT_EQ(host.flushes, 1);
    // Without the final "/" the view adds it.
    EXPECT_EQ(std::string(view->ssMain->resourcePath), dir.path() + "/");

    // A gap beyond two seconds only restarts the clock; exactly two seconds
    // draws that step.
    Step(view.get(), 2.0 + 1e-9);
    EXPECT_EQ(host.flushes, 1);
    Step(view.get(), 0.025);
    EXPECT_NEAR(view->ssMain->frameTime, 0.025, 1e-9);
    Step(view.get(), 2.0);
    EXPECT_TRUE(host.flushes == 3 && view->ssMain->frameTime == 2.0) << host.flushes;

    // A sixtieth of a second (the threshold) waits; just past it draws, and
    // the drawn step is the whole gap.
    const double start = view->animtime;
    host.now = start + LarkspurView::kShortestGap;
    view->animateOneFrame();
    EXPECT_EQ(host.flushes, 3);
    host.now = start + 0.016667;
    view->animateOneFrame();
    EXPECT_TRUE(host.flushes == 4 && std::fabs(view->ssMain->frameTime - 0.016667) < 1e-9) << host.flushes;

    const GLuint badge = view->ssMain->textures[1].texID;
    const GLuint ground = view->ssMain->bgTexture;
    ASSERT_TRUE(glIsTexture(badge) && glIsTexture(ground));
    view.reset();
    EXPECT_FALSE(glIsTexture(badge) || glIsTexture(ground));
}

TEST_F(ViewTest, OtherScreensUnderMainMonitorOnlyStopAndAPackTooShortLeavesNoSceneAndOnlyBlackFrames)
{
    Preferences("MainMonitorOnly=true\n");
    host.screen = 1;
    LarkspurView other(&host);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    other.startAnimation();
    EXPECT_TRUE(gl.ReadPixels()[0] == 0 && gl.ReadPixels()[3] == 255) << "opaque black";
    other.animateOneFrame();
    EXPECT_TRUE(host.timerStopped && other.ssMain == nullptr);

    // The main screen's view draws, unless its scene pack holds too few
    // pictures, which it says once, with why.
    host.screen = 0;
    WriteScenePack(dir.File("pellmore.works"), 7);
    testing::internal::CaptureStderr();
    auto view = StartedView();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("pellmore.works cannot be loaded (it holds 7 lumps, and the scene needs 8); the frames stay "
                        "black\n"),
              std::string::npos)
        << told;
    EXPECT_TRUE(view->ThisScreenIsOn && view->ssMain == nullptr);
    for (int i = 0; i < 5; i++)
        Step(view.get(), 0.025);
    EXPECT_GE(host.flushes, 7) << "two starts and five frames";
    for (unsigned char byte : gl.ReadPixels())
        ASSERT_EQ(byte, 0);
}

// The view on "DP-2" (not the main screen) is named in the list: it draws
// while DP-2 is present. When it goes the list names nothing present, which
// is said once, and MainMonitorOnly turns the view black; when it is back
// the view draws again.
TEST_F(ViewTest, NamedMonitorsDrawAndAViewFollowsTheMonitorsPresent)
{
    Preferences("MainMonitorOnly=true\nMonitors=hdmi-9, dp-2\n");
    host.screen = 1;
    host.screenName = "DP-2";
    host.screenNames = {"eDP-1", "DP-2"};
    auto view = StartedView();
    EXPECT_TRUE(view->ThisScreenIsOn && view->ssMain != nullptr && !host.timerStopped);

    host.screenNames = {"eDP-1"};
    testing::internal::CaptureStderr();
    view->screensChanged();
    view->screensChanged();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "larkspur: none of the monitors hdmi-9, dp-2 is present (there are eDP-1); the herd shows on "
                    "the main monitor\n");
    EXPECT_TRUE(!view->ThisScreenIsOn && host.timerStopped);
    EXPECT_TRUE(gl.ReadPixels()[0] == 0 && gl.ReadPixels()[3] == 255) << "opaque black";

    host.screenNames = {"eDP-1", "DP-2"};
    view->screensChanged();
    EXPECT_TRUE(view->ThisScreenIsOn && !host.timerStopped);
    const int flushes = host.flushes;
    Step(view.get(), 0.025);
    EXPECT_EQ(host.flushes, flushes + 1);
}

TEST_F(ViewTest, UnsizedViewMeasuresNothingAndResizingKeepsTheScene)
{
    host.size = ViewSize{0, 0};
    auto view = StartedView();
    Step(view.get(), 0.025);
    ASSERT_NE(view->ssMain, nullptr);
    EXPECT_FALSE(view->ssMain->herd->boundsKnown);
    SSMAIN* scene = view->ssMain.get();

    view->setFrameSize(64, 32);
    Step(view.get(), 0.025);
    EXPECT_EQ(view->ssMain.get(), scene);
    EXPECT_TRUE(scene->width == 64 && scene->height == 32 && scene->herd->boundsKnown)
        << scene->width << "x" << scene->height;
}

TEST_F(ViewTest, GroundIsTheCaptureOrAFolderPictureAndThePreviewLoadsAtTheLowestDetail)
{
    // The test's folder holds a picture (the desktop one) for type 2.
    const std::string desktop = host.desktopPicture;
    // Without a capture type 0 shows the desktop picture, at the default
    // detail (1024); the width of the ground's texture, when given.
    const struct {
        int type;
        std::string keys;
        bool preview, capture;
        int width;
    } rows[] = {{0, "", false, true, 0},
                {0, "", false, false, 1024},
                {1, "BGRes=2\n", true, false, 512},
                {2, "BGRes=0\nBGPath=" + dir.path() + "\n", false, false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        Preferences("BGType=" + std::to_string(row.type) + "\n" + row.keys);
        host.preview = row.preview;
        // The folder must not borrow the desktop picture.
        host.desktopPicture = row.type == 2 ? "" : desktop;
        host.capture.assign(row.capture ? 16 * 8 * 3 : 0, 90);
        host.captureWidth = 16;
        host.captureHeight = 8;
        LarkspurView view(&host);
        const uint32_t captured = view.DeskTex.texID;
        view.startAnimation();
        view.animateOneFrame();
        ASSERT_NE(view.ssMain->bgTexture, 0u);
        EXPECT_TRUE(view.DeskTex.texID == 0 && view.ssMain->isPreview == row.preview);
        EXPECT_EQ(view.ssMain->bgTexture == captured, row.capture);
        int width = 0;
        ReadTexture(view.ssMain->bgTexture, &width);
        EXPECT_TRUE(row.width == 0 || width == row.width) << width;
    }
}

// With no desktop picture at all (nothing captured, none set) the ground is
// our own picture from the resources folder, and is bare only without it.
TEST_F(ViewTest, WithoutADesktopPictureTheGroundIsOurOwnPicture)
{
    host.desktopPicture = "";
    Preferences("BGType=0\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(StartedView()->ssMain->bgTexture, 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("larkspur: Larkspur's own ground picture " +
                                                          dir.File(kOwnGroundPicture) + " cannot be shown either ("),
              std::string::npos);

    WritePixbufPicture(dir.File(kOwnGroundPicture), "jpeg", 48, 48, 3, std::vector<unsigned char>(48 * 48 * 3, 120));
    const std::unique_ptr<LarkspurView> view = StartedView();
    ASSERT_NE(view->ssMain->bgTexture, 0u);
    const std::vector<unsigned char> ground = ReadTexture(view->ssMain->bgTexture);
    EXPECT_NEAR(ground[0], 120, 3);
}

// The folder's name comes from the settings file: it is printed escaped.
TEST_F(ViewTest, AFolderThatCannotBeShownIsNamedWithItsControlCharactersEscaped)
{
    Preferences("BGType=2\nBGPath=" + dir.File("gone\x1b[2J") + "\n");
    testing::internal::CaptureStderr();
    StartedView();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("larkspur: the picture folder " + dir.File("gone\\x1b[2J") + " is skipped ("), std::string::npos)
        << err;
    EXPECT_EQ(err.find('\x1b'), std::string::npos);
}

} // namespace
