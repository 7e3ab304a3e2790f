// CreatureMotion: the creature's thirteen animations, keyed on every frame of
// the model's timeline.
//
// Each frame is described as a pose: body joint angles, how far the root has
// moved, and where each paw should be. The legs are then bent to reach their
// paws (two-bone inverse kinematics in the leg's own vertical plane), so
// planted paws stay exactly where they were put while the body moves.
#pragma once

#include "CreatureRig.h"
#include "model/MilkshapeModel.h"

struct PawGoal {
    VECTOR3D target;         // where the sole should be, model space
    float lowerPitch = 0;    // extra tilt of the lowest leg bone, degrees about x
    float pawPitch = 0;      // tilt of the paw itself in model space, degrees
    bool wristFirst = false; // a foreleg in stride: retilt the lowest bone to keep the upper arm's swing small
    bool keepBent = false;   // in stride: no joint quite straight (though the paw falls short), the thigh kept low
};

struct CreaturePose {
    VECTOR3D rotation[J_COUNT]; // degrees about x, y, z, relative to the bind pose
    VECTOR3D rootShift;         // the stride's travel: root translation
    VECTOR3D bodyShift;         // the body's own movement: pelvis translation
    PawGoal paws[4];            // in the order of dogFeet
};

// The pose of one frame of the timeline, legs solved.
CreaturePose PoseAtFrame(int frame);

// Model-space matrices of every joint for a pose, composed the way the
// program composes them (bind translation, then the key's rotation).
void PoseMatrices(const CreaturePose& pose, MATRIX out[J_COUNT]);

// Fills the model's joints: names, parents, bind positions (relative to the
// parent) and one rotation key per frame for every joint, plus translation
// keys for the root and the pelvis. Times in seconds, angles in radians, as the file stores them.
void BuildCreatureJoints(MS3D* model);
