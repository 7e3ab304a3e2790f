// Tests of one creature: placement beyond the edges, setting off, root motion,
// steering, neighbours and breeding, idle sequences and feet.
#include "creatures/OneDog.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

TEST(OneDog, HeadingTurnsTheShortWayRound)
{
    // Unwrapped from 170 to -190 (or -170 to 190), then a tenth of the way
    // toward the target; within 180 degrees the heading is left as it is.
    const float rows[][3] = {{170, -170, -188}, {-170, 170, 188}, {0, 90, 9}};
    for (const auto& row : rows) {
        ONEDOG dog;
        const double yaw = row[1] * NIFTY_PI / 180.0;
        dog.steerTarget = VECTOR3D(float(10 * std::sin(yaw)), 0, float(10 * std::cos(yaw)));
        dog.angles.y = row[0];
        dog.TurnToTarget(1.0f, 0.1);
        EXPECT_NEAR(dog.angles.y, row[2], 0.01f) << row[0];
        EXPECT_NEAR(dog.heading.x, std::sin(dog.angles.y * NIFTY_PI / 180.0), 1e-5);
    }
}

class OneDogHerd : public HerdTest {
protected:
    void SetUp() override
    {
        HerdTest::SetUp();
        // Slots 0 and 1 wait, out of play, until a test puts them in play.
        ASSERT_TRUE(Build(3));
    }
};

// The placement that Reset's draws give: the edge, the distance along it on a
// 0.1 grid, then 3 creature sizes plus 0..4 units beyond it, on a random side.
VECTOR3D ExpectedPlacement(VECTOR3D bounds, float dogSize)
{
    const bool zEdge = std::rand() % 2 == 0;
    const float side = zEdge ? bounds.x : bounds.z, edge = zEdge ? bounds.z : bounds.x;
    const float along = float((std::rand() % int(side * 10.0 * 2 + 1.0)) / 10.0 - side);
    float out = float((std::rand() % 5) + (dogSize * 3.0 + edge));
    if (std::rand() % 2 == 0)
        out = -out;
    return zEdge ? VECTOR3D(along, 0, out) : VECTOR3D(out, 0, along);
}

TEST_F(OneDogHerd, ResetPlacesItJustBeyondARandomEdgeEvenOnUnmeasuredGround)
{
    ONEDOG& dog = herd.dogs[0];
    for (VECTOR3D bounds : {herd.bounds, VECTOR3D(0, 0, 0)}) {
        herd.bounds = bounds;
        for (unsigned seed = 1; seed <= 8; seed++) {
            std::srand(seed);
            const VECTOR3D expected = ExpectedPlacement(bounds, 1.0f);
            std::srand(seed);
            dog.Reset(&herd);
            EXPECT_TRUE(dog.action == DOG_PLACED && dog.position.x == expected.x && dog.position.y == 0.0f &&
                        dog.position.z == expected.z)
                << "seed " << seed << ": " << dog.position.x << ", " << dog.position.z;
        }
    }
    Travelling(0, VECTOR3D(0, 0, 0));
    for (int frame = 0; frame < 100; frame++)
        dog.Move(0.05, &herd);
    EXPECT_TRUE(std::isfinite(dog.position.x) && std::isfinite(dog.position.z)) << "travel on unmeasured ground";
}

TEST_F(OneDogHerd, PlacedCreatureSetsOffAtAPaceAndThenPicksATargetOrIdles)
{
    ONEDOG& dog = herd.dogs[0];
    // A coordinate within 90 % of the ground, on a 0.09 grid.
    auto coordinate = [](float half) { return float(((std::rand() % int(half * 2 * 10.0)) / 10.0 - half) * 0.9); };
    for (unsigned seed = 1; seed <= 6; seed++) {
        dog.Reset(&herd);
        std::srand(seed);
        const bool slow = std::rand() % 3 == 1;
        const float x = coordinate(herd.bounds.x), z = coordinate(herd.bounds.z);
        const bool idles = std::rand() % 6 == 0;
        std::srand(seed);
        dog.Move(0.025, &herd);
        // The slow stride walks at half the pace, aiming first where it stands.
        EXPECT_TRUE(dog.action == DOG_TRAVELLING && dog.anim == (slow ? 0 : 1) &&
                    dog.targetMoveSpeed == (slow ? 4.0f : 8.0f) && dog.target.x == dog.position.x);
        dog.Move(0.025, &herd);
        EXPECT_TRUE(dog.target.x == x && dog.target.z == z && (dog.action == DOG_IDLING) == idles)
            << "seed " << seed << ": " << dog.target.x << ", " << dog.target.z;
    }
}

TEST_F(OneDogHerd, StrideEndCommitsTheRootDisplacement)
{
    ONEDOG& dog = Travelling(0, VECTOR3D(0, 0, 0));
    dog.target = VECTOR3D(0, 0, 1000);
    int restarts = 0;
    for (int frame = 0; frame < 400 && restarts < 3; frame++) {
        const float before = dog.currentTime, lastZ = dog.position.z;
        dog.Move(0.02, &herd);
        if (dog.currentTime >= before)
            continue;
        // Each stride carries it forward, and a blend from here starts at its root.
        restarts++;
        EXPECT_TRUE(dog.position.z == dog.currentPos.z && dog.position.z > lastZ + 0.2f &&
                    dog.joints[0].blendFromTranslation.z == 0)
            << dog.position.z << " after " << lastZ;
    }
    EXPECT_EQ(restarts, 3);
}

TEST_F(OneDogHerd, NeighboursAreDodgedAndTouchingGrownReadyOnesBreedOnAnEvenDraw)
{
    ONEDOG& a = Travelling(0, VECTOR3D(0, 0, 0));
    ONEDOG& b = Travelling(1, VECTOR3D(3, 0, 0));
    a.CheckCollisions(&herd, 0.1);
    // Near: it heads away, ten times as far, soon; it is not pushed.
    EXPECT_TRUE(a.target.x == -30.0f && a.target.z == 0.0f && a.retargetTimer == 0.25f && a.position.x == 0.0f);

    // Touching, but one not grown, then one still waiting: no birth.
    Travelling(1, VECTOR3D(1, 0, 0));
    b.scale = 0.99f;
    a.CheckCollisions(&herd, 0.1);
    EXPECT_EQ(a.breedTimer, -1.0f);
    b.scale = 1.0f;
    b.breedTimer = 0.5f;
    a.CheckCollisions(&herd, 0.1);
    EXPECT_TRUE(a.breedTimer == -1.0f && herd.log.births == 0);

    int births = 0;
    for (unsigned seed = 1; seed <= 4; seed++) {
        Travelling(0, VECTOR3D(0, 0, 0));
        Travelling(1, VECTOR3D(2, 0, 0));
        herd.dogs[2].action = DOG_EMPTY;
        std::srand(seed);
        const bool even = std::rand() % 2 == 0;
        std::srand(seed);
        a.CheckCollisions(&herd, 0.1);
        births += even;
        // Pushed away from the other; a birth between them sends both parents
        // off to idle, a miss leaves their targets.
        EXPECT_TRUE(a.position.x < 0 && a.breedTimer == 5.0f && b.breedTimer == 5.0f && herd.log.births == births &&
                    a.retargetTimer == (even ? -999.0f : 10.0f) && b.retargetTimer == a.retargetTimer &&
                    (!even || herd.dogs[2].position.x == 1.0f))
            << "seed " << seed;
    }
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
        // Rows 3 and 6 start sequences of three; every other row plays alone.
        const int first = rows[0];
        const std::vector<int> sequence{first, first + 1, first + 2};
        EXPECT_EQ(rows, first == 3 || first == 6 ? sequence : std::vector<int>(1, first));
        if (rows.size() == 1 && dogAnims[first].repeat) {
            repeatRuns++;
            repeatPlays += plays;
        }
    }
    ASSERT_GT(repeatRuns, 40);
    EXPECT_NEAR(double(repeatPlays) / repeatRuns, 5.0, 1.0);
}

TEST_F(OneDogHerd, EachFootLaysAPrintUnderItEachTimeItComesDownOnBothStridesAtEverySize)
{
    // The sizes go beyond the settings' range, where a fixed height to lift
    // the paws above would lay no prints or endless ones.
    for (int percent : {10, 100, 1000})
        for (int row : {0, 1}) {
            SCOPED_TRACE(testing::Message() << percent << " %, stride " << row);
            ASSERT_TRUE(Build(1, 2000, percent));
            std::srand(row == 0 ? 1 : 2); // the slow stride's draw, then the fast one's
            ONEDOG& walker = Travelling(0, VECTOR3D(-10, 0, 0));
            ASSERT_EQ(walker.anim, row);
            walker.target = VECTOR3D(1000, 0, 0);
            int touchdowns[NUM_DOG_FEET] = {};
            const int64_t before = herd.log.footprintsLaid;
            for (int frame = 0; frame < 120; frame++) {
                const std::vector<int32_t> wasDown(std::begin(walker.footDown), std::end(walker.footDown));
                walker.Move(0.025, &herd);
                for (int f = 0; f < NUM_DOG_FEET; f++)
                    touchdowns[f] += walker.footDown[f] && !wasDown[size_t(f)];
            }
            EXPECT_EQ(herd.log.footprintsLaid - before, std::accumulate(touchdowns, touchdowns + NUM_DOG_FEET, 0));
            for (int f = 0; f < NUM_DOG_FEET; f++)
                EXPECT_GE(touchdowns[f], 3) << "3 s of travel, foot " << f;
            const FOOTPRINT& last = herd.footprints[size_t(herd.footprintWrite - 1)];
            EXPECT_LT(std::hypot((last.corners[0].x + last.corners[2].x) / 2 - walker.currentPos.x,
                                 (last.corners[0].z + last.corners[2].z) / 2 - walker.currentPos.z),
                      1.5f * std::max(1, percent / 100));
        }
}

} // namespace
