// DogControl: the herd (DOGCONTROL) and its creature template (DOGTEMPLATE).
// The herd owns the creature slots, their coats, the footprint ring and the
// spark pool, and holds the scene's camera and view frustum; it measures the
// visible ground, builds every creature from the creature pack, moves and
// draws them, places newborns and lays and draws footprints and sparks.
//
// Limits: every array is sized once in Setup from the settings, which bound
// the slot and footprint counts; nothing is allocated per frame. Setup needs
// a current OpenGL context (the coats are uploaded) and so do Draw and
// Cleanup. The pack must hold the creature with joint 0 and the foot joints;
// fewer than 15 coats are reused in turn.
#pragma once

#include "creatures/Effects.h"
#include "creatures/HerdLog.h"
#include "creatures/OneDog.h"
#include "maths/NiftyMaths.h"
#include "resources/Texture.h"
#include "scene/Camera.h"
#include "scene/Damage.h"
#include "scene/Frustum.h"

#include <functional>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SETTINGS;

// One creature kind: the template creature every slot is cloned from, and
// the animation data all of them share.
struct DOGTEMPLATE {
    DOGTEMPLATE() = default;
    // The template creature points into the animation data, so it goes first.
    ~DOGTEMPLATE();
    DOGTEMPLATE(const DOGTEMPLATE&) = delete;
    DOGTEMPLATE& operator=(const DOGTEMPLATE&) = delete;

    std::unique_ptr<ONEDOG> model;
    std::unique_ptr<ANIMATIONTEMPLATE> animation;
    bool loaded = false;
};

extern const char* const kCreaturePackName;

// Coats that creatures are dressed in (the pack may hold more).
enum { kChosenSkins = 15 };

class DOGCONTROL {
public:
    DOGCONTROL() = default;
    ~DOGCONTROL() { Cleanup(); }
    DOGCONTROL(const DOGCONTROL&) = delete;
    DOGCONTROL& operator=(const DOGCONTROL&) = delete;

    // Builds the herd from the creature pack in resourcePath (ending in "/").
    // A retry first releases what a failed attempt left. On failure, failure
    // says why.
    bool Setup(SETTINGS* settings, const char* resourcePath);
    // The same from a creature pack of any name (larkspur-pack checks packs
    // with it).
    bool SetupFromPack(SETTINGS* settings, const char* packPath);
    // Computes the ground's half-extents once, from the projection alone.
    void GetBounds();
    // Moves every creature in play and lets waiting ones enter: a long step
    // in equal steps of at most a tenth of a second, so that creatures steer
    // and stay on the ground however slowly frames come.
    void Move(double dt);
    // Draws the visible creatures, then the footprints and the sparks, which
    // it ages by dt: AdvanceEffects, ListDrawn, DrawCreatures and DrawEffects
    // in one.
    void Draw(double dt);
    // Ages the footprints and moves the sparks by dt, noting in changed what
    // that alters on screen.
    void AdvanceEffects(double dt);
    // Fills drawnNow with the sphere of every creature this frame draws,
    // keeping the last frame's list in drawnLast.
    void ListDrawn();
    // Draws the creatures of drawnNow for which wanted is true (all of them
    // without it); those left out must have no pixel where the frame draws.
    void DrawCreatures(const std::function<bool(const WorldSphere&)>& wanted = nullptr);
    // Draws the footprints and sparks as they are.
    void DrawEffects();
    // Empties changed.
    void ForgetChanges();
    // The sphere that holds everything the creature draws.
    WorldSphere DrawnSphere(const ONEDOG& dog) const;
    // Places a newborn at p; false when no slot could be had.
    bool Breed(VECTOR3D p);
    void AddFootPrint(VECTOR3D p, MATRIX orientation, const ONEDOG* dog);
    void DrawFootPrints(double dt);
    // Fades the fading footprints by dt.
    void AgeFootPrints(double dt);
    // Starts up to count free sparks at p; direction is not used.
    void NewSparks(VECTOR3D p, VECTOR3D direction, int count, int type);
    void DrawSparks(double dt);
    void MoveSparks(double dt);
    // Releases what Setup built; safe to run more than once.
    void Cleanup();

    // Slots the collision scans and the camera may look at: numActive, never
    // more than the slots that exist.
    int SlotsInPlay() const;
    HerdCounts Count() const;

    std::unique_ptr<DOGTEMPLATE[]> templates;
    FRUSTUM frustum;
    CAMERA camera;
    std::unique_ptr<ONEDOG[]> dogs;
    // Creature slots in play (a count, not a highest index) and in all.
    int32_t numActive = 0;
    int32_t maxDogs = 0;
    std::unique_ptr<Texture[]> skins;
    int32_t numSkins = 0;
    // Owned by the scene; written before Setup.
    uint32_t footprintTexture = 0;
    uint32_t sparkTexture = 0;
    float dogSize = 1.0f;
    std::unique_ptr<FOOTPRINT[]> footprints;
    int32_t numFootprints = 1000;
    int32_t footprintWrite = 0;
    // Runs 5 x maxDogs slots ahead of footprintWrite: the print it points at
    // starts to fade when the next one is laid.
    int32_t footprintFade = 5;
    // x: half-width, z: half-depth of the ground; y unused.
    VECTOR3D bounds{0, 0, 0};
    bool boundsKnown = false;
    std::unique_ptr<SPARKCLASS[]> sparks;
    HerdLog log;
    // World spheres whose pixels may have changed since the last frame:
    // footprints laid, fading or overwritten and sparks alive this frame or
    // the last. Grown by Move and AdvanceEffects; the scene empties it every
    // frame.
    std::vector<WorldSphere> changed;
    // More changes came than changed holds (kMostChanges); then they are
    // most of the view anyway.
    bool changesOverflowed = false;
    static constexpr int kMostChanges = 8192;
    // The creatures drawn this frame and the last, with the slot of each in
    // drawnSlots; sized in Setup.
    std::vector<WorldSphere> drawnNow;
    std::vector<WorldSphere> drawnLast;
    std::vector<int32_t> drawnSlots;
    // Footprints and sparks are drawn from this one array, filled each frame:
    // texture s, t, colour r, g, b, a and position x, y, z per corner. Sized
    // in Setup for the larger of the two.
    std::vector<float> effectVertices;
    // Every creature is posed into this one buffer just before it is drawn
    // from it: one buffer stays in cache where one per creature, in a large
    // herd, would not. A copy of the template creature's, set up with it.
    std::vector<MODELVERTEX> skinBuffer;
    // Why the last Setup failed, in the loaders' own words where they gave
    // any; empty after a success.
    std::string failure;

private:
    // One step of every slot, and of the report's clock.
    void MoveCreatures(double dt);
    // Releases the arrays in teardown order; keeps the scene's texture names.
    void ReleaseArrays();
    bool BuildTemplate(const char* packPath);
    // Sets failure and returns false.
    bool Refuse(const std::string& why);
    bool BuildSlots();
    // Slot i's coat when the herd is set up.
    int StartingSkin(int slot) const;
    // Sets a creature's coat; the index wraps when the pack has fewer coats.
    void Dress(ONEDOG& dog, int skin) const;
    int FreeSlot() const;
    int UnseenSlot() const;
    bool InView(const ONEDOG& dog) const;
    // Quads effectVertices has room for (none in a herd never set up).
    int EffectQuadsRoom() const;
    // Draws the first quads of effectVertices as textured, coloured quads.
    void DrawEffectQuads(int quads) const;
    // Fills effectVertices with the live footprints or sparks; returns the quads.
    int FillFootPrints();
    int FillSparks();
    void DrawFootPrintQuads(int quads);
    void DrawSparkQuads(int quads);
    WorldSphere PrintSphere(const FOOTPRINT& print) const;
    void NoteChange(const WorldSphere& s);
};
