// Tests for the small helpers: the error hook, the alert on standard error,
// and in-place Euler rotation (sense, order, float radians).
#include "maths/Misc.h"

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

namespace {

VECTOR3D Rotated(float x, float y, float z, float ax, float ay, float az) {
    VECTOR3D v = MakePoint(x, y, z);
    Rotate(&v, ax, ay, az);
    return v;
}

void ExpectNear(VECTOR3D got, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(got.x, x, tol);
    EXPECT_NEAR(got.y, y, tol);
    EXPECT_NEAR(got.z, z, tol);
}

}  // namespace

TEST(Alerts, ErrorHookIsSilentAndMessageBoxWritesCaptionThenText) {
    testing::internal::CaptureStderr();
    ERRORCLOSE("Unable to allocate memory!");
    MessageBox(nullptr, "Unsupported TGA type", "TGA Error", 0x10);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TGA Error: Unsupported TGA type\n");
}

TEST(RotateVector, TurnsRightHandedXThenYThenZ) {
    ExpectNear(Rotated(1, 0, 0, 0, 0, 90), 0, 1, 0);
    ExpectNear(Rotated(1, 0, 0, 0, 90, 0), 0, 0, -1);
    ExpectNear(Rotated(0, 1, 0, 90, 0, 0), 0, 0, 1);
    // X takes +Y to +Z, which Z then leaves alone.
    ExpectNear(Rotated(0, 1, 0, 90, 0, 90), 0, 0, 1);
    // +Y to +Z to +X to +Y; the reverse order would end at -Y.
    ExpectNear(Rotated(0, 1, 0, 90, 90, 90), 0, 1, 0);
    // Same sense and order as the quaternion path.
    VECTOR3D a = MakePoint(-75, 10, 120);
    VECTOR3D want = MatrixRotatePoint(QuatToRotationMatrix(RotationToQuat(a)), MakePoint(0.5f, -1.5f, 2));
    ExpectNear(Rotated(0.5f, -1.5f, 2, a.x, a.y, a.z), want.x, want.y, want.z, 1e-5f);
}

TEST(RotateVector, ZeroAnglesAreSkipped) {
    VECTOR3D v = MakePoint(0.1f, -7.25f, 1e-30f);
    VECTOR3D r = v;
    Rotate(&r, 0, 0, 0);
    EXPECT_EQ(std::memcmp(&v, &r, sizeof v), 0);
    // Had the Y or Z step run with angle 0, 0 * inf would leave a NaN.
    float inf = std::numeric_limits<float>::infinity();
    VECTOR3D s = Rotated(inf, 0, 0, 90, 0, 0);
    EXPECT_EQ(s.x, inf);
    EXPECT_EQ(s.y, 0.0f);
    EXPECT_EQ(s.z, 0.0f);
}

TEST(RotateVector, RoundsRadiansToFloat) {
    // pi/2 as a float is slightly above pi/2, so cos leaves about -4.4e-8
    // behind instead of the 6e-17 a double angle would.
    VECTOR3D r = Rotated(1, 0, 0, 0, 0, 90);
    EXPECT_EQ(r.x, -4.37113883e-08f);
    EXPECT_EQ(r.y, 1.0f);
}
