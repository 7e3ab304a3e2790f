// Camera: applying the current view.
#include "scene/Camera.h"

#include <GL/glu.h>

void CAMERA::Move(DOGCONTROL* /*herd*/, double /*dt*/)
{
    gluLookAt(pos.x, pos.y, pos.z, look.x, look.y, look.z, up.x, up.y, up.z);
}
