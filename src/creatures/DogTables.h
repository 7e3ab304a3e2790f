// DogTables: the tables that tie the creature code to the creature model:
// the animation rows (frame ranges with their idle rules), the rows that may
// open an idle period, and the foot joints; and the check of a model against
// them, which the herd and larkspur-pack share.
#pragma once

#include <cstdint>
#include <string>

class MS3D;

struct DOGANIMATION {
    int32_t startFrame;
    int32_t endFrame;
    // An idle row plays again with probability 4 in 5 when it ends.
    bool repeat;
    // Started as an idle, the model blends into the first pose.
    bool blendIn;
    // Row that follows when the row ends without repeating; -1 for none.
    int32_t next;
};

enum { NUM_DOG_ANIMS = 13, NUM_DS_ANIMS = 7, NUM_DOG_FEET = 4 };

// Row 0 is the slow stride, row 1 the fast one, the rest are idles.
extern const DOGANIMATION dogAnims[NUM_DOG_ANIMS];
// The idle rows that can open an idle period.
extern const int32_t dsAnims[NUM_DS_ANIMS];
// Per creature kind, the joints of its four feet: front left, front right,
// hind left, hind right.
extern const int32_t dogFeet[NUM_DOG_FEET];

// Why a loaded model cannot be the creature; empty when it can. The herd
// needs joint 0 (it carries the walk) and the foot joints, and a timeline
// that reaches the last frame of the animation rows.
std::string CreatureModelProblem(const MS3D& model);
