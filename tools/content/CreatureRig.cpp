// CreatureRig: joint names, parents and bind positions.
#include "CreatureRig.h"

#include <algorithm>

namespace {

// A friendly mid-sized dog: a body about as long as it is tall at the
// withers, a big round head with a short muzzle, soft ears that tip over,
// legs with some thigh, and a tail that curves up. The neck bends low at
// the withers, near the throat, so the head can reach the ground on nearly
// straight forelegs without the throat folding back into the chest.
// Positions as drawn, before the legs are shortened.
const RigJoint kJoints[J_COUNT] = {
    {"root", -1, {0.0f, 0.0f, 0.0f}},
    {"pelvis", J_ROOT, {0.0f, 2.9f, -1.7f}},
    {"chest", J_PELVIS, {0.0f, 2.97f, -0.26f}},
    {"neck", J_CHEST, {0.0f, 2.75f, 1.65f}},
    {"head", J_NECK, {0.0f, 4.4f, 2.45f}},
    {"jaw", J_HEAD, {0.0f, 4.18f, 2.85f}},
    {"ear.L", J_HEAD, {0.5f, 4.95f, 2.2f}},
    {"ear.R", J_HEAD, {-0.5f, 4.95f, 2.2f}},
    {"tongue", J_JAW, {0.0f, 4.1f, 3.22f}},
    {"shoulder.L", J_CHEST, {0.62f, 2.8f, 1.35f}},
    {"elbow.L", J_SHOULDER_L, {0.62f, 1.75f, 1.2f}},
    {"wrist.L", J_ELBOW_L, {0.62f, 0.65f, 1.35f}},
    {"paw.FL", J_WRIST_L, {0.62f, 0.0f, 1.5f}},
    {"shoulder.R", J_CHEST, {-0.62f, 2.8f, 1.35f}},
    {"elbow.R", J_SHOULDER_R, {-0.62f, 1.75f, 1.2f}},
    {"wrist.R", J_ELBOW_R, {-0.62f, 0.65f, 1.35f}},
    {"paw.FR", J_WRIST_R, {-0.62f, 0.0f, 1.5f}},
    {"hip.L", J_PELVIS, {0.62f, 2.7f, -1.85f}},
    {"hip.R", J_PELVIS, {-0.62f, 2.7f, -1.85f}},
    {"stifle.L", J_HIP_L, {0.62f, 1.75f, -1.4f}},
    {"stifle.R", J_HIP_R, {-0.62f, 1.75f, -1.4f}},
    {"hock.L", J_STIFLE_L, {0.62f, 0.85f, -2.05f}},
    {"hock.R", J_STIFLE_R, {-0.62f, 0.85f, -2.05f}},
    {"tail.1", J_PELVIS, {0.0f, 3.0f, -2.45f}},
    {"tail.2", J_TAIL_1, {0.0f, 3.4f, -2.95f}},
    {"paw.HL", J_HOCK_L, {0.62f, 0.0f, -1.85f}},
    {"paw.HR", J_HOCK_R, {-0.62f, 0.0f, -1.85f}},
    {"tail.3", J_TAIL_2, {0.0f, 3.95f, -3.25f}},
};

// Where the legs end and the body begins, as drawn.
constexpr float kLegTop = 2.2f;
// The stretch of the back that takes up the trunk's shortening, as drawn.
constexpr float kBackFront = 0.7f, kBackRear = -1.3f;

} // namespace

float ShortenLegs(float y)
{
    return y - kLegShortening * std::clamp(y / kLegTop, 0.0f, 1.0f);
}

float ShortenTrunk(float z)
{
    return z + kTrunkShortening * std::clamp((kBackFront - z) / (kBackFront - kBackRear), 0.0f, 1.0f);
}

VECTOR3D PlaceOnHead(int joint, VECTOR3D drawn)
{
    const bool onHead = joint == J_HEAD || joint == J_JAW || joint == J_EAR_L || joint == J_EAR_R || joint == J_TONGUE;
    return onHead ? VECTOR3D{drawn.x, drawn.y - kHeadLower, drawn.z + kHeadForward} : drawn;
}

namespace {

struct ShortRig {
    RigJoint joint[J_COUNT];
    ShortRig()
    {
        for (int j = 0; j < J_COUNT; j++) {
            joint[j] = kJoints[j];
            joint[j].position = PlaceOnHead(j, joint[j].position);
            joint[j].position.y = ShortenLegs(joint[j].position.y);
            // The root stays where the program expects it, under the body.
            if (j != J_ROOT)
                joint[j].position.z = ShortenTrunk(joint[j].position.z);
        }
    }
};

} // namespace

const RigJoint& DrawnRig(int joint)
{
    return kJoints[joint];
}

const RigJoint& Rig(int joint)
{
    static const ShortRig rig;
    return rig.joint[joint];
}
