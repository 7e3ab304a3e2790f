// Camera: mode changes, the per-frame work of each mode, the easing and
// applying the view.
#include "scene/Camera.h"

#include "creatures/DogControl.h"
#include "maths/Misc.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const VECTOR3D kHomeEye(0, kCameraHomeHeight, 0);
const VECTOR3D kHomeLook(0, 0, 0);
const VECTOR3D kHomeUp(0, 0, -1);
const VECTOR3D kRoamingUp(0, 1, 0);
constexpr float kBaseStay = 10.0f;
constexpr float kHomeSettle = 5.0f;
constexpr float kEaseRate = 2.0f;
constexpr float kFollowEaseRate = 10.0f;
constexpr float kFollowDistance = 10.0f;
constexpr float kFollowEyeLift = 2.0f;
constexpr float kFollowLookLift = 1.0f;

// -20 to 19 degrees per second.
float RandomSpinRate()
{
    return float(std::rand() % 40 - 20);
}

// Spin rates about x, y and z, drawn in that order.
VECTOR3D RandomSpin()
{
    const float x = RandomSpinRate();
    const float y = RandomSpinRate();
    const float z = RandomSpinRate();
    return VECTOR3D(x, y, z);
}

// The rotation the spin makes in one step.
MATRIX SpinStep(VECTOR3D spin, double dt)
{
    const float f = float(dt);
    return MatrixFromAngle(VECTOR3D(spin.x * f, spin.y * f, spin.z * f));
}

void EaseToward(VECTOR3D* v, VECTOR3D target, float f, float speed)
{
    // The factor is capped at 1: after a long frame the value lands on its
    // target instead of being thrown past it (and the eye under the ground).
    if (double(f) * double(speed) >= 1.0) {
        *v = target;
        return;
    }
    v->x += (target.x - v->x) * f * speed;
    v->y += (target.y - v->y) * f * speed;
    v->z += (target.z - v->z) * f * speed;
}

} // namespace

void CAMERA::Move(DOGCONTROL* herd, double dt)
{
    Advance(herd, dt);
    gluLookAt(pos.x, pos.y, pos.z, look.x, look.y, look.z, up.x, up.y, up.z);
}

void CAMERA::Advance(DOGCONTROL* herd, double dt)
{
    modeTimer = float(modeTimer - dt);
    if (modeTimer < 0)
        ChangeMode(herd);

    switch (mode) {
    case CAMERA_FOLLOW:
        FollowCreature(herd, dt);
        break;
    case CAMERA_SPIN:
    case CAMERA_TUMBLE:
        Revolve(dt);
        break;
    default:
        homeDelay = float(homeDelay - dt);
        // The eye and the up vector settle exactly; the look point goes on
        // easing toward the origin.
        if (homeDelay < 0) {
            pos = targetPos;
            up = targetUp;
        }
        break;
    }
    Ease(dt);
}

void CAMERA::ChangeMode(DOGCONTROL* herd)
{
    const int from = mode;
    modeTimer = kBaseStay;
    // Roaming always returns home; home is followed by any mode, home too.
    if (mode != CAMERA_HOME) {
        mode = CAMERA_HOME;
        modeTimer += float(std::rand() % 10);
    } else {
        mode = std::rand() % 4;
        modeTimer += float(std::rand() % 20);
    }
    speed = 0;
    targetSpeed = kEaseRate;
    EnterMode(herd);
    if (herd)
        herd->log.CameraMode(from, mode, modeTimer);
}

void CAMERA::EnterMode(DOGCONTROL* herd)
{
    switch (mode) {
    case CAMERA_SPIN: {
        // Tilt the home eye about x, then spin about the vertical.
        const int tilt = std::rand() % 60 + 20;
        Rotate(&targetPos, float(tilt), 0, 0);
        spin = VECTOR3D(0, RandomSpinRate(), 0);
        break;
    }
    case CAMERA_TUMBLE:
        spin = RandomSpin();
        break;
    case CAMERA_FOLLOW: {
        const float size = herd ? herd->dogSize : 1.0f;
        orbit = VECTOR3D(0, 0, std::max(kFollowDistance, kFollowDistance * size));
        const int ax = std::rand() % 360;
        const int ay = std::rand() % 360;
        const int az = std::rand() % 360;
        Rotate(&orbit, float(ax), float(ay), float(az));
        spin = RandomSpin();
        const int r = std::rand();
        const int inPlay = herd ? herd->SlotsInPlay() : 0;
        targetSpeed = kFollowEaseRate;
        if (inPlay > 0) {
            followIndex = r % inPlay;
            break;
        }
        // Nobody to follow: stay home instead.
        mode = CAMERA_HOME;
        targetSpeed = kEaseRate;
        [[fallthrough]];
    }
    default:
        targetPos = kHomeEye;
        targetLook = kHomeLook;
        targetUp = kHomeUp;
        homeDelay = kHomeSettle;
        break;
    }
}

void CAMERA::FollowCreature(const DOGCONTROL* herd, double dt)
{
    orbit = MatrixRotatePoint(SpinStep(spin, dt), orbit);
    targetUp = kRoamingUp;
    if (!herd || !herd->dogs || followIndex >= herd->maxDogs)
        return;
    const VECTOR3D c = herd->dogs[size_t(followIndex)].currentPos;
    targetPos = VECTOR3D(c.x + orbit.x, c.y + orbit.y + kFollowEyeLift, c.z + orbit.z);
    targetLook = VECTOR3D(c.x, c.y + kFollowLookLift, c.z);
}

void CAMERA::Revolve(double dt)
{
    targetPos = MatrixRotatePoint(SpinStep(spin, dt), targetPos);
    targetUp = kRoamingUp;
}

void CAMERA::Ease(double dt)
{
    // Capped like the eye's easing, so a long frame cannot overshoot the speed.
    speed = float(speed + double(targetSpeed - speed) * std::min(dt, 1.0));
    const float f = float(dt);
    // The eye heads for the height of its target above the ground even when
    // a tumble carries the target underneath.
    EaseToward(&pos, VECTOR3D(targetPos.x, std::fabs(targetPos.y), targetPos.z), f, speed);
    EaseToward(&look, targetLook, f, speed);
    EaseToward(&up, targetUp, f, speed);
}
