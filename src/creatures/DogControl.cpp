// DogControl: the herd's construction, ground bounds and teardown.
#include "creatures/DogControl.h"

#include <GL/gl.h>

bool DOGCONTROL::Setup(SETTINGS* /*settings*/, const char* /*resourcePath*/)
{
    // No creature can be built yet; the scene retries on later frames.
    return false;
}

void DOGCONTROL::GetBounds()
{
    if (boundsKnown)
        return;
    glPushMatrix();
    glLoadIdentity();
    frustum.ExtractFrustumFaster();
    // Where the right and top planes pass a point 40 units down the view axis:
    // the camera's home height above the ground.
    const VECTOR3D onAxis(0, 0, -40);
    bounds.x = frustum.PointAtEdgeOfFrustum(FRUSTUM_RIGHT, onAxis).x;
    bounds.z = frustum.PointAtEdgeOfFrustum(FRUSTUM_TOP, onAxis).y;
    glPopMatrix();
    frustum.ExtractFrustumFaster();
    boundsKnown = true;
}

void DOGCONTROL::Move(double /*step*/)
{
    // Nothing moves until Setup has built creatures, which it cannot yet.
}

void DOGCONTROL::Draw(double /*step*/)
{
    // Nothing to draw until Setup has built creatures.
}

void DOGCONTROL::Cleanup()
{
    footprintTexture = 0;
    sparkTexture = 0;
}
