// Frustum: plane extraction from the current matrices and the tests on them.
#include "scene/Frustum.h"

#include <GL/gl.h>

#include <cmath>

void FRUSTUM::ExtractFrustumFaster()
{
    float p[16];
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);

    // Rows of the clip matrix P·M, with P taken as a perspective matrix.
    float clip[4][4];
    for (int i = 0; i < 4; i++) {
        clip[0][i] = p[0] * m[4 * i];
        clip[1][i] = p[5] * m[4 * i + 1];
        clip[2][i] = p[10] * m[4 * i + 2] + p[14] * m[4 * i + 3];
        clip[3][i] = p[11] * m[4 * i + 2];
    }
    for (int i = 0; i < 4; i++) {
        frustum[FRUSTUM_RIGHT][i] = clip[3][i] - clip[0][i];
        frustum[FRUSTUM_LEFT][i] = clip[3][i] + clip[0][i];
        frustum[FRUSTUM_BOTTOM][i] = clip[3][i] + clip[1][i];
        frustum[FRUSTUM_TOP][i] = clip[3][i] - clip[1][i];
        frustum[FRUSTUM_FAR][i] = clip[3][i] - clip[2][i];
        frustum[FRUSTUM_NEAR][i] = clip[3][i] + clip[2][i];
    }
    for (float* plane : frustum) {
        const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        for (int i = 0; i < 4; i++)
            plane[i] /= length;
    }
}

float FRUSTUM::SphereInFrustum(VECTOR3D centre, float radius) const
{
    float distance = 0;
    for (const float* plane : frustum) {
        distance = plane[0] * centre.x + plane[1] * centre.y + plane[2] * centre.z + plane[3];
        if (distance <= -radius)
            return 0;
    }
    return distance + radius;
}

VECTOR3D FRUSTUM::PointAtEdgeOfFrustum(int plane, VECTOR3D p) const
{
    if (unsigned(plane) >= FRUSTUM_PLANES)
        return VECTOR3D(0, 0, 0);
    const float* f = frustum[plane];
    const float a = f[0], b = f[1], c = f[2], d = f[3];
    switch (plane) {
    case FRUSTUM_RIGHT:
    case FRUSTUM_LEFT:
        return VECTOR3D(-(b * p.y + d + c * p.z) / a, p.y, p.z);
    case FRUSTUM_BOTTOM:
    case FRUSTUM_TOP:
        return VECTOR3D(p.x, -(c * p.z + d + a * p.x) / b, p.z);
    default:
        return VECTOR3D(p.x, p.y, -(b * p.y + d + a * p.x) / c);
    }
}
