// SceneArt: drawing the scene pack's pictures.
#include "SceneArt.h"

#include "BitmapFont.h"

#include <algorithm>
#include <cmath>

namespace {

const Colour kPlateTop = Rgb(0x4a3a8c, 0.88f);
const Colour kPlateBottom = Rgb(0x221a48, 0.88f);
const Colour kInk = Rgb(0xf2eeff);
const Colour kShadow = Rgb(0x000000, 0.7f);

// A rounded translucent plate over the whole picture with a thin light rim.
Canvas Plate(int w, int h)
{
    Canvas c(w, h);
    c.RoundedRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, 9, Rgb(0xb9a8ff, 0.9f));
    c.RoundedRect(1.5f, 1.5f, w - 1.5f, h - 1.5f, 8, kPlateTop);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (x > 1 && y > 1 && x < w - 2 && y < h - 2) {
                Colour& p = c.At(x, y);
                const Colour g = Mix(kPlateTop, kPlateBottom, float(y) / (h - 1));
                p = {g.r, g.g, g.b, p.a};
            }
    return c;
}

// A flower spike: florets getting smaller towards the tip, on a green stem.
void FlowerSpike(Canvas& c, float x, float baseY, float height)
{
    const Colour stem = Rgb(0x3f7a3a);
    for (float y = baseY - height; y <= baseY; y += 0.5f)
        c.Ellipse(x, y, 0.9f, 0.9f, stem, 0.8f);
    const int florets = 6;
    for (int i = 0; i < florets; i++) {
        const float t = float(i) / (florets - 1);
        const float y = baseY - height * (0.25f + 0.7f * t);
        const float r = height * (0.11f - 0.05f * t);
        const float side = (i % 2 ? 1.0f : -1.0f) * r * 0.6f;
        c.Ellipse(x + side, y, r, r * 0.9f, Rgb(0x6f5bd6), 1.0f);
        c.Ellipse(x + side - r * 0.25f, y - r * 0.25f, r * 0.45f, r * 0.4f, Rgb(0xb3a6ff), 1.0f);
    }
}

} // namespace

Canvas MakeBadge()
{
    Canvas c = Plate(256, 32);
    FlowerSpike(c, 20, 28, 24);
    const int scale = 3;
    const std::string name = "LARKSPUR";
    const int x = 38 + (256 - 38 - TextWidth(name, scale)) / 2;
    DrawText(c, name, x, (32 - GLYPH_H * scale) / 2, scale, kInk, kShadow);
    return c;
}

Canvas MakeCaption(const std::string& text)
{
    Canvas c = Plate(512, 32);
    const int scale = TextWidth(text, 3) <= 480 ? 3 : 2;
    DrawText(c, text, (512 - TextWidth(text, scale)) / 2, (32 - GLYPH_H * scale) / 2, scale, kInk, kShadow);
    return c;
}

Canvas MakeFootprint()
{
    Canvas c(64, 64, {0, 0, 0, 0});
    const Colour ink = {0, 0, 0, 1};
    // The main pad: a rounded triangle made of three overlapping ellipses.
    c.Ellipse(32, 44, 13, 10, ink, 2.5f);
    c.Ellipse(25, 47, 8, 8, ink, 2.5f);
    c.Ellipse(39, 47, 8, 8, ink, 2.5f);
    // Four toes fanned above it; the outer ones sit lower.
    c.Ellipse(14, 30, 5.5f, 7, ink, 2.0f);
    c.Ellipse(25, 19, 5.5f, 7.5f, ink, 2.0f);
    c.Ellipse(39, 19, 5.5f, 7.5f, ink, 2.0f);
    c.Ellipse(50, 30, 5.5f, 7, ink, 2.0f);
    return c;
}

Canvas MakeSpark()
{
    // Sparks are drawn additively, each weighted by its own alpha, which the
    // program takes from the brightness: a texel adds the square of its
    // value. A burst starts with a hundred or more of them on one spot, and
    // everything brighter than a tenth saturates in that pile; a moment
    // later they are spread over a few pixels, where what adds up is each
    // spark's whole light. So a tiny core, a step under full, gives each
    // spark its point of light without burning the pile white over a wide
    // disc, and a faint wide halo, low enough that two hundred of them over
    // the lit ground stay short of white, falling ever more slowly outwards,
    // lets the pile brighten gradually over most of its radius towards a
    // small white centre. It reaches nothing well inside the picture, so no
    // quad's edge ever shows.
    Canvas c(64, 64, {0, 0, 0, 1});
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            const float dx = (x + 0.5f - 32) / 30, dy = (y + 0.5f - 32) / 30;
            const float d = std::sqrt(dx * dx + dy * dy), core = d / 0.05f, halo = d / 0.6f;
            const float v = SmoothStep(0.95f, 0.8f, d) * (0.6f * std::exp(-core * core) + 0.05f / (1 + halo * halo));
            c.At(x, y) = {v, v, v, 1};
        }
    return c;
}

Canvas MakeFlowerIcon(int size, Colour ground)
{
    Canvas c(size, size, ground);
    FlowerSpike(c, size * 0.5f, size * 0.92f, size * 0.84f);
    return c;
}

Canvas MakeMeadow(int size)
{
    Canvas c(size, size);
    const Colour lush = Rgb(0x7ea24c), deep = Rgb(0x5f8a3c), dry = Rgb(0xb0ad62), tips = Rgb(0xc4d27e);
    const float n = float(size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            const float u = x / n * 4, v = y / n * 4;
            // Broad drifts of deeper and drier grass, a few to a tile.
            const float drift = FractalNoise(u, v, 31, 4, 4);
            const float dryness = SmoothStep(0.55f, 0.75f, FractalNoise(u + 1.7f, v + 0.4f, 37, 3, 4));
            Colour g = Mix(deep, lush, SmoothStep(0.3f, 0.7f, drift));
            g = Mix(g, dry, 0.45f * dryness);
            // Blades: short streaks running up the picture, their tips lit.
            const float blade = ValueNoise(x / 2.0f, y / 8.0f, 41, size / 2, size / 8);
            const float fine = FractalNoise(x / 4.0f, y / 4.0f, 43, 2, size / 4);
            const float lit = SmoothStep(0.6f, 0.95f, blade) * 0.22f;
            g = Mix(g, tips, lit);
            const float shade = 0.9f + 0.16f * fine;
            c.At(x, y) = {std::min(1.0f, g.r * shade), std::min(1.0f, g.g * shade), std::min(1.0f, g.b * shade), 1};
        }
    // Small flowers, sparse, one chance in a cell; drawn again one tile over
    // where they cross an edge, so the tiling hides its seams.
    const Colour petals[3] = {Rgb(0xf4f1e6), Rgb(0xf2d65a), Rgb(0xb9a6e8)};
    const int cell = 32;
    for (int cy = 0; cy < size / cell; cy++)
        for (int cx = 0; cx < size / cell; cx++) {
            Random rng(uint32_t(cy * 977 + cx) * 2654435761u + 5u);
            if (rng.Range(0, 1) > 0.3f)
                continue;
            const float fx = (cx + rng.Range(0.15f, 0.85f)) * cell, fy = (cy + rng.Range(0.15f, 0.85f)) * cell;
            const Colour petal = petals[rng.Next() % 3];
            const float r = rng.Range(1.3f, 2.3f);
            for (int oy = -1; oy <= 1; oy++)
                for (int ox = -1; ox <= 1; ox++) {
                    const float px = fx + ox * n, py = fy + oy * n;
                    if (px < -8 || py < -8 || px > n + 8 || py > n + 8)
                        continue;
                    c.Ellipse(px, py, r, r, petal, 0.8f);
                    c.Ellipse(px, py, r * 0.35f, r * 0.35f, Rgb(0xe0a43a), 0.6f);
                }
        }
    return c;
}
