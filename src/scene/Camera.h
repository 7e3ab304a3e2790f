// Camera: the scene's viewpoint, held by the herd and applied by the scene
// once per drawn frame.
//
// Limits: for now the camera stays at its home view (straight down from 40
// units above the origin, screen-up along -z), which frames the untiled
// ground exactly; the roaming modes and their easing come with the herd's
// behaviour. The fields are those the roaming camera needs.
#pragma once

#include "maths/NiftyMaths.h"

#include <cstdint>

class DOGCONTROL;

class CAMERA {
public:
    // Multiplies the camera's view onto the current (model-view) matrix.
    void Move(DOGCONTROL* herd, double dt);

    VECTOR3D pos{0, 40, 0};
    VECTOR3D targetPos{0, 40, 0};
    VECTOR3D look{0, 0, 0};
    VECTOR3D targetLook{0, 0, 0};
    VECTOR3D up{0, 0, -1};
    VECTOR3D targetUp{0, 0, -1};
    // Degrees per second about x, y and z.
    VECTOR3D spin{0, 0, 0};
    VECTOR3D orbit{0, 0, 0};
    float speed = 0;
    float targetSpeed = 0;
    float modeTimer = 20.0f;
    float homeDelay = 0;
    int32_t mode = 0;
    int32_t followIndex = 0;
};
