// CreaturePack: assembles "b.oak": the creature model in lump 0 and its coats
// in lumps 1 to 16.
#pragma once

#include "model/MilkshapeModel.h"
#include "resources/PackWriter.h"

// The creature in its bind pose with every joint keyed, as written to the pack.
MS3D BuildCreature();

// Throws std::runtime_error if the model does not fit the file format.
PackWriter BuildCreaturePack();
