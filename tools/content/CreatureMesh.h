// CreatureMesh: the creature's skin, one closed surface whose vertices each
// follow one joint, with smooth normals and coat texture coordinates.
#pragma once

#include "model/MilkshapeModel.h"

// Fills the vertices, triangles, the single group and the single material of
// the model, in the bind pose.
void BuildCreatureMesh(MS3D* model);
