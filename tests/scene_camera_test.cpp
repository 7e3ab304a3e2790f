// Tests of the camera: the exact home view of the first 20 s, mode changes
// and their draws, settling home, the eye kept above the ground, and
// following a creature (including with nobody to follow).
#include "creatures/DogControl.h"
#include "maths/Misc.h"
#include "scene/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

bool AtHome(const CAMERA& c)
{
    return c.pos.x == 0 && c.pos.y == 40 && c.pos.z == 0 && c.up.x == 0 && c.up.y == 0 && c.up.z == -1;
}

// The first seed from which rand() % 4 draws the given mode.
unsigned SeedFor(int mode)
{
    unsigned seed = 1;
    for (std::srand(seed); std::rand() % 4 != mode; std::srand(++seed)) {
    }
    return seed;
}

// Makes the next Advance leave home, drawing the given mode; returns the mode taken.
int LeaveHome(CAMERA* c, DOGCONTROL* herd, int mode)
{
    c->mode = CAMERA_HOME;
    c->modeTimer = 0;
    std::srand(SeedFor(mode));
    c->Advance(herd, 0.025);
    return c->mode;
}

TEST(Camera, HomeIsExactForTwentySecondsTheEyeStaysAboveGroundLandsOnLongFramesAndSettlesFiveSecondsAfterReturning)
{
    CAMERA c;
    DOGCONTROL nobody;
    for (int frame = 0; frame < 799; frame++) {
        c.Advance(&nobody, 0.025);
        ASSERT_TRUE(AtHome(c) && c.look.y == 0 && c.mode == CAMERA_HOME) << "frame " << frame;
    }
    // Following with nobody in play stays home and settles again; the ease
    // starts from rest toward 2 per second.
    std::srand(SeedFor(CAMERA_FOLLOW));
    c.Advance(&nobody, 0.05);
    EXPECT_TRUE(c.mode == CAMERA_HOME && c.targetSpeed == 2.0f && c.homeDelay == 4.95f && c.speed == 0.1f)
        << c.homeDelay << " " << c.speed;

    // A long frame lands on the target instead of throwing the eye past it,
    // and the rate lands on its own target too; the eye heads for the height
    // of a target that a tumble carried under the ground.
    ASSERT_EQ(LeaveHome(&c, &nobody, CAMERA_TUMBLE), CAMERA_TUMBLE);
    c.spin = VECTOR3D(0, 0, 0);
    c.pos = VECTOR3D(-4, 1.6f, 6);
    c.targetPos = VECTOR3D(-3, -4, 7);
    c.speed = 0;
    c.targetSpeed = 10;
    c.Advance(&nobody, 2.0);
    EXPECT_TRUE(c.pos.x == -3 && c.pos.y == 4 && c.pos.z == 7 && c.speed == 10.0f)
        << c.pos.x << " " << c.pos.y << " " << c.pos.z << " " << c.speed;

    c.modeTimer = 0;
    c.Advance(&nobody, 0.025);
    ASSERT_EQ(c.mode, CAMERA_HOME);
    double t = 0.025;
    for (; c.homeDelay >= 0; t += 0.025) {
        EXPECT_FALSE(AtHome(c)) << "still easing at " << t;
        c.Advance(&nobody, 0.025);
    }
    EXPECT_NEAR(t, 5.0, 0.03);
    EXPECT_TRUE(AtHome(c));
}

TEST(Camera, EachModeChangeDrawsItsRandomNumbersInOrderThenRoamsAtItsDistance)
{
    // From home: the mode, the stay, then spin draws tilt and rate; tumble
    // the rates about x, y, z; follow three orbit angles about x, y, z, three
    // rates, then the creature; home again nothing more. Back from roaming:
    // the stay alone. Following keeps ten units, or ten creature sizes.
    const struct {
        int from, mode;
        float size, distance;
        int draws;
    } rows[] = {{CAMERA_HOME, CAMERA_HOME, 1, 40, 2},      {CAMERA_TUMBLE, CAMERA_HOME, 1, 40, 1},
                {CAMERA_HOME, CAMERA_SPIN, 1, 40, 4},      {CAMERA_HOME, CAMERA_TUMBLE, 1, 40, 5},
                {CAMERA_HOME, CAMERA_FOLLOW, 0.5f, 10, 9}, {CAMERA_HOME, CAMERA_FOLLOW, 2.5f, 25, 9}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.from << " to " << row.mode << ", size " << row.size);
        // Seven slots; a count beyond them never sends the camera past them.
        DOGCONTROL herd;
        herd.dogs.reset(new ONEDOG[7]);
        herd.maxDogs = 7;
        herd.numActive = 50;
        herd.dogSize = row.size;
        for (int i = 0; i < 7; i++)
            herd.dogs[size_t(i)].currentPos = VECTOR3D(float(i), 0, float(-i));
        const unsigned seed = row.from == CAMERA_HOME ? SeedFor(row.mode) : 1;
        std::srand(seed);
        std::vector<int> d;
        for (int i = 0; i < 10; i++)
            d.push_back(std::rand());
        // A step of 0 changes the mode without moving anything yet.
        CAMERA c;
        c.mode = row.from;
        c.modeTimer = -1;
        std::srand(seed);
        c.Advance(&herd, 0);
        ASSERT_EQ(c.mode, row.mode);
        EXPECT_EQ(std::rand(), d[size_t(row.draws)]) << "no more draws, no fewer";
        const auto rate = [&](int i) { return float(d[size_t(i)] % 40 - 20); };
        if (row.from != CAMERA_HOME) {
            EXPECT_EQ(c.modeTimer, 10.0f + float(d[0] % 10));
        } else {
            EXPECT_EQ(c.modeTimer, 10.0f + float(d[1] % 20));
        }
        if (row.mode == CAMERA_HOME) {
            EXPECT_TRUE(c.targetPos.y == 40 && c.targetUp.z == -1 && c.homeDelay == 5.0f);
            continue;
        }
        if (row.mode == CAMERA_SPIN) {
            VECTOR3D tilted(0, 40, 0);
            Rotate(&tilted, float(d[2] % 60 + 20), 0, 0);
            EXPECT_TRUE(c.targetPos.y == tilted.y && c.targetPos.z == tilted.z) << c.targetPos.y << " " << tilted.y;
            EXPECT_TRUE(c.spin.x == 0 && c.spin.y == rate(3) && c.spin.z == 0);
        } else if (row.mode == CAMERA_TUMBLE) {
            EXPECT_TRUE(c.spin.x == rate(2) && c.spin.y == rate(3) && c.spin.z == rate(4));
        } else {
            VECTOR3D orbit(0, 0, row.distance);
            Rotate(&orbit, float(d[2] % 360), float(d[3] % 360), float(d[4] % 360));
            EXPECT_TRUE(c.orbit.x == orbit.x && c.orbit.y == orbit.y && c.orbit.z == orbit.z)
                << c.orbit.x << " " << c.orbit.y << " " << c.orbit.z;
            EXPECT_TRUE(c.spin.x == rate(5) && c.spin.y == rate(6) && c.spin.z == rate(7));
            EXPECT_TRUE(c.followIndex == d[8] % 7 && c.targetSpeed == 10.0f) << c.followIndex;
        }
        // The eye revolves at its distance, following two units above the creature.
        const VECTOR3D at = herd.dogs[size_t(c.followIndex)].currentPos;
        for (int frame = 0; frame < 200; frame++) {
            c.Advance(&herd, 0.025);
            const VECTOR3D eye = row.mode == CAMERA_FOLLOW ? c.orbit : c.targetPos;
            ASSERT_NEAR(std::hypot(eye.x, eye.y, eye.z), row.distance, 1e-3f);
            ASSERT_TRUE(row.mode != CAMERA_FOLLOW || (std::fabs(c.targetPos.y - at.y - c.orbit.y - 2.0f) < 1e-4f &&
                                                      std::fabs(c.targetPos.x - at.x - c.orbit.x) < 1e-4f));
        }
    }
}

} // namespace
