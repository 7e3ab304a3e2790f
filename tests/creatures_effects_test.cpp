// Tests of the herd's effects: sparks (start, flight, bounce, the pool) and
// the footprint ring (its arithmetic, the fade, the print's shape).
#include "creatures/Effects.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

namespace {

TEST(Spark, OnlyASparkWhoseLifeIsNotNegativeMoves)
{
    SPARKCLASS s;
    s.Move(0.5, nullptr);
    EXPECT_TRUE(s.pos.x == 0 && s.pos.y == 0 && s.velocity.y == 0) << "a free spark does not fall";
    s.Reset(VECTOR3D(0, 5, 0), SPARK_STILL);
    s.life = 0;
    s.Move(0.1, nullptr);
    EXPECT_LT(s.pos.y, 5.0f) << "life 0 still moves";
    const float y = s.pos.y;
    s.Move(0.1, nullptr);
    EXPECT_EQ(s.pos.y, y) << "below 0 it rests";
}

TEST(Spark, BurstLeavesSidewaysAtUnitSpeedAndUpward)
{
    auto within = [](float v, float lo, float hi) { return v >= lo && v <= hi + 1e-6f; };
    std::srand(4);
    for (int i = 0; i < 500; i++) {
        SPARKCLASS s;
        s.Reset(VECTOR3D(1, 2, 3), SPARK_BURST);
        EXPECT_TRUE(s.pos.x == 1 && s.oldPos.y == 2 && s.olderPos.z == 3);
        const float sideways = std::hypot(s.velocity.x, s.velocity.z);
        EXPECT_TRUE(std::fabs(sideways - 1.0f) < 1e-5f || sideways == 0.0f) << sideways;
        EXPECT_TRUE(within(s.velocity.y, 0.2f, 4.1f)) << s.velocity.y;
        EXPECT_TRUE(within(s.life, 2.0f, 6.9f)) << s.life;
        EXPECT_TRUE(within(s.size, 0.2f, 0.69f)) << s.size;
        for (float c : s.colour)
            EXPECT_TRUE(within(c, 0.0f, 0.99f)) << c;
        EXPECT_TRUE(s.age == 0.01f && !s.flag && s.type == SPARK_BURST);
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
            EXPECT_GT(s.oldPos.y, 0.0f);
        }
    }
    EXPECT_TRUE(bounced);
    EXPECT_NEAR(t, 1.0, 0.02);
    EXPECT_NEAR(s.life, 100 - 2 * t, 1e-3);
}

class Effects : public HerdTest {
protected:
    void Print(VECTOR3D p) { herd.AddFootPrint(p, MATRIX(), nullptr); }
};

TEST_F(Effects, NewSparksStartsOnlyTheFreeOnes)
{
    Build(25);
    herd.NewSparks(VECTOR3D(0, 0, 0), VECTOR3D(0, 1, 0), -5, SPARK_BURST);
    herd.NewSparks(VECTOR3D(0, 0, 0), VECTOR3D(0, 1, 0), 0, SPARK_BURST);
    EXPECT_EQ(herd.Count().sparksAlive, 0);
    herd.NewSparks(VECTOR3D(1, 0, 0), VECTOR3D(0, 1, 0), 960, SPARK_BURST);
    EXPECT_EQ(herd.Count().sparksAlive, 960);
    herd.NewSparks(VECTOR3D(7, 0, 0), VECTOR3D(0, 1, 0), 150, SPARK_BURST);
    EXPECT_EQ(herd.Count().sparksAlive, 1000);
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
    for (int i = 0; i < 2000; i++)
        Print(VECTOR3D(float(i), 0, 0));
    for (int i = 0; i < 2000; i++)
        ASSERT_EQ(herd.footprints[size_t(i)].life, 1.0f) << i;
    EXPECT_LT(herd.footprints[2000].life, 0.0f);

    // The 2001st starts the fade of the 1st.
    Print(VECTOR3D(0, 0, 5));
    EXPECT_FLOAT_EQ(herd.footprints[0].life, float(1.0 - 1.0 / 60));
    EXPECT_EQ(herd.footprints[1].life, 1.0f);
    for (int i = 2001; i < 2125; i++)
        Print(VECTOR3D(0, 0, 5));
    EXPECT_EQ(herd.footprintWrite, 0);
    // The 2126th overwrites the 1st.
    Print(VECTOR3D(3, 0, 9));
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
    for (int i = 0; i < 300; i++) {
        Print(VECTOR3D(0, 0, 0));
        ASSERT_TRUE(herd.footprintFade >= 0 && herd.footprintFade < herd.numFootprints) << herd.footprintFade;
        const float life = herd.footprints[size_t((herd.footprintWrite + 124) % 125)].life;
        EXPECT_TRUE(life < 1.0f && life > 0.98f) << life;
    }
}

TEST_F(Effects, APrintTurnsAndScalesWithItsCreatureAndFadesWithinASecond)
{
    Build(4, 1, 200);
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

    // With one print kept at full strength the second starts the first's fade.
    Print(VECTOR3D(1, 0, 0));
    ASSERT_LT(p.life, 1.0f);
    herd.DrawFootPrints(0.1);
    EXPECT_NEAR(p.life, 1.0f - 1.0f / 60 - 0.1f, 1e-5f);
    for (int i = 0; i < 9; i++)
        herd.DrawFootPrints(0.1);
    EXPECT_LE(p.life, 0.0f);
    EXPECT_EQ(herd.footprints[1].life, 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
