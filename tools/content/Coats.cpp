// Coats: the coat table and the painter.
#include "Coats.h"

#include "CoatLayout.h"

#include <algorithm>
#include <cmath>

const std::vector<CoatStyle>& CoatStyles()
{
    using P = CoatPattern;
    // Each differs from every other in what shows from above at a glance:
    // the colour and lightness of its back, the colour of its head, a collar
    // or a blaze over the crown, or a bold pattern, so that no two are
    // mistaken from the height of the home view.
    static const std::vector<CoatStyle> styles = {
        // Deep yellow gold all over.
        {"golden",
         0xdea84c,
         {0xf6e6c0, 0.7f},
         {0xd09840, 0.25f},
         {},
         {0xc8923e, 0.5f},
         {0xf0d8a0, 0.35f},
         {0xecd09a, 0.2f},
         0,
         P::Plain,
         0,
         1,
         {},
         1.0f},
        // Tan with a black saddle over the back and the tail.
        {"black and tan",
         0xc07a3c,
         {0xd49a5c, 0.5f},
         {0x1e1a19, 1.0f},
         {},
         {},
         {0xd08a48, 0.5f},
         {},
         0,
         P::Plain,
         0,
         2,
         {},
         1.0f},
        // A warm red-brown liver, so that from above it does not read as
        // black; a white blaze over the crown that runs on into a white ruff
        // round the neck, and a white tail tip.
        {"chocolate",
         0x94482a,
         {0xf2eee6, 0.9f},
         {0x843e22, 0.35f},
         {},
         {0x5e2c1a, 0.6f},
         {0xa25a3a, 0.3f},
         {0xf2eee6, 0.9f},
         1.0f,
         P::Plain,
         0,
         3,
         {0xf2eee6, 0.8f},
         1.0f},
        // Warm cream all over.
        {"cream",
         0xf2d6a6,
         {0xfaf4e8, 0.6f},
         {0xeccc9c, 0.25f},
         {},
         {0xdcb080, 0.7f},
         {0xf6ecd8, 0.4f},
         {},
         0,
         P::Plain,
         0,
         4,
         {},
         1.0f},
        // White, peppered with small black spots that read grey from above.
        {"spotted white",
         0xf5f3ee,
         {0xf8f6f2, 0.4f},
         {},
         {},
         {0x161616, 0.9f},
         {},
         {},
         0,
         P::Spots,
         0x161616,
         5,
         {},
         0.7f},
        // Bands of broken dark brown streaks over a muted fawn.
        {"brindle",
         0xb68e60,
         {0xd0b08c, 0.3f},
         {},
         {},
         {0x1e1510, 0.7f},
         {0x1e1510, 0.6f},
         {},
         0,
         P::Brindle,
         0x35210f,
         6,
         {},
         1.0f},
        // Red tan with a black head and ears.
        {"tan, black head",
         0xc8823c,
         {0xe0b47c, 0.5f},
         {},
         {0x1a1616, 0.95f},
         {0x1e1918, 0.95f},
         {0x1e1918, 0.7f},
         {},
         0,
         P::Plain,
         0,
         7,
         {},
         1.0f},
        // A dark slate grey with a cool cast all over, lighter than the black
        // and well darker than the merle.
        {"blue grey",
         0x4e5a6e,
         {0xc0c4cc, 0.6f},
         {0x465266, 0.4f},
         {},
         {0x4a5260, 0.5f},
         {0x8c96a2, 0.2f},
         {},
         0,
         P::Plain,
         0,
         8,
         {},
         1.0f},
        // White with a black head and big black patches, one over the shoulders.
        {"black head",
         0xf2efe8,
         {0xf7f5f0, 0.3f},
         {},
         {0x1a1818, 1.0f},
         {0x1a1818, 1.0f},
         {0x1a1818, 0.6f},
         {},
         0.5f,
         P::Patches,
         0x1a1818,
         19,
         {},
         1.8f},
        // White with a red head and big red patches, one over the back.
        {"patched",
         0xf2eee6,
         {0xf7f4ee, 0.3f},
         {},
         {0xa44a1c, 0.9f},
         {0xa44a1c, 0.9f},
         {},
         {},
         0.5f,
         P::Patches,
         0xa44a1c,
         58,
         {},
         1.8f},
        // Deep dark red all over, well darker than the fox red.
        {"mahogany",
         0x88220c,
         {0xc87048, 0.4f},
         {0x741e0a, 0.3f},
         {},
         {0x70220c, 0.5f},
         {0xb85434, 0.3f},
         {},
         0,
         P::Plain,
         0,
         11,
         {},
         1.0f},
        // Black with a broad white collar over the withers, a broad blaze
        // over the crown and a white tail tip; from above the front half
        // white behind black ears, the back black.
        {"tuxedo",
         0x1c1a1a,
         {0xf2efe8, 1.0f},
         {},
         {},
         {},
         {0xf2efe8, 0.9f},
         {0xf2efe8, 1.0f},
         0.9f,
         P::Plain,
         0,
         12,
         {0xf2efe8, 1.0f},
         1.0f},
        // Silver grey with a faint blue cast, torn by black and dark grey
        // blotches and marbled grey, with merled ears and a white blaze up
        // over the crown. Where its blotches fall decides how it looks from
        // above; this seed keeps a light rump and a dark back, apart from
        // the spotted white and the blue grey.
        {"merle", 0xc4d0e8, {0xe8eef6, 0.5f}, {}, {}, {0x6a7284, 0.5f}, {}, {}, 0.6f, P::Merle, 0x1a1e2a, 71, {}, 1.5f},
        // Orange red with white underneath, a pale muzzle, a white blaze up
        // the face and a white tail tip. Its crown stays red, so from above
        // it is a red dog from nose to tail, apart from the white-headed
        // liver, and far lighter than the mahogany.
        {"fox red",
         0xcc5c26,
         {0xf6ece0, 0.9f},
         {},
         {},
         {0xb85a20, 0.4f},
         {0xf2e8dc, 0.6f},
         {0xf2e8dc, 1.0f},
         0.5f,
         P::Plain,
         0,
         14,
         {},
         1.0f},
        // Black all over but for a greying muzzle, so up close the eyes,
        // nose and mouth stand out against it; from above it stays black.
        {"black",
         0x1d1b1b,
         {0x2b2726, 0.5f},
         {0x151313, 0.3f},
         {},
         {},
         {0x7a7470, 0.5f},
         {},
         0,
         P::Plain,
         0,
         15,
         {},
         1.0f},
    };
    return styles;
}

namespace {

struct Region {
    enum Kind { Torso, Leg, Head, Ear, Tail, Nose, Mouth, Eye, Tongue } kind;
    float across, down; // 0..1 inside the region
    int column = 0;     // which leg
};

bool Inside(const CoatRect& r, int x, int y)
{
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

Region Locate(int x, int y)
{
    auto local = [&](const CoatRect& r, Region::Kind k, int cols) {
        const float colW = float(r.w) / cols;
        const float inCol = std::fmod(float(x - r.x) + 0.5f, colW) / colW;
        return Region{k, inCol, (y - r.y + 0.5f) / r.h, int(float(x - r.x) / colW)};
    };
    const struct {
        const CoatRect& rect;
        Region::Kind kind;
        int columns;
    } regions[] = {{kCoatTorso, Region::Torso, 1}, {kCoatLegs, Region::Leg, 4},     {kCoatHead, Region::Head, 1},
                   {kCoatEars, Region::Ear, 1},    {kCoatTail, Region::Tail, 1},    {kCoatMouth, Region::Mouth, 1},
                   {kCoatEye, Region::Eye, 1},     {kCoatTongue, Region::Tongue, 1}};
    for (const auto& r : regions)
        if (Inside(r.rect, x, y))
            return local(r.rect, r.kind, r.columns);
    if (Inside(kCoatNose, x, y) || y <= 0)
        return local(kCoatNose, Region::Nose, 1);
    // Texels no part uses carry on the region above them (below the ears
    // and the tail), so that when the picture is shrunk for a dog far off
    // the ear's and the tail's edges are not darkened by the nose's colour.
    return Locate(x, y - 1);
}

// Texel coordinates of a point of a region, for the pattern's noise.
void TexelOf(const CoatRect& r, float across, float down, float* x, float* y)
{
    *x = r.x + across * (r.w - 1);
    *y = r.y + down * (r.h - 1);
}

Colour With(Colour c, const CoatPart& part, float weight)
{
    return part.amount > 0 ? Mix(c, Rgb(part.colour), part.amount * std::clamp(weight, 0.0f, 1.0f)) : c;
}

// Both flanks wear the same picture, so a marking whose edge runs along
// near the spine shows from above as a mirrored pair, a butterfly. There a
// few rounded blotches straddle the spine instead, with ragged edges: about
// one in every `cell` texels along it, a `skip` share of them left out, each
// reaching `shortest`..`longest` texels forward and back from its middle.
// `y` runs down from the spine.
struct SpineMarks {
    float cell, skip, shortest, longest;
};

float SpineBlotches(const CoatStyle& s, const SpineMarks& m, float x, float y, float ragged)
{
    const int cx = int(std::floor(x / m.cell));
    const float edge = 0.3f * (FractalNoise(x / 5.0f, y / 5.0f, s.seed + 37, 2) - 0.5f) + 0.1f * ragged;
    float best = 0.0f;
    for (int ox = -1; ox <= 1; ox++) {
        Random rng(s.seed * 104729u + uint32_t(cx + ox) * 73856093u);
        if (rng.Range(0.0f, 1.0f) < m.skip)
            continue;
        const float centre = (cx + ox + rng.Range(0.25f, 0.75f)) * m.cell, along = rng.Range(m.shortest, m.longest);
        const float across = along * rng.Range(0.45f, 0.7f), off = across * rng.Range(0.0f, 0.6f);
        const float d = std::hypot((x - centre) / along, (y - off) / across);
        best = std::max(best, SmoothStep(1.05f, 0.95f, d + edge));
    }
    return best;
}

float PatternWeight(const CoatStyle& s, Region::Kind kind, float x, float y)
{
    // Edges ragged at the scale of a few hairs, whatever the pattern's size,
    // so markings look like fur up close.
    const float ragged = FractalNoise(x / 2.5f, y / 7.0f, s.seed + 31, 2) - 0.5f;
    x /= s.patternScale;
    y /= s.patternScale;
    switch (s.pattern) {
    case CoatPattern::Spots: {
        // Jittered grid: one round spot per cell, of random size. Spots
        // grow slower than the cells, so small ones crowd and large ones
        // lie apart.
        const float cell = 22.0f, grow = 1 / std::sqrt(s.patternScale);
        const int cx = int(x / cell), cy = int(y / cell);
        float best = 0.0f;
        for (int oy = -1; oy <= 1; oy++)
            for (int ox = -1; ox <= 1; ox++) {
                Random rng(s.seed * 7919u + uint32_t(cx + ox) * 73856093u + uint32_t(cy + oy) * 19349663u);
                const float sx = (cx + ox + rng.Range(0.2f, 0.8f)) * cell,
                            sy = (cy + oy + rng.Range(0.2f, 0.8f)) * cell;
                const float radius = rng.Range(3.5f, 7.5f) * grow;
                const float d = std::hypot(x + 0.5f - sx, y + 0.5f - sy) + 2.0f * ragged / s.patternScale;
                best = std::max(best, SmoothStep(radius + 1.0f, radius - 1.0f, d));
            }
        return best;
    }
    case CoatPattern::Patches: {
        // The noise is warped at a middle scale, so a patch's edge wanders
        // and it runs down the flank in uneven tongues rather than crossing
        // the back between two straight lines.
        const float wx = 26.0f * (FractalNoise(x / 20.0f, y / 14.0f, s.seed + 13, 2) - 0.5f),
                    wy = 18.0f * (FractalNoise(x / 20.0f, y / 14.0f, s.seed + 19, 2) - 0.5f);
        const float patch =
            SmoothStep(0.55f, 0.6f, FractalNoise((x + wx) / 38.0f, (y + wy) / 30.0f, s.seed, 3) + 0.04f * ragged);
        if (kind != Region::Torso)
            return patch;
        // Over the back one patch straddles the spine, or none; those down
        // the flanks stop short of it, so none pinches to a butterfly there.
        return std::max(SpineBlotches(s, {70.0f, 0.3f, 20.0f, 32.0f}, x + 0.3f * wx, y, ragged),
                        patch * SmoothStep(8.0f, 20.0f, y));
    }
    case CoatPattern::Brindle: {
        // Streaks run down the flank, slanting back a little with the ribs.
        // A slow noise warps their phase, so the spacing wanders, and another
        // sets how much of each wave is dark, so they thin, swell and break
        // off along their length. A second, sparser set drifts across the
        // first, splitting a streak in two or running into the next, and here
        // and there they merge into a darker cloud. Over the back they stay
        // broad enough to show from the home view's height.
        const float along = x + 0.3f * y;
        const float phase = along * 0.2f + 22.0f * FractalNoise(along / 70.0f, y / 80.0f, s.seed, 2) + 1.2f * ragged;
        const float width = 0.35f + 1.4f * (FractalNoise(along / 14.0f, y / 24.0f, s.seed + 7, 2) - 0.5f);
        // Strand by strand their edges fray, and the dark is broken by a few
        // lighter hairs, so up close they read as hair rather than paint.
        const float strands = FractalNoise(x / 1.6f, y / 8.0f, s.seed + 5, 2) - 0.5f;
        const float fray = width + 0.9f * strands;
        float streak = SmoothStep(fray - 0.15f, fray + 0.2f, std::sin(phase));
        const float forks = SmoothStep(0.5f, 0.62f, FractalNoise(along / 30.0f, y / 22.0f, s.seed + 11, 2));
        const float phase2 = along * 0.3f + 5.0f * FractalNoise(along / 24.0f, y / 40.0f, s.seed + 13, 2);
        streak = std::max(streak, forks * SmoothStep(0.45f, 0.75f, std::sin(phase2) + 0.6f * strands));
        const float cloud = SmoothStep(0.6f, 0.72f, FractalNoise(x / 36.0f, y / 28.0f, s.seed + 17, 2));
        streak = std::max(streak, 0.6f * cloud * (0.7f + strands));
        const float hair = 0.75f + 0.25f * SmoothStep(-0.3f, 0.2f, -strands);
        float where = kind == Region::Head || kind == Region::Ear ? 0.3f : 1.0f;
        // Low on the flank they fade out before the belly.
        if (kind == Region::Torso)
            where *= SmoothStep(0.85f * (kCoatTorso.h - 1), 0.5f * (kCoatTorso.h - 1), y);
        return 0.9f * where * streak * hair;
    }
    case CoatPattern::Merle: {
        // Blotch edges torn by a finer warp, as a merle's are.
        const float tx = 5.0f * (FractalNoise(x / 4.0f, y / 4.0f, s.seed + 23, 2) - 0.5f);
        // Down the flanks some blotches are black, others only a dark grey;
        // those on the back are black, so they show from above.
        const float depth = 0.7f + 0.3f * SmoothStep(0.45f, 0.55f, ValueNoise(x / 22.0f, y / 22.0f, s.seed + 29));
        float blotch = depth * SmoothStep(0.5f, 0.56f,
                                          FractalNoise((x + tx) / 16.0f, (y - tx) / 16.0f, s.seed, 3) + 0.05f * ragged);
        if (kind == Region::Torso)
            blotch = std::max(SpineBlotches(s, {40.0f, 0.25f, 13.0f, 24.0f}, x + tx, y, ragged),
                              blotch * SmoothStep(14.0f, 30.0f, y));
        // Between the blotches the coat is marbled lighter and darker grey,
        // down the flanks only: over the back it would show mirrored too.
        const float marble = 0.3f * SmoothStep(0.42f, 0.58f, FractalNoise(x / 9.0f, y / 9.0f, s.seed + 61, 3)) *
                             (kind == Region::Torso ? SmoothStep(16.0f, 28.0f, y) : 1.0f);
        return std::max(marble, blotch * (0.85f + 0.15f * ValueNoise(x / 3.0f, y / 3.0f, s.seed + 5)));
    }
    case CoatPattern::Plain:
        break;
    }
    return 0.0f;
}

Colour Patterned(const CoatStyle& s, Colour c, Region::Kind kind, const CoatRect& rect, float across, float down)
{
    if (s.pattern == CoatPattern::Plain)
        return c;
    float x, y;
    TexelOf(rect, across, down, &x, &y);
    return Mix(c, Rgb(s.patternColour), PatternWeight(s, kind, x, y));
}

// A pattern on a piece whose `across` runs once around it (a leg, the tail):
// the pattern one width further on is blended in towards the far edge, so
// the two edges, which meet down the piece, match.
Colour PatternedAround(const CoatStyle& s, Colour c, Region::Kind kind, const CoatRect& rect, float across, float down)
{
    if (s.pattern == CoatPattern::Plain)
        return c;
    float x, y;
    TexelOf(rect, across, down, &x, &y);
    const float here = PatternWeight(s, kind, x, y), before = PatternWeight(s, kind, x - (rect.w - 1), y);
    return Mix(c, Rgb(s.patternColour), here + (before - here) * across);
}

// The body's pattern carried on over the head: the head is laid out as if
// the body's picture went on past the neck by this many texels, so spots and
// stripes cross the join unbroken and keep their size. For this many texels
// on either side of the join the pattern runs straight along, so the two
// sides' texels next to it, which meet on one ring, show the same.
constexpr float kHeadTexels = 90.0f, kNeckBand = 6.0f;
constexpr float kNeckTexel = kCoatTorso.w - 1 - kNeckBand;

// The body's pattern at a texel of its picture (or of the head's, laid out
// as above) this many texels from the neck's join. The head's rows, fewer
// than the body's, meet the body's there, so near the join the pattern is
// softened across the rows and a little fainter, and an edge of a marking
// running along the neck falls alike on both sides.
float NeckPattern(const CoatStyle& s, float x, float y, float texels)
{
    const float here = PatternWeight(s, Region::Torso, x, y);
    const float soft =
        (PatternWeight(s, Region::Torso, x, y - 1.5f) + here + PatternWeight(s, Region::Torso, x, y + 1.5f)) / 3;
    const float near = SmoothStep(kNeckBand + 4, kNeckBand, texels);
    return (here + (soft - here) * near) * (1 - 0.4f * SmoothStep(kNeckBand + 4, 0.0f, texels));
}

// How much of the pattern shows this far down from the spine: all of it over
// the back, the flanks and down the shoulders and thighs, then only a trace
// from the elbows and stifles down round the belly, where the legs' own
// pattern takes over.
float BellyPattern(float d)
{
    return 1 - 0.85f * SmoothStep(0.7f, 0.8f, d);
}

// The collar: round the neck and on back over the withers and the front of
// the chest, broad enough to show from above as a band behind the head. Its
// edge wanders, as white on a dog does, rather than running straight down
// the flank.
float CollarWeight(const CoatStyle& s, float a, float d)
{
    // From above it reaches back over the withers; down the side it slants
    // forward to the front of the chest, clear of the shoulder.
    const float edge = 0.8f + 0.12f * d + 0.12f * (FractalNoise(d * 5.0f, 0.5f, s.seed + 17, 2) - 0.5f);
    // Low on the flank it stays ahead of the forelegs, whose tops would
    // otherwise wear a ring of it above legs of the body's colour.
    const float low = std::max(SmoothStep(0.72f, 0.58f, d), SmoothStep(0.92f, 0.97f, a));
    return SmoothStep(edge - 0.04f, edge + 0.04f, a) * low;
}

// The body's smooth colour, and with `pattern` its markings too.
Colour TorsoColour(const CoatStyle& s, float a, float d, bool pattern)
{
    Colour c = Rgb(s.base);
    c = With(c, s.saddle, SmoothStep(0.5f, 0.22f, d) * SmoothStep(0.0f, 0.14f, a) * SmoothStep(0.98f, 0.82f, a));
    // The throat lightens only underneath, so the neck's shaded side does not
    // read as a grey bib.
    const float bib = 0.7f * SmoothStep(0.86f, 0.99f, a) * SmoothStep(0.5f, 0.85f, d);
    c = With(c, s.belly, std::max(SmoothStep(0.76f, 0.94f, d), bib));
    // A head colour of its own starts up the back of the neck, so the whole
    // skull, ear roots too, wears it.
    c = With(c, s.head, SmoothStep(0.9f, 1.0f, a) * SmoothStep(0.65f, 0.45f, d));
    // The pattern runs on up the neck into the head's, and down over the
    // shoulders and thighs into the legs'.
    if (pattern && s.pattern != CoatPattern::Plain) {
        const float showing = SmoothStep(0.0f, 0.08f, a) * BellyPattern(d);
        float x, y;
        TexelOf(kCoatTorso, a, d, &x, &y);
        c = Mix(c, Rgb(s.patternColour), showing * NeckPattern(s, std::min(x, kNeckTexel), y, kCoatTorso.w - 1 - x));
    }
    return With(c, s.collar, CollarWeight(s, a, d));
}

float HeadPatternWeight(const CoatStyle& s, float a, float d)
{
    const float x = kNeckTexel + std::max(0.0f, a * kHeadTexels - kNeckBand), y = d * (kCoatTorso.h - 1);
    // Stripes that ring the body would ring the muzzle too: over the crown
    // they carry on, on the muzzle they fade to a faint trace. Under the
    // throat the pattern fades as under the belly, and around the ears'
    // roots (which take the skull's plain colour) it gives way, but not
    // along the top of the crown between them, where it shows from above.
    const float face = s.pattern == CoatPattern::Brindle ? 1 - 0.8f * SmoothStep(0.3f, 0.55f, a) : 1.0f;
    const float ears = SmoothStep(0.03f, 0.07f, a) * SmoothStep(0.26f, 0.2f, a) * SmoothStep(0.44f, 0.38f, d) *
                       SmoothStep(0.12f, 0.18f, d);
    return NeckPattern(s, x, y, a * kHeadTexels) * face * BellyPattern(d) * (1 - ears);
}

Colour HeadColour(const CoatStyle& s, float a, float d, bool pattern)
{
    Colour c = Rgb(s.base);
    c = With(c, s.head, SmoothStep(0.9f, 0.7f, a) * std::max(SmoothStep(0.65f, 0.45f, d), SmoothStep(0.0f, 0.2f, a)));
    const float marked = pattern && s.pattern != CoatPattern::Plain ? HeadPatternWeight(s, a, d) : 0.0f;
    c = Mix(c, Rgb(s.patternColour), marked);
    // Muzzle and cheeks, then the throat.
    c = With(c, s.muzzle,
             std::max(SmoothStep(0.56f, 0.7f, a), 0.8f * SmoothStep(0.55f, 0.8f, d) * SmoothStep(0.3f, 0.5f, a)));
    c = With(c, s.belly, SmoothStep(0.78f, 0.95f, d) * SmoothStep(0.75f, 0.45f, a));
    // The blaze: up the middle of the face from the nose to the brow, and
    // when broad, wider and on over the crown.
    const float from = 0.45f - 0.3f * s.blaze, half = 0.1f + 0.1f * s.blaze;
    const float blaze =
        std::min(1.0f, 1.5f * s.blaze) * SmoothStep(half + 0.1f, half, d) * SmoothStep(from - 0.12f, from, a);
    c = Mix(c, Rgb(0xf3f0ea), std::clamp(blaze, 0.0f, 1.0f));
    // The shut mouth: a soft dark line where the lips meet (halfway down the
    // muzzle's side), fading out at its corner.
    const float lips = SmoothStep(0.035f, 0.0f, std::fabs(d - 0.5f)) * SmoothStep(0.6f, 0.7f, a);
    c = Mix(c, Mix(c, Rgb(0x1e1412), 0.75f), lips);
    // Leaving the neck, the head takes the body's smooth colour at the
    // neck's end, and the pattern runs on over both unbroken.
    const Colour neck = Mix(TorsoColour(s, 1.0f, d, false), Rgb(s.patternColour), marked);
    return Mix(neck, c, SmoothStep(0.0f, 0.22f, a));
}

// A leg's column is far narrower round the leg and far shorter down it than
// the leg is on the creature, next to the body's picture. Its pattern is laid
// out at this many of the body's texels round the leg and down its length,
// so spots stay round and stripes keep their width.
constexpr float kLegAroundTexels = 96.0f, kLegDownTexels = 150.0f;

// The pattern on a leg, matching where the two edges of its column meet
// down the leg. Stripes ring the leg instead of running down it.
float LegPatternWeight(const CoatStyle& s, int column, float across, float down)
{
    const float x = (column + across) * kLegAroundTexels, y = kCoatLegs.y + down * kLegDownTexels;
    auto at = [&](float px) {
        return s.pattern == CoatPattern::Brindle ? PatternWeight(s, Region::Leg, y, px)
                                                 : PatternWeight(s, Region::Leg, px, y);
    };
    const float here = at(x), before = at(x - kLegAroundTexels);
    return here + (before - here) * across;
}

// Shoulder and thigh wear the body's coat down to the elbow and stifle, which
// fall this far down a leg's column and, on the body's coat, at these places
// along it and this low on the flank (outside) and underneath (inside).
// Front to back the ring spans this much of the body's length.
constexpr float kLegBodyEnd = 0.42f;
constexpr float kLegRootAcross[4] = {0.86f, 0.86f, 0.27f, 0.27f}, kLegRootSpread[4] = {0.065f, 0.065f, 0.095f, 0.095f};
constexpr float kLegOutsideDown = 0.8f, kLegInsideDown = 0.93f;

Colour LegColour(const CoatStyle& s, const Region& r)
{
    // Around the leg from its front: the outside is a quarter turn on for a
    // left leg, three quarters for a right one.
    const float outside = r.column % 2 == 0 ? 0.25f : 0.75f;
    const float facing = 0.5f + 0.5f * std::cos(2 * 3.14159265f * (r.across - outside));
    const float bodyDown = kLegInsideDown + (kLegOutsideDown - kLegInsideDown) * facing;
    const float bodyAcross =
        kLegRootAcross[r.column & 3] + kLegRootSpread[r.column & 3] * std::cos(2 * 3.14159265f * r.across);
    // Where the leg leaves the body it wears the body's coat, pattern and
    // all; from the elbow and stifle down, its own pattern.
    Colour c = Rgb(s.base);
    if (s.pattern != CoatPattern::Plain) {
        // A patch caught round a slender lower leg would ring it like a
        // bracelet, so patches die out above the pastern and the hock.
        const float reach = s.pattern == CoatPattern::Patches ? SmoothStep(0.62f, 0.5f, r.down) : 1.0f;
        c = Mix(c, Rgb(s.patternColour), reach * LegPatternWeight(s, r.column, r.across, r.down));
    }
    // On the inside the belly's colour runs on further down, so that a
    // light belly over dark legs and light socks shows no dark band
    // circling the leg.
    const float end = kLegBodyEnd + 0.3f * (1 - facing);
    c = Mix(TorsoColour(s, bodyAcross, bodyDown, true), c, SmoothStep(end, end + 0.2f, r.down));
    // Socks fade upward over a short ragged edge, which wanders round the
    // leg (the noise taken round a circle, so it meets itself), rather than
    // starting at one line.
    const float turn = 2 * 3.14159265f * r.across;
    const float ragged =
        FractalNoise(1.5f * std::cos(turn) + 5.0f * r.column, 1.5f * std::sin(turn) + 9.0f * r.down, s.seed + 41, 2) -
        0.5f;
    return With(c, s.socks, SmoothStep(0.6f, 0.74f, r.down + 0.14f * ragged));
}

Colour EarColour(const CoatStyle& s, const Region& r)
{
    Colour c = Patterned(s, Rgb(s.base), Region::Ear, kCoatEars, r.across, r.down);
    c = With(c, s.head, 1.0f);
    c = With(c, s.ears, 1.0f);
    // The ear's root wears the skull's coat; from there it turns to its own.
    return Mix(HeadColour(s, 0.12f, 0.2f, false), c, SmoothStep(0.3f, 0.55f, r.down));
}

Colour TailColour(const CoatStyle& s, const Region& r)
{
    // Around the tail from its top: 0 on top, 1 underneath, as on the body.
    const float under = r.across <= 0.5f ? 2 * r.across : 2 * (1 - r.across);
    // The pattern fades at the tip, where the tail closes to a point.
    Colour c = Mix(PatternedAround(s, Rgb(s.base), Region::Tail, kCoatTail, r.across, r.down), Rgb(s.base),
                   SmoothStep(0.85f, 1.0f, r.down));
    c = With(c, s.saddle, 0.8f * SmoothStep(0.45f, 0.15f, under));
    c = With(c, s.belly, 0.5f * SmoothStep(0.6f, 0.9f, under));
    c = With(c, s.socks, SmoothStep(0.72f, 0.92f, r.down));
    return Mix(TorsoColour(s, 0.0f, under, false), c, SmoothStep(0.05f, 0.3f, r.down));
}

Colour FeatureColour(const Region& r)
{
    switch (r.kind) {
    case Region::Eye: {
        // Warm brown round a dark pupil at the front, with a clear catch of
        // the sky's light high on the outer side (a quarter turn round from
        // the top for the left eye, three quarters for the right).
        const float front = SmoothStep(0.52f, 0.64f, r.down);
        Colour c = Mix(Rgb(0x5a341c), Rgb(0x0a0706), front);
        const float glint = std::max(SmoothStep(0.034f, 0.024f, std::hypot(r.across - 0.38f, r.down - 0.62f)),
                                     SmoothStep(0.034f, 0.024f, std::hypot(r.across - 0.62f, r.down - 0.62f)));
        return Mix(c, Rgb(0xffffff), glint);
    }
    case Region::Nose: {
        const float sheen = SmoothStep(0.2f, 0.02f, std::hypot(r.across - 0.5f, r.down - 0.58f));
        return Mix(Rgb(0x1c1513), Rgb(0x5a4a48), 0.6f * sheen);
    }
    case Region::Mouth:
        return Rgb(0x9a4652);
    default: {
        // The tongue, with a faint groove down its middle.
        const float groove = SmoothStep(0.06f, 0.0f, std::fabs(r.across - 0.5f));
        return Mix(Rgb(0xf2909c), Rgb(0xd06c7a), 0.5f * groove);
    }
    }
}

Colour FurColour(const CoatStyle& s, const Region& r, int x, int y)
{
    Colour c;
    switch (r.kind) {
    case Region::Torso:
        c = TorsoColour(s, r.across, r.down, true);
        break;
    case Region::Leg:
        c = LegColour(s, r);
        break;
    case Region::Head:
        c = HeadColour(s, r.across, r.down, true);
        break;
    case Region::Ear:
        c = EarColour(s, r);
        break;
    case Region::Tail:
        c = TailColour(s, r);
        break;
    default:
        return FeatureColour(r);
    }
    // Fur: streaks a few texels long along the way the hair lies (back along
    // the head, down the body, legs and tail), their tips lighter and warmer.
    // The same on every region, so it runs on across their joins.
    const bool lengthwise = r.kind == Region::Head;
    const float fx = lengthwise ? y * 0.7f : x * 0.7f, fy = lengthwise ? x * 0.14f : y * 0.14f;
    // On a dark coat long even streaks and light tips read as wood grain:
    // there the streaks are broken shorter by a rounder noise and both are
    // fainter.
    const float dark = SmoothStep(0.45f, 0.15f, (c.r + c.g + c.b) / 3);
    const float streaks = FractalNoise(fx, fy, s.seed + 99, 3);
    const float grain = streaks + (FractalNoise(fx * 0.6f, fy * 3.0f, s.seed + 55, 2) - streaks) * 0.5f * dark;
    // Tips too are shorter on a dark coat, and lighter shades of its own
    // colour rather than cream, which on a dark red reads as a varnished
    // board.
    const float tips = SmoothStep(0.55f, 0.85f, FractalNoise(fx * 1.3f, fy * (0.8f + 1.6f * dark), s.seed + 7, 2));
    const Colour sheen = {std::min(1.0f, c.r * 1.4f), std::min(1.0f, c.g * 1.4f), std::min(1.0f, c.b * 1.4f), 1.0f};
    c = Mix(c, Mix(Mix(c, Rgb(0xfff2d8), 0.3f), sheen, dark), tips * 0.45f * (1 - 0.6f * dark));
    const float shade = 0.88f + 0.22f * grain + 0.08f * dark * (0.5f - grain);
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
