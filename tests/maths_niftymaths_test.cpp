// Tests for the vector, matrix and quaternion maths: operand order, the sense
// of each rotation, slerp's branches, the aiming helpers and the places where
// float or double rounding shows.
#include "maths/NiftyMaths.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

VECTOR3D Turn(const MATRIX& m, float x, float y, float z)
{
    return MatrixRotatePoint(m, MakePoint(x, y, z));
}

float Degrees(double radians)
{
    return static_cast<float>(radians * 180.0 / NIFTY_PI);
}

struct VectorCase {
    VECTOR3D got, want;
    float tol = 1e-5f;
};

template <size_t N>
void ExpectRows(const VectorCase (&rows)[N])
{
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(rows[i].got.x, rows[i].want.x, rows[i].tol);
        EXPECT_NEAR(rows[i].got.y, rows[i].want.y, rows[i].tol);
        EXPECT_NEAR(rows[i].got.z, rows[i].want.z, rows[i].tol);
    }
}

} // namespace

TEST(Transforms, MovePointsWithTheRightSenseAndOrder)
{
    MATRIX m = MatrixFromAngle(MakePoint(0, 0, 90)), t;
    m.SetTranslation(MakePoint(10, 20, 30));
    t.SetTranslation(MakePoint(5, 0, 0));
    const MATRIX r = MatrixFromAngle(MakePoint(0, 90, 0)), odd = MatrixFromAngle(MakePoint(-170, 80, 15));
    const MATRIX a = MatrixFromAngle(MakePoint(20, 0, 0)), b = MatrixFromAngle(MakePoint(0, 0, 70));
    const VECTOR3D p = MakePoint(1, 0, 0), q = MakePoint(1.25f, -3.5f, 2.0f);
    VECTOR3D unit = MakePoint(3, 0, 4), zero;
    unit.Normalize();
    zero.Normalize();
    const VectorCase rows[] = {
        {MatrixPointMultiply(m, p), {10, 19, 30}},
        {MatrixTranslatePoint(m, p), {11, 20, 30}},
        {MatrixInverseTranslatePoint(m, p), {-9, -20, -30}},
        {MatrixInverseRotatePoint(odd, MatrixRotatePoint(odd, q)), q},
        // The product applies its second operand first.
        {MatrixPointMultiply(MultiplyMatrix(t, r), p), {5, 0, -1}},
        {Turn(MultiplyMatrix(a, b), 0.3f, 0.7f, -0.2f), MatrixRotatePoint(a, Turn(b, 0.3f, 0.7f, -0.2f))},
        // Quaternions are right-handed (the model tests pin Z); the Euler
        // matrices' sense is pinned against them below.
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 0, 0))), 0, 1, 0), {0, 0, 1}},
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(0, 90, 0))), 0, 0, 1), {1, 0, 0}},
        // Quaternions take +Y to +Z, then +X, then +Y; any other order ends elsewhere.
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 90, 90))), 0, 1, 0), {0, 1, 0}},
        {unit, {0.6f, 0, 0.8f}, 1e-7f},
        {zero, {0, 0, 0}, 0},
    };
    ExpectRows(rows);
    // Full composition Rz(-z)·Ry(y)·Rx(-x) on angles that do not commute.
    const VECTOR3D e = MakePoint(-75, 10, 120);
    const MATRIX em = MatrixFromAngle(e), qm = QuatToRotationMatrix(RotationToQuat(MakePoint(-e.x, e.y, -e.z)));
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(em.m[i], qm.m[i], 1e-12) << "element " << i;
}

TEST(Rounding, ShowsWhereEachFunctionComputesInFloatOrDouble)
{
    // At 3 degrees, 3*pi/180 and 3*(pi/180) differ in the last bit and so do
    // their sines; the matrix is double, so the difference survives.
    volatile double deg = 3.0;
    double piFirst = deg * NIFTY_PI / 180.0;
    ASSERT_NE(std::sin(piFirst), std::sin(deg * (NIFTY_PI / 180.0)));
    EXPECT_EQ(MatrixFromAngle(MakePoint(3, 0, 0)).m[6], -std::sin(piFirst));
    // The squared distance.
    EXPECT_EQ(DistanceBetweenVectors(MakePoint(1, 0, 0), MakePoint(4, 4, 0)), 25.0);
}

TEST(QuatSlerp, FollowsTheShortArcAndBlendsNearlyEqualOnesLinearly)
{
    QUAT id;
    // -270 degrees is the same turn as 90, with every component negated.
    QUAT b = RotationToQuat(MakePoint(0, 0, 90)), negB = RotationToQuat(MakePoint(0, 0, -270));
    QUAT half = RotationToQuat(MakePoint(0, 0, 45));
    // -b is the same turn; the result must not swing the long way round.
    for (const QUAT* to : {&b, &negB}) {
        QUAT mid = QuatSlerp(&id, to, 0.5);
        EXPECT_NEAR(mid.z, half.z, 1e-12);
        EXPECT_NEAR(mid.w, half.w, 1e-12);
    }
    QUAT c = RotationToQuat(MakePoint(0, 0, 0.1f));
    QUAT lin = QuatSlerp(&id, &c, 0.5);
    EXPECT_EQ(lin.z, 0.5 * c.z);
    EXPECT_EQ(lin.w, 0.5 + 0.5 * c.w);
}

TEST(Aiming, TurnsPlusZTowardsTheTargetAndStaysARotation)
{
    const VECTOR3D from = MakePoint(2, 0, 3), o, a = MakePoint(4, 5, 6);
    const float c = static_cast<float>(90.0 / std::sqrt(2.0));
    // Local Z points from the second point to the first, X stays level and
    // has unit length, Y is up (not mirrored).
    const MATRIX tilt = MatrixAngleBetweenVectors(MakePoint(0, 3, 3), MakePoint(0, 1, 1));
    const float s = static_cast<float>(std::sqrt(0.5));
    const VectorCase rows[] = {
        {AngleBetweenVectors(from, MakePoint(12, 0, 3)), {0, 90, 0}, 1e-4f},
        {AngleBetweenVectors(from, MakePoint(2, 0, -7)), {0, 180 - Degrees(std::atan2(0.1, 10.0)), 0}, 1e-3f},
        // Climbing: d = (1, 1, 0) gives axis (-1, 1, 0)/sqrt2 and 90 degrees.
        {AngleBetweenVectors(o, MakePoint(1, 1, 0)), {-c, c, 0}, 1e-4f},
        // X offsets below one in magnitude are nudged by 0.1.
        {AngleBetweenVectors(o, MakePoint(1, 0, 1)), {0, 45, 0}, 1e-4f},
        {AngleBetweenVectors(o, MakePoint(-0.5f, 0, 1)), {0, -Degrees(std::atan2(0.4, 1.0)), 0}, 1e-4f},
        // The same point: d becomes (0.1, 0, 1), a small turn about Y.
        {AngleBetweenVectors(a, a), {0, Degrees(std::atan2(0.1, 1.0)), 0}, 1e-4f},
        {Turn(tilt, 1, 0, 0), {1, 0, 0}},
        {Turn(tilt, 0, 1, 0), {0, s, -s}},
        {Turn(tilt, 0, 0, 1), {0, s, s}},
        // Straight up, a horizontal up vector stands in.
        {Turn(MatrixAngleBetweenVectors(MakePoint(0, 5, 0), o), 1, 0, 0), {0, 0, -1}},
        // The same point looks along +Z.
        {Turn(MatrixAngleBetweenVectors(a, a), 0, 0, 1), {0, 0, 1}},
    };
    ExpectRows(rows);
}
