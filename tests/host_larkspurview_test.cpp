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

TEST_F(ViewTest, FirstFrameSetsUpSeededByTheClockWithoutDrawingThenFramesArePacedAndTeardownReleasesTheScene)
{
    host.wallClock = 4242;
    std::srand(4242);
    const int expected = std::rand();
    std::srand(1);
    auto view = StartedView();
    EXPECT_EQ(std::rand(), expected) << "the scene's random numbers are seeded from the clock";
    ASSERT_NE(view->ssMain, nullptr);
    EXPECT_TRUE(view->glReady);
    EXPECT_EQ(host.flushes, 1);
    // Without the final "/" the view adds it.
    EXPECT_EQ(std::string(view->ssMain->resourcePath), dir.path() + "/");
    EXPECT_EQ(view->animtime, 100.0);

    // No capture: the desktop picture at the default detail (1024) is the
    // ground, and the stored type stays the capture.
    EXPECT_EQ(view->mySettings.BGTYPE, 1);
    ASSERT_NE(view->ssMain->bgTexture, 0u);
    EXPECT_EQ(view->DeskTex.texID, 0u);
    EXPECT_EQ(TextureWidth(view->ssMain->bgTexture), 1024);
    std::vector<unsigned char> stored;
    ReadWholeFile(host.preferencesFile, &stored);
    EXPECT_NE(std::string(stored.begin(), stored.end()).find("BGType=0"), std::string::npos);

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
    // The threshold itself does not draw; just past a sixtieth of a second does.
    host.now = view->animtime + LarkspurView::kShortestGap;
    view->animateOneFrame();
    EXPECT_EQ(host.flushes, 4);
    host.now = view->animtime + 0.016667;
    view->animateOneFrame();
    EXPECT_EQ(host.flushes, 5);

    const GLuint badge = view->ssMain->textures[1].texID;
    const GLuint ground = view->ssMain->bgTexture;
    ASSERT_TRUE(glIsTexture(badge));
    view.reset();
    EXPECT_FALSE(glIsTexture(badge) || glIsTexture(ground));
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
    EXPECT_TRUE(gl.ReadPixels()[0] == 0 && gl.ReadPixels()[3] == 255) << "opaque black";
    view.animateOneFrame();
    EXPECT_TRUE(host.timerStopped && !view.initialized && view.ssMain == nullptr);

    // The main screen's view draws.
    FakeHost mainHost = host;
    mainHost.screen = 0;
    LarkspurView mainView(&mainHost);
    mainView.startAnimation();
    EXPECT_TRUE(mainView.ThisScreenIsOn);
}

TEST_F(ViewTest, FailedSetupLeavesNoSceneAndOnlyBlackFrames)
{
    host.resources = dir.File("nothing-here");
    auto view = StartedView();
    EXPECT_TRUE(view->ssMain == nullptr && view->initialized);
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
    EXPECT_TRUE(!view->glReady && host.size.width == 64);
    Step(view.get(), 0.025);
    EXPECT_EQ(view->ssMain.get(), scene);
    EXPECT_TRUE(scene->width == 64 && scene->height == 32 && view->Scrn.width == 64) << scene->width << "x" << scene->height;
    EXPECT_TRUE(scene->herd->boundsKnown);
}

TEST_F(ViewTest, GroundIsTheCaptureOrAFolderPictureAndThePreviewLoadsAtTheLowestDetail)
{
    const std::string folder = dir.File("pictures");
    ASSERT_EQ(RunCommand("mkdir -p '" + folder + "'"), 0);
    WritePixbufPicture(folder + "/only.png", "png", 8, 8, 3, QuadrantPixels(8, 8, 3));
    const std::string desktop = host.desktopPicture;
    // Only a capture makes type 0; the width of the ground's texture, when given.
    const struct { int type; std::string keys; bool preview, capture; int width; } rows[] = {
        {0, "", false, true, 0}, {1, "BGRes=2\n", true, false, 512}, {2, "BGRes=0\nBGPath=" + folder + "\n", false, false, 0}};
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
        EXPECT_EQ(view.mySettings.BGTYPE, row.type);
        const uint32_t captured = view.DeskTex.texID;
        EXPECT_EQ(captured != 0, row.capture);
        view.startAnimation();
        view.animateOneFrame();
        ASSERT_NE(view.ssMain->bgTexture, 0u);
        EXPECT_TRUE(view.DeskTex.texID == 0 && view.ssMain->isPreview == row.preview);
        EXPECT_TRUE(!row.capture || view.ssMain->bgTexture == captured);
        const int width = TextureWidth(view.ssMain->bgTexture);
        EXPECT_TRUE(row.width == 0 || width == row.width) << width;
    }
}

} // namespace
