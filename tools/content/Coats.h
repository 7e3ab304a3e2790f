// Coats: the creature's skins, painted procedurally on the regions of
// CoatLayout.h. Every coat is a set of colours plus one pattern.
//
// Each region's colour is a smooth field plus fur detail. Where two regions
// of the layout meet on the creature (neck and skull, flank and leg, rump and
// tail, skull and ear), the smooth field of one eases into the other's along
// the shared edge, so no ring or plate shows where they join.
#pragma once

#include "Canvas.h"

#include <cstdint>
#include <vector>

enum class CoatPattern { Plain, Spots, Patches, Brindle, Merle };

// A colour and how much of it shows where it belongs (0 none .. 1 full).
struct CoatPart {
    int colour = 0;
    float amount = 0;
};

struct CoatStyle {
    const char* name;
    int base;        // main fur colour
    CoatPart belly;  // underside, chest and throat
    CoatPart saddle; // back, from the withers to the rump, and the tail's top
    CoatPart head;   // the skull
    CoatPart ears;
    CoatPart muzzle; // muzzle and cheeks
    CoatPart socks;  // lower legs and the tail's tip
    // A white stripe up the face, 0..1; the broader it is, the further it
    // runs up over the crown, where it shows from above.
    float blaze;
    CoatPattern pattern;
    int patternColour;
    uint32_t seed;
    CoatPart collar;        // a band round the neck, the chest and the withers
    float patternScale = 1; // how large the pattern's spots, patches or stripes are
};

// The shipped coats, in lump order (coat k goes into lump k + 1). The herd
// chooses among exactly these fifteen.
const std::vector<CoatStyle>& CoatStyles();

Canvas PaintCoat(const CoatStyle& style);
