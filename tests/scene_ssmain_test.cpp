// Tests of the scene: setup, the ground and its bounds, fog, the lazy herd,
// cleanup, and the overlay's timing.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "host/Settings.h"
#include "resources/PackWriter.h"
#include "resources/Pics.h"
#include "resources/ResFile.h"
#include "scene/SSMain.h"

// Queries are OpenGL 1.5 and 3.0 entry points.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
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

    // A fresh context of the view's size and a scene set up in it.
    void MakeScene(int width, int height, bool preview)
    {
        gl.Destroy();
        std::string error;
        ASSERT_TRUE(gl.Create(width, height, &error)) << error;
        // The view's state between frames: colour tracks the material.
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_DEPTH_TEST);
        ASSERT_TRUE(scene.Setup(preview, width, height, &settings, (dir.path() + "/").c_str()));
    }

    void Frame(double dt)
    {
        scene.Update(dt);
        scene.Draw();
    }

    TempDir dir;
    SETTINGS settings;
    SSMAIN scene;
};

constexpr float kHalfDepth = 16.568542f; // 40 * tan(22.5 degrees)

TEST_F(SceneTest, GroundIsMeasuredOnceTheViewHasASizeAndTheHerdTriedAFrameLater)
{
    ASSERT_TRUE(scene.Setup(true, 0, 0, &settings, (dir.path() + "/").c_str()));
    Frame(0.025);
    Frame(0.025);
    EXPECT_FALSE(scene.herd->boundsKnown);
    scene.SetSize(160, 90);
    Frame(0.025);
    ASSERT_TRUE(scene.herd->boundsKnown);
    EXPECT_NEAR(scene.herd->bounds.z, kHalfDepth, 1e-3);
    EXPECT_NEAR(scene.herd->bounds.x, kHalfDepth * 16.0f / 9.0f, 1e-3);
    // The herd is only handed its textures once the bounds are known.
    EXPECT_EQ(scene.herd->footprintTexture, 0u);
    Frame(0.025);
    EXPECT_EQ(scene.herd->footprintTexture, scene.textures[kFootprintTexture].texID);
    EXPECT_EQ(scene.herd->sparkTexture, scene.textures[kSparkTexture].texID);
    EXPECT_NE(scene.herd->sparkTexture, 0u);
    // The preview never runs the overlay.
    for (int step = 0; step < 300; step++)
        Frame(0.5);
    EXPECT_TRUE(scene.bannerTimer == 90 && scene.cardTimer == 60 && !scene.bannerOn && scene.cardAlpha == 0);
}

TEST_F(SceneTest, GroundFromHomeFillsTheViewUprightAndTiledCoversItWithFogSetOnceThatChangesNoPixel)
{
    // Untiled, the picture is a 4 x 4 grid: red steps with the column, green
    // with the row from the top. Tiled, it is noise; a square view and a very
    // wide one (whose corners reach the fog) are checked as well.
    const int side = 64;
    const unsigned char levels[] = {0, 80, 160, 240};
    std::vector<unsigned char> grid(size_t(side) * side * 3), noise(grid.size());
    for (size_t i = 0; i < grid.size(); i += 3) {
        grid[i] = levels[int(i / 3) % side * 4 / side];
        grid[i + 1] = levels[int(i / 3) / side * 4 / side];
        grid[i + 2] = 128;
    }
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = static_cast<unsigned char>(i * 7919 % 251);
    const auto fog = [](GLenum name) {
        GLfloat value = -1;
        glGetFloatv(name, &value);
        return value;
    };
    GLuint quad = 0;
    for (const auto& [width, tiled] : {std::pair{160, false}, {160, true}, {90, true}, {400, true}}) {
        SCOPED_TRACE(testing::Message() << width << (tiled ? " tiled" : " untiled"));
        settings.TILEBG = tiled;
        MakeScene(width, 90, true);
        // The tiles are 25 grounds around the view's own.
        GLuint query = 0, primitives = 0;
        glGenQueries(1, &query);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        Frame(0.025);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
        EXPECT_EQ(primitives, tiled ? 25 * quad : primitives);
        quad = tiled ? quad : primitives;
        EXPECT_EQ(scene.fogReady, tiled);
        const std::string picture = dir.File("ground.png");
        WritePixbufPicture(picture, "png", side, side, 3, tiled ? noise : grid);
        Texture background;
        ASSERT_TRUE(loadPicFile(picture.c_str(), &background, 0));
        scene.bgTexture = background.texID;
        background.texID = 0;
        Frame(0.025);
        if (!tiled) {
            EXPECT_EQ(fog(GL_FOG_START), 0.0f);
            const std::vector<unsigned char> frame = gl.ReadPixels();
            // Lighting brightens by up to a fifth, so levels are told apart by ranges.
            auto level = [](unsigned char v) { return v < 40 ? 0 : v < 128 ? 1 : v < 216 ? 2 : 3; };
            for (int cellY = 0; cellY < 4; cellY++)
                for (int cellX = 0; cellX < 4; cellX++)
                    for (double at : {0.15, 0.5, 0.85}) {
                        const int x = int((cellX + at) * 160 / 4);
                        // Screen rows from the top; OpenGL reads from the bottom.
                        const int yTop = int((cellY + at) * 90 / 4);
                        const unsigned char* p = &frame[(size_t(89 - yTop) * 160 + x) * 4];
                        EXPECT_TRUE(level(p[0]) == cellX && level(p[1]) == cellY) << "cell " << cellX << "," << cellY << " at pixel " << x << "," << yTop;
                    }
            // The very corner pixels belong to the corner cells: nothing is cut off or left black.
            const unsigned char* topRight = &frame[(size_t(89) * 160 + 159) * 4];
            EXPECT_TRUE(level(frame[0]) == 0 && level(frame[1]) == 3 && frame[2] > 100);
            EXPECT_TRUE(level(topRight[0]) == 3 && level(topRight[1]) == 0);
            scene.Cleanup();
            continue;
        }
        Frame(0.025);
        // Whatever the last frame left in the colour buffer is covered.
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Frame(0.025);
        const std::vector<unsigned char> home = gl.ReadPixels();
        int uncovered = 0;
        for (size_t i = 0; i + 3 < home.size(); i += 4)
            uncovered += home[i] == 255 && home[i + 1] == 0 && home[i + 2] == 255;
        EXPECT_EQ(uncovered, 0);
        // The same view before the camera has settled: cleared and fogged.
        scene.herd->camera.homeDelay = 10;
        Frame(0.025);
        EXPECT_TRUE(gl.ReadPixels() == home);

        // The smaller half-extent of a wide view is its depth.
        EXPECT_NEAR(fog(GL_FOG_START), 4.0f * kHalfDepth, 1e-2);
        EXPECT_NEAR(fog(GL_FOG_END), 5.5f * kHalfDepth, 1e-2);
        EXPECT_EQ(fog(GL_FOG_MODE), float(GL_LINEAR));
        EXPECT_FALSE(glIsEnabled(GL_FOG)) << "fog covers the ground only";
        glFogf(GL_FOG_START, 1.0f);
        Frame(0.025);
        EXPECT_EQ(fog(GL_FOG_START), 1.0f) << "fog is set only once";
        scene.Cleanup();
    }
    // A quad may reach the pipeline as one primitive or as two triangles.
    EXPECT_TRUE(quad == 1 || quad == 2) << quad;
}

TEST_F(SceneTest, MissingPackOrOneWithFewerThanEightPicturesFailsSetupAndDrawsNothing)
{
    EXPECT_FALSE(scene.Setup(false, 64, 64, &settings, (dir.path() + "/absent/").c_str()));
    EXPECT_EQ(scene.textures, nullptr);
    // A pack one picture short.
    WriteScenePack(dir.File(kScenePackName), kSceneTextureCount - 1);
    EXPECT_FALSE(scene.Setup(false, 64, 64, &settings, (dir.path() + "/").c_str()));
    EXPECT_TRUE(scene.textures == nullptr && scene.numTextures == 0);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    Frame(0.025);
    EXPECT_FALSE(scene.herd->boundsKnown);
    EXPECT_NEAR(gl.ReadPixels()[0], 128, 1);
    EXPECT_EQ(scene.bannerTimer, 90.0f);
}

// Copies the build's creature pack into dir, with coat 1 replaced by bytes
// that decode as no picture when spoiled is set.
void WriteCreaturePack(const TempDir& dir, bool spoiled)
{
    RESFILE source;
    ASSERT_TRUE(source.Open((ResourcesFolder() + kCreaturePackName).c_str()));
    PackWriter pack;
    for (int lump = 0; lump < int(source.header.numLumps); lump++) {
        unsigned char* data = nullptr;
        ASSERT_TRUE(source.LoadData(lump, &data));
        const RESLUMP& l = source.lumps[size_t(lump)];
        std::vector<unsigned char> bytes(data, data + l.size);
        delete[] data;
        if (spoiled && lump == 1)
            bytes.assign(40, 0xEE);
        pack.AddLump(bytes, l.type, l.option);
    }
    ASSERT_TRUE(pack.Write(dir.File(kCreaturePackName)));
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
    EXPECT_EQ(std::count(alerts.begin(), alerts.end(), '\n'), 2) << "the decoder's alert and ours, once each:\n" << alerts;
    EXPECT_NE(alerts.find(kCreaturePackName), std::string::npos) << alerts;

    // Mended, the pack is picked up at the next try.
    WriteCreaturePack(dir, false);
    for (int frame = 0; frame < 1300 && !scene.herdReady; frame++)
        Frame(0.05);
    EXPECT_TRUE(scene.herdReady && scene.herd->dogs);
    // A scene set up again builds its herd and fog again.
    for (int round = 0; round < 2; round++) {
        ASSERT_TRUE(scene.Setup(false, 64, 64, &settings, (dir.path() + "/").c_str()));
        EXPECT_FALSE(scene.herdReady || scene.fogReady);
        Frame(0.025);
        Frame(0.025);
        EXPECT_TRUE(scene.herdReady && scene.fogReady && scene.herd->dogs) << "round " << round;
    }
}

TEST_F(SceneTest, OverlayBannerAndCardKeepTheirTimesAndTheGLStateAndCleanupReleasesEverythingOnce)
{
    MakeScene(64, 64, false);
    std::vector<int> changes;
    std::vector<bool> fromTop;
    bool wasOn = false;
    int firstShown = 0, fullAt = 0, goneAt = 0, againAt = 0, groundBeforeCard = 0;
    std::vector<float> easedTo;
    for (int step = 1; step <= 300; step++) {
        Frame(0.5);
        if (scene.bannerOn != wasOn) {
            changes.push_back(step);
            fromTop.push_back(scene.bannerFromTop);
            wasOn = scene.bannerOn;
            if (wasOn) {
                EXPECT_TRUE(scene.captionIndex == 4 || scene.captionIndex == 5);
                EXPECT_TRUE(scene.bannerPos.x == 0.0f || scene.bannerPos.x == 64.0f - 256.0f);
            }
        }
        if (step == 120)
            groundBeforeCard = gl.ReadPixels()[0];
        if (step == 181 || step == 221)
            easedTo.push_back(scene.bannerPos.y);
        if (!firstShown && scene.cardAlpha > 0)
            firstShown = step;
        if (firstShown && !fullAt && scene.cardAlpha >= 1.0f) {
            fullAt = step;
            EXPECT_LT(gl.ReadPixels()[0], 10);
        }
        if (fullAt && !goneAt && scene.cardAlpha <= 0)
            goneAt = step;
        if (goneAt && !againAt && scene.cardAlpha > 0)
            againAt = step;
    }
    // Banner: 90 s of 0.5 s steps, shown 20 s, hidden 30 s.
    ASSERT_EQ(changes, (std::vector<int>{181, 222, 283}));
    EXPECT_TRUE(fromTop[0]);
    EXPECT_FALSE(fromTop[2]);
    EXPECT_NEAR(scene.bannerPos.y, 5.0f, 1e-3);
    // Shown from the top, the banner eases from 40 beyond the top edge, halfway
    // to 40 below it in its first half second, and is there by its last.
    ASSERT_EQ(easedTo.size(), 2u);
    EXPECT_EQ(easedTo[0], 64.0f);
    EXPECT_NEAR(easedTo[1], 24.0f, 1e-3);
    // Before the card the white ground shows; the card's veil covers it.
    EXPECT_GT(groundBeforeCard, 200);
    // Card: from 60 s, held until 20 s after the timer ran out, then 2 s of fading.
    EXPECT_EQ((std::vector<int>{firstShown, fullAt, goneAt, againAt}), (std::vector<int>{121, 124, 165, 242}));

    // With the banner coming in and the card fading in, the overlay leaves
    // the state as the scene set it.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    const GLPassState before = GLPassState::Read();
    scene.bannerOn = false;
    scene.bannerTimer = -1;
    scene.cardTimer = -1;
    scene.DoOverlay();
    ASSERT_TRUE(scene.bannerOn && scene.cardAlpha > 0);
    EXPECT_EQ(GLPassState::Read(), before) << GLPassState::Read().Describe();

    GLuint background = 0;
    glGenTextures(1, &background);
    glBindTexture(GL_TEXTURE_2D, background);
    scene.bgTexture = background;
    const GLuint badge = scene.textures[kBadgeTexture].texID;
    ASSERT_TRUE(glIsTexture(badge));
    scene.Cleanup();
    EXPECT_FALSE(glIsTexture(background) || glIsTexture(badge));
    EXPECT_TRUE(scene.bgTexture == 0 && scene.textures == nullptr && scene.herd == nullptr);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    scene.Cleanup();
    EXPECT_EQ(scene.bgTexture, 0u);
}

} // namespace
