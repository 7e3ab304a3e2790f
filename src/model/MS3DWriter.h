// MS3DWriter: writes an MS3D's records as a MilkShape 3D binary file, the
// form the creature pack carries and MS3D::LoadFromFStream reads.
//
// The counts written are the sizes of the arrays (the count fields are not
// consulted), so a model built in code needs only its vectors filled. Keys
// are written as they are held, so times must be in seconds and rotations in
// radians: write a model before its skeleton is set up. Version 4 output
// carries the sections real modelling tools add after the joints (comments,
// vertex, joint and model extras), which the loader skips.
#pragma once

#include "model/MilkshapeModel.h"

#include <string>
#include <vector>

struct MS3DWriteOptions {
    // 3 or 4.
    int32_t version = 4;
    // Version 4 only: a model comment, omitted when empty.
    std::string modelComment;
};

// False, with *error saying why, when a count does not fit the format's
// 16 bits or the version is not 3 or 4.
bool WriteMS3D(const MS3D& model, std::vector<unsigned char>* out, std::string* error = nullptr,
               const MS3DWriteOptions& options = MS3DWriteOptions());
