// Tests of the herd: setup from the creature pack, coats, small and empty
// herds, failed setups and teardown, births and recycling, drawing, the report,
// long steps walked in short ones, ten simulated minutes of a default herd at
// frame steps up to 2 s, and the fixture's failure without the packs.
#include "creatures/DogControl.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using Herd = HerdTest;

TEST_F(Herd, SetupDressesEverySlotAndPutsTheFirstInWaiting)
{
    // A herd of fewer slots than coats has no two creatures alike.
    const struct {
        int slots, waiting;
    } rows[] = {{25, 4}, {14, 3}, {2, 2}, {0, 0}};
    std::srand(1);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.slots << " slots");
        ASSERT_TRUE(Build(row.slots));
        ASSERT_TRUE(herd.maxDogs == row.slots && herd.numActive == row.waiting);
        std::set<int> coats;
        for (int i = 0; i < row.slots; i++) {
            const ONEDOG& dog = herd.dogs[size_t(i)];
            EXPECT_EQ(dog.action, i < row.waiting ? DOG_WAITING : DOG_EMPTY) << "slot " << i;
            EXPECT_TRUE(row.slots < 15 || dog.skin == i % 15) << "slot " << i << " has coat " << dog.skin;
            coats.insert(dog.skin);
        }
        EXPECT_EQ(coats.size(), size_t(std::min(row.slots, 15)));
    }
    EXPECT_FALSE(herd.Breed(VECTOR3D(0, 0, 0))) << "no slots, no birth";
}

TEST_F(Herd, EveryPosedCreatureLiesWithinTheSphereItsDamageIsTakenFrom)
{
    // Five simulated minutes of a breeding herd, at two sizes, so that every
    // animation is played in every phase, with newborns growing.
    for (const int size : {100, 60}) {
        SCOPED_TRACE(testing::Message() << size << " %");
        std::srand(5);
        ASSERT_TRUE(Build(25, 2000, size));
        std::vector<MODELVERTEX> skin = herd.skinBuffer;
        double worst = 0;
        for (int step = 0; step < 3000; step++) {
            herd.Move(0.1);
            for (int i = 0; i < herd.maxDogs; i++) {
                const ONEDOG& dog = herd.dogs[size_t(i)];
                if (dog.action <= 0)
                    continue;
                dog.PoseSkin(skin);
                const WorldSphere sphere = herd.DrawnSphere(dog);
                for (const MODELVERTEX& v : skin) {
                    const VECTOR3D scaled(v.position.x * dog.scale, v.position.y * dog.scale, v.position.z * dog.scale);
                    const VECTOR3D r = MatrixRotatePoint(dog.orientation, scaled);
                    const VECTOR3D p(dog.position.x + r.x, dog.position.y + r.y, dog.position.z + r.z);
                    worst = std::max(worst, DistanceBetweenVectors(p, sphere.centre) / double(sphere.radius));
                }
            }
        }
        EXPECT_LE(worst, 1.0);
        RecordProperty(size == 100 ? "reachShareFull" : "reachShareSmall", std::to_string(worst));
    }
}

// A setup that fails says why, in the loader's words or the herd's rule
// (the reasons larkspur-pack check gives too).
TEST_F(Herd, FailedSetupSaysWhyKeepsTheTexturesAFewCoatsDressTheHerdInTurnAndCleanupIsHarmless)
{
    herd.footprintTexture = 6;
    TempDir empty, junk, arm, brief, thin;
    PackWriter bad, few;
    bad.AddLump({1, 2, 3, 4});
    ASSERT_TRUE(bad.Write(junk.File(kCreaturePackName)));
    ASSERT_TRUE(WriteCreaturePack(arm.File(kCreaturePackName), ArmModel()));
    // The real creature, its timeline cut to 100 frames.
    MS3D creature = CreaturePackModel();
    creature.totalFrames = 100;
    ASSERT_TRUE(WriteCreaturePack(brief.File(kCreaturePackName), creature));
    const struct {
        std::string folder;
        const char* failure;
    } refusals[] = {
        {empty.path(), "no such file or directory"},
        {junk.path(), "the model in lump 0: the model ends early"},
        {arm.path(), "the model has 2 joints, and the creatures need at least 27 (joint 0 carries the walk; joints "
                     "12, 16, 25 and 26 are the feet)"},
        {brief.path(), "the model's timeline has 100 frames, and the creatures' animations run to frame 192"},
    };
    for (const auto& r : refusals) {
        EXPECT_FALSE(SetupHerd(25, 2000, 100, r.folder + "/"));
        EXPECT_EQ(herd.failure, r.failure);
    }
    EXPECT_TRUE(herd.footprintTexture == 6 && herd.dogs == nullptr);
    // The model and only three coats.
    RESFILE source;
    ASSERT_TRUE(source.Open((ResourcesFolder() + kCreaturePackName).c_str()));
    for (int lump = 0; lump <= 3; lump++) {
        unsigned char* data = nullptr;
        ASSERT_TRUE(source.LoadData(lump, &data));
        const RESLUMP& l = source.lumps[size_t(lump)];
        few.AddLump(std::vector<unsigned char>(data, data + l.size), l.type, l.option);
        delete[] data;
    }
    ASSERT_TRUE(few.Write(thin.File(kCreaturePackName)));
    ASSERT_TRUE(SetupHerd(20, 2000, 100, thin.path() + "/"));
    EXPECT_EQ(herd.failure, "");
    ASSERT_EQ(herd.numSkins, 3);
    for (int i = 0; i < 20; i++) {
        const ONEDOG& dog = herd.dogs[size_t(i)];
        EXPECT_TRUE(dog.skin == i % 15 && dog.materials[0].texture == herd.skins[size_t(dog.skin % 3)].texID) << i;
    }

    herd.Cleanup();
    EXPECT_TRUE(!herd.dogs && !herd.skins && !herd.footprints && !herd.sparks && herd.footprintTexture == 0);
    herd.Move(0.1);
    herd.Draw(0.1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Herd, BirthTakesTheLowestFreeSlotElseOneTimeInThreeACreatureOutOfView)
{
    ASSERT_TRUE(Build(25));
    // Slots 0 and 1 travel, 2 waits, 3 is placed, the rest are empty.
    Travelling(0, VECTOR3D(0, 0, 0));
    Travelling(1, VECTOR3D(5, 0, 0));
    herd.dogs[3].Reset(&herd);
    herd.numActive = 17;
    // Slots 2 and 3 are taken in turn, without a draw for a takeover: each
    // newborn's placement, idle row, coat and sparks are drawn in that order,
    // and the sparks start only in free places of the pool.
    int sparks = 0;
    for (int slot : {2, 3}) {
        std::srand(unsigned(slot));
        ONEDOG probe;
        probe.Reset(&herd);
        std::rand(); // the idle row
        const int coat = std::rand() % kChosenSkins;
        sparks += 100 + std::rand() % 100;
        std::srand(unsigned(slot));
        ASSERT_TRUE(herd.Breed(VECTOR3D(3, 0, 3)));
        const ONEDOG& baby = herd.dogs[size_t(slot)];
        EXPECT_TRUE(baby.action == DOG_IDLING && baby.skin == coat && herd.Count().sparksAlive == sparks) << slot;
    }
    EXPECT_EQ(herd.numActive, 4);

    // A full herd, every creature travelling in view around the origin but
    // one: it is the one taken, never the lower slots in view.
    for (int i = 0; i < 25; i++)
        Travelling(i, VECTOR3D(float(i % 5) * 3 - 6, 0, float(i / 5) * 3 - 6));
    ONEDOG& far = herd.dogs[7];
    for (unsigned seed = 1; seed <= 4; seed++) {
        far.SetAction(DOG_TRAVELLING);
        far.currentPos = VECTOR3D(500, 0, 0);
        std::srand(seed);
        const bool expected = std::rand() % 3 == 1;
        std::srand(seed);
        EXPECT_EQ(herd.Breed(VECTOR3D(1, 0, 2)), expected) << "seed " << seed;
        EXPECT_TRUE(!expected || (far.action == DOG_IDLING && far.scale == 0.3f && far.currentPos.x == 1.0f));
    }
}

TEST_F(Herd, DrawShowsCreaturesInViewAndSparksAndLeavesTheGLStateAsItWas)
{
    // Large creatures, so that one covers a few pixels of the 64x64 view.
    ASSERT_TRUE(Build(25, 2000, 400));
    // The state the scene leaves around the herd's drawing.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_CULL_FACE, GL_DEPTH_TEST, GL_TEXTURE_2D})
        glEnable(cap);
    const GLPassState before = GLPassState::Read();
    ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
    dog.Move(0.02, &herd);
    auto litPixels = [&]() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ApplyView(&herd);
        herd.Draw(0.0);
        const std::vector<unsigned char> px = gl.ReadPixels();
        int lit = 0;
        for (size_t i = 0; i + 3 < px.size(); i += 4)
            lit += px[i] + px[i + 1] + px[i + 2] > 30;
        return lit;
    };
    EXPECT_GT(litPixels(), 5) << "a creature at the origin is seen from home";
    dog.position = dog.currentPos = VECTOR3D(300, 0, 0);
    EXPECT_EQ(litPixels(), 0) << "one far outside is culled";
    herd.NewSparks(VECTOR3D(0, 5, 0), VECTOR3D(0, 1, 0), 50, SPARK_STILL);
    EXPECT_GT(litPixels(), 5) << "sparks add light";
    EXPECT_EQ(GLPassState::Read(), before) << GLPassState::Read().Describe();
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Herd, ReportNamesCountsBirthsAndCameraModes)
{
    ASSERT_TRUE(Build(25));
    char* buffer = nullptr;
    size_t size = 0;
    herd.log.out = open_memstream(&buffer, &size);
    ASSERT_NE(herd.log.out, nullptr);
    herd.log.Counts(herd.Count());
    ASSERT_TRUE(herd.Breed(VECTOR3D(1.5f, 0, -2)));
    herd.log.CameraMode(CAMERA_HOME, CAMERA_FOLLOW, 17);
    std::fclose(herd.log.out);
    herd.log.out = nullptr;
    EXPECT_EQ(std::string(buffer, size),
              "larkspur: 0.0 s: herd: 25 slots, 4 in play (0 travelling, 0 idling), 4 waiting, 0 births, "
              "0 footprints laid, 0 sparks alive\n"
              "larkspur: 0.0 s: birth at (1.50, -2.00) in slot 0 (free)\n"
              "larkspur: 0.0 s: camera home -> follow for 17 s\n");
    std::free(buffer);
}

// Whether two herds are in the same state, to the bit.
bool SameHerd(const DOGCONTROL& a, const DOGCONTROL& b)
{
    const auto same = [](VECTOR3D u, VECTOR3D v) { return u.x == v.x && u.y == v.y && u.z == v.z; };
    if (a.maxDogs != b.maxDogs || a.numActive != b.numActive || a.log.births != b.log.births ||
        a.log.footprintsLaid != b.log.footprintsLaid || a.log.Clock() != b.log.Clock())
        return false;
    for (int i = 0; i < a.maxDogs; i++) {
        const ONEDOG &p = a.dogs[size_t(i)], &q = b.dogs[size_t(i)];
        if (p.action != q.action || p.anim != q.anim || !same(p.position, q.position) ||
            !same(p.currentPos, q.currentPos) || !same(p.angles, q.angles) || p.currentTime != q.currentTime ||
            p.scale != q.scale || p.moveSpeed != q.moveSpeed || !same(p.target, q.target))
            return false;
    }
    return true;
}

TEST_F(Herd, ALongStepIsWalkedInEqualStepsOfAtMostATenthOfASecond)
{
    // A twin herd from the same draws takes each frame's step as the steps
    // it should be split into; after every frame both are alike, to the bit.
    // A tenth of a second is one step, not two halves, and so is a hair
    // more, as the difference of two clock readings gives.
    const struct {
        double step;
        int parts;
        bool alike;
    } rows[] = {{0.4, 4, true}, {0.25, 3, true}, {2.0, 20, true}, {0.1, 2, false}, {60.1 - 60.0, 2, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.step << " s as " << row.parts << " steps");
        herd.log = HerdLog();
        std::srand(3);
        ASSERT_TRUE(Build(25));
        DOGCONTROL twin;
        ApplyView(&twin);
        std::srand(3);
        ASSERT_TRUE(twin.Setup(&settings, ResourcesFolder().c_str()));
        bool alike = true;
        for (int frame = 0; frame * row.step < 60; frame++) {
            std::srand(unsigned(frame));
            herd.Move(row.step);
            std::srand(unsigned(frame));
            for (int part = 0; part < row.parts; part++)
                twin.Move(row.step / row.parts);
            alike = alike && SameHerd(herd, twin);
        }
        EXPECT_EQ(alike, row.alike);
        EXPECT_GT(herd.log.footprintsLaid, 100) << "the herd came in and walked";
    }
}

// Ten simulated minutes of a default herd at a frame step, with the seed of
// 1 to 5 that takes its creatures furthest beyond the ground at that step.
struct TenMinutes {
    double step;
    unsigned seed;
};

void PrintTo(const TenMinutes& row, std::ostream* os)
{
    *os << row.step << " s, seed " << row.seed;
}

class HerdForTenMinutes : public HerdTest, public testing::WithParamInterface<TenMinutes> {};

TEST_P(HerdForTenMinutes, StaysOnTheGroundBreedsAndRepeatsWithTheSeed)
{
    // Creatures enter from up to 3 sizes plus 4 units beyond an edge; two that
    // dodge each other side by side can run on together for a few seconds
    // before they turn back. Seeds 1 to 5 at steps from 0.025 to 2 s, in
    // views of 16:9 and 4:3, went at most 29.9 units beyond the ground.
    const float kEntryMarginAndRoomToTurn = 3.0f + 4.0f + 25.0f;
    const TenMinutes row = GetParam();
    const int frames = int(std::lround(600.0 / row.step)), minute = int(std::lround(60.0 / row.step));
    std::vector<float> firstMinute[2];
    for (int run = 0; run < 2; run++) {
        herd.camera = CAMERA();
        std::srand(row.seed);
        ASSERT_TRUE(Build(25));
        float worstOutside = 0;
        for (int frame = 0; frame < (run == 0 ? frames : minute); frame++) {
            herd.camera.Advance(&herd, row.step);
            ApplyView(&herd);
            herd.Move(row.step);
            for (int i = 0; i < herd.maxDogs; i++) {
                const ONEDOG& dog = herd.dogs[size_t(i)];
                ASSERT_TRUE(std::isfinite(dog.currentPos.x) && std::isfinite(dog.currentPos.z))
                    << "slot " << i << " at frame " << frame;
                if (dog.action > 0)
                    worstOutside = std::max({worstOutside, std::fabs(dog.currentPos.x) - herd.bounds.x,
                                             std::fabs(dog.currentPos.z) - herd.bounds.z});
                if (frame == minute - 1)
                    firstMinute[run].insert(firstMinute[run].end(), {dog.currentPos.x, dog.currentPos.z, dog.angles.y});
            }
        }
        // Creatures in play keep near the ground: beyond it lie only the
        // margin they enter from and the room to turn back.
        if (run == 0) {
            EXPECT_TRUE(worstOutside < kEntryMarginAndRoomToTurn && herd.log.births > 0 &&
                        herd.log.footprintsLaid > 1000)
                << worstOutside << " beyond, " << herd.log.births << " births, " << herd.log.footprintsLaid
                << " prints";
        }
    }
    EXPECT_EQ(firstMinute[0], firstMinute[1]) << "the same seed gives the same first minute";
}

INSTANTIATE_TEST_SUITE_P(Steps, HerdForTenMinutes,
                         testing::Values(TenMinutes{0.025, 2}, TenMinutes{0.1, 5}, TenMinutes{0.25, 4},
                                         TenMinutes{1.0, 4}, TenMinutes{2.0, 2}),
                         [](const testing::TestParamInfo<TenMinutes>& info) {
                             return "Every" + std::to_string(std::lround(info.param.step * 1000)) + "ms";
                         });

TEST(HerdFixture, WithoutItsPacksEveryHerdTestFailsWithTheReasonAndNoneCrashes)
{
    // Run directly, one crash would end the run of every test after it.
    TempDir empty;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string out;
    const int status = RunCommand("LARKSPUR_TEST_RESOURCES=" + empty.path() + " " + self +
                                      " '--gtest_filter=Herd.*:OneDogHerd.*:Effects.*:*HerdForTenMinutes.*'",
                                  &out);
    int ran = 0;
    const size_t at = out.rfind("[==========] ");
    if (at != std::string::npos)
        ran = std::atoi(out.c_str() + at + 13);
    EXPECT_TRUE(status == 1 && ran >= 15 && out.find("[  PASSED  ] 0 tests.") != std::string::npos)
        << "status " << status << ", " << ran << " tests:\n"
        << out;
    EXPECT_NE(out.find("the herd cannot be set up from the creature pack in " + empty.path() + "/"), std::string::npos);
}

} // namespace
