// Tests of the camera: the exact home view of the first 20 s, mode changes
// and their draws, settling home, the eye kept above the ground, and
// following a creature (including with nobody to follow).
#include "scene/Camera.h"
#include "creatures/DogControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

float Length(VECTOR3D v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void ExpectHome(const CAMERA& c)
{
    EXPECT_EQ(c.pos.x, 0.0f);
    EXPECT_EQ(c.pos.y, 40.0f);
    EXPECT_EQ(c.pos.z, 0.0f);
    EXPECT_EQ(c.up.x, 0.0f);
    EXPECT_EQ(c.up.y, 0.0f);
    EXPECT_EQ(c.up.z, -1.0f);
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

// A seed whose next draw of rand() mod 4 is the mode wanted.
unsigned SeedForMode(int mode)
{
    for (unsigned seed = 1;; seed++) {
        std::srand(seed);
        if (std::rand() % 4 == mode)
            return seed;
    }
}

// Makes the next Advance leave home for the given mode.
void EnterFromHome(CAMERA* c, DOGCONTROL* herd, int mode)
{
    c->mode = CAMERA_HOME;
    c->modeTimer = 0;
    std::srand(SeedForMode(mode));
    c->Advance(herd, 0.025);
    ASSERT_EQ(c->mode, mode);
}

TEST(Camera, FirstTwentySecondsAreExactlyHome)
{
    CAMERA c;
    DOGCONTROL herd;
    for (int frame = 0; frame < 799; frame++) {
        c.Advance(&herd, 0.025);
        ExpectHome(c);
        EXPECT_EQ(c.look.y, 0.0f);
        ASSERT_EQ(c.mode, CAMERA_HOME);
    }
    // The change draws the mode, then the length of the stay.
    std::srand(99);
    const int mode = std::rand() % 4;
    const int extra = std::rand() % 20;
    std::srand(99);
    c.Advance(&herd, 0.05);
    EXPECT_EQ(c.mode, mode == CAMERA_FOLLOW ? CAMERA_HOME : mode) << "nobody to follow stays home";
    EXPECT_NEAR(c.modeTimer, 10.0f + float(extra), 1e-4f);
    EXPECT_EQ(c.speed, float(0 + 2.0 * 0.05));
}

TEST(Camera, ReturnsHomeAndSettlesAfterFiveSeconds)
{
    CAMERA c;
    DOGCONTROL herd;
    EnterFromHome(&c, &herd, CAMERA_TUMBLE);
    for (int frame = 0; frame < 400; frame++)
        c.Advance(&herd, 0.025);
    c.modeTimer = 0;
    c.Advance(&herd, 0.025);
    ASSERT_EQ(c.mode, CAMERA_HOME);
    EXPECT_EQ(c.homeDelay, float(5.0 - 0.025));
    EXPECT_GE(c.modeTimer, 10.0f);
    EXPECT_LT(c.modeTimer, 20.0f);
    double t = 0.025;
    while (c.homeDelay >= 0) {
        EXPECT_TRUE(c.pos.x != 0 || c.pos.z != 0 || c.pos.y != 40) << "still easing at " << t;
        c.Advance(&herd, 0.025);
        t += 0.025;
    }
    EXPECT_NEAR(t, 5.0, 0.03);
    ExpectHome(c);
    c.Advance(&herd, 0.025);
    ExpectHome(c);
}

TEST(Camera, SpinTiltsTheEyeAndKeepsItsDistance)
{
    CAMERA c;
    DOGCONTROL herd;
    EnterFromHome(&c, &herd, CAMERA_SPIN);
    const float tilt = std::acos(c.targetPos.y / 40.0f) * float(180 / NIFTY_PI);
    EXPECT_GE(tilt, 19.9f);
    EXPECT_LE(tilt, 79.1f);
    EXPECT_EQ(c.spin.x, 0.0f);
    EXPECT_EQ(c.spin.z, 0.0f);
    for (int frame = 0; frame < 200; frame++) {
        c.Advance(&herd, 0.025);
        EXPECT_NEAR(Length(c.targetPos), 40.0f, 1e-3f);
        EXPECT_EQ(c.targetUp.y, 1.0f);
    }
}

TEST(Camera, EyeIsNeverDrivenBelowTheGround)
{
    CAMERA c;
    DOGCONTROL herd;
    EnterFromHome(&c, &herd, CAMERA_TUMBLE);
    c.spin = VECTOR3D(0, 0, 0);
    c.targetPos = VECTOR3D(5, -30, 5);
    for (int frame = 0; frame < 400; frame++) {
        c.Advance(&herd, 0.025);
        ASSERT_GE(c.pos.y, 0.0f);
    }
    EXPECT_NEAR(c.pos.y, 30.0f, 0.5f) << "it heads for the mirrored height";
    EXPECT_EQ(c.targetPos.y, -30.0f) << "the target itself is kept";
}

TEST(Camera, FollowOffsetIsTenOrTenCreatureSizesAndRevolves)
{
    for (float size : {0.5f, 1.0f, 2.5f}) {
        Followed f(5, size);
        CAMERA c;
        EnterFromHome(&c, &f.herd, CAMERA_FOLLOW);
        const float expected = std::max(10.0f, 10.0f * size);
        EXPECT_NEAR(Length(c.orbit), expected, 1e-3f) << size;
        EXPECT_EQ(c.targetSpeed, 10.0f);
        ASSERT_GE(c.followIndex, 0);
        ASSERT_LT(c.followIndex, 5);
        const VECTOR3D at = f.herd.dogs[size_t(c.followIndex)].currentPos;
        for (int frame = 0; frame < 100; frame++) {
            c.Advance(&f.herd, 0.025);
            EXPECT_NEAR(Length(c.orbit), expected, 1e-3f);
            EXPECT_NEAR(c.targetPos.y - at.y - c.orbit.y, 2.0f, 1e-4f);
            EXPECT_NEAR(c.targetPos.x - at.x, c.orbit.x, 1e-4f);
            EXPECT_EQ(c.targetLook.y, at.y + 1.0f);
            EXPECT_EQ(c.targetLook.x, at.x);
        }
    }
}

TEST(Camera, FollowWithNobodyInPlayStaysHome)
{
    DOGCONTROL empty;
    CAMERA c;
    c.modeTimer = 0;
    std::srand(SeedForMode(CAMERA_FOLLOW));
    c.Advance(&empty, 0.025);
    EXPECT_EQ(c.mode, CAMERA_HOME);
    EXPECT_EQ(c.targetSpeed, 2.0f);
    EXPECT_EQ(c.homeDelay, float(5.0 - 0.025));
    for (int frame = 0; frame < 100; frame++)
        c.Advance(&empty, 0.025);
    ExpectHome(c);

    // A count beyond the slots never sends the camera past them.
    Followed f(3);
    f.herd.numActive = 50;
    for (int trial = 0; trial < 20; trial++) {
        CAMERA follow;
        EnterFromHome(&follow, &f.herd, CAMERA_FOLLOW);
        EXPECT_LT(follow.followIndex, 3);
    }
}

} // namespace
