// OneDog: one creature of the herd (ONEDOG): an animated model instance with
// its behaviour states, root-motion travel, steering, idling, neighbour
// handling, growth and the feet that lay footprints.
//
// Limits: a creature is only moved once it is a clone of a template that the
// herd has checked (joint 0 and the foot joints exist); Move and Draw index
// the joints without further checks. Nothing here allocates after CopyFrom.
#pragma once

#include "creatures/DogTables.h"
#include "maths/NiftyMaths.h"
#include "model/ModelMain.h"

#include <cstdint>

class DOGCONTROL;
struct DOGTEMPLATE;

// Behaviour states (ONEDOG::action).
enum {
    DOG_WAITING = -2,
    DOG_EMPTY = -1,
    DOG_PLACED = 0,
    DOG_TRAVELLING = 1,
    DOG_IDLING = 2,
};

class ONEDOG : public ONEMODEL {
public:
    ONEDOG() = default;

    // Makes this an independent instance of the first template's model.
    bool CopyFrom(const DOGTEMPLATE* templates);
    // Places the creature just beyond a random edge of the ground, ready to
    // walk in.
    void Reset(const DOGCONTROL* herd);
    void SetAction(int newAction);
    // One frame: dt in seconds. Only for creatures with action >= 0.
    void Move(double dt, DOGCONTROL* herd);
    // Turns the heading toward steerTarget, the short way round.
    void TurnToTarget(float rate, double dt);
    // Pushes, dodges and breeds with neighbours; false unless travelling.
    bool CheckCollisions(DOGCONTROL* herd, double dt);
    // Poses the skin with the joints of the last Move into skin, a buffer
    // laid out like the template creature's.
    void PoseSkin(std::vector<MODELVERTEX>& skin) const;
    // Where the skeleton's root is now, in the world: the middle of what
    // the creature draws.
    VECTOR3D RootPosition() const;
    // Poses the skin into skin and draws it from there.
    void Draw(std::vector<MODELVERTEX>& skin);

    int32_t action = DOG_EMPTY;
    // position plus the horizontal root displacement of the stride in progress.
    // Beside action, since every neighbour scan reads the two together.
    VECTOR3D currentPos;
    // Row of dogAnims that is playing.
    int32_t anim = 0;
    VECTOR3D target;
    VECTOR3D steerTarget;
    int32_t kind = 0;
    int32_t skin = 0;
    int32_t footDown[NUM_DOG_FEET] = {1, 1, 1, 1};
    // Each foot's offset from position, scaled and in world orientation.
    VECTOR3D footPos[NUM_DOG_FEET];
    float moveSpeed = 1.0f;
    float targetMoveSpeed = 1.0f;
    float turnRate = 0.75f;
    float targetTurnRate = 0.75f;
    // Seconds.
    float retargetTimer = 0;
    // 0.3 at birth, 1.0 grown.
    float scale = 1.0f;
    // Seconds; the creature may breed while it is below 0.
    float breedTimer = 1.0f;

private:
    // Starts a dogAnims row, committing the distance covered so far.
    void StartAnim(int row, bool blend);
    void Travel(double dt, DOGCONTROL* herd);
    void Idle();
    void ChooseTarget(const DOGCONTROL* herd);
    void UpdateFeet(DOGCONTROL* herd);
    // A joint's origin in the model at the creature's size.
    VECTOR3D ScaledJoint(int joint) const;
};

// rand() mod n, drawing rand() even when n is not positive (which gives 0),
// so that degenerate ranges neither divide by zero nor shift later draws.
int RandMod(int n);
