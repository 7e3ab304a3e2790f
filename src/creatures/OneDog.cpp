// OneDog: a creature's placement, states, per-frame update, steering,
// neighbour handling and drawing.
#include "creatures/OneDog.h"

#include "creatures/DogControl.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

namespace {

// Times on the model's timeline (milliseconds) before which each stride may
// steer: the float just below 1000 for the fast stride, a third of a second
// for the slow one.
constexpr float kFastSteerUntil = 999.99994f;
constexpr float kSlowSteerUntil = 333.33331f;

constexpr float kSlowSpeed = 4.0f;
constexpr float kFastSpeed = 8.0f;
constexpr float kRetargetSeconds = 10.0f;
// Closer than 5 units (squared) to its target, a creature picks a new one.
constexpr double kArrivedSquared = 25.0;
// Parents' timers after a birth: they pick a new target and idle at once.
constexpr float kAfterBirth = -999.0f;
constexpr float kBreedWait = 5.0f;

VECTOR3D Scaled(VECTOR3D v, float s)
{
    return VECTOR3D(v.x * s, v.y * s, v.z * s);
}

// A random coordinate along an edge: a multiple of 0.1 from -half to +half.
float AlongEdge(float half)
{
    return float(RandMod(int(half * 10.0 * 2 + 1.0)) / 10.0 - half);
}

// A random distance beyond an edge: 3 creature sizes plus 0 to 4 units, on
// either side at random.
float BeyondEdge(float half, float dogSize)
{
    float d = float((std::rand() % 5) + (dogSize * 3.0 + half));
    if (std::rand() % 2 == 0)
        d = -d;
    return d;
}

// A random target coordinate within 90 % of the ground, on a 0.09 grid.
float TargetCoordinate(float half)
{
    return float((RandMod(int((half + half) * 10.0)) / 10.0 - half) * 0.9);
}

} // namespace

int RandMod(int n)
{
    const int r = std::rand();
    return n > 0 ? r % n : 0;
}

bool ONEDOG::CopyFrom(const DOGTEMPLATE* templates)
{
    if (!templates || !templates[0].model)
        return false;
    const ONEDOG& source = *templates[0].model;
    if (!ONEMODEL::CopyFrom(source))
        return false;
    kind = source.kind;
    return true;
}

void ONEDOG::Reset(const DOGCONTROL* herd)
{
    action = DOG_PLACED;
    position = VECTOR3D(0, 0, 0);
    const VECTOR3D b = herd->bounds;
    if (std::rand() % 2 == 0) {
        position.x = AlongEdge(b.x);
        position.z = BeyondEdge(b.z, herd->dogSize);
    } else {
        position.z = AlongEdge(b.z);
        position.x = BeyondEdge(b.x, herd->dogSize);
    }
    blendRate = 4.0f;
    targetTurnRate = 2.0f;
}

void ONEDOG::StartAnim(int row, bool blend)
{
    const DOGANIMATION& r = dogAnims[row];
    SetAnimation(double(r.startFrame), double(r.endFrame), 1000.0, false, blend);
    position = currentPos;
    // A blend that follows starts from a root with no horizontal offset,
    // since position now holds it.
    if (!joints.empty()) {
        joints[0].blendFromTranslation.x = 0;
        joints[0].blendFromTranslation.z = 0;
    }
}

void ONEDOG::SetAction(int newAction)
{
    action = newAction;
    if (newAction == DOG_IDLING) {
        targetMoveSpeed = 0;
        anim = dsAnims[std::rand() % NUM_DS_ANIMS];
        StartAnim(anim, dogAnims[anim].blendIn);
    } else if (newAction == DOG_TRAVELLING) {
        if (std::rand() % 3 == 1) {
            targetMoveSpeed = kSlowSpeed;
            anim = 0;
        } else {
            targetMoveSpeed = kFastSpeed;
            anim = 1;
        }
        StartAnim(anim, true);
        retargetTimer = kRetargetSeconds;
        // Standing on its target, the creature picks a new one next frame.
        target = position;
    }
}

VECTOR3D ONEDOG::ScaledJoint(int joint) const
{
    return Scaled(MatrixPointMultiply(joints[size_t(joint)].absolute, VECTOR3D(0, 0, 0)), scale);
}

VECTOR3D ONEDOG::RootPosition() const
{
    const VECTOR3D r = MatrixRotatePoint(orientation, ScaledJoint(0));
    return VECTOR3D(position.x + r.x, position.y + r.y, position.z + r.z);
}

void ONEDOG::Move(double dt, DOGCONTROL* herd)
{
    currentPos = position;
    moveSpeed = float(moveSpeed + double(targetMoveSpeed * herd->dogSize * scale - moveSpeed) * dt);
    turnRate = float(turnRate + double(targetTurnRate - turnRate) * dt);
    // The last growth step may pass 1.0; the next frame clamps it.
    if (scale < 1.0f)
        scale = float(scale + 0.0125 * dt);
    else
        scale = 1.0f;
    breedTimer = float(breedTimer - dt);

    switch (action) {
    case DOG_PLACED:
        SetAction(DOG_TRAVELLING);
        break;
    case DOG_TRAVELLING:
        Travel(dt, herd);
        break;
    case DOG_IDLING:
        Idle();
        break;
    default:
        break;
    }

    // The skin is posed from the joint-space copy when the creature is
    // drawn: a creature out of view needs only its joints (for its feet).
    Animate(dt);
    UpdateSkeleton();
    UpdateFeet(herd);
}

void ONEDOG::PoseSkin(std::vector<MODELVERTEX>& skin) const
{
    PosePoints(joints.data(), skin);
}

void ONEDOG::Travel(double dt, DOGCONTROL* herd)
{
    // Root motion: the stride carries the root forward; only its horizontal
    // displacement moves the creature.
    const VECTOR3D r = MatrixRotatePoint(orientation, ScaledJoint(0));
    currentPos = VECTOR3D(position.x + r.x, position.y + 0, position.z + r.z);

    CheckCollisions(herd, dt);
    if ((currentTime < kFastSteerUntil && anim == 1) || (currentTime < kSlowSteerUntil && anim == 0))
        TurnToTarget(turnRate, dt);

    retargetTimer = float(retargetTimer - dt);
    if (DistanceBetweenVectors(position, target) < kArrivedSquared || retargetTimer < 0) {
        ChooseTarget(herd);
        // After a birth the parents' timers are far below zero: they idle.
        if (std::rand() % 6 == 0 || retargetTimer < -900.0)
            SetAction(DOG_IDLING);
        retargetTimer = kRetargetSeconds;
    }
    // Restarting the stride commits its displacement to position.
    if (currentTime >= endTime)
        StartAnim(anim, false);
}

void ONEDOG::ChooseTarget(const DOGCONTROL* herd)
{
    target.x = TargetCoordinate(herd->bounds.x);
    target.y = 0;
    target.z = TargetCoordinate(herd->bounds.z);
}

void ONEDOG::Idle()
{
    if (currentTime < endTime)
        return;
    const DOGANIMATION& row = dogAnims[anim];
    if (row.repeat && std::rand() % 5 != 0) {
        StartAnim(anim, false);
    } else if (row.next < 0) {
        SetAction(DOG_TRAVELLING);
    } else {
        anim = row.next;
        StartAnim(anim, dogAnims[anim].blendIn);
    }
}

void ONEDOG::UpdateFeet(DOGCONTROL* herd)
{
    for (int f = 0; f < NUM_DOG_FEET; f++) {
        const int j = dogFeet[kind * NUM_DOG_FEET + f];
        footPos[f] = MatrixRotatePoint(orientation, ScaledJoint(j));
        // The threshold follows the creature's size as well as its growth,
        // so that small creatures lift their feet above it too.
        if (double(footPos[f].y) < double(scale) * 0.125 * double(herd->dogSize)) {
            // Each touch-down lays one print; a foot resting on the ground
            // lays nothing more until it has lifted.
            if (footDown[f] == 0) {
                const VECTOR3D at(position.x + footPos[f].x, position.y + footPos[f].y, position.z + footPos[f].z);
                herd->AddFootPrint(at, orientation, this);
                footDown[f] = 1;
            }
        } else {
            footDown[f] = 0;
        }
    }
}

void ONEDOG::TurnToTarget(float rate, double dt)
{
    const float a = AngleBetweenVectors(position, steerTarget).y;
    float h = angles.y;
    // Unwrapping the heading makes the creature turn the short way round.
    if (std::fabs(double(h - a)) > 180.0) {
        if (h > a)
            h = float(h - 360.0);
        else if (a > h)
            h = float(h + 360.0);
    }
    const float gap = a - h;
    angles.y = float(h + double(rate) * (double(gap) * dt));
    orientation = MatrixFromAngle(angles);
    heading = MatrixPointMultiply(orientation, VECTOR3D(0, 0, 1));
}

bool ONEDOG::CheckCollisions(DOGCONTROL* herd, double dt)
{
    if (action != DOG_TRAVELLING)
        return false;
    steerTarget = target;
    const float s = herd->dogSize;
    const int inPlay = herd->SlotsInPlay();
    const double nearSquared = double(s) * 4.0 * 4.0 * s;
    for (int j = 0; j < inPlay; j++) {
        ONEDOG& other = herd->dogs[size_t(j)];
        if (&other == this || other.action <= 0)
            continue;
        // Most of the herd is far away: one axis alone already puts it out
        // of reach (the full sum of squares can only be larger), which
        // spares the whole distance for them.
        const float dx = currentPos.x - other.currentPos.x;
        const float dz = currentPos.z - other.currentPos.z;
        if (double(dx * dx) >= nearSquared || double(dz * dz) >= nearSquared)
            continue;
        const float d2 = float(DistanceBetweenVectors(currentPos, other.currentPos));
        if (d2 < double(s) * 2.5 * 2.5 * s) {
            // Touching: pushed straight away from the other, for good.
            VECTOR3D v(other.currentPos.x - currentPos.x, other.currentPos.y - currentPos.y,
                       other.currentPos.z - currentPos.z);
            const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
            if (length != 0)
                v = VECTOR3D(v.x / length, v.y / length, v.z / length);
            const float k = moveSpeed * 0.75f;
            const float f = float(dt);
            position.x -= v.x * f * k;
            position.y -= v.y * f * k;
            position.z -= v.z * f * k;
            turnRate = 1.0f;
            if (breedTimer < 0 && other.breedTimer < 0 && scale >= 1.0f && other.scale >= 1.0f) {
                other.breedTimer = kBreedWait;
                breedTimer = kBreedWait;
                if (std::rand() % 2 == 0) {
                    const VECTOR3D mid((currentPos.x + other.currentPos.x) * 0.5f,
                                       (currentPos.y + other.currentPos.y) * 0.5f,
                                       (currentPos.z + other.currentPos.z) * 0.5f);
                    if (herd->Breed(mid)) {
                        retargetTimer = kAfterBirth;
                        other.retargetTimer = kAfterBirth;
                    }
                }
            }
        } else if (d2 < nearSquared) {
            // Near: head for a point ten times as far away on the far side.
            target = VECTOR3D(currentPos.x - (other.currentPos.x - currentPos.x) * 10.0f,
                              currentPos.y - (other.currentPos.y - currentPos.y) * 10.0f,
                              currentPos.z - (other.currentPos.z - currentPos.z) * 10.0f);
            turnRate = 1.0f;
            retargetTimer = 0.25f;
        }
    }
    return true;
}

void ONEDOG::Draw(std::vector<MODELVERTEX>& skin)
{
    PoseSkin(skin);
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glMultMatrixd(orientation.m);
    glScalef(scale, scale, scale);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    // The arrays are read during the draw calls, so the buffer is free for
    // the next creature once they return.
    const unsigned char* base = reinterpret_cast<const unsigned char*>(skin.data());
    glVertexPointer(3, GL_FLOAT, MODELVERTEX_STRIDE, base);
    glNormalPointer(GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_NORMAL_OFFSET);
    glTexCoordPointer(2, GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_TEXCOORD_OFFSET);
    for (int g = 0; g < numGroups; g++)
        DrawGroup(g);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}
