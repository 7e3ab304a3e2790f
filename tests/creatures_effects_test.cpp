// Tests of the herd's effects: sparks (start, flight, bounce) and
// the footprint ring (its arithmetic, the fade, the print's shape).
#include "creatures/Effects.h"
#include "fixtures/Herd.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

namespace {

TEST(Spark, FliesWhileItsLifeIsNotNegativeAndBouncesWithoutLoss)
{
    SPARKCLASS s;
    s.velocity.y = 2.0f;
    s.life = 100;
    double t = 0;
    for (float before = 0; !(before < 0 && s.velocity.y > 0) && t < 2.0; t += 0.01) {
        before = s.velocity.y;
        s.Move(0.01, nullptr);
    }
    // Thrown up at 2, it lands after a second and leaves the ground as fast.
    EXPECT_TRUE(std::fabs(t - 1.0) < 0.02 && s.pos.y == 0 && std::fabs(s.velocity.y - 2.0f) < 0.05f) << t;
    s.life = 0;
    s.Move(0.1, nullptr);
    const float y = s.pos.y;
    s.Move(0.1, nullptr);
    EXPECT_TRUE(y > 0 && s.pos.y == y) << "life 0 still moves; below 0 it rests";
}

TEST(Spark, BurstLeavesSidewaysAtUnitSpeedAndUpward)
{
    std::srand(4);
    for (int i = 0; i < 500; i++) {
        SPARKCLASS s;
        s.Reset(VECTOR3D(1, 2, 3), SPARK_BURST);
        const float sideways = std::hypot(s.velocity.x, s.velocity.z);
        ASSERT_TRUE(std::fabs(sideways - 1.0f) < 1e-5f || sideways == 0.0f) << sideways;
        ASSERT_TRUE(s.velocity.y >= 0.2f && s.velocity.y <= 4.1f + 1e-6f && s.life >= 2.0f) << s.velocity.y;
    }
}

class Effects : public HerdTest {
protected:
    void Print(VECTOR3D p) { herd.AddFootPrint(p, MATRIX(), nullptr); }
};

TEST_F(Effects, FootprintRingKeepsTheLast2000AtFullStrength)
{
    ASSERT_TRUE(Build(25, 2000));
    ASSERT_EQ(herd.numFootprints, 2125);
    for (int i = 0; i < 2000; i++)
        Print(VECTOR3D(float(i), 0, 0));
    // The 2001st starts the fade of the 1st; the 2126th overwrites it.
    Print(VECTOR3D(0, 0, 5));
    EXPECT_TRUE(herd.footprints[0].life == float(1.0 - 1.0 / 60) && herd.footprints[1].life == 1.0f);
    for (int i = 2001; i < 2126; i++)
        Print(VECTOR3D(0, 0, 5));
    EXPECT_TRUE(herd.footprints[0].life == 1.0f && herd.footprintWrite == 1 && herd.footprintFade == 126);
}

TEST_F(Effects, WithNoPrintsKeptEachPrintFadesAsItIsLaid)
{
    ASSERT_TRUE(Build(25, 0));
    Print(VECTOR3D(0, 0, 0));
    EXPECT_TRUE(herd.footprintFade == 1 && herd.footprints[0].life < 1.0f && herd.footprints[0].life > 0.98f);
    // Set up again with a smaller ring, the next print still lands in it.
    ASSERT_TRUE(Build(4, 0));
    Print(VECTOR3D(0, 0, 0));
    EXPECT_EQ(herd.footprintWrite, 1);
}

TEST_F(Effects, APrintTurnsAndScalesWithItsCreatureAndFadesWithinASecond)
{
    ASSERT_TRUE(Build(4, 1, 200));
    ONEDOG& dog = herd.dogs[0];
    dog.scale = 0.5f;
    dog.angles = VECTOR3D(0, 90, 0);
    herd.AddFootPrint(VECTOR3D(4, 0.3f, 4), MatrixFromAngle(dog.angles), &dog);
    const FOOTPRINT& p = herd.footprints[0];
    // Edge 0.4 x size x scale = 0.4; the corner (-1, 0, 1) turns to (1, 0, 1).
    EXPECT_TRUE(std::fabs(p.corners[0].x - 4.2f) < 1e-5f && std::fabs(p.corners[0].z - 4.2f) < 1e-5f &&
                p.corners[0].y == 0.0f)
        << p.corners[0].x << ", " << p.corners[0].z;
    // With one print kept at full strength the second starts the first's fade.
    Print(VECTOR3D(1, 0, 0));
    herd.DrawFootPrints(0.1);
    EXPECT_NEAR(p.life, 1.0f - 1.0f / 60 - 0.1f, 1e-5f);
    for (int i = 0; i < 9; i++)
        herd.DrawFootPrints(0.1);
    EXPECT_TRUE(p.life <= 0.0f && herd.footprints[1].life == 1.0f) << "a fresh print does not fade";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
