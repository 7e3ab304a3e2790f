// Tests for the vector, matrix and quaternion maths: storage and operand
// order, the sense of each rotation, slerp's branches, the aiming helpers
// and the places where float or double rounding shows.
#include "maths/NiftyMaths.h"

#include <cmath>
#include <iterator>

#include <gtest/gtest.h>

namespace {

VECTOR3D Turn(const MATRIX& m, float x, float y, float z) {
    return MatrixRotatePoint(m, MakePoint(x, y, z));
}

float Degrees(double radians) {
    return static_cast<float>(radians * 180.0 / NIFTY_PI);
}

struct VectorCase {
    VECTOR3D got, want;
    float tol = 1e-5f;
};

template <size_t N>
void ExpectRows(const VectorCase (&rows)[N]) {
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(rows[i].got.x, rows[i].want.x, rows[i].tol);
        EXPECT_NEAR(rows[i].got.y, rows[i].want.y, rows[i].tol);
        EXPECT_NEAR(rows[i].got.z, rows[i].want.z, rows[i].tol);
    }
}

// The 3x3 part has orthonormal columns and determinant +1 (no mirroring).
void ExpectProperRotation(const MATRIX& m) {
    const double* e = m.m;
    for (int c = 0; c < 3; ++c) {
        for (int d = 0; d < 3; ++d) {
            double dot = e[4 * c] * e[4 * d] + e[4 * c + 1] * e[4 * d + 1] + e[4 * c + 2] * e[4 * d + 2];
            EXPECT_NEAR(dot, c == d ? 1.0 : 0.0, 1e-6);
        }
    }
    double det = e[0] * (e[5] * e[10] - e[9] * e[6]) - e[4] * (e[1] * e[10] - e[9] * e[2]) +
                 e[8] * (e[1] * e[6] - e[5] * e[2]);
    EXPECT_NEAR(det, 1.0, 1e-6);
}

}  // namespace

TEST(MatrixBasics, IdentityAndTranslationLayout) {
    MATRIX m = MatrixFromAngle(MakePoint(10, 20, 30));
    MATRIX r = m;
    m.SetTranslation(MakePoint(1.5f, -2, 3));
    EXPECT_EQ(m.m[12], 1.5);
    EXPECT_EQ(m.m[13], -2.0);
    EXPECT_EQ(m.m[14], 3.0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(m.m[i], r.m[i]);
    m.Identity();
    MATRIX fresh;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.m[i], (i % 5 == 0) ? 1.0 : 0.0);
        EXPECT_EQ(fresh.m[i], m.m[i]);
    }
}

TEST(Transforms, MovePointsWithTheRightSenseAndOrder) {
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
        {MatrixInverseRotatePoint(m, MakePoint(0, -1, 0)), {1, 0, 0}},
        {MatrixTranslatePoint(m, p), {11, 20, 30}},
        {MatrixInverseTranslatePoint(m, p), {-9, -20, -30}},
        {MatrixInverseRotatePoint(odd, MatrixRotatePoint(odd, q)), q},
        // The product applies its second operand first.
        {MatrixPointMultiply(MultiplyMatrix(t, r), p), {5, 0, -1}},
        {MatrixPointMultiply(MultiplyMatrix(r, t), p), {0, 0, -6}},
        {Turn(MultiplyMatrix(a, b), 0.3f, 0.7f, -0.2f), MatrixRotatePoint(a, Turn(b, 0.3f, 0.7f, -0.2f))},
        // Quaternions are right-handed; the Euler matrices' sense is pinned
        // against them below.
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(0, 0, 90))), 1, 0, 0), {0, 1, 0}},
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 0, 0))), 0, 1, 0), {0, 0, 1}},
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(0, 90, 0))), 0, 0, 1), {1, 0, 0}},
        // Quaternions take +Y to +Z, then +X, then +Y; any other order ends elsewhere.
        {Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 90, 90))), 0, 1, 0), {0, 1, 0}},
        {unit, {0.6f, 0, 0.8f}, 1e-7f},
        {zero, {0, 0, 0}, 0},
    };
    ExpectRows(rows);
    // Full composition Rz(-z)·Ry(y)·Rx(-x) on angles that do not commute.
    for (VECTOR3D e : {MakePoint(30, 40, 50), MakePoint(-75, 10, 120)}) {
        MATRIX em = MatrixFromAngle(e);
        MATRIX qm = QuatToRotationMatrix(RotationToQuat(MakePoint(-e.x, e.y, -e.z)));
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(em.m[i], qm.m[i], 1e-12) << "element " << i;
    }
}

TEST(Rounding, ShowsWhereEachFunctionComputesInFloatOrDouble) {
    // At 3 degrees, 3*pi/180 and 3*(pi/180) differ in the last bit and so do
    // their sines; the matrix is double, so the difference survives.
    volatile double deg = 3.0;
    double piFirst = deg * NIFTY_PI / 180.0;
    ASSERT_NE(std::sin(piFirst), std::sin(deg * (NIFTY_PI / 180.0)));
    EXPECT_EQ(MatrixFromAngle(MakePoint(3, 0, 0)).m[6], -std::sin(piFirst));
    // (1, 0, 0, 1) is not normalised first: a unit quarter turn would give 0 and 1.
    QUAT q;
    q.x = 1.0;
    MATRIX m = QuatToRotationMatrix(q);
    EXPECT_EQ(m.m[5], -1.0);
    EXPECT_EQ(m.m[6], 2.0);
    // The squared distance; 4097^2 = 16785409 is not a float, so the sum in
    // single precision rounds it down.
    EXPECT_EQ(DistanceBetweenVectors(MakePoint(0, 0, 0), MakePoint(3, 4, 0)), 25.0);
    EXPECT_EQ(DistanceBetweenVectors(MakePoint(0, 0, 0), MakePoint(4097, 0, 0)), 16785408.0);
}

TEST(QuatSlerp, FollowsTheShortArcAndBlendsNearlyEqualOnesLinearly) {
    QUAT id;
    QUAT b = RotationToQuat(MakePoint(0, 0, 90));
    QUAT negB = b;
    negB.x = -b.x, negB.y = -b.y, negB.z = -b.z, negB.w = -b.w;
    QUAT half = RotationToQuat(MakePoint(0, 0, 45));
    EXPECT_EQ(QuatSlerp(&id, &b, 0.0).w, 1.0);
    EXPECT_DOUBLE_EQ(QuatSlerp(&id, &b, 1.0).z, b.z);
    // -b is the same turn; the result must not swing the long way round.
    EXPECT_DOUBLE_EQ(QuatSlerp(&id, &negB, 1.0).w, b.w);
    for (const QUAT* to : {&b, &negB}) {
        QUAT mid = QuatSlerp(&id, to, 0.5);
        EXPECT_NEAR(mid.z, half.z, 1e-12);
        EXPECT_NEAR(mid.w, half.w, 1e-12);
    }
    QUAT c = RotationToQuat(MakePoint(0, 0, 0.1f));
    QUAT lin = QuatSlerp(&id, &c, 0.5);
    EXPECT_EQ(lin.z, 0.5 * c.z);
    EXPECT_EQ(lin.w, 0.5 + 0.5 * c.w);
    // A dot product above 1 would make acos NaN; the linear branch copes.
    QUAT big;
    big.w = 2.0;
    EXPECT_EQ(QuatSlerp(&big, &big, 0.25).w, 2.0);
}

TEST(Aiming, TurnsPlusZTowardsTheTargetAndStaysARotation) {
    const VECTOR3D from = MakePoint(2, 0, 3), o, a = MakePoint(4, 5, 6);
    const float c = static_cast<float>(90.0 / std::sqrt(2.0));
    const MATRIX up = MatrixAngleBetweenVectors(MakePoint(0, 5, 0), o);
    const MATRIX down = MatrixAngleBetweenVectors(o, MakePoint(0, 5, 0));
    const VectorCase rows[] = {
        {AngleBetweenVectors(from, MakePoint(12, 0, 3)), {0, 90, 0}, 1e-4f},
        {AngleBetweenVectors(from, MakePoint(-8, 0, 3)), {0, -90, 0}, 1e-4f},
        {AngleBetweenVectors(from, MakePoint(2, 0, -7)), {0, 180 - Degrees(std::atan2(0.1, 10.0)), 0}, 1e-3f},
        // Climbing: d = (1, 1, 0) gives axis (-1, 1, 0)/sqrt2 and 90 degrees.
        {AngleBetweenVectors(o, MakePoint(1, 1, 0)), {-c, c, 0}, 1e-4f},
        // X offsets below one in magnitude are nudged by 0.1.
        {AngleBetweenVectors(o, MakePoint(1, 0, 1)), {0, 45, 0}, 1e-4f},
        {AngleBetweenVectors(o, MakePoint(-1, 0, 1)), {0, -45, 0}, 1e-4f},
        {AngleBetweenVectors(o, MakePoint(-0.5f, 0, 1)), {0, -Degrees(std::atan2(0.4, 1.0)), 0}, 1e-4f},
        // The same point: d becomes (0.1, 0, 1), a small turn about Y.
        {AngleBetweenVectors(a, a), {0, Degrees(std::atan2(0.1, 1.0)), 0}, 1e-4f},
        // Straight up or down the local Z still points from the second to the first.
        {Turn(up, 1, 0, 0), {0, 0, -1}},
        {Turn(up, 0, 0, 1), {0, 1, 0}},
        {Turn(down, 0, 0, 1), {0, -1, 0}},
    };
    ExpectRows(rows);
    ExpectProperRotation(up);
    ExpectProperRotation(down);

    // Local Z points from b to a, without roll.
    const VECTOR3D p = MakePoint(3, 4, -2), q = MakePoint(1, -1, 5);
    MATRIX m = MatrixAngleBetweenVectors(p, q);
    VECTOR3D f = MakePoint(p.x - q.x, p.y - q.y, p.z - q.z);
    f.Normalize();
    const VECTOR3D z = Turn(m, 0, 0, 1);
    EXPECT_NEAR(z.x, f.x, 1e-5f);
    EXPECT_NEAR(z.y, f.y, 1e-5f);
    EXPECT_NEAR(z.z, f.z, 1e-5f);
    ExpectProperRotation(m);
    EXPECT_NEAR(m.m[1], 0.0, 1e-7);
    MATRIX same = MatrixAngleBetweenVectors(p, p);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(same.m[i], (i % 5 == 0) ? 1.0 : 0.0, 1e-7);
}
