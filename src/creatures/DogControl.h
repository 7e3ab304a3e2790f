// DogControl: the herd (DOGCONTROL), which holds the scene's camera and view
// frustum and measures the visible ground.
//
// Limits: this is the herd as the scene first needs it: constructed with its
// camera and frustum, with the ground bounds. Building the creatures from the
// creature pack is not there yet, so Setup reports failure and the scene,
// which only moves and draws a herd that was set up, shows the ground alone.
#pragma once

#include "maths/NiftyMaths.h"
#include "scene/Camera.h"
#include "scene/Frustum.h"

#include <cstdint>

class SETTINGS;

class DOGCONTROL {
public:
    DOGCONTROL() = default;
    ~DOGCONTROL() { Cleanup(); }
    DOGCONTROL(const DOGCONTROL&) = delete;
    DOGCONTROL& operator=(const DOGCONTROL&) = delete;

    // Builds the herd from the creature pack in resourcePath (ending in "/").
    bool Setup(SETTINGS* settings, const char* resourcePath);
    // Computes the ground's half-extents once, from the projection alone.
    void GetBounds();
    void Move(double step);
    void Draw(double step);
    // Releases what Setup built; safe to run more than once.
    void Cleanup();

    FRUSTUM frustum;
    CAMERA camera;
    // Creature slots in play and in all.
    int32_t numActive = 0;
    int32_t maxDogs = 0;
    // Owned by the scene; written before Setup.
    uint32_t footprintTexture = 0;
    uint32_t sparkTexture = 0;
    float dogSize = 1.0f;
    // x: half-width, z: half-depth of the ground; y unused.
    VECTOR3D bounds{0, 0, 0};
    bool boundsKnown = false;
};
