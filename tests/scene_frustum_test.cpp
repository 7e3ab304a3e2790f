// Tests of the view frustum: planes of a known projection, the sphere test,
// and moving points onto planes.
#include "fixtures/GLContext.h"
#include "scene/Frustum.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

class FrustumTest : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45, 1, 1, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        frustum.ExtractFrustumFaster();
    }

    float Distance(int plane, VECTOR3D p) const
    {
        const float* f = frustum.frustum[plane];
        return f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3];
    }

    FRUSTUM frustum;
};

TEST_F(FrustumTest, PlanesAreNormalisedPointInwardCullSpheresAndFollowTheEye)
{
    const float nearPlane[] = {0, 0, -1, -1}, farPlane[] = {0, 0, 1, 100};
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][i], nearPlane[i], 1e-4) << i;
        EXPECT_NEAR(frustum.frustum[FRUSTUM_FAR][i], farPlane[i], 1e-3) << i;
    }
    // The right plane leans at 22.5 degrees: its normal is (-cos, 0, -sin).
    EXPECT_NEAR(frustum.frustum[FRUSTUM_RIGHT][0], -0.92388f, 1e-4);
    EXPECT_NEAR(frustum.frustum[FRUSTUM_RIGHT][2], -0.38268f, 1e-4);
    EXPECT_NEAR(frustum.frustum[FRUSTUM_TOP][1], -0.92388f, 1e-4);
    for (int plane = 0; plane < FRUSTUM_PLANES; plane++)
        EXPECT_GT(Distance(plane, VECTOR3D(0, 0, -10)), 0) << plane;

    // A sphere behind the near plane counts only when it reaches through.
    EXPECT_EQ(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), 0.5f), 0);
    // Touching the near plane from outside is still outside.
    const float touching = -Distance(FRUSTUM_NEAR, VECTOR3D(0, 0, 0));
    EXPECT_NEAR(touching, 1.0f, 1e-5);
    EXPECT_EQ(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), touching), 0);
    EXPECT_NEAR(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), 2.0f), 1.0f, 1e-4);
    EXPECT_NEAR(frustum.SphereInFrustum(VECTOR3D(0, 0, -10), 1.0f), 10.0f, 1e-3);
    EXPECT_EQ(frustum.SphereInFrustum(VECTOR3D(0, 0, -200), 50.0f), 0);

    // Looking down from 40 above the origin: the near plane faces down.
    gluLookAt(0, 40, 0, 0, 0, 0, 0, 0, -1);
    frustum.ExtractFrustumFaster();
    EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][1], -1, 1e-4);
    EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][3], 39, 1e-3);
    EXPECT_GT(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), 1), 0);
    EXPECT_EQ(frustum.SphereInFrustum(VECTOR3D(0, 50, 0), 1), 0);
}

TEST_F(FrustumTest, PointAtEdgeMovesOneAxisOntoThePlaneAndRefusesOtherIndices)
{
    const VECTOR3D p(3, 2, -40);
    for (int plane : {-1, 6, 1000, -2147483647 - 1}) {
        const VECTOR3D q = frustum.PointAtEdgeOfFrustum(plane, p);
        EXPECT_TRUE(q.x == 0 && q.y == 0 && q.z == 0) << plane;
    }
    const VECTOR3D right = frustum.PointAtEdgeOfFrustum(FRUSTUM_RIGHT, p);
    EXPECT_TRUE(right.y == p.y && right.z == p.z);
    EXPECT_NEAR(Distance(FRUSTUM_RIGHT, right), 0, 1e-4);
    EXPECT_NEAR(right.x, 40 * 0.41421356f, 1e-3);
    const VECTOR3D top = frustum.PointAtEdgeOfFrustum(FRUSTUM_TOP, p);
    EXPECT_EQ(top.x, p.x);
    EXPECT_NEAR(Distance(FRUSTUM_TOP, top), 0, 1e-4);
    const VECTOR3D nearPoint = frustum.PointAtEdgeOfFrustum(FRUSTUM_NEAR, p);
    EXPECT_NEAR(nearPoint.z, -1, 1e-4);
    EXPECT_EQ(nearPoint.x, p.x);
}

} // namespace
