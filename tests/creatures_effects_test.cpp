// Tests of the herd's effects: sparks (start, flight, bounce, the pool) and
// the footprint ring (its arithmetic, the fade, the print's shape).
#include "creatures/Effects.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

namespace {

int SparksAlive(const DOGCONTROL& herd)
{
    return herd.Count().sparksAlive;
}

TEST(Spark, StartsIdleAndStill)
{
    SPARKCLASS s;
    EXPECT_EQ(s.life, -1.0f);
    EXPECT_EQ(s.age, 0.0f);
    EXPECT_EQ(s.type, SPARK_STILL);
    s.Move(0.5, nullptr);
    EXPECT_EQ(s.pos.x, 0.0f);
    EXPECT_EQ(s.pos.y, 0.0f);
    EXPECT_EQ(s.velocity.y, 0.0f) << "a free spark does not fall";
}

TEST(Spark, BurstLeavesSidewaysAtUnitSpeedAndUpward)
{
    std::srand(4);
    for (int i = 0; i < 500; i++) {
        SPARKCLASS s;
        s.Reset(VECTOR3D(1, 2, 3), SPARK_BURST);
        EXPECT_EQ(s.pos.x, 1.0f);
        EXPECT_EQ(s.oldPos.y, 2.0f);
        EXPECT_EQ(s.olderPos.z, 3.0f);
        const float sideways = std::hypot(s.velocity.x, s.velocity.z);
        EXPECT_TRUE(std::fabs(sideways - 1.0f) < 1e-5f || sideways == 0.0f) << sideways;
        EXPECT_GE(s.velocity.y, 0.2f);
        EXPECT_LE(s.velocity.y, 4.1f + 1e-6f);
        EXPECT_GE(s.life, 2.0f);
        EXPECT_LE(s.life, 6.9f + 1e-6f);
        EXPECT_GE(s.size, 0.2f);
        EXPECT_LE(s.size, 0.69f + 1e-6f);
        for (float c : s.colour) {
            EXPECT_GE(c, 0.0f);
            EXPECT_LE(c, 0.99f + 1e-6f);
        }
        EXPECT_EQ(s.age, 0.01f);
        EXPECT_FALSE(s.flag);
        EXPECT_EQ(s.type, SPARK_BURST);
    }
}

TEST(Spark, BouncesOffTheGroundWithoutLoss)
{
    SPARKCLASS s;
    s.Reset(VECTOR3D(0, 0, 0), SPARK_STILL);
    s.velocity = VECTOR3D(0, 2.0f, 0);
    s.life = 100;
    double t = 0;
    bool bounced = false;
    while (t < 2.0 && !bounced) {
        const float before = s.velocity.y;
        s.Move(0.01, nullptr);
        t += 0.01;
        if (before < 0 && s.velocity.y > 0) {
            bounced = true;
            EXPECT_EQ(s.pos.y, 0.0f);
            EXPECT_NEAR(s.velocity.y, 2.0f, 0.05f);
            EXPECT_EQ(s.oldPos.y > 0, true);
        }
    }
    EXPECT_TRUE(bounced);
    EXPECT_NEAR(t, 1.0, 0.02);
    EXPECT_NEAR(s.life, 100 - 2 * t, 1e-3);
}

TEST(Spark, LivesWhileItsLifeIsNotNegative)
{
    SPARKCLASS s;
    s.Reset(VECTOR3D(0, 5, 0), SPARK_STILL);
    s.life = 0;
    s.Move(0.1, nullptr);
    EXPECT_LT(s.pos.y, 5.0f) << "life 0 still moves";
    const float y = s.pos.y;
    s.Move(0.1, nullptr);
    EXPECT_EQ(s.pos.y, y) << "below 0 it rests";
}

class Effects : public HerdTest {};

TEST_F(Effects, NewSparksStartsOnlyTheFreeOnes)
{
    Build(25);
    herd.NewSparks(VECTOR3D(0, 0, 0), VECTOR3D(0, 1, 0), -5, SPARK_BURST);
    herd.NewSparks(VECTOR3D(0, 0, 0), VECTOR3D(0, 1, 0), 0, SPARK_BURST);
    EXPECT_EQ(SparksAlive(herd), 0);
    herd.NewSparks(VECTOR3D(1, 0, 0), VECTOR3D(0, 1, 0), 960, SPARK_BURST);
    EXPECT_EQ(SparksAlive(herd), 960);
    herd.NewSparks(VECTOR3D(7, 0, 0), VECTOR3D(0, 1, 0), 150, SPARK_BURST);
    EXPECT_EQ(SparksAlive(herd), 1000);
    int atSeven = 0;
    for (int i = 0; i < kSparkPoolSize; i++)
        atSeven += herd.sparks[size_t(i)].pos.x == 7.0f;
    EXPECT_EQ(atSeven, 40);
}

TEST_F(Effects, FootprintRingKeepsTheLast2000AtFullStrength)
{
    Build(25, 2000);
    ASSERT_EQ(herd.numFootprints, 2125);
    EXPECT_EQ(herd.footprintFade, 125);
    EXPECT_EQ(herd.footprintWrite, 0);
    MATRIX identity;
    for (int i = 0; i < 2000; i++)
        herd.AddFootPrint(VECTOR3D(float(i), 0, 0), identity, nullptr);
    for (int i = 0; i < 2000; i++)
        ASSERT_EQ(herd.footprints[size_t(i)].life, 1.0f) << i;
    EXPECT_LT(herd.footprints[2000].life, 0.0f);

    // The 2001st starts the fade of the 1st.
    herd.AddFootPrint(VECTOR3D(0, 0, 5), identity, nullptr);
    EXPECT_FLOAT_EQ(herd.footprints[0].life, float(1.0 - 1.0 / 60));
    EXPECT_EQ(herd.footprints[1].life, 1.0f);
    for (int i = 2001; i < 2125; i++)
        herd.AddFootPrint(VECTOR3D(0, 0, 5), identity, nullptr);
    EXPECT_EQ(herd.footprintWrite, 0);
    // The 2126th overwrites the 1st.
    herd.AddFootPrint(VECTOR3D(3, 0, 9), identity, nullptr);
    EXPECT_EQ(herd.footprints[0].life, 1.0f);
    EXPECT_FLOAT_EQ(herd.footprints[0].corners[0].x, 3 - 0.2f);
    EXPECT_FLOAT_EQ(herd.footprints[0].corners[0].z, 9 + 0.2f);
    EXPECT_EQ(herd.footprintFade, 126);
}

TEST_F(Effects, WithNoPrintsKeptEveryPrintFadesAsItIsLaid)
{
    Build(25, 0);
    ASSERT_EQ(herd.numFootprints, 125);
    EXPECT_EQ(herd.footprintFade, 0);
    MATRIX identity;
    for (int i = 0; i < 300; i++) {
        herd.AddFootPrint(VECTOR3D(0, 0, 0), identity, nullptr);
        ASSERT_GE(herd.footprintFade, 0);
        ASSERT_LT(herd.footprintFade, herd.numFootprints);
        const int laid = (herd.footprintWrite + herd.numFootprints - 1) % herd.numFootprints;
        EXPECT_LT(herd.footprints[size_t(laid)].life, 1.0f);
        EXPECT_GT(herd.footprints[size_t(laid)].life, 0.98f);
    }
}

TEST_F(Effects, APrintTurnsWithItsCreatureAndScalesWithIt)
{
    Build(4, 10, 200);
    ONEDOG& dog = herd.dogs[0];
    dog.scale = 0.5f;
    dog.angles = VECTOR3D(0, 90, 0);
    herd.AddFootPrint(VECTOR3D(4, 0.3f, 4), MatrixFromAngle(dog.angles), &dog);
    const FOOTPRINT& p = herd.footprints[0];
    // Edge 0.4 x size x scale = 0.4; the corner (-1, 0, 1) turns to (1, 0, 1).
    EXPECT_NEAR(p.corners[0].x, 4.2f, 1e-5f);
    EXPECT_NEAR(p.corners[0].z, 4.2f, 1e-5f);
    EXPECT_NEAR(p.corners[2].x, 3.8f, 1e-5f);
    EXPECT_NEAR(p.corners[2].z, 3.8f, 1e-5f);
    for (const VECTOR3D& c : p.corners)
        EXPECT_EQ(c.y, 0.0f);
}

TEST_F(Effects, FadingPrintsVanishWithinASecondWhileFreshOnesStay)
{
    Build(4, 1);
    MATRIX identity;
    herd.AddFootPrint(VECTOR3D(0, 0, 0), identity, nullptr);
    herd.AddFootPrint(VECTOR3D(1, 0, 0), identity, nullptr);
    // With one print kept at full strength the second starts the first's fade.
    ASSERT_LT(herd.footprints[0].life, 1.0f);
    herd.DrawFootPrints(0.1);
    EXPECT_NEAR(herd.footprints[0].life, 1.0f - 1.0f / 60 - 0.1f, 1e-5f);
    for (int i = 0; i < 9; i++)
        herd.DrawFootPrints(0.1);
    EXPECT_LE(herd.footprints[0].life, 0.0f);
    EXPECT_EQ(herd.footprints[1].life, 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
