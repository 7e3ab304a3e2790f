// CreatureRig: joint names, parents and bind positions.
#include "CreatureRig.h"

namespace {

const RigJoint kJoints[J_COUNT] = {
    {"root", -1, {0.0f, 0.0f, 0.0f}},
    {"pelvis", J_ROOT, {0.0f, 3.6f, -1.6f}},
    {"chest", J_PELVIS, {0.0f, 3.9f, 1.0f}},
    {"neck", J_CHEST, {0.0f, 4.3f, 1.8f}},
    {"head", J_NECK, {0.0f, 5.2f, 2.3f}},
    {"jaw", J_HEAD, {0.0f, 4.95f, 2.5f}},
    {"ear.L", J_HEAD, {0.42f, 5.6f, 2.05f}},
    {"ear.R", J_HEAD, {-0.42f, 5.6f, 2.05f}},
    {"tongue", J_JAW, {0.0f, 4.86f, 2.75f}},
    {"shoulder.L", J_CHEST, {0.6f, 3.5f, 1.35f}},
    {"elbow.L", J_SHOULDER_L, {0.6f, 2.2f, 1.05f}},
    {"wrist.L", J_ELBOW_L, {0.6f, 0.85f, 1.3f}},
    {"paw.FL", J_WRIST_L, {0.6f, 0.0f, 1.45f}},
    {"shoulder.R", J_CHEST, {-0.6f, 3.5f, 1.35f}},
    {"elbow.R", J_SHOULDER_R, {-0.6f, 2.2f, 1.05f}},
    {"wrist.R", J_ELBOW_R, {-0.6f, 0.85f, 1.3f}},
    {"paw.FR", J_WRIST_R, {-0.6f, 0.0f, 1.45f}},
    {"hip.L", J_PELVIS, {0.6f, 3.35f, -1.7f}},
    {"hip.R", J_PELVIS, {-0.6f, 3.35f, -1.7f}},
    {"stifle.L", J_HIP_L, {0.6f, 2.15f, -1.15f}},
    {"stifle.R", J_HIP_R, {-0.6f, 2.15f, -1.15f}},
    {"hock.L", J_STIFLE_L, {0.6f, 1.0f, -1.95f}},
    {"hock.R", J_STIFLE_R, {-0.6f, 1.0f, -1.95f}},
    {"tail.1", J_PELVIS, {0.0f, 3.7f, -2.3f}},
    {"tail.2", J_TAIL_1, {0.0f, 3.95f, -3.0f}},
    {"paw.HL", J_HOCK_L, {0.6f, 0.0f, -1.75f}},
    {"paw.HR", J_HOCK_R, {-0.6f, 0.0f, -1.75f}},
    {"tail.3", J_TAIL_2, {0.0f, 4.35f, -3.6f}},
};

} // namespace

const RigJoint& Rig(int joint) { return kJoints[joint]; }
