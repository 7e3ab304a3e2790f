// DogTables: the animation rows, idle openers and foot joints of the creature.
#include "creatures/DogTables.h"

#include "model/MilkshapeModel.h"

#include <algorithm>

// One animation a line, as they are read against the model's frames.
// clang-format off
const DOGANIMATION dogAnims[NUM_DOG_ANIMS] = {
    {2, 18, true, true, -1},     // slow stride
    {24, 40, true, true, -1},    // fast stride
    {50, 58, true, true, -1},    // idle
    {60, 64, false, true, 4},    // opens a sequence
    {64, 72, true, false, 5},    // its middle
    {72, 76, false, false, -1},  // closes it
    {80, 85, false, true, 7},    // opens a sequence
    {85, 109, true, false, 8},   // its middle
    {109, 114, false, false, -1}, // closes it
    {115, 125, true, true, -1},
    {130, 145, true, true, -1},
    {150, 180, false, true, -1},
    {184, 192, true, true, -1},
};
// clang-format on

const int32_t dsAnims[NUM_DS_ANIMS] = {2, 3, 6, 9, 10, 11, 12};

const int32_t dogFeet[NUM_DOG_FEET] = {12, 16, 25, 26};

std::string CreatureModelProblem(const MS3D& model)
{
    const int neededJoints = *std::max_element(dogFeet, dogFeet + NUM_DOG_FEET) + 1;
    if (model.numJoints < neededJoints) {
        std::string feet;
        for (int f = 0; f < NUM_DOG_FEET; f++)
            feet += (f == 0 ? "" : f + 1 == NUM_DOG_FEET ? " and " : ", ") + std::to_string(dogFeet[f]);
        return "the model has " + std::to_string(model.numJoints) + " joints, and the creatures need at least " +
               std::to_string(neededJoints) + " (joint 0 carries the walk; joints " + feet + " are the feet)";
    }
    int lastFrame = 0;
    for (const DOGANIMATION& row : dogAnims)
        lastFrame = std::max(lastFrame, int(row.endFrame));
    if (model.totalFrames < lastFrame)
        return "the model's timeline has " + std::to_string(model.totalFrames) +
               " frames, and the creatures' animations run to frame " + std::to_string(lastFrame);
    return "";
}
