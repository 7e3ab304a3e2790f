// Tests of the herd: setup from the creature pack and its retry rule, coats,
// small and empty herds, teardown, births and recycling, drawing, the report,
// and ten simulated minutes of a default herd.
#include "creatures/DogControl.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

namespace {

class Herd : public HerdTest {
protected:
    // Sets a herd of the given slots up from the packs in folder.
    bool SetupFrom(const std::string& folder, int slots = 25)
    {
        settings = HerdSettings(slots);
        ApplyView(&herd);
        return herd.Setup(&settings, folder.c_str());
    }
};

TEST_F(Herd, DefaultSetupHas25SlotsWith4Waiting)
{
    Build(25, 2000, 100);
    EXPECT_TRUE(herd.maxDogs == 25 && herd.numActive == 4 && herd.dogSize == 1.0f);
    for (int i = 0; i < 25; i++) {
        const ONEDOG& dog = herd.dogs[size_t(i)];
        EXPECT_TRUE(dog.action == (i < 4 ? DOG_WAITING : DOG_EMPTY) && dog.skin == i % 15) << "slot " << i;
        ASSERT_FALSE(dog.materials.empty());
        EXPECT_EQ(dog.materials[0].texture, herd.skins[size_t(i % 15)].texID);
        EXPECT_EQ(dog.animTemplate, herd.templates[0].animation.get()) << "shared animation";
        EXPECT_NE(dog.vertices.data(), herd.templates[0].model->vertices.data()) << "own vertices";
    }
    // The starting creatures wait beyond the edges.
    for (int i = 0; i < 4; i++) {
        const VECTOR3D p = herd.dogs[size_t(i)].position;
        EXPECT_TRUE(std::fabs(p.x) > herd.bounds.x || std::fabs(p.z) > herd.bounds.z);
    }
    EXPECT_GE(herd.numSkins, 16);
}

TEST_F(Herd, SmallHerdHasNoTwoCoatsAlike)
{
    for (int seed : {1, 2, 3}) {
        std::srand(unsigned(seed));
        Build(14);
        std::set<int> coats;
        for (int i = 0; i < 14; i++)
            coats.insert(herd.dogs[size_t(i)].skin);
        EXPECT_TRUE(coats.size() == 14u && herd.numActive == 3) << "seed " << seed;
    }
}

TEST_F(Herd, FewerThanThreeSlotsStartWithEverySlot)
{
    for (int slots : {2, 1, 0}) {
        Build(slots);
        EXPECT_EQ(herd.numActive, slots);
        for (int frame = 0; frame < 200; frame++)
            herd.Move(0.05);
        herd.Draw(0.05);
        for (int i = 0; i < slots; i++)
            EXPECT_GT(herd.dogs[size_t(i)].action, 0);
    }
    EXPECT_FALSE(herd.Breed(VECTOR3D(0, 0, 0))) << "no slots, no birth";
}

TEST_F(Herd, MissingOrModellessPackFailsOnEveryRetryAndKeepsTheSceneTextures)
{
    herd.footprintTexture = 6;
    herd.sparkTexture = 7;
    TempDir empty, junk;
    PackWriter pack;
    pack.AddLump({1, 2, 3, 4});
    ASSERT_TRUE(pack.Write(junk.File(kCreaturePackName)));
    for (int attempt = 0; attempt < 3; attempt++) {
        EXPECT_FALSE(SetupFrom(empty.path() + "/"));
        EXPECT_FALSE(SetupFrom(junk.path() + "/"));
        EXPECT_TRUE(herd.footprintTexture == 6 && herd.sparkTexture == 7 && herd.dogs == nullptr);
    }
    EXPECT_TRUE(SetupFrom(ResourcesFolder())) << "a later retry can succeed";
    EXPECT_EQ(herd.maxDogs, 25);
}

// A copy of the creature pack with only the first coats.
std::string PackWithCoats(const TempDir& dir, int coats)
{
    RESFILE source;
    EXPECT_TRUE(source.Open((ResourcesFolder() + kCreaturePackName).c_str()));
    PackWriter pack;
    for (int lump = 0; lump <= coats; lump++) {
        unsigned char* data = nullptr;
        EXPECT_TRUE(source.LoadData(lump, &data));
        const RESLUMP& l = source.lumps[size_t(lump)];
        pack.AddLump(std::vector<unsigned char>(data, data + l.size), l.type, l.option);
        delete[] data;
    }
    EXPECT_TRUE(pack.Write(dir.File(kCreaturePackName)));
    return dir.path() + "/";
}

TEST_F(Herd, PackWithFewCoatsDressesTheHerdInTurn)
{
    TempDir dir;
    ASSERT_TRUE(SetupFrom(PackWithCoats(dir, 3), 20));
    ASSERT_EQ(herd.numSkins, 3);
    for (int i = 0; i < 20; i++) {
        const ONEDOG& dog = herd.dogs[size_t(i)];
        EXPECT_EQ(dog.skin, i % 15);
        EXPECT_EQ(dog.materials[0].texture, herd.skins[size_t(dog.skin % 3)].texID);
    }
    for (int i = 0; i < 20; i++)
        ASSERT_TRUE(herd.Breed(VECTOR3D(0, 0, 0)));
}

TEST_F(Herd, CleanupIsHarmlessTwiceAndOnAHerdNeverSetUp)
{
    DOGCONTROL blank;
    blank.Cleanup();
    blank.Cleanup();
    blank.Move(0.1);
    blank.Draw(0.1);

    Build(25);
    herd.footprintTexture = 6;
    herd.Cleanup();
    EXPECT_TRUE(!herd.dogs && !herd.templates && !herd.skins && !herd.footprints && !herd.sparks);
    EXPECT_EQ(herd.footprintTexture, 0u);
    EXPECT_EQ(herd.maxDogs, 25) << "counts are kept";
    EXPECT_TRUE(herd.boundsKnown);
    herd.Cleanup();
    herd.Move(0.1);
    herd.Draw(0.1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Fills every slot with a creature travelling in view, around the origin.
void FillHerd(DOGCONTROL* herd)
{
    for (int i = 0; i < herd->maxDogs; i++) {
        ONEDOG& dog = herd->dogs[size_t(i)];
        dog.position = dog.currentPos = VECTOR3D(float(i % 5) * 3 - 6, 0, float(i / 5) * 3 - 6);
        dog.SetAction(DOG_TRAVELLING);
    }
    herd->numActive = herd->maxDogs;
}

TEST_F(Herd, FullHerdRecyclesOnlyAnUnseenCreatureOneTimeInThree)
{
    Build(25);
    FillHerd(&herd);
    for (int seed = 1; seed <= 20; seed++) {
        std::srand(unsigned(seed));
        EXPECT_FALSE(herd.Breed(VECTOR3D(0, 0, 0))) << "everyone is in view";
    }
    int taken = 0;
    for (int seed = 1; seed <= 30; seed++) {
        ONEDOG& far = herd.dogs[7];
        far.SetAction(DOG_TRAVELLING);
        far.currentPos = VECTOR3D(500, 0, 0);
        std::srand(unsigned(seed));
        const bool expected = std::rand() % 3 == 1;
        std::srand(unsigned(seed));
        EXPECT_EQ(herd.Breed(VECTOR3D(1, 0, 2)), expected) << "seed " << seed;
        if (expected) {
            taken++;
            EXPECT_TRUE(far.action == DOG_IDLING && far.scale == 0.3f && far.currentPos.x == 1.0f);
        }
        EXPECT_EQ(herd.numActive, 25);
    }
    EXPECT_TRUE(taken > 5 && taken < 20) << taken;
}

TEST_F(Herd, BirthTakesTheLowestFreeSlotAndRecountsThoseInPlay)
{
    Build(25);
    // Slots 0 and 1 travel, 2 waits, 3 is placed, the rest are empty.
    Travelling(0, VECTOR3D(0, 0, 0));
    Travelling(1, VECTOR3D(5, 0, 0));
    herd.dogs[3].Reset(&herd);
    herd.numActive = 17;
    ASSERT_TRUE(herd.Breed(VECTOR3D(3, 0, 3)));
    EXPECT_EQ(herd.dogs[2].action, DOG_IDLING);
    EXPECT_EQ(herd.numActive, 3);
    EXPECT_TRUE(herd.Count().sparksAlive >= 100 && herd.Count().sparksAlive <= 199);
    ASSERT_TRUE(herd.Breed(VECTOR3D(3, 0, 3)));
    EXPECT_EQ(herd.dogs[3].action, DOG_IDLING) << "a placed creature's slot is free";
    EXPECT_EQ(herd.numActive, 4);
    EXPECT_TRUE(herd.dogs[3].skin >= 0 && herd.dogs[3].skin < 15);
    // With a free slot the one-in-three draw for a takeover is never made:
    // the newborn's placement, idle row and coat come first.
    for (unsigned seed = 1; seed <= 8; seed++) {
        herd.dogs[4].action = DOG_EMPTY;
        std::srand(seed);
        ONEDOG probe;
        probe.Reset(&herd);
        std::rand(); // the idle row
        const int coat = std::rand() % kChosenSkins;
        std::srand(seed);
        ASSERT_TRUE(herd.Breed(VECTOR3D(3, 0, 3)));
        EXPECT_EQ(herd.dogs[4].skin, coat) << "seed " << seed;
    }
}

// Counts the pixels that differ from the clear colour.
int LitPixels(const HeadlessGL& gl)
{
    const std::vector<unsigned char> px = gl.ReadPixels();
    int lit = 0;
    for (size_t i = 0; i + 3 < px.size(); i += 4)
        lit += px[i] + px[i + 1] + px[i + 2] > 30;
    return lit;
}

TEST_F(Herd, DrawShowsCreaturesInViewAndAdditiveSparks)
{
    // Large creatures, so that one covers a few pixels of the small view.
    Build(25, 2000, 400);
    glViewport(0, 0, 64, 64);
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_TEXTURE_2D})
        glEnable(cap);
    ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
    dog.Move(0.02, &herd);

    auto frame = [&]() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ApplyView(&herd);
        herd.Draw(0.0);
        return LitPixels(gl);
    };
    EXPECT_GT(frame(), 5) << "a creature at the origin is seen from home";
    dog.position = dog.currentPos = VECTOR3D(300, 0, 0);
    EXPECT_EQ(frame(), 0) << "one far outside is culled";

    herd.sparkTexture = 0;
    herd.NewSparks(VECTOR3D(0, 5, 0), VECTOR3D(0, 1, 0), 50, SPARK_STILL);
    EXPECT_GT(frame(), 5) << "sparks add light";
    EXPECT_TRUE(!glIsEnabled(GL_NORMALIZE) && glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Herd, EachDrawPassLeavesTheGLStateAsTheSceneSetIt)
{
    Build(25, 2000, 400);
    ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
    Step(0.1, 20);
    herd.NewSparks(VECTOR3D(0, 5, 0), VECTOR3D(0, 1, 0), 50, SPARK_BURST);
    ApplyView(&herd);
    // The state the scene leaves around the herd's drawing.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_CULL_FACE, GL_DEPTH_TEST, GL_TEXTURE_2D})
        glEnable(cap);
    const GLPassState before = GLPassState::Read();
    const std::pair<const char*, std::function<void()>> passes[] = {
        {"creature", [&] { dog.Draw(herd.skinBuffer); }},
        {"footprints", [&] { herd.DrawFootPrints(0.025); }},
        {"sparks", [&] { herd.DrawSparks(0.025); }},
        {"herd", [&] { herd.Draw(0.025); }},
    };
    ASSERT_GT(herd.log.footprintsLaid, 0);
    for (const auto& pass : passes) {
        pass.second();
        EXPECT_EQ(GLPassState::Read(), before) << pass.first << ": " << GLPassState::Read().Describe();
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Herd, ReportNamesBirthsCameraModesAndCountsEachMinute)
{
    Build(25);
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    herd.log.out = out;
    ASSERT_TRUE(herd.Breed(VECTOR3D(1.5f, 0, -2)));
    herd.log.CameraMode(CAMERA_HOME, CAMERA_FOLLOW, 17);
    for (int i = 0; i < 1300; i++)
        herd.Move(0.05);
    herd.log.out = nullptr;
    std::rewind(out);
    std::string text(4096, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), out));
    std::fclose(out);
    EXPECT_NE(text.find("birth at (1.50, -2.00) in slot 0 (free)"), std::string::npos) << text;
    EXPECT_NE(text.find("camera home -> follow for 17 s"), std::string::npos) << text;
    size_t minutes = 0;
    for (size_t at = text.find("herd: 25 slots"); at != std::string::npos; at = text.find("herd: 25 slots", at + 1))
        minutes++;
    EXPECT_EQ(minutes, 1u) << text;
    EXPECT_NE(text.find("footprints laid"), std::string::npos);
}

TEST_F(Herd, TenMinutesOfADefaultHerdStayOnTheGroundWithinItsSlotsAndRepeatWithTheSeed)
{
    // Creatures enter from up to 3 sizes plus 4 units beyond an edge; two that
    // dodge each other side by side can run on together for a few seconds
    // before they turn back (about 23 units at worst with this seed).
    const float kEntryMargin = 3.0f + 4.0f;
    const float kRoomToTurn = 20.0f;
    std::vector<float> firstRun;
    for (int run = 0; run < 2; run++) {
        herd.camera = CAMERA();
        std::srand(7);
        Build(25);
        const double dt = 0.1;
        int maxInPlay = 0;
        float worstOutside = 0;
        bool travelled = false, idled = false;
        const int frames = run == 0 ? 6000 : 600;
        std::vector<float> trace;
        for (int frame = 0; frame < frames; frame++) {
            herd.camera.Advance(&herd, dt);
            Step(dt);
            herd.DrawSparks(dt);
            ASSERT_LE(herd.numActive, herd.maxDogs);
            maxInPlay = std::max(maxInPlay, herd.numActive);
            for (int i = 0; i < herd.maxDogs; i++) {
                const ONEDOG& dog = herd.dogs[size_t(i)];
                ASSERT_TRUE(std::isfinite(dog.position.x) && std::isfinite(dog.position.z) &&
                            std::isfinite(dog.currentPos.x) && std::isfinite(dog.angles.y))
                    << "slot " << i << " at frame " << frame;
                // Creatures in play keep near the ground: beyond it lie only
                // the margin they enter from and the room to turn back.
                if (dog.action > 0)
                    worstOutside = std::max({worstOutside, std::fabs(dog.currentPos.x) - herd.bounds.x,
                                             std::fabs(dog.currentPos.z) - herd.bounds.z});
                travelled |= dog.action == DOG_TRAVELLING;
                idled |= dog.action == DOG_IDLING;
                if (frame < 600)
                    trace.insert(trace.end(), {dog.currentPos.x, dog.currentPos.z, float(dog.action)});
            }
            ASSERT_TRUE(std::isfinite(herd.camera.pos.x) && herd.camera.pos.y >= 0);
        }
        if (run == 1) {
            EXPECT_TRUE(trace == firstRun) << "the same seed gives the same first minute";
            break;
        }
        firstRun = trace;
        EXPECT_LT(worstOutside, kEntryMargin + kRoomToTurn);
        EXPECT_TRUE(travelled && idled);
        EXPECT_GT(herd.log.births, 0);
        EXPECT_GT(maxInPlay, 4);
        EXPECT_GT(herd.log.footprintsLaid, 1000);
    }
}

} // namespace
