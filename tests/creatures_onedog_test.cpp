// Tests of one creature: placement beyond the edges, setting off, root motion,
// steering, neighbours and breeding, idle sequences, growth and feet.
#include "creatures/OneDog.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

TEST(OneDog, HeadingTurnsTheShortWayRound)
{
    // Unwrapped from 170 to -190, then a tenth of the way toward -170; within
    // 180 degrees the heading is left as it is.
    const struct {
        float from, toward, rate;
        double dt;
        float expected;
    } rows[] = {{170, -170, 1, 0.1, -188}, {0, 90, 2, 0.25, 45}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from);
        ONEDOG dog;
        const double yaw = row.toward * NIFTY_PI / 180.0;
        dog.steerTarget = VECTOR3D(float(10 * std::sin(yaw)), 0, float(10 * std::cos(yaw)));
        dog.angles.y = row.from;
        dog.TurnToTarget(row.rate, row.dt);
        EXPECT_NEAR(dog.angles.y, row.expected, 0.01f);
        const double turned = dog.angles.y * NIFTY_PI / 180.0;
        EXPECT_NEAR(dog.heading.x, std::sin(turned), 1e-5);
        EXPECT_NEAR(dog.heading.z, std::cos(turned), 1e-5);
    }
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

TEST_F(OneDogHerd, ResetPlacesItJustBeyondARandomEdgeEvenOnUnmeasuredGround)
{
    ONEDOG& dog = herd.dogs[0];
    std::srand(11);
    for (VECTOR3D bounds : {VECTOR3D(16, 0, 12), VECTOR3D(0, 0, 0)}) {
        SCOPED_TRACE(bounds.x);
        herd.bounds = bounds;
        std::set<int> edges;
        for (int i = 0; i < 2000; i++) {
            dog.action = DOG_WAITING;
            dog.Reset(&herd);
            ASSERT_TRUE(dog.action == DOG_PLACED && dog.position.y == 0.0f);
            // Beyond one edge by 3 + 0..4 whole units, along it on a 0.1 grid.
            const VECTOR3D p = dog.position;
            const bool zEdge = std::fabs(p.z) > bounds.z + 1;
            const float along = zEdge ? p.x : p.z, out = zEdge ? p.z : p.x;
            const float edge = zEdge ? bounds.z : bounds.x, side = zEdge ? bounds.x : bounds.z;
            const double tenths = double(along) * 10.0;
            EXPECT_TRUE(std::fabs(along) <= side && std::fabs(tenths - std::round(tenths)) < 1e-3) << along;
            EXPECT_TRUE(std::fabs(out) >= edge + 3 && std::fabs(out) <= edge + 7 && out == std::round(out)) << out;
            edges.insert(2 * zEdge + (out > 0));
        }
        EXPECT_EQ(edges.size(), 4u) << "every edge is used";
        EXPECT_TRUE(dog.blendRate == 4.0f && dog.targetTurnRate == 2.0f);
    }
    Travelling(0, VECTOR3D(0, 0, 0));
    for (int frame = 0; frame < 100; frame++)
        dog.Move(0.05, &herd);
    EXPECT_TRUE(std::isfinite(dog.position.x) && std::isfinite(dog.position.z)) << "travel on unmeasured ground";
}

TEST_F(OneDogHerd, PlacedCreatureSetsOffAndThenPicksATarget)
{
    int slow = 0, idleAtOnce = 0;
    const int trials = 300;
    ONEDOG& dog = herd.dogs[0];
    for (unsigned seed = 1; seed <= trials; seed++) {
        dog.Reset(&herd);
        const VECTOR3D start = dog.position;
        std::srand(seed);
        dog.Move(0.025, &herd);
        ASSERT_TRUE(dog.action == DOG_TRAVELLING && (dog.anim == 0 || dog.anim == 1));
        // The slow stride walks at half the pace; it blends in, aiming first where it stands.
        EXPECT_TRUE(dog.targetMoveSpeed == (dog.anim == 0 ? 4.0f : 8.0f) && dog.blending && dog.retargetTimer == 10.0f &&
                    dog.target.x == start.x && dog.target.z == start.z);
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
            EXPECT_TRUE(dog.position.x == dog.currentPos.x && dog.position.z == dog.currentPos.z &&
                        dog.joints[0].blendFromTranslation.x == 0 && dog.joints[0].blendFromTranslation.z == 0);
            EXPECT_GT(dog.position.z, lastZ + 0.2f) << "each stride carries it forward";
            lastZ = dog.position.z;
        } else {
            // Between restarts position stays put and currentPos runs ahead.
            EXPECT_TRUE(dog.position.z == lastZ && dog.currentPos.z >= dog.position.z - 1e-4f) << frame;
        }
    }
    EXPECT_EQ(restarts, 3);
}

TEST_F(OneDogHerd, NeighboursAreDodgedAndTouchingGrownReadyOnesBreedOnAnEvenDraw)
{
    ONEDOG& a = Travelling(0, VECTOR3D(0, 0, 0));
    ONEDOG& b = Travelling(1, VECTOR3D(3, 0, 0));
    a.turnRate = 2.0f;
    a.CheckCollisions(&herd, 0.1);
    // Near: it heads away, ten times as far, but steers at the old target
    // until the next check; it is not pushed.
    EXPECT_TRUE(a.target.x == -30.0f && a.target.z == 0.0f && a.steerTarget.x != a.target.x) << a.target.x;
    EXPECT_TRUE(a.turnRate == 1.0f && a.retargetTimer == 0.25f && a.position.x == 0.0f);
    b.SetAction(DOG_IDLING);
    EXPECT_FALSE(b.CheckCollisions(&herd, 0.1)) << "idle creatures never run the check";

    Travelling(1, VECTOR3D(1, 0, 0));
    b.scale = 0.99f;
    std::srand(5);
    const int next = std::rand();
    std::srand(5);
    a.CheckCollisions(&herd, 0.1);
    EXPECT_EQ(a.breedTimer, -1.0f);
    EXPECT_EQ(std::rand(), next) << "no draw without a grown pair";
    b.scale = 1.0f;
    b.breedTimer = 0.5f;
    a.CheckCollisions(&herd, 0.1);
    EXPECT_TRUE(a.breedTimer == -1.0f && herd.log.births == 0) << "a waiting creature does not breed";

    int births = 0;
    for (unsigned seed = 1; seed <= 16; seed++) {
        Travelling(0, VECTOR3D(0, 0, 0));
        Travelling(1, VECTOR3D(2, 0, 0));
        herd.dogs[2].action = DOG_EMPTY;
        const int64_t before = herd.log.births;
        std::srand(seed);
        const bool even = std::rand() % 2 == 0;
        std::srand(seed);
        EXPECT_TRUE(a.CheckCollisions(&herd, 0.1));
        EXPECT_TRUE(a.breedTimer == 5.0f && b.breedTimer == 5.0f && a.turnRate == 1.0f);
        EXPECT_LT(a.position.x, 0.0f) << "pushed away from the other";
        EXPECT_EQ(herd.log.births, before + even);
        births += even;
        const ONEDOG& baby = herd.dogs[2];
        // A birth sends both parents off to idle; a miss leaves their targets.
        EXPECT_TRUE(even ? a.retargetTimer == -999.0f && b.retargetTimer == -999.0f && baby.action == DOG_IDLING &&
                               baby.scale == 0.3f && baby.position.x == 1.0f && herd.numActive == 3
                         : a.retargetTimer == 10.0f)
            << "seed " << seed;
    }
    EXPECT_TRUE(births > 0 && births < 16);
}

TEST_F(OneDogHerd, IdleRowsRepeatFourInFiveAndSequencesPlayInOrder)
{
    int repeatRuns = 0, repeatPlays = 0;
    std::srand(21);
    ONEDOG& dog = herd.dogs[0];
    for (int trial = 0; trial < 150; trial++) {
        dog.SetAction(DOG_IDLING);
        std::vector<int> rows{dog.anim};
        int plays = 1;
        for (int frame = 0; frame < 20000 && dog.action == DOG_IDLING; frame++) {
            const int row = dog.anim;
            const bool ending = dog.currentTime >= dog.endTime;
            dog.Move(0.05, &herd);
            if (!ending || dog.action != DOG_IDLING)
                continue;
            if (dog.anim != row) {
                rows.push_back(dog.anim);
                continue;
            }
            plays++;
            ASSERT_TRUE(dogAnims[row].repeat) << "row " << row << " repeated";
        }
        ASSERT_EQ(dog.action, DOG_TRAVELLING);
        // Rows 3 and 6 start sequences of three; every other row plays alone.
        const int first = rows[0];
        const std::vector<int> expected = first == 3 || first == 6 ? std::vector<int>{first, first + 1, first + 2}
                                                                   : std::vector<int>{first};
        EXPECT_EQ(rows, expected);
        if (rows.size() == 1 && dogAnims[first].repeat) {
            repeatRuns++;
            repeatPlays += plays;
        }
    }
    ASSERT_GT(repeatRuns, 40);
    EXPECT_NEAR(double(repeatPlays) / repeatRuns, 5.0, 1.0);
}

TEST_F(OneDogHerd, NewbornIsGrownAfter56Seconds)
{
    ASSERT_TRUE(herd.Breed(VECTOR3D(2, 0, 3)));
    ONEDOG& baby = herd.dogs[0];
    double t = 0;
    for (; baby.scale < 1.0f && t < 100; t += 0.025)
        baby.Move(0.025, &herd);
    EXPECT_NEAR(t, 56.0, 0.1);
    baby.Move(0.025, &herd);
    EXPECT_EQ(baby.scale, 1.0f) << "the overshoot is clamped";
}

TEST_F(OneDogHerd, EachFootLaysOnePrintUnderItWhenItComesDownAtEveryAllowedSize)
{
    ONEDOG& dog = herd.dogs[0];
    dog.action = DOG_IDLING;
    // Held in the standing pose, all four paws are on the ground.
    dog.SetAnimation(0, 1, 1000.0, false, false);
    dog.speed = 0;
    std::fill(std::begin(dog.footDown), std::end(dog.footDown), 0);
    for (int i = 0; i < 50; i++)
        dog.Move(0.05, &herd);
    EXPECT_EQ(herd.log.footprintsLaid, 4) << "one a paw; a paw left down lays no more";

    for (int percent : {10, 20, 30, 100, 1000}) {
        SCOPED_TRACE(testing::Message() << percent << " %");
        Build(1, 2000, percent);
        ONEDOG& walker = Travelling(0, VECTOR3D(-10, 0, 0));
        walker.target = VECTOR3D(1000, 0, 0);
        walker.retargetTimer = 100;
        const int64_t before = herd.log.footprintsLaid;
        for (int frame = 0; frame < 120; frame++) {
            const int64_t laid = herd.log.footprintsLaid;
            walker.Move(0.025, &herd);
            if (herd.log.footprintsLaid == laid)
                continue;
            const FOOTPRINT& print = herd.footprints[size_t(herd.footprintWrite - 1)];
            const float cx = (print.corners[0].x + print.corners[2].x) / 2;
            const float cz = (print.corners[0].z + print.corners[2].z) / 2;
            EXPECT_LT(std::hypot(cx - walker.currentPos.x, cz - walker.currentPos.z), 1.5f * std::max(1, percent / 100));
            EXPECT_EQ(print.life, 1.0f);
            for (const VECTOR3D& c : print.corners)
                EXPECT_EQ(c.y, 0.0f);
        }
        EXPECT_GE(herd.log.footprintsLaid - before, 8) << "3 s of travel lay a trail";
    }
}

} // namespace
