// ModelPack: LoadModel, the loader of a creature pack: lump 0 is the model in
// MilkShape 3D form, every later lump a coat (TGA or JPEG) for the creatures.
//
// The coats are uploaded, so a current OpenGL context is needed whenever the
// pack holds any.
#pragma once

#include "model/MilkshapeModel.h"
#include "resources/Texture.h"

#include <string>

// Reads lump 0 into *model (bounded by the lump's size) and lumps 1 onward
// into a new array of count - 1 textures, texture i from lump i + 1. The
// array and its count are handed over as soon as they exist, so after a
// failing coat the caller owns, and must delete[], what was built so far.
// When why is given, a failure is told there in the loader's own words (the
// pack's, the model's or the coat decoder's), and no decoder alert is shown.
bool LoadModel(const char* path, MS3D* model, Texture** textures, int* count, std::string* why = nullptr);
