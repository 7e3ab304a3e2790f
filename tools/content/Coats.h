// Coats: the creature's skins, painted procedurally on the regions of
// CoatLayout.h. Every coat is a set of colours plus one pattern.
#pragma once

#include "Canvas.h"

#include <cstdint>
#include <vector>

enum class CoatPattern { Plain, Spots, Patches, Brindle, Merle };

struct CoatStyle {
    const char* name;
    int base;          // main fur colour
    int belly;         // underside, chest and throat
    float bellyAmount; // 0 none .. 1 full
    int saddle;        // darker back
    float saddleAmount;
    int points;        // ears, muzzle, tail tip and paws
    float pointsAmount;
    CoatPattern pattern;
    int patternColour;
    uint32_t seed;
};

// The shipped coats, in lump order (coat k goes into lump k + 1).
const std::vector<CoatStyle>& CoatStyles();

Canvas PaintCoat(const CoatStyle& style);
