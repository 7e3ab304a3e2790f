// Tests of the view: frame pacing on a fake clock, main-screen-only, the
// failed and unsized views, resizing, and the background by type.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "host/LarkspurView.h"
#include "resources/PackWriter.h"

#include <GL/gl.h>

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

    int TextureWidth(GLuint name)
    {
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        return width;
    }

    TempDir dir;
    FakeHost host;
};

TEST_F(ViewTest, FirstFrameSetsUpWithoutDrawingThenFramesArePaced)
{
    auto view = StartedView();
    ASSERT_NE(view->ssMain, nullptr);
    EXPECT_TRUE(view->glReady);
    EXPECT_EQ(host.flushes, 1);
    // Without the final "/" the view adds it.
    EXPECT_EQ(std::string(view->ssMain->resourcePath), dir.path() + "/");
    EXPECT_EQ(view->animtime, 100.0);

    // A gap beyond two seconds only restarts the clock.
    Step(view.get(), 2.0 + 1e-9);
    EXPECT_EQ(host.flushes, 1);
    EXPECT_EQ(view->animtime, host.now);
    EXPECT_EQ(view->ssMain->frameTime, 0.0);
    Step(view.get(), 0.025);
    EXPECT_EQ(host.flushes, 2);
    EXPECT_NEAR(view->ssMain->frameTime, 0.025, 1e-9);

    // Exactly two seconds draws that step.
    Step(view.get(), 2.0);
    EXPECT_EQ(host.flushes, 3);
    EXPECT_EQ(view->ssMain->frameTime, 2.0);
    EXPECT_EQ(view->animtime, host.now);

    // A short gap waits, and the next drawn step is the whole gap.
    const double start = view->animtime;
    Step(view.get(), 0.0166);
    EXPECT_EQ(host.flushes, 3);
    EXPECT_EQ(view->animtime, start);
    Step(view.get(), 0.0166);
    EXPECT_EQ(host.flushes, 4);
    EXPECT_NEAR(view->ssMain->frameTime, 0.0332, 1e-9);
    // The threshold itself does not draw.
    host.now = view->animtime + LarkspurView::kShortestGap;
    view->animateOneFrame();
    EXPECT_EQ(host.flushes, 4);
    EXPECT_EQ(LarkspurView::kShortestGap, 0.01666666753590107);
}

TEST_F(ViewTest, MainMonitorOnlyLeavesOtherScreensBlackAndStopped)
{
    Preferences("MainMonitorOnly=true\n");
    host.screen = 1;
    LarkspurView view(&host);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    view.startAnimation();
    EXPECT_FALSE(view.ThisScreenIsOn);
    EXPECT_EQ(gl.ReadPixels()[0], 0);
    EXPECT_EQ(gl.ReadPixels()[3], 255);
    view.animateOneFrame();
    EXPECT_TRUE(host.timerStopped);
    EXPECT_FALSE(view.initialized);
    EXPECT_EQ(view.ssMain, nullptr);

    // The main screen's view draws.
    FakeHost mainHost = host;
    mainHost.screen = 0;
    mainHost.timerStopped = false;
    LarkspurView mainView(&mainHost);
    mainView.startAnimation();
    EXPECT_TRUE(mainView.ThisScreenIsOn);
}

TEST_F(ViewTest, FailedSetupLeavesNoSceneAndOnlyBlackFrames)
{
    host.resources = dir.File("nothing-here");
    auto view = StartedView();
    EXPECT_EQ(view->ssMain, nullptr);
    EXPECT_TRUE(view->initialized);
    for (int i = 0; i < 5; i++)
        Step(view.get(), 0.025);
    EXPECT_GE(host.flushes, 5);
    for (unsigned char byte : gl.ReadPixels())
        ASSERT_EQ(byte, 0);
}

TEST_F(ViewTest, UnsizedViewMeasuresNothingAndResizingKeepsTheScene)
{
    host.size = ViewSize{0, 0};
    auto view = StartedView();
    for (int i = 0; i < 3; i++)
        Step(view.get(), 0.025);
    ASSERT_NE(view->ssMain, nullptr);
    EXPECT_FALSE(view->ssMain->herd->boundsKnown);
    SSMAIN* scene = view->ssMain.get();

    view->setFrameSize(64, 32);
    EXPECT_FALSE(view->glReady);
    EXPECT_EQ(host.size.width, 64);
    Step(view.get(), 0.025);
    EXPECT_EQ(view->ssMain.get(), scene);
    EXPECT_EQ(scene->width, 64);
    EXPECT_EQ(scene->height, 32);
    EXPECT_EQ(view->Scrn.width, 64);
    EXPECT_TRUE(scene->herd->boundsKnown);
}

TEST_F(ViewTest, FailedCaptureShowsTheDesktopPictureButKeepsTheStoredType)
{
    auto view = StartedView();
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
    ASSERT_NE(view->ssMain->bgTexture, 0u);
    EXPECT_EQ(view->DeskTex.texID, 0u);
    // Default detail 1 gives 1024.
    EXPECT_EQ(TextureWidth(view->ssMain->bgTexture), 1024);
    std::vector<unsigned char> stored;
    ReadWholeFile(host.preferencesFile, &stored);
    EXPECT_NE(std::string(stored.begin(), stored.end()).find("BGType=0"), std::string::npos);
}

TEST_F(ViewTest, CapturedDesktopBecomesTheGround)
{
    host.capture.assign(16 * 8 * 3, 90);
    host.captureWidth = 16;
    host.captureHeight = 8;
    LarkspurView view(&host);
    EXPECT_EQ(view.mySettings.BGTYPE, 0);
    const uint32_t captured = view.DeskTex.texID;
    ASSERT_NE(captured, 0u);
    view.startAnimation();
    view.animateOneFrame();
    EXPECT_EQ(view.ssMain->bgTexture, captured);
    EXPECT_EQ(view.DeskTex.texID, 0u);
}

TEST_F(ViewTest, PreviewLoadsPicturesAtTheLowestDetail)
{
    Preferences("BGType=1\nBGRes=2\n");
    host.preview = true;
    auto view = StartedView();
    EXPECT_EQ(TextureWidth(view->ssMain->bgTexture), 512);
    EXPECT_TRUE(view->ssMain->isPreview);
}

TEST_F(ViewTest, FolderBackgroundTakesAPictureOfTheFolder)
{
    const std::string folder = dir.File("pictures");
    ASSERT_EQ(RunCommand("mkdir -p '" + folder + "'"), 0);
    WritePixbufPicture(folder + "/only.png", "png", 8, 8, 3, QuadrantPixels(8, 8, 3));
    Preferences("BGType=2\nBGRes=0\nBGPath=" + folder + "\n");
    host.desktopPicture.clear();
    auto view = StartedView();
    EXPECT_NE(view->ssMain->bgTexture, 0u);
}

TEST_F(ViewTest, SceneSetupSeedsRandomNumbersFromTheClock)
{
    host.wallClock = 4242;
    std::srand(4242);
    const int expected = std::rand();
    std::srand(1);
    auto view = StartedView();
    EXPECT_EQ(std::rand(), expected);
}

TEST_F(ViewTest, TeardownReleasesTheSceneInItsContext)
{
    auto view = StartedView();
    const GLuint badge = view->ssMain->textures[1].texID;
    const GLuint ground = view->ssMain->bgTexture;
    ASSERT_TRUE(glIsTexture(badge));
    view.reset();
    EXPECT_FALSE(glIsTexture(badge));
    EXPECT_FALSE(glIsTexture(ground));
}

} // namespace
