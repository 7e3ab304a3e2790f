// Tests of the scene: setup, the ground and its bounds, clearing what the
// ground no longer covers, fog per camera mode, the lazy herd, and the
// overlay's timing.
#include "fixtures/ChangingScene.h"
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/AtomicFile.h"
#include "resources/PackWriter.h"
#include "resources/Pics.h"
#include "resources/ResFile.h"
#include "scene/SSMain.h"
#include "view/Settings.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

class SceneTest : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        WriteScenePack(dir.File(kScenePackName), kSceneTextureCount);
        settings.TILEBG = false;
    }

    // A fresh context of the view's size, or of a larger buffer for a view
    // that grows, and a scene set up in it from the packs in folder (the
    // test's own when empty).
    void MakeScene(int width, int height, bool preview, int bufferWidth = 0, int bufferHeight = 0,
                   std::string folder = {})
    {
        gl.Destroy();
        std::string error;
        ASSERT_TRUE(gl.Create(std::max(width, bufferWidth), std::max(height, bufferHeight), &error)) << error;
        SetViewState();
        if (folder.empty())
            folder = dir.path() + "/";
        ASSERT_TRUE(scene.Setup(preview, width, height, &settings, folder.c_str()));
    }

    void Frame(double dt, bool onlyChanges = false)
    {
        scene.Update(dt);
        scene.Draw(onlyChanges);
    }

    // Pixels of the colour in the view, the lower-left corner of the buffer.
    int PixelsOf(Colour c) const
    {
        const std::vector<unsigned char> px = gl.ReadPixels();
        int n = 0;
        for (int y = 0; y < scene.height; y++)
            for (int x = 0; x < scene.width; x++) {
                const unsigned char* p = &px[(size_t(y) * size_t(gl.width()) + size_t(x)) * 4];
                n += p[0] == c.r && p[1] == c.g && p[2] == c.b;
            }
        return n;
    }

    TempDir dir;
    SETTINGS settings;
    SSMAIN scene;
};

const Colour kMagenta{255, 0, 255};

constexpr float kHalfDepth = 16.568542f; // 40 * tan(22.5 degrees)

TEST_F(SceneTest, GroundIsMeasuredFillsTheViewFromHomeUprightAndTiledCoversItWithFogThatChangesNoPixel)
{
    // A very wide view's corners reach the fog. All are previews, which never
    // run the overlay.
    const std::string picture = dir.File("ground.png");
    WritePixbufPicture(picture, "png", 64, 64, 3, QuadrantPixels(64, 64, 3));
    for (const auto& [width, tiled] : {std::pair{160, false}, {160, true}, {400, true}}) {
        SCOPED_TRACE(testing::Message() << width << (tiled ? " tiled" : " untiled"));
        settings.TILEBG = tiled;
        MakeScene(width, 90, true);
        Frame(0.025);
        EXPECT_EQ(scene.fogReady, tiled);
        EXPECT_NEAR(scene.herd->bounds.z, kHalfDepth, 1e-3);
        EXPECT_NEAR(scene.herd->bounds.x, kHalfDepth * float(width) / 90.0f, 1e-2);
        Texture background;
        ASSERT_TRUE(loadPicFile(picture.c_str(), &background, 0));
        std::swap(scene.bgTexture, background.texID);

        // Whatever the last frame left in the colour buffer is covered.
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Frame(0.025);
        const std::vector<unsigned char> home = gl.ReadPixels();
        int uncovered = 0;
        for (size_t i = 0; i + 3 < home.size(); i += 4)
            uncovered += home[i] == 255 && home[i + 1] == 0 && home[i + 2] == 255;
        EXPECT_EQ(uncovered, 0);
        // The herd is tried, with its textures, the frame after the ground is measured.
        EXPECT_TRUE(scene.herd->footprintTexture == scene.textures[kFootprintTexture].texID &&
                    scene.herd->sparkTexture == scene.textures[kSparkTexture].texID);
        EXPECT_EQ(scene.bannerTimer, 90.0f);
        // The very corner pixels show the picture's corners, upright (rows
        // read from the bottom); lighting brightens by up to a fifth.
        const size_t top = size_t(89) * size_t(width) * 4, right = size_t(width - 1) * 4;
        EXPECT_TRUE(width != 160 || (Near(&home[top], kRed) && Near(&home[top + right], kGreen) &&
                                     Near(&home[0], kBlue) && Near(&home[right], kWhite)));
        if (!tiled)
            continue;
        // The same view before the camera has settled: cleared and fogged.
        scene.herd->camera.homeDelay = 10;
        Frame(0.025);
        EXPECT_TRUE(gl.ReadPixels() == home);
        // The smaller half-extent of a wide view is its depth; fog covers the ground only.
        GLfloat fogStart = -1;
        glGetFloatv(GL_FOG_START, &fogStart);
        EXPECT_NEAR(fogStart, 4.0f * kHalfDepth, 1e-2);
        EXPECT_FALSE(glIsEnabled(GL_FOG));
    }
}

TEST_F(SceneTest, AViewGrownFarWiderIsClearedWhereTheTiledGroundNoLongerReaches)
{
    // Measured at 200x400 the five tiles reach two and a half view heights
    // to each side; at 800x100 the view is sixteen times as wide for its
    // height. Settled home, where the ground is taken to cover the view.
    settings.TILEBG = true;
    testing::internal::CaptureStderr();
    MakeScene(200, 400, true, 800, 400);
    Frame(0.025);
    Frame(0.025);
    scene.SetSize(800, 100);
    // Whatever the earlier frames left there.
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    Frame(0.025);
    testing::internal::GetCapturedStderr();
    const CAMERA& c = scene.herd->camera;
    ASSERT_TRUE(c.mode == CAMERA_HOME && c.homeDelay < 0 && scene.herd->boundsKnown);
    EXPECT_EQ(PixelsOf(kMagenta), 0);
}

TEST_F(SceneTest, FogIsOnWhereverTheCameraIsNotSettledHomeOverTiledGround)
{
    // The ground is measured at 160x90, where from home the fog lies beyond
    // every corner; at 400x90 the corners reach it.
    const struct {
        bool tiled;
        int mode;
        float homeDelay;
        int width;
        bool fogged;
    } rows[] = {
        {true, CAMERA_HOME, -1, 160, false},   {true, CAMERA_HOME, -1, 400, true},
        {true, CAMERA_HOME, 3, 160, true},     {true, CAMERA_SPIN, 0, 160, true},
        {true, CAMERA_TUMBLE, 0, 160, true},   {true, CAMERA_FOLLOW, 0, 160, true},
        {false, CAMERA_HOME, -1, 160, false},  {false, CAMERA_HOME, 3, 160, false},
        {false, CAMERA_SPIN, 0, 160, false},   {false, CAMERA_TUMBLE, 0, 160, false},
        {false, CAMERA_FOLLOW, 0, 160, false},
    };
    testing::internal::CaptureStderr();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.tiled ? "tiled" : "untiled") << ", mode " << row.mode << ", home delay "
                                        << row.homeDelay << ", " << row.width << " wide");
        settings.TILEBG = row.tiled;
        MakeScene(160, 90, true, 400, 90);
        Frame(0.025);
        // Made total and magenta, any fog shows on the lit ground.
        const GLfloat magenta[] = {1, 0, 1, 1};
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogfv(GL_FOG_COLOR, magenta);
        glFogf(GL_FOG_START, 0);
        glFogf(GL_FOG_END, 1);
        scene.SetSize(row.width, 90);
        CAMERA& c = scene.herd->camera;
        c.mode = row.mode;
        c.modeTimer = 100;
        c.homeDelay = row.homeDelay;
        c.spin = VECTOR3D(0, 0, 0);
        if (row.mode != CAMERA_HOME) {
            // Looking down at the ground from aside.
            c.pos = c.targetPos = VECTOR3D(0, 30, 26);
            c.up = c.targetUp = VECTOR3D(0, 1, 0);
        }
        Frame(0.025);
        EXPECT_EQ(PixelsOf(kMagenta) > 0, row.fogged) << PixelsOf(kMagenta);
    }
    testing::internal::GetCapturedStderr();
}

TEST_F(SceneTest, GroundTilesClearOfTheFogAreDrawnWithoutItAndEveryPixelStaysTheSame)
{
    // Roaming views of the tiled, textured ground: some tiles lie wholly
    // nearer than the fog, some reach into it or behind the eye.
    const struct {
        VECTOR3D eye, look;
    } rows[] = {
        {{0, 13.68f, 37.59f}, {0, 0, 0}},
        {{0, 30, 26}, {0, 0, 0}},
        {{20, 3, 20}, {0, 1, 0}},
        {{-35, 8, -5}, {10, 0, 10}},
    };
    const std::string picture = dir.File("ground.png");
    WritePixbufPicture(picture, "png", 64, 64, 3, QuadrantPixels(64, 64, 3));
    settings.TILEBG = true;
    testing::internal::CaptureStderr();
    MakeScene(160, 90, true);
    Frame(0.025);
    Texture background;
    ASSERT_TRUE(loadPicFile(picture.c_str(), &background, 0));
    std::swap(scene.bgTexture, background.texID);
    int clearTiles = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "eye " << row.eye.x << ", " << row.eye.y << ", " << row.eye.z);
        CAMERA& c = scene.herd->camera;
        c.mode = CAMERA_SPIN;
        c.modeTimer = 100;
        c.spin = VECTOR3D(0, 0, 0);
        c.pos = c.targetPos = row.eye;
        c.look = c.targetLook = row.look;
        c.up = c.targetUp = VECTOR3D(0, 1, 0);
        scene.fogEveryTile = true;
        Frame(0);
        EXPECT_EQ(scene.groundTilesClearOfFog, 0);
        const std::vector<unsigned char> fogged = gl.ReadPixels();
        scene.fogEveryTile = false;
        Frame(0);
        EXPECT_TRUE(gl.ReadPixels() == fogged);
        EXPECT_LT(scene.groundTilesClearOfFog, 25);
        clearTiles += scene.groundTilesClearOfFog;
    }
    testing::internal::GetCapturedStderr();
    EXPECT_GT(clearTiles, 0);
}

// Writes the build's creature pack into dir, with the start of coat 1
// overwritten by bytes that decode as no picture when spoiled is set.
void WriteCreaturePack(const TempDir& dir, bool spoiled)
{
    const std::string path = ResourcesFolder() + kCreaturePackName;
    RESFILE source;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(source.Open(path.c_str()) && ReadWholeFile(path, &bytes));
    if (spoiled)
        std::fill_n(bytes.begin() + source.lumps[1].offset, 40, 0xEE);
    ASSERT_TRUE(WriteFileAtomically(dir.File(kCreaturePackName), bytes));
}

TEST_F(SceneTest, AFailedHerdIsTriedLessAndLessOftenAlertedOnceAndBuiltAgainWithTheScene)
{
    WriteCreaturePack(dir, true);
    settings.TILEBG = true;
    MakeScene(64, 64, false);
    testing::internal::CaptureStderr();
    std::vector<double> tries;
    double t = 0;
    for (int frame = 0; frame < 2600; frame++, t += 0.05) {
        const double before = scene.herdRetryIn;
        Frame(0.05);
        if (scene.herdRetryIn > before)
            tries.push_back(t);
    }
    const std::string alerts = testing::internal::GetCapturedStderr();
    ASSERT_EQ(tries.size(), 8u) << alerts;
    EXPECT_NEAR(tries[0], 0.05, 1e-9) << "the second frame tries at once";
    const double waits[] = {1, 2, 4, 8, 16, 32, 60};
    for (size_t i = 1; i < tries.size(); i++)
        EXPECT_NEAR(tries[i] - tries[i - 1], waits[i - 1], 0.06) << "try " << i;
    // The decoder's reason inside ours, once.
    const std::string ours = "Larkspur: The creatures could not be set up from " + dir.path() + "/" +
                             kCreaturePackName +
                             " (the coat in lump 1: Invalid Image: TGA file be type 2 or type 10); "
                             "trying again now and then.\n";
    EXPECT_EQ(alerts, ours);

    // Mended, the pack is picked up at a later try; a scene set up again
    // builds its herd and fog again. Not a preview, it runs its overlay.
    WriteCreaturePack(dir, false);
    for (int frame = 0; frame < 1300 && !scene.herdReady; frame++)
        Frame(0.05);
    EXPECT_TRUE(scene.herdReady && scene.herd->dogs);
    ASSERT_TRUE(scene.Setup(false, 64, 64, &settings, (dir.path() + "/").c_str()));
    Frame(0.025);
    Frame(0.025);
    EXPECT_TRUE(scene.herdReady && scene.fogReady && scene.herd->dogs && scene.bannerTimer < 90);
}

// Turned off, the overlay neither draws nor counts down, however long the
// scene runs: the card's veil would have covered the view after 60 s.
TEST_F(SceneTest, AnOverlayTurnedOffNeverVeilsTheView)
{
    settings.SHOWOVERLAY = false;
    MakeScene(64, 64, false);
    const int white = 64 * 64;
    for (int frame = 0; frame < 140; frame++)
        Frame(0.5);
    EXPECT_EQ(scene.bannerTimer, 90.0f);
    EXPECT_EQ(scene.cardAlpha, 0.0f);
    EXPECT_EQ(PixelsOf(kWhite), white);
}

TEST_F(SceneTest, OverlayBannerAndCardKeepTheirTimesAndTheGLState)
{
    // A preview draws no overlay of its own, so the state a frame leaves is
    // the scene's; the overlay drawn after each frame must keep it.
    MakeScene(64, 64, true);
    Frame(0.5);
    const GLPassState before = GLPassState::Read();
    // Banner changes are negative when it comes in from below.
    std::vector<int> bannerChanges, cardChanges;
    for (int step = 1; step <= 300; step++) {
        const bool bannerWas = scene.bannerOn, cardWas = scene.cardAlpha > 0;
        Frame(0.5);
        scene.DoOverlay();
        if (scene.bannerOn != bannerWas)
            bannerChanges.push_back(scene.bannerFromTop ? step : -step);
        if ((scene.cardAlpha > 0) != cardWas)
            cardChanges.push_back(step);
        // Shown from the top, the banner eases from 40 beyond the top edge,
        // halfway to 40 below it in its first half second, and is there by its last.
        if (step == 181 || step == 221) {
            EXPECT_NEAR(scene.bannerPos.y, step == 181 ? 64.0f : 24.0f, 1e-3) << step;
        }
        // The card fades in over 2 s; its veil darkens the white ground.
        if (step == 124) {
            EXPECT_TRUE(scene.cardAlpha >= 1 && gl.ReadPixels()[0] < 10);
            EXPECT_EQ(GLPassState::Read(), before) << GLPassState::Read().Describe();
        }
    }
    // Banner: 90 s of 0.5 s steps, shown 20 s, hidden 30 s, shown again from
    // below, where it comes to rest 5 above the edge.
    EXPECT_EQ(bannerChanges, (std::vector<int>{181, 222, -283}));
    EXPECT_NEAR(scene.bannerPos.y, 5.0f, 1e-3);
    // Card: from 60 s, held until 20 s after the timer ran out, then 2 s of
    // fading, and so again 40 s later.
    EXPECT_EQ(cardChanges, (std::vector<int>{121, 165, 242, 286}));
}

TEST_F(SceneTest, RepaintingOnlyTheDamageDrawsEveryFrameAsTheWholeRepaintDoesAtHomeRoamingAndUnderTheOverlay)
{
    // The build's own packs, a picture with detail on the ground, and the
    // overlay and camera brought forward so that a short run sees them all.
    const std::string picture = dir.File("ground.png");
    WriteChangingGround(picture);
    ChangingSceneSettings(&settings);
    const auto run = [&](bool onlyChanges) {
        FrameRun r;
        MakeScene(320, 180, false, 0, 0, ResourcesFolder());
        Texture background;
        EXPECT_TRUE(StartChangingScene(&scene, picture, &background));
        for (int frame = 0; frame < 900; frame++) {
            const float bannerY = scene.bannerPos.y;
            UpdateChangingScene(&scene, frame);
            scene.Draw(onlyChanges);
            r.Note(scene, bannerY, Digest(gl.ReadPixels()));
        }
        return r;
    };
    const FrameRun parts = run(true);
    const FrameRun whole = run(false);
    ExpectSameFramesThroughEverything(parts, whole);
    EXPECT_EQ(whole.partialFrames, 0);
}

} // namespace
