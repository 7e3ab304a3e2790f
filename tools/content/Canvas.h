// Canvas: an RGBA picture in memory with the few drawing operations the
// content generator needs (soft shapes, blending, deterministic noise).
//
// Rows are stored top row first, as a person looks at the picture; the file
// writers turn them into whatever order their format wants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Colour {
    float r, g, b, a;
};

inline Colour Rgb(int hex, float a = 1.0f)
{
    return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, a};
}

Colour Mix(Colour a, Colour b, float t);

class Canvas {
public:
    Canvas(int width, int height, Colour fill = {0, 0, 0, 0});

    int width() const { return width_; }
    int height() const { return height_; }
    Colour& At(int x, int y) { return pixels_[size_t(y) * width_ + x]; }
    const Colour& At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }

    // Paints colour over the pixel with the given coverage (0..1), "over" blending.
    void Blend(int x, int y, Colour c, float coverage);
    // A filled ellipse with a soft edge `feather` pixels wide.
    void Ellipse(float cx, float cy, float rx, float ry, Colour c, float feather = 1.0f);
    // A filled rectangle with rounded corners and a soft edge.
    void RoundedRect(float x0, float y0, float x1, float y1, float radius, Colour c, float feather = 1.0f);
    // A vertical gradient inside the shape already drawn: recolours, keeps alpha.
    void VerticalGradient(Colour top, Colour bottom);

    // 8-bit RGBA, top row first.
    std::vector<unsigned char> Rgba8() const;

private:
    int width_, height_;
    std::vector<Colour> pixels_;
};

// Smooth value noise in [0, 1], the same for the same arguments on every run.
// With a period, it repeats every `period` units in x and y (every `periodY`
// in y when that is given).
float ValueNoise(float x, float y, uint32_t seed, int period = 0, int periodY = -1);
// Sum of octaves of ValueNoise, in [0, 1]; the period is the first octave's.
float FractalNoise(float x, float y, uint32_t seed, int octaves, int period = 0);
float SmoothStep(float edge0, float edge1, float x);

// A small deterministic generator, so generated content never depends on the
// C library's rand().
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    uint32_t Next();
    // Uniform in [lo, hi).
    float Range(float lo, float hi);

private:
    uint32_t state_;
};
