// Frustum: the six planes of the current OpenGL view volume, for culling
// and for measuring the visible ground.
//
// Extraction reads the projection and model-view matrices and uses only the
// projection elements that gluPerspective sets (0, 5, 10, 11 and 14); any
// other projection gives wrong planes. Planes are normalised, so a plane's
// value at a point is its signed distance, positive inside.
#pragma once

#include "maths/NiftyMaths.h"

enum { FRUSTUM_RIGHT = 0, FRUSTUM_LEFT, FRUSTUM_BOTTOM, FRUSTUM_TOP, FRUSTUM_FAR, FRUSTUM_NEAR, FRUSTUM_PLANES };

class FRUSTUM {
public:
    // Overwrites all six planes from the current matrices.
    void ExtractFrustumFaster();
    // 0 when the sphere is outside (touching from outside counts as
    // outside); otherwise the near plane's distance to its far side, > 0.
    float SphereInFrustum(VECTOR3D centre, float radius) const;
    // The point moved along one axis onto the plane: x for the side planes,
    // y for bottom and top, z for far and near. (0, 0, 0) for an index outside
    // 0..5. A zero coefficient gives an infinite coordinate.
    VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D point) const;

    // a, b, c, d per plane, in the order of the enum above.
    float frustum[FRUSTUM_PLANES][4] = {};
};
