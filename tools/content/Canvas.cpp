// Canvas: soft shapes, blending and noise for generated pictures.
#include "Canvas.h"

#include <algorithm>
#include <cmath>

Colour Mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill)
{
}

void Canvas::Blend(int x, int y, Colour c, float coverage)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (a <= 0)
        return;
    Colour& d = At(x, y);
    const float outA = a + d.a * (1 - a);
    if (outA <= 0)
        return;
    d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
    d.a = outA;
}

void Canvas::Ellipse(float cx, float cy, float rx, float ry, Colour c, float feather)
{
    const int x0 = int(std::floor(cx - rx - feather)), x1 = int(std::ceil(cx + rx + feather));
    const int y0 = int(std::floor(cy - ry - feather)), y1 = int(std::ceil(cy + ry + feather));
    const float r = std::min(rx, ry);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            // Distance from the edge in pixels, approximately.
            const float edge = (1.0f - std::sqrt(dx * dx + dy * dy)) * r;
            Blend(x, y, c, std::clamp(edge / feather + 0.5f, 0.0f, 1.0f));
        }
}

void Canvas::RoundedRect(float x0, float y0, float x1, float y1, float radius, Colour c, float feather)
{
    for (int y = int(y0) - 1; y <= int(y1) + 1; y++)
        for (int x = int(x0) - 1; x <= int(x1) + 1; x++) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float qx = std::max({x0 + radius - px, px - (x1 - radius), 0.0f});
            const float qy = std::max({y0 + radius - py, py - (y1 - radius), 0.0f});
            const float edge = radius - std::sqrt(qx * qx + qy * qy);
            const float inside =
                std::min({edge, px - x0 + radius, x1 - px + radius, py - y0 + radius, y1 - py + radius});
            Blend(x, y, c, std::clamp(inside / feather + 0.5f, 0.0f, 1.0f));
        }
}

void Canvas::VerticalGradient(Colour top, Colour bottom)
{
    for (int y = 0; y < height_; y++) {
        const Colour c = Mix(top, bottom, height_ > 1 ? float(y) / (height_ - 1) : 0.0f);
        for (int x = 0; x < width_; x++) {
            Colour& d = At(x, y);
            d = {c.r, c.g, c.b, d.a};
        }
    }
}

std::vector<unsigned char> Canvas::Rgba8() const
{
    std::vector<unsigned char> out;
    out.reserve(pixels_.size() * 4);
    auto byte = [](float v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (const Colour& c : pixels_) {
        out.push_back(byte(c.r));
        out.push_back(byte(c.g));
        out.push_back(byte(c.b));
        out.push_back(byte(c.a));
    }
    return out;
}

namespace {

uint32_t Hash(int x, int y, uint32_t seed)
{
    uint32_t h = seed ^ (uint32_t(x) * 0x27d4eb2du) ^ (uint32_t(y) * 0x165667b1u);
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

float Lattice(int x, int y, uint32_t seed)
{
    return (Hash(x, y, seed) & 0xffffff) / float(0xffffff);
}

} // namespace

float SmoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

float ValueNoise(float x, float y, uint32_t seed, int period, int periodY)
{
    const float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    const float tx = SmoothStep(0, 1, x - fx), ty = SmoothStep(0, 1, y - fy);
    // A lattice that repeats makes a picture that tiles without a seam.
    auto wrap = [](int i, int p) { return p > 0 ? ((i % p) + p) % p : i; };
    if (periodY < 0)
        periodY = period;
    const int ix1 = wrap(ix + 1, period), iy1 = wrap(iy + 1, periodY);
    ix = wrap(ix, period);
    iy = wrap(iy, periodY);
    const float a = Lattice(ix, iy, seed), b = Lattice(ix1, iy, seed);
    const float c = Lattice(ix, iy1, seed), d = Lattice(ix1, iy1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

float FractalNoise(float x, float y, uint32_t seed, int octaves, int period)
{
    float sum = 0, weight = 1, total = 0;
    for (int o = 0; o < octaves; o++) {
        sum += ValueNoise(x, y, seed + uint32_t(o) * 101u, period) * weight;
        total += weight;
        weight *= 0.5f;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / total;
}

uint32_t Random::Next()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

float Random::Range(float lo, float hi)
{
    return lo + (hi - lo) * ((Next() & 0xffffff) / float(0x1000000));
}
