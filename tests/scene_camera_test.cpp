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

float Length(VECTOR3D v)
{
    return std::hypot(v.x, v.y, v.z);
}

bool AtHome(const CAMERA& c)
{
    return c.pos.x == 0 && c.pos.y == 40 && c.pos.z == 0 && c.up.x == 0 && c.up.y == 0 && c.up.z == -1;
}

// A herd of creatures in play without any model, enough for the camera.
struct Followed {
    explicit Followed(int slots, float size = 1.0f)
    {
        herd.dogs.reset(new ONEDOG[size_t(slots)]);
        herd.maxDogs = herd.numActive = slots;
        herd.dogSize = size;
        for (int i = 0; i < slots; i++)
            herd.dogs[size_t(i)].currentPos = VECTOR3D(float(i), 0, float(-i));
    }
    DOGCONTROL herd;
};

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

TEST(Camera, HomeIsExactForTwentySecondsKeepsTheEyeAboveGroundAndSettlesFiveSecondsAfterReturning)
{
    CAMERA c;
    DOGCONTROL herd;
    for (int frame = 0; frame < 799; frame++) {
        c.Advance(&herd, 0.025);
        ASSERT_TRUE(AtHome(c) && c.look.y == 0 && c.mode == CAMERA_HOME) << "frame " << frame;
    }
    // The change draws the mode, then the length of the stay.
    std::srand(99);
    const int mode = std::rand() % 4;
    const int extra = std::rand() % 20;
    std::srand(99);
    c.Advance(&herd, 0.05);
    EXPECT_EQ(c.mode, mode == CAMERA_FOLLOW ? CAMERA_HOME : mode) << "nobody to follow stays home";
    EXPECT_NEAR(c.modeTimer, 10.0f + float(extra), 1e-4f);
    EXPECT_FLOAT_EQ(c.speed, 0.1f) << "the ease starts from rest toward 2 per second";

    ASSERT_EQ(LeaveHome(&c, &herd, CAMERA_TUMBLE), CAMERA_TUMBLE);
    c.spin = VECTOR3D(0, 0, 0);
    c.targetPos = VECTOR3D(5, -30, 5);
    for (int frame = 0; frame < 400; frame++) {
        c.Advance(&herd, 0.025);
        ASSERT_GE(c.pos.y, 0.0f);
    }
    EXPECT_NEAR(c.pos.y, 30.0f, 0.5f) << "it heads for the mirrored height";
    EXPECT_EQ(c.targetPos.y, -30.0f) << "the target itself is kept";

    c.modeTimer = 0;
    c.Advance(&herd, 0.025);
    ASSERT_EQ(c.mode, CAMERA_HOME);
    EXPECT_TRUE(c.modeTimer >= 10 && c.modeTimer < 20) << c.modeTimer;
    double t = 0.025;
    for (; c.homeDelay >= 0; t += 0.025) {
        EXPECT_FALSE(AtHome(c)) << "still easing at " << t;
        c.Advance(&herd, 0.025);
    }
    EXPECT_NEAR(t, 5.0, 0.03);
    EXPECT_TRUE(AtHome(c));
    c.Advance(&herd, 0.025);
    EXPECT_TRUE(AtHome(c));
}

TEST(Camera, EnteringAModeDrawsItsRandomNumbersInOrderThenRoamsAtItsDistance)
{
    // After the mode and the stay: spin draws tilt then rate; tumble the
    // rates about x, y, z; follow three orbit angles, three rates, then the
    // creature. Following keeps ten units, or ten creature sizes when larger.
    const struct { int mode; float size, distance; } rows[] = {
        {CAMERA_SPIN, 1, 40}, {CAMERA_TUMBLE, 1, 40}, {CAMERA_FOLLOW, 0.5f, 10}, {CAMERA_FOLLOW, 1, 10}, {CAMERA_FOLLOW, 2.5f, 25}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << " size " << row.size);
        Followed f(7, row.size);
        CAMERA c;
        std::srand(SeedFor(row.mode));
        std::rand();
        const float stay = 10.0f + float(std::rand() % 20);
        std::vector<int> draws;
        for (int i = 0; i < 7; i++)
            draws.push_back(std::rand());
        ASSERT_EQ(LeaveHome(&c, &f.herd, row.mode), row.mode);
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
            EXPECT_EQ(c.followIndex, draws[6] % 7);
            EXPECT_EQ(c.targetSpeed, 10.0f);
        }
        const VECTOR3D at = f.herd.dogs[size_t(c.followIndex)].currentPos;
        for (int frame = 0; frame < 200; frame++) {
            c.Advance(&f.herd, 0.025);
            ASSERT_EQ(c.targetUp.y, 1.0f);
            if (row.mode != CAMERA_FOLLOW) {
                ASSERT_NEAR(Length(c.targetPos), 40.0f, 1e-3f);
                continue;
            }
            ASSERT_NEAR(Length(c.orbit), row.distance, 1e-3f);
            ASSERT_NEAR(c.targetPos.y - at.y - c.orbit.y, 2.0f, 1e-4f);
            ASSERT_NEAR(c.targetPos.x - at.x, c.orbit.x, 1e-4f);
            ASSERT_TRUE(c.targetLook.y == at.y + 1.0f && c.targetLook.x == at.x);
        }
    }
}

TEST(Camera, FollowWithNobodyInPlayStaysHomeAndNeverPassesTheSlots)
{
    DOGCONTROL empty;
    CAMERA c;
    EXPECT_EQ(LeaveHome(&c, &empty, CAMERA_FOLLOW), CAMERA_HOME);
    EXPECT_TRUE(c.targetSpeed == 2.0f && c.homeDelay == 4.975f) << c.targetSpeed << " " << c.homeDelay;
    for (int frame = 0; frame < 100; frame++)
        c.Advance(&empty, 0.025);
    EXPECT_TRUE(AtHome(c));

    // A count beyond the slots never sends the camera past them.
    Followed f(3);
    f.herd.numActive = 50;
    for (int trial = 0; trial < 20; trial++) {
        CAMERA follow;
        ASSERT_EQ(LeaveHome(&follow, &f.herd, CAMERA_FOLLOW), CAMERA_FOLLOW);
        EXPECT_LT(follow.followIndex, 3);
    }
}

TEST(Camera, ALongFrameLandsOnTheTargetInsteadOfThrowingTheEyePastIt)
{
    Followed f(1);
    for (double dt : {0.5, 1.0, 2.0}) {
        CAMERA c;
        ASSERT_EQ(LeaveHome(&c, &f.herd, CAMERA_TUMBLE), CAMERA_TUMBLE);
        c.spin = VECTOR3D(0, 0, 0);
        c.pos = VECTOR3D(-4, 1.6f, 6);
        c.targetPos = VECTOR3D(-3, 4, 7);
        c.speed = c.targetSpeed = 10.0f;
        c.Advance(&f.herd, dt);
        EXPECT_TRUE(c.pos.x >= -4 && c.pos.x <= -3 && c.pos.y >= 1.6f && c.pos.y <= 4 && c.pos.z >= 6 && c.pos.z <= 7)
            << dt << ": (" << c.pos.x << ", " << c.pos.y << ", " << c.pos.z << ")";
        EXPECT_TRUE(c.speed > 0 && c.speed <= 10.0f) << c.speed;
    }
}

} // namespace
