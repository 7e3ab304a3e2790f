// Tests of one creature: placement beyond the edges, setting off, root motion,
// steering, neighbours and breeding, idle sequences, growth and feet.
#include "creatures/OneDog.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

bool IsTenth(float v)
{
    const double tenths = double(v) * 10.0;
    return std::fabs(tenths - std::round(tenths)) < 1e-3;
}

TEST(OneDog, ResetPlacesItJustBeyondARandomEdge)
{
    DOGCONTROL herd;
    herd.bounds = VECTOR3D(16, 0, 12);
    ONEDOG dog;
    std::set<int> edges;
    std::srand(11);
    for (int i = 0; i < 2000; i++) {
        dog.action = DOG_WAITING;
        dog.Reset(&herd);
        ASSERT_EQ(dog.action, DOG_PLACED);
        EXPECT_EQ(dog.position.y, 0.0f);
        // Beyond one edge (z = +-12 or x = +-16) by 3 + 0..4 units, along it on a 0.1 grid.
        const VECTOR3D p = dog.position;
        const bool zEdge = std::fabs(p.z) >= 15.0f;
        const float along = zEdge ? p.x : p.z, out = zEdge ? p.z : p.x, edge = zEdge ? 12.0f : 16.0f;
        EXPECT_TRUE(std::fabs(along) <= 28.0f - edge && IsTenth(along)) << along;
        EXPECT_TRUE(std::fabs(out) >= edge + 3 && std::fabs(out) <= edge + 7 && out == std::round(out)) << out;
        edges.insert(2 * zEdge + (out > 0));
    }
    EXPECT_EQ(edges.size(), 4u) << "every edge is used";
    EXPECT_TRUE(dog.blendRate == 4.0f && dog.targetTurnRate == 2.0f);
}

TEST(OneDog, HeadingTurnsTheShortWayRound)
{
    ONEDOG dog;
    const double yaw = -170.0 * NIFTY_PI / 180.0;
    dog.steerTarget = VECTOR3D(float(10 * std::sin(yaw)), 0, float(10 * std::cos(yaw)));
    const float a = AngleBetweenVectors(dog.position, dog.steerTarget).y;
    ASSERT_NEAR(a, -170.0f, 0.01f);
    dog.angles.y = 170.0f;
    dog.TurnToTarget(1.0f, 0.1);
    // Unwrapped to -190, then a tenth of the way toward -170.
    EXPECT_NEAR(dog.angles.y, -188.0f, 0.01f);
    const double turned = -188.0 * NIFTY_PI / 180.0;
    EXPECT_NEAR(dog.heading.x, std::sin(turned), 1e-5);
    EXPECT_NEAR(dog.heading.z, std::cos(turned), 1e-5);

    // Already within 180 degrees the heading is left unwrapped.
    dog.angles.y = 0;
    dog.steerTarget = VECTOR3D(10, 0, 0.01f);
    dog.TurnToTarget(2.0f, 0.25);
    EXPECT_NEAR(dog.angles.y, 45.0f, 0.1f);
}

class OneDogHerd : public HerdTest {
protected:
    void SetUp() override
    {
        HerdTest::SetUp();
        Build(25);
        // Only the creatures a test puts in play take part.
        for (int i = 0; i < herd.maxDogs; i++)
            herd.dogs[size_t(i)].action = DOG_EMPTY;
        herd.numActive = 0;
    }
};

TEST_F(OneDogHerd, PlacedCreatureSetsOffAndThenPicksATarget)
{
    int slow = 0, idleAtOnce = 0;
    const int trials = 300;
    for (int seed = 1; seed <= trials; seed++) {
        ONEDOG& dog = herd.dogs[0];
        dog.Reset(&herd);
        const VECTOR3D start = dog.position;
        std::srand(unsigned(seed));
        dog.Move(0.025, &herd);
        ASSERT_EQ(dog.action, DOG_TRAVELLING);
        ASSERT_TRUE(dog.anim == 0 || dog.anim == 1);
        EXPECT_EQ(dog.targetMoveSpeed, dog.anim == 0 ? 4.0f : 8.0f);
        EXPECT_TRUE(dog.blending && dog.retargetTimer == 10.0f) << "it blends into the stride";
        EXPECT_TRUE(dog.target.x == start.x && dog.target.z == start.z);
        slow += dog.anim == 0;

        // Standing on its target, it picks one within 90 % of the ground.
        dog.Move(0.025, &herd);
        EXPECT_TRUE(std::fabs(dog.target.x) <= herd.bounds.x * 0.9f + 1e-4f &&
                    std::fabs(dog.target.z) <= herd.bounds.z * 0.9f + 1e-4f && dog.retargetTimer == 10.0f);
        idleAtOnce += dog.action == DOG_IDLING;
    }
    EXPECT_NEAR(double(slow) / trials, 1.0 / 3, 0.08);
    EXPECT_NEAR(double(idleAtOnce) / trials, 1.0 / 6, 0.06);
}

TEST_F(OneDogHerd, StrideEndCommitsTheRootDisplacement)
{
    ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
    dog.Move(0.02, &herd);
    dog.target = VECTOR3D(0, 0, 1000);
    dog.retargetTimer = 1000;
    int restarts = 0;
    float lastZ = dog.position.z;
    for (int frame = 0; frame < 400 && restarts < 3; frame++) {
        const float before = dog.currentTime;
        dog.Move(0.02, &herd);
        EXPECT_EQ(dog.action, DOG_TRAVELLING);
        if (dog.currentTime < before) {
            restarts++;
            EXPECT_TRUE(dog.position.x == dog.currentPos.x && dog.position.z == dog.currentPos.z);
            EXPECT_TRUE(dog.joints[0].blendFromTranslation.x == 0 && dog.joints[0].blendFromTranslation.z == 0);
            EXPECT_GT(dog.position.z, lastZ + 0.2f) << "each stride carries it forward";
            lastZ = dog.position.z;
        } else {
            // Between restarts position stays put and currentPos runs ahead.
            EXPECT_EQ(dog.position.z, lastZ);
            EXPECT_GE(dog.currentPos.z, dog.position.z - 1e-4f);
        }
    }
    EXPECT_EQ(restarts, 3);
}

TEST_F(OneDogHerd, OnlyTouchingGrownReadyCreaturesWaitAndBreedOnAnEvenDraw)
{
    ONEDOG& a = Travelling(0, VECTOR3D(0, 0, 0));
    ONEDOG& b = Travelling(1, VECTOR3D(1, 0, 0));
    b.scale = 0.99f;
    std::srand(5);
    const int next = std::rand();
    std::srand(5);
    a.CheckCollisions(&herd, 0.1);
    EXPECT_EQ(a.breedTimer, -1.0f);
    EXPECT_EQ(std::rand(), next) << "no draw without a breeding pair";
    b.scale = 1.0f;
    b.breedTimer = 0.5f;
    a.CheckCollisions(&herd, 0.1);
    EXPECT_TRUE(a.breedTimer == -1.0f && herd.log.births == 0) << "a waiting creature does not breed";

    int births = 0, misses = 0;
    for (int seed = 1; seed <= 16; seed++) {
        Travelling(0, VECTOR3D(0, 0, 0));
        Travelling(1, VECTOR3D(2, 0, 0));
        herd.dogs[2].action = DOG_EMPTY;
        const int64_t before = herd.log.births;
        std::srand(unsigned(seed));
        const bool even = std::rand() % 2 == 0;
        std::srand(unsigned(seed));
        EXPECT_TRUE(a.CheckCollisions(&herd, 0.1));
        EXPECT_TRUE(a.breedTimer == 5.0f && b.breedTimer == 5.0f && a.turnRate == 1.0f);
        EXPECT_LT(a.position.x, 0.0f) << "pushed away from the other";
        EXPECT_EQ(herd.log.births, before + even);
        if (even) {
            births++;
            EXPECT_TRUE(a.retargetTimer == -999.0f && b.retargetTimer == -999.0f);
            const ONEDOG& baby = herd.dogs[2];
            EXPECT_TRUE(baby.action == DOG_IDLING && baby.scale == 0.3f && herd.numActive == 3);
            EXPECT_FLOAT_EQ(baby.position.x, 1.0f);
        } else {
            misses++;
            EXPECT_EQ(a.retargetTimer, 10.0f);
        }
    }
    EXPECT_TRUE(births > 0 && misses > 0);
}

TEST_F(OneDogHerd, NearbyCreatureIsDodged)
{
    ONEDOG& a = Travelling(0, VECTOR3D(0, 0, 0));
    Travelling(1, VECTOR3D(3, 0, 0));
    a.turnRate = 2.0f;
    a.CheckCollisions(&herd, 0.1);
    EXPECT_TRUE(a.target.x == -30.0f && a.target.z == 0.0f) << a.target.x;
    EXPECT_TRUE(a.turnRate == 1.0f && a.retargetTimer == 0.25f);
    EXPECT_EQ(a.position.x, 0.0f) << "no push at a distance";
    // The old target is what it steers at until the next check.
    EXPECT_NE(a.steerTarget.x, a.target.x);

    // Idle neighbours never run the check themselves.
    herd.dogs[1].SetAction(DOG_IDLING);
    EXPECT_FALSE(herd.dogs[1].CheckCollisions(&herd, 0.1));
}

TEST_F(OneDogHerd, IdleRowsRepeatFourInFiveAndSequencesPlayInOrder)
{
    int repeatRuns = 0, repeatPlays = 0;
    std::srand(21);
    for (int trial = 0; trial < 150; trial++) {
        ONEDOG& dog = herd.dogs[0];
        dog.SetAction(DOG_IDLING);
        std::vector<int> rows{dog.anim};
        int plays = 1;
        for (int frame = 0; frame < 20000 && dog.action == DOG_IDLING; frame++) {
            const int row = dog.anim;
            const bool ending = dog.currentTime >= dog.endTime;
            dog.Move(0.05, &herd);
            if (!ending || dog.action != DOG_IDLING)
                continue;
            if (dog.anim == row) {
                plays++;
                ASSERT_TRUE(dogAnims[row].repeat) << "row " << row << " repeated";
            } else {
                rows.push_back(dog.anim);
            }
        }
        ASSERT_EQ(dog.action, DOG_TRAVELLING);
        // Rows 3 and 6 start sequences of three; every other row plays alone.
        const int first = rows[0];
        if (first == 3 || first == 6)
            EXPECT_EQ(rows, (std::vector<int>{first, first + 1, first + 2}));
        else
            EXPECT_EQ(rows.size(), 1u);
        if (rows.size() == 1 && dogAnims[first].repeat) {
            repeatRuns++;
            repeatPlays += plays;
        }
    }
    ASSERT_GT(repeatRuns, 40);
    EXPECT_NEAR(double(repeatPlays) / repeatRuns, 5.0, 1.0);
}

TEST_F(OneDogHerd, NewbornIdlesSmallAndIsGrownAfter56Seconds)
{
    ASSERT_TRUE(herd.Breed(VECTOR3D(2, 0, 3)));
    ONEDOG& baby = herd.dogs[0];
    EXPECT_TRUE(baby.action == DOG_IDLING && baby.scale == 0.3f);
    EXPECT_TRUE(baby.position.x == 2.0f && baby.currentPos.z == 3.0f);
    double t = 0;
    for (; baby.scale < 1.0f && t < 100; t += 0.025)
        baby.Move(0.025, &herd);
    EXPECT_NEAR(t, 56.0, 0.1);
    baby.Move(0.025, &herd);
    EXPECT_EQ(baby.scale, 1.0f) << "the overshoot is clamped";
}

TEST_F(OneDogHerd, EachFootLaysOnePrintUnderItWhenItComesDown)
{
    ONEDOG& dog = herd.dogs[0];
    dog.action = DOG_IDLING;
    // Held in the standing pose, all four paws are on the ground.
    dog.SetAnimation(0, 1, 1000.0, false, false);
    dog.speed = 0;
    for (int& down : dog.footDown)
        down = 0;
    dog.Move(0.05, &herd);
    EXPECT_EQ(herd.log.footprintsLaid, 4);
    for (int i = 0; i < 50; i++)
        dog.Move(0.05, &herd);
    EXPECT_EQ(herd.log.footprintsLaid, 4) << "a paw left down lays no more";
    for (int f = 0; f < 4; f++)
        EXPECT_EQ(dog.footDown[f], 1);

    Travelling(0, VECTOR3D(-10, 0, 0));
    dog.target = VECTOR3D(10, 0, 0);
    dog.retargetTimer = 100;
    for (int frame = 0; frame < 120; frame++) {
        const int64_t laid = herd.log.footprintsLaid;
        dog.Move(0.025, &herd);
        if (herd.log.footprintsLaid == laid)
            continue;
        const FOOTPRINT& print = herd.footprints[size_t(herd.footprintWrite - 1)];
        EXPECT_EQ(print.life, 1.0f);
        const float cx = (print.corners[0].x + print.corners[2].x) / 2;
        const float cz = (print.corners[0].z + print.corners[2].z) / 2;
        EXPECT_LT(std::hypot(cx - dog.currentPos.x, cz - dog.currentPos.z), 1.5f);
        for (const VECTOR3D& c : print.corners)
            EXPECT_EQ(c.y, 0.0f);
    }
    EXPECT_GE(herd.log.footprintsLaid, 4 + 8) << "3 s of travel lay a trail";
}

TEST_F(OneDogHerd, EveryAllowedSizeLaysATrail)
{
    for (int percent : {10, 20, 30, 100, 1000}) {
        Build(1, 2000, percent);
        ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
        dog.target = VECTOR3D(1000, 0, 0);
        dog.retargetTimer = 100;
        const int64_t before = herd.log.footprintsLaid;
        for (int frame = 0; frame < 120; frame++)
            dog.Move(0.025, &herd);
        EXPECT_GE(herd.log.footprintsLaid - before, 8) << percent << " %";
    }
}

TEST_F(OneDogHerd, UnmeasuredGroundKeepsPlacementAndTravelFinite)
{
    herd.bounds = VECTOR3D(0, 0, 0);
    ONEDOG& dog = herd.dogs[0];
    for (int i = 0; i < 50; i++) {
        dog.Reset(&herd);
        EXPECT_TRUE(std::isfinite(dog.position.x) && std::isfinite(dog.position.z));
        EXPECT_LE(std::fabs(dog.position.x) + std::fabs(dog.position.z), 7.0f);
    }
    Travelling(0, VECTOR3D(0, 0, 0));
    for (int frame = 0; frame < 100; frame++)
        dog.Move(0.05, &herd);
    EXPECT_TRUE(std::isfinite(dog.position.x) && std::isfinite(dog.position.z));
}

} // namespace
