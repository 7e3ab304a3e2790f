// Tests of the view frustum: planes of a known projection, the sphere test,
// and refused plane indices; moving points onto planes is checked through the
// scene's ground bounds.
#include "fixtures/GLContext.h"
#include "scene/Frustum.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

class FrustumTest : public GLContextTest {};

TEST_F(FrustumTest, PlanesAreNormalisedPointInwardCullSpheresAndFollowTheEye)
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
    const struct {
        int plane, i;
        float value;
        double tolerance;
    } coefficients[] = {{FRUSTUM_NEAR, 2, -1, 1e-4},
                        {FRUSTUM_NEAR, 3, -1, 1e-4},
                        {FRUSTUM_FAR, 3, 100, 1e-3},
                        {FRUSTUM_RIGHT, 0, -0.92388f, 1e-4},
                        {FRUSTUM_TOP, 1, -0.92388f, 1e-4}};
    for (const auto& c : coefficients)
        EXPECT_NEAR(frustum.frustum[c.plane][c.i], c.value, c.tolerance) << "plane " << c.plane << " [" << c.i << "]";

    // A sphere behind the near plane counts only when it reaches through;
    // touching it from outside is still outside. One well inside is inside
    // every plane, so each one points inward.
    const float touching = -distance(FRUSTUM_NEAR, VECTOR3D(0, 0, 0));
    const struct {
        VECTOR3D centre;
        float radius, reach;
    } spheres[] = {{{0, 0, 0}, touching, 0}, {{0, 0, 0}, 2, 1}, {{0, 0, -10}, 1, 10}, {{0, 0, -200}, 50, 0}};
    for (const auto& s : spheres)
        EXPECT_NEAR(frustum.SphereInFrustum(s.centre, s.radius), s.reach, 1e-4 * s.reach)
            << s.centre.z << " r " << s.radius;

    // Moving a point onto a plane (which measures the ground) refuses other indices.
    for (int plane : {-1, int(FRUSTUM_PLANES)})
        EXPECT_EQ(DistanceBetweenVectors(frustum.PointAtEdgeOfFrustum(plane, VECTOR3D(3, 2, -40)), VECTOR3D()), 0.0)
            << plane;

    // Looking down from 40 above the origin: the near plane faces down and the origin is in view.
    gluLookAt(0, 40, 0, 0, 0, 0, 0, 0, -1);
    frustum.ExtractFrustumFaster();
    EXPECT_NEAR(frustum.frustum[FRUSTUM_NEAR][1], -1, 1e-4);
    EXPECT_GT(frustum.SphereInFrustum(VECTOR3D(0, 0, 0), 1), 0);
}

} // namespace
