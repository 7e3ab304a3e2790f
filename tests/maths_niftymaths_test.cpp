// Tests for the vector, matrix and quaternion maths: storage and operand
// order, the sense of each rotation, slerp's branches, the aiming helpers
// and the places where float or double rounding shows.
#include "maths/NiftyMaths.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

void ExpectNear(VECTOR3D got, float x, float y, float z, float tol = 1e-5f) {
    EXPECT_NEAR(got.x, x, tol);
    EXPECT_NEAR(got.y, y, tol);
    EXPECT_NEAR(got.z, z, tol);
}

VECTOR3D Turn(const MATRIX& m, float x, float y, float z) {
    return MatrixRotatePoint(m, MakePoint(x, y, z));
}

double Degrees(double radians) {
    return radians * 180.0 / NIFTY_PI;
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

TEST(MatrixBasics, PointTransformsUseTranslationAndTranspose) {
    MATRIX m = MatrixFromAngle(MakePoint(0, 0, 90));
    m.SetTranslation(MakePoint(10, 20, 30));
    VECTOR3D p = MakePoint(1, 0, 0);
    ExpectNear(MatrixPointMultiply(m, p), 10, 19, 30);
    ExpectNear(MatrixInverseRotatePoint(m, MakePoint(0, -1, 0)), 1, 0, 0);
    ExpectNear(MatrixTranslatePoint(m, p), 11, 20, 30);
    ExpectNear(MatrixInverseTranslatePoint(m, p), -9, -20, -30);
    MATRIX odd = MatrixFromAngle(MakePoint(-170, 80, 15));
    VECTOR3D q = MakePoint(1.25f, -3.5f, 2.0f);
    ExpectNear(MatrixInverseRotatePoint(odd, MatrixRotatePoint(odd, q)), q.x, q.y, q.z);
}

TEST(MultiplyMatrix, AppliesSecondOperandFirst) {
    MATRIX t;
    t.SetTranslation(MakePoint(5, 0, 0));
    MATRIX r = MatrixFromAngle(MakePoint(0, 90, 0));
    ExpectNear(MatrixPointMultiply(MultiplyMatrix(t, r), MakePoint(1, 0, 0)), 5, 0, -1);
    ExpectNear(MatrixPointMultiply(MultiplyMatrix(r, t), MakePoint(1, 0, 0)), 0, 0, -6);
    MATRIX a = MatrixFromAngle(MakePoint(20, 0, 0));
    MATRIX b = MatrixFromAngle(MakePoint(0, 0, 70));
    VECTOR3D chained = MatrixRotatePoint(a, Turn(b, 0.3f, 0.7f, -0.2f));
    ExpectNear(Turn(MultiplyMatrix(a, b), 0.3f, 0.7f, -0.2f), chained.x, chained.y, chained.z);
}

TEST(MatrixFromAngle, TurnsXAndZTheOppositeWayToQuaternions) {
    ExpectNear(Turn(MatrixFromAngle(MakePoint(0, 90, 0)), 1, 0, 0), 0, 0, -1);
    ExpectNear(Turn(MatrixFromAngle(MakePoint(90, 0, 0)), 0, 1, 0), 0, 0, -1);
    ExpectNear(Turn(MatrixFromAngle(MakePoint(0, 0, 90)), 1, 0, 0), 0, -1, 0);
    ExpectNear(Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(0, 0, 90))), 1, 0, 0), 0, 1, 0);
    // Full composition Rz(-z)·Ry(y)·Rx(-x) on angles that do not commute.
    for (VECTOR3D a : {MakePoint(30, 40, 50), MakePoint(-75, 10, 120)}) {
        MATRIX m = MatrixFromAngle(a);
        MATRIX q = QuatToRotationMatrix(RotationToQuat(MakePoint(-a.x, a.y, -a.z)));
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], q.m[i], 1e-12) << "element " << i;
    }
}

TEST(MatrixFromAngle, ConvertsDegreesByMultiplyingByPiFirst) {
    // At 3 degrees, 3*pi/180 and 3*(pi/180) differ in the last bit and so do
    // their sines; the matrix is double, so the difference survives.
    volatile double deg = 3.0;
    double piFirst = deg * NIFTY_PI / 180.0;
    ASSERT_NE(std::sin(piFirst), std::sin(deg * (NIFTY_PI / 180.0)));
    EXPECT_EQ(MatrixFromAngle(MakePoint(3, 0, 0)).m[6], -std::sin(piFirst));
}

TEST(Quaternions, EulerRotatesXThenYThenZRightHanded) {
    ExpectNear(Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 0, 0))), 0, 1, 0), 0, 0, 1);
    ExpectNear(Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(0, 90, 0))), 0, 0, 1), 1, 0, 0);
    // +Y goes to +Z, then +X, then +Y; any other order ends elsewhere.
    ExpectNear(Turn(QuatToRotationMatrix(RotationToQuat(MakePoint(90, 90, 90))), 0, 1, 0), 0, 1, 0);
    // (1, 0, 0, 1) is not normalised first: a unit quarter turn would give 0 and 1.
    QUAT q;
    q.x = 1.0;
    MATRIX m = QuatToRotationMatrix(q);
    EXPECT_EQ(m.m[5], -1.0);
    EXPECT_EQ(m.m[6], 2.0);
}

TEST(QuatSlerp, EndpointsAndMidpointFollowTheShortArc) {
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
}

TEST(QuatSlerp, NearlyEqualQuaternionsBlendLinearly) {
    QUAT id;
    QUAT c = RotationToQuat(MakePoint(0, 0, 0.1f));
    QUAT lin = QuatSlerp(&id, &c, 0.5);
    EXPECT_EQ(lin.z, 0.5 * c.z);
    EXPECT_EQ(lin.w, 0.5 + 0.5 * c.w);
    // A dot product above 1 would make acos NaN; the linear branch copes.
    QUAT big;
    big.w = 2.0;
    EXPECT_EQ(QuatSlerp(&big, &big, 0.25).w, 2.0);
}

TEST(DistanceBetweenVectors, ReturnsSquaredDistanceSummedInFloat) {
    EXPECT_EQ(DistanceBetweenVectors(MakePoint(0, 0, 0), MakePoint(3, 4, 0)), 25.0);
    // 4097^2 = 16785409 is not a float; single precision rounds it down.
    EXPECT_EQ(DistanceBetweenVectors(MakePoint(0, 0, 0), MakePoint(4097, 0, 0)), 16785408.0);
}

TEST(AngleBetweenVectors, YawTurnsPlusZTowardsTarget) {
    VECTOR3D from = MakePoint(2, 0, 3);
    ExpectNear(AngleBetweenVectors(from, MakePoint(12, 0, 3)), 0, 90, 0, 1e-4f);
    ExpectNear(AngleBetweenVectors(from, MakePoint(-8, 0, 3)), 0, -90, 0, 1e-4f);
    EXPECT_NEAR(AngleBetweenVectors(from, MakePoint(2, 0, -7)).y, 180.0 - Degrees(std::atan2(0.1, 10.0)), 1e-3);
    // Climbing: d = (1, 1, 0) gives axis (-1, 1, 0)/sqrt2 and 90 degrees.
    float c = static_cast<float>(90.0 / std::sqrt(2.0));
    ExpectNear(AngleBetweenVectors(MakePoint(0, 0, 0), MakePoint(1, 1, 0)), -c, c, 0, 1e-4f);
}

TEST(AngleBetweenVectors, NudgesXOffsetsBelowOneInMagnitude) {
    VECTOR3D o;
    EXPECT_NEAR(AngleBetweenVectors(o, MakePoint(1, 0, 1)).y, 45.0, 1e-4);
    EXPECT_NEAR(AngleBetweenVectors(o, MakePoint(-1, 0, 1)).y, -45.0, 1e-4);
    EXPECT_NEAR(AngleBetweenVectors(o, MakePoint(-0.5f, 0, 1)).y, -Degrees(std::atan2(0.4, 1.0)), 1e-4);
    // The same point: d becomes (0.1, 0, 1), a small turn about Y.
    VECTOR3D a = MakePoint(4, 5, 6);
    ExpectNear(AngleBetweenVectors(a, a), 0, static_cast<float>(Degrees(std::atan2(0.1, 1.0))), 0, 1e-4f);
}

TEST(MatrixAngleBetweenVectors, LocalZPointsFromSecondToFirstWithoutRoll) {
    VECTOR3D a = MakePoint(3, 4, -2), b = MakePoint(1, -1, 5);
    MATRIX m = MatrixAngleBetweenVectors(a, b);
    VECTOR3D f = MakePoint(a.x - b.x, a.y - b.y, a.z - b.z);
    f.Normalize();
    ExpectNear(Turn(m, 0, 0, 1), f.x, f.y, f.z);
    ExpectProperRotation(m);
    EXPECT_NEAR(m.m[1], 0.0, 1e-7);
    MATRIX same = MatrixAngleBetweenVectors(a, a);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(same.m[i], (i % 5 == 0) ? 1.0 : 0.0, 1e-7);
}

TEST(MatrixAngleBetweenVectors, StraightUpOrDownStaysARotation) {
    MATRIX up = MatrixAngleBetweenVectors(MakePoint(0, 5, 0), MakePoint(0, 0, 0));
    ExpectProperRotation(up);
    ExpectNear(Turn(up, 1, 0, 0), 0, 0, -1);
    ExpectNear(Turn(up, 0, 0, 1), 0, 1, 0);
    MATRIX down = MatrixAngleBetweenVectors(MakePoint(0, 0, 0), MakePoint(0, 5, 0));
    ExpectProperRotation(down);
    ExpectNear(Turn(down, 0, 0, 1), 0, -1, 0);
}

TEST(Vector, NormalizeScalesToUnitAndLeavesZeroAlone) {
    VECTOR3D v{3, 0, 4};
    v.Normalize();
    ExpectNear(v, 0.6f, 0, 0.8f, 1e-7f);
    VECTOR3D z;
    z.Normalize();
    ExpectNear(z, 0, 0, 0, 0);
}
