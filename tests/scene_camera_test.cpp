// Tests of the camera: the exact home view of the first 20 s, mode changes
// and their draws, settling home, the eye kept above the ground, and
// following a creature (including with nobody to follow).
#include "scene/Camera.h"
#include "creatures/DogControl.h"
#include "maths/Misc.h"

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

TEST(Camera, EnteringAModeDrawsItsRandomNumbersInOrderThenRoamsAtItsDistance)
{
    // After the mode and the stay: spin draws tilt then rate; tumble the
    // rates about x, y, z; follow three orbit angles, three rates, then the
    // creature. Following keeps ten units, or ten creature sizes when larger.
    const struct { int mode; float size, distance; } rows[] = {
        {CAMERA_SPIN, 1, 40}, {CAMERA_TUMBLE, 1, 40}, {CAMERA_FOLLOW, 0.5f, 10}, {CAMERA_FOLLOW, 2.5f, 25}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << " size " << row.size);
        // Seven slots; a count beyond them never sends the camera past them.
        DOGCONTROL herd;
        herd.dogs.reset(new ONEDOG[7]);
        herd.maxDogs = 7;
        herd.numActive = 50;
        herd.dogSize = row.size;
        for (int i = 0; i < 7; i++)
            herd.dogs[size_t(i)].currentPos = VECTOR3D(float(i), 0, float(-i));
        CAMERA c;
        std::srand(SeedFor(row.mode));
        std::rand();
        const float stay = 10.0f + float(std::rand() % 20);
        std::vector<int> draws;
        for (int i = 0; i < 7; i++)
            draws.push_back(std::rand());
        ASSERT_EQ(LeaveHome(&c, &herd, row.mode), row.mode);
        EXPECT_NEAR(c.modeTimer, stay, 1e-4f);
        const auto rate = [&](int i) { return float(draws[size_t(i)] % 40 - 20); };
        if (row.mode == CAMERA_SPIN) {
            VECTOR3D tilted(0, 40, 0);
            Rotate(&tilted, float(draws[0] % 60 + 20), 0, 0);
            EXPECT_NEAR(c.targetPos.y, tilted.y, 1e-3f) << "tilt first";
            EXPECT_TRUE(c.spin.x == 0 && c.spin.y == rate(1) && c.spin.z == 0);
        } else if (row.mode == CAMERA_TUMBLE) {
            EXPECT_TRUE(c.spin.x == rate(0) && c.spin.y == rate(1) && c.spin.z == rate(2));
        } else {
            VECTOR3D orbit(0, 0, row.distance);
            Rotate(&orbit, float(draws[0] % 360), float(draws[1] % 360), float(draws[2] % 360));
            EXPECT_NEAR(c.orbit.z, orbit.z, 0.05f * row.distance);
            EXPECT_TRUE(c.spin.x == rate(3) && c.spin.y == rate(4) && c.spin.z == rate(5));
            EXPECT_TRUE(c.followIndex == draws[6] % 7 && c.targetSpeed == 10.0f) << c.followIndex;
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
