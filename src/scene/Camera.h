// Camera: the scene's viewpoint, held by the herd and applied by the scene
// once per drawn frame. It alternates between the home view (straight down
// from 40 units above the origin, screen-up along -z, which frames the
// untiled ground exactly) and three roaming modes: a tilted spin, a tumble
// and following one creature. Eye, look-at point and up vector ease toward
// their targets at a rate that itself eases, so every mode starts at rest.
//
// Limits: the easing is first order, capped so that a long frame lands on the
// target instead of passing it. Follow mode needs a creature in play; without
// one the camera stays home.
#pragma once

#include "maths/NiftyMaths.h"

#include <cstdint>

class DOGCONTROL;

enum { CAMERA_HOME = 0, CAMERA_SPIN = 1, CAMERA_TUMBLE = 2, CAMERA_FOLLOW = 3 };

// The home eye's height above the ground, where the ground is measured.
constexpr float kCameraHomeHeight = 40.0f;

class CAMERA {
public:
    // Advances the camera by dt seconds and multiplies its view onto the
    // current (model-view) matrix.
    void Move(DOGCONTROL* herd, double dt);
    // Advances the camera without touching OpenGL.
    void Advance(DOGCONTROL* herd, double dt);

    VECTOR3D pos{0, kCameraHomeHeight, 0};
    VECTOR3D targetPos{0, kCameraHomeHeight, 0};
    VECTOR3D look{0, 0, 0};
    VECTOR3D targetLook{0, 0, 0};
    VECTOR3D up{0, 0, -1};
    VECTOR3D targetUp{0, 0, -1};
    // Degrees per second about x, y and z.
    VECTOR3D spin{0, 0, 0};
    // The eye's offset from the followed creature.
    VECTOR3D orbit{0, 0, 0};
    // Easing rate per second, and the rate it eases toward.
    float speed = 0;
    float targetSpeed = 0;
    // Seconds left in the current mode.
    float modeTimer = 20.0f;
    // Seconds before the home view settles exactly.
    float homeDelay = 0;
    int32_t mode = CAMERA_HOME;
    int32_t followIndex = 0;

private:
    void ChangeMode(DOGCONTROL* herd);
    void EnterMode(DOGCONTROL* herd);
    void FollowCreature(const DOGCONTROL* herd, double dt);
    void Revolve(double dt);
    void Ease(double dt);
};
