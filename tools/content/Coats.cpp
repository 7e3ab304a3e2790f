// Coats: the coat table and the painter.
#include "Coats.h"

#include "CoatLayout.h"

#include <cmath>

const std::vector<CoatStyle>& CoatStyles()
{
    using P = CoatPattern;
    static const std::vector<CoatStyle> styles = {
        {"golden", 0xc8903e, 0xefd7a6, 0.8f, 0xa8702c, 0.3f, 0xb07a36, 0.0f, P::Plain, 0, 1},
        {"black and tan", 0xb4743c, 0xc98e52, 0.6f, 0x1e1918, 0.95f, 0x1e1918, 0.7f, P::Plain, 0, 2},
        {"chocolate", 0x5b3a29, 0x7a5440, 0.5f, 0x4a2e20, 0.4f, 0x3e2619, 0.3f, P::Plain, 0, 3},
        {"cream", 0xe6d6b4, 0xf6efe0, 0.7f, 0xd9c39a, 0.3f, 0xc49e68, 0.6f, P::Plain, 0, 4},
        {"spotted white", 0xf1eee7, 0xf7f5f0, 0.5f, 0, 0.0f, 0x1b1b1b, 0.2f, P::Spots, 0x1b1b1b, 5},
        {"brindle", 0x9a6a3c, 0xc59a6a, 0.4f, 0, 0.0f, 0x2e1f15, 0.4f, P::Brindle, 0x33231a, 6},
        {"dark points", 0xe3d3b5, 0xf2e9d8, 0.6f, 0xcdb894, 0.3f, 0x3c2a1e, 1.0f, P::Plain, 0, 7},
        {"blue grey", 0x7a828e, 0xbcc1c9, 0.7f, 0x5c636e, 0.4f, 0x4a505a, 0.3f, P::Plain, 0, 8},
        {"patched", 0xf0ece4, 0xf6f3ee, 0.4f, 0, 0.0f, 0x6e4226, 0.6f, P::Patches, 0x7a4a2a, 9},
        {"red", 0xc0602a, 0xf0e4d2, 0.9f, 0xa44e20, 0.3f, 0x2a1c16, 0.8f, P::Plain, 0, 10},
        {"tuxedo", 0x1f1c1c, 0xf0ede6, 1.0f, 0x151313, 0.3f, 0xf0ede6, 0.9f, P::Plain, 0, 11},
        {"merle", 0x9597a0, 0xc9cad0, 0.5f, 0, 0.0f, 0x2a2a30, 0.5f, P::Merle, 0x2c2c33, 12},
        {"sable", 0xb88c50, 0xe8d3aa, 0.8f, 0x3e2c1e, 0.8f, 0x3e2c1e, 0.4f, P::Plain, 0, 13},
        {"tricolour", 0xa8683a, 0xf3efe8, 1.0f, 0x1b1919, 0.9f, 0xf3efe8, 0.8f, P::Plain, 0, 14},
        {"leopard", 0xd6b07a, 0xefe0c4, 0.7f, 0, 0.0f, 0x5a3a1e, 0.3f, P::Spots, 0x4e321a, 15},
        {"slate", 0x4a4f5a, 0xd8d8d8, 0.8f, 0x383c45, 0.4f, 0xd8d8d8, 0.7f, P::Patches, 0x2e323a, 16},
    };
    return styles;
}

namespace {

struct Region {
    enum Kind { Torso, Leg, Head, Ear, Tail, Nose, Mouth } kind;
    float across, down; // 0..1 inside the region
};

bool Inside(const CoatRect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

Region Locate(int x, int y)
{
    auto local = [&](const CoatRect& r, Region::Kind k, int cols) {
        const float colW = float(r.w) / cols;
        const float inCol = std::fmod(float(x - r.x) + 0.5f, colW) / colW;
        return Region{k, inCol, (y - r.y + 0.5f) / r.h};
    };
    if (Inside(kCoatTorso, x, y))
        return local(kCoatTorso, Region::Torso, 1);
    if (Inside(kCoatLegs, x, y))
        return local(kCoatLegs, Region::Leg, 4);
    if (Inside(kCoatHead, x, y))
        return local(kCoatHead, Region::Head, 1);
    if (Inside(kCoatEars, x, y))
        return local(kCoatEars, Region::Ear, 1);
    if (Inside(kCoatTail, x, y))
        return local(kCoatTail, Region::Tail, 1);
    if (Inside(kCoatMouth, x, y))
        return local(kCoatMouth, Region::Mouth, 1);
    return local(kCoatNose, Region::Nose, 1);
}

// How much of the underside colour a spot gets.
float BellyWeight(const Region& r)
{
    switch (r.kind) {
    case Region::Torso:
        // The belly, plus a bib on the chest towards the neck end.
        return std::max(SmoothStep(0.58f, 0.85f, r.down), SmoothStep(0.78f, 0.95f, r.across) * SmoothStep(0.3f, 0.6f, r.down));
    case Region::Head:
        return SmoothStep(0.62f, 0.9f, r.down);
    case Region::Tail:
        return 0.0f;
    default:
        return 0.0f;
    }
}

float SaddleWeight(const Region& r)
{
    switch (r.kind) {
    case Region::Torso:
        return SmoothStep(0.48f, 0.28f, r.down) * SmoothStep(0.02f, 0.15f, r.across) * SmoothStep(0.92f, 0.75f, r.across);
    case Region::Head:
        return 0.5f * SmoothStep(0.4f, 0.15f, r.down) * SmoothStep(0.75f, 0.5f, r.across);
    case Region::Tail:
        return 0.6f * SmoothStep(0.7f, 0.4f, r.down);
    default:
        return 0.0f;
    }
}

float PointsWeight(const Region& r)
{
    switch (r.kind) {
    case Region::Ear:
        return 1.0f;
    case Region::Head:
        return SmoothStep(0.66f, 0.86f, r.across);
    case Region::Leg:
        return SmoothStep(0.72f, 0.9f, r.down);
    case Region::Tail:
        return SmoothStep(0.65f, 0.92f, r.down);
    default:
        return 0.0f;
    }
}

float PatternWeight(const CoatStyle& s, const Region& r, int x, int y)
{
    if (r.kind == Region::Nose || r.kind == Region::Mouth)
        return 0.0f;
    switch (s.pattern) {
    case CoatPattern::Spots: {
        // Jittered grid: one round spot per cell, of random size.
        const float cell = 22.0f;
        const int cx = int(x / cell), cy = int(y / cell);
        float best = 0.0f;
        for (int oy = -1; oy <= 1; oy++)
            for (int ox = -1; ox <= 1; ox++) {
                Random rng(s.seed * 7919u + uint32_t((cx + ox) * 73856093) + uint32_t((cy + oy) * 19349663));
                const float sx = (cx + ox + rng.Range(0.2f, 0.8f)) * cell, sy = (cy + oy + rng.Range(0.2f, 0.8f)) * cell;
                const float radius = rng.Range(2.5f, 6.5f);
                const float d = std::hypot(x + 0.5f - sx, y + 0.5f - sy);
                best = std::max(best, SmoothStep(radius + 1.0f, radius - 1.0f, d));
            }
        return best;
    }
    case CoatPattern::Patches:
        return SmoothStep(0.56f, 0.62f, FractalNoise(x / 38.0f, y / 38.0f, s.seed, 3));
    case CoatPattern::Brindle: {
        // Wavy stripes running around the body and legs.
        const float warp = FractalNoise(x / 20.0f, y / 30.0f, s.seed, 2) * 6.0f;
        const float stripe = std::sin(x * 0.42f + warp);
        const float where = r.kind == Region::Torso || r.kind == Region::Leg || r.kind == Region::Tail ? 1.0f : 0.3f;
        return where * 0.85f * SmoothStep(0.15f, 0.6f, stripe);
    }
    case CoatPattern::Merle: {
        const float blotch = SmoothStep(0.58f, 0.64f, FractalNoise(x / 16.0f, y / 16.0f, s.seed, 3));
        return blotch * (0.75f + 0.25f * ValueNoise(x / 3.0f, y / 3.0f, s.seed + 5));
    }
    case CoatPattern::Plain:
        break;
    }
    return 0.0f;
}

// Darkening where fur folds: where the legs leave the body, under the ears'
// roots and along the line of the lips.
float CreaseWeight(const Region& r)
{
    switch (r.kind) {
    case Region::Leg:
        return SmoothStep(0.22f, 0.0f, r.down);
    case Region::Torso: {
        // The elbow and stifle pits: low on the flank, at the legs' places.
        const float pit = std::max(SmoothStep(0.12f, 0.0f, std::fabs(r.across - 0.22f)),
                                   SmoothStep(0.1f, 0.0f, std::fabs(r.across - 0.86f)));
        return pit * SmoothStep(0.45f, 0.62f, r.down) * SmoothStep(0.85f, 0.7f, r.down);
    }
    case Region::Head:
        return SmoothStep(0.08f, 0.0f, std::fabs(r.down - 0.5f)) * SmoothStep(0.6f, 0.8f, r.across) +
               0.6f * SmoothStep(0.1f, 0.0f, r.across);
    case Region::Ear:
        return 0.5f * SmoothStep(0.25f, 0.0f, r.down);
    default:
        return 0.0f;
    }
}

Colour FurColour(const CoatStyle& s, const Region& r, int x, int y)
{
    if (r.kind == Region::Nose) {
        // The eyes and the nose, with a glint where the light catches them.
        const float glint = SmoothStep(0.1f, 0.03f, std::hypot(r.across - 0.42f, r.down - 0.38f));
        return Mix(Rgb(0x17110f), Rgb(0xd8d4cc), glint);
    }
    if (r.kind == Region::Mouth)
        return Rgb(0x9a4448);
    Colour c = Rgb(s.base);
    if (s.saddleAmount > 0)
        c = Mix(c, Rgb(s.saddle), s.saddleAmount * SaddleWeight(r));
    c = Mix(c, Rgb(s.belly), s.bellyAmount * BellyWeight(r));
    if (s.pattern != CoatPattern::Plain)
        c = Mix(c, Rgb(s.patternColour), PatternWeight(s, r, x, y));
    c = Mix(c, Rgb(s.points), s.pointsAmount * PointsWeight(r));
    // Fur: streaks a few texels long along the way the hair lies (back along
    // the head, down the body, legs and tail), their tips lighter and warmer.
    const bool lengthwise = r.kind == Region::Head;
    const float fx = lengthwise ? y * 0.7f : x * 0.7f, fy = lengthwise ? x * 0.14f : y * 0.14f;
    const float grain = FractalNoise(fx, fy, s.seed + 99, 3);
    const float tips = SmoothStep(0.55f, 0.85f, FractalNoise(fx * 1.3f, fy * 0.8f, s.seed + 7, 2));
    c = Mix(c, Mix(c, Rgb(0xfff2d8), 0.35f), tips * 0.5f);
    const float underside = r.kind == Region::Torso ? SmoothStep(0.6f, 0.95f, r.down) : 0.0f;
    const float shade = (0.84f + 0.26f * grain) * (1.0f - 0.35f * std::min(1.0f, CreaseWeight(r))) * (1.0f + 0.12f * underside);
    return {std::min(1.0f, c.r * shade), std::min(1.0f, c.g * shade), std::min(1.0f, c.b * shade), 1.0f};
}

} // namespace

Canvas PaintCoat(const CoatStyle& style)
{
    Canvas c(COAT_SIZE, COAT_SIZE);
    for (int y = 0; y < COAT_SIZE; y++)
        for (int x = 0; x < COAT_SIZE; x++)
            c.At(x, y) = FurColour(style, Locate(x, y), x, y);
    return c;
}
