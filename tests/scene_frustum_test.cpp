// Tests of the view frustum: planes of a known projection, the sphere test,
// and moving points onto planes.
#include "fixtures/GLContext.h"
#include "scene/Frustum.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

class FrustumTest : public GLContextTest {};

TEST_F(FrustumTest, PlanesAreNormalisedPointInwardCullSpheresMovePointsAndFollowTheEye)
{
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    FRUSTUM frustum;
    frustum.ExtractFrustumFaster();
    const auto distance = [&](int plane, VECTOR3D p) {
        const float* f = frustum.frustum[plane];
        return f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3];
    };
    // The side planes lean at 22.5 degrees: the right one's normal is (-cos, 0, -sin).
    const struct { int plane, i; float value; double tolerance; } coefficients[] = {
        {FRUSTUM_NEAR, 0, 0, 1e-4}, {FRUSTUM_NEAR, 1, 0, 1e-4}, {FRUSTUM_NEAR, 2, -1, 1e-4}, {FRUSTUM_NEAR, 3, -1, 1e-4},
        {FRUSTUM_FAR, 0, 0, 1e-3}, {FRUSTUM_FAR, 1, 0, 1e-3}, {FRUSTUM_FAR, 2, 1, 1e-3}, {FRUSTUM_FAR, 3, 100, 1e-3},
        {FRUSTUM_RIGHT, 0, -0.92388f, 1e-4}, {FRUSTUM_RIGHT, 2, -0.38268f, 1e-4}, {FRUSTUM_TOP, 1, -0.92388f, 1e-4}};
    for (const auto& c : coefficients)
        EXPECT_NEAR(frustum.frustum[c.plane][c.i], c.value, c.tolerance) << "plane " << c.plane << " [" << c.i << "]";
    for (int plane = 0; plane < FRUSTUM_PLANES; plane++)
        EXPECT_GT(distance(plane, VECTOR3D(0, 0, -10)), 0) << plane;

    // A sphere behind the near plane counts only when it reaches through;
    // touching it from outside is still outside.
    const float touching = -distance(FRUSTUM_NEAR, VECTOR3D(0, 0, 0));
    EXPECT_NEAR(touching, 1.0f, 1e-5);
    const struct { VECTOR3D centre; float radius, reach; } spheres[] = {
        {{0, 0, 0}, 0.5f, 0}, {{0, 0, 0}, touching, 0}, {{0, 0, 0}, 2, 1}, {{0, 0, -10}, 1, 10}, {{0, 0, -200}, 50, 0}};
    for (const auto& s : spheres)
        EXPECT_NEAR(frustum.SphereInFrustum(s.centre, s.radius), s.reach, 1e-4 * s.reach) << s.centre.z << " r " << s.radius;

    // Points move along one axis onto a plane; other indices are refused.
    const VECTOR3D p(3, 2, -40);
    for (int plane : {-1, 6, 1000, -2147483647 - 1}) {
        const VECTOR3D q = frustum.PointAtEdgeOfFrustum(plane, p);
        EXPECT_TRUE(q.x == 0 && q.y == 0 && q.z == 0) << plane;
    }
    const VECTOR3D right = frustum.PointAtEdgeOfFrustum(FRUSTUM_RIGHT, p);
    EXPECT_TRUE(right.y == p.y && right.z == p.z);
    EXPECT_NEAR(distance(FRUSTUM_RIGHT, right), 0, 1e-4);
    EXPECT_NEAR(right.x, 40 * 0.41421356f, 1e-3);
    const VECTOR3D top = frustum.PointAtEdgeOfFrustum(FRUSTUM_TOP, p);
    EXPECT_TRUE(top.x == p.x && top.z == p.z);
    EXPECT_NEAR(distance(FRUSTUM_TOP, top), 0, 1e-4);
    const VECTOR3D nearPoint = frustum.PointAtEdgeOfFrustum(FRUSTUM_NEAR, p);
    EXPECT_TRUE(nearPoint.x == p.x && nearPoint.y == p.y);
    EXPECT_NEAR(nearPoint.z, -1, 1e-4);

    // Looking down from 40 above the origin: the near plane faces down.
    gluLookAt(0, 40, 0, 0, 0, 0, 0, 0, -1);
    frustum.ExtractFrustumFaster();
    EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][1], -1, 1e-4);
    EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][3], 39, 1e-3);
    EXPECT_GT(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), 1), 0);
    EXPECT_EQ(frustum.SphereInFrustum(VECTOR3D(0, 50, 0), 1), 0);
}

} // namespace
