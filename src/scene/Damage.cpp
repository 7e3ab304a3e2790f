// Damage: projecting bounds to the screen, and merging rectangles.
#include "scene/Damage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Pixels added around every projected bound: rasterisation rounds to pixel
// centres and texture filtering reaches half a texel beyond an edge.
constexpr int kMargin = 2;
// Damage covering more than this share of the view repaints it whole: the
// passes would save little and each costs the scene's geometry once more.
constexpr double kMostOfTheView = 0.6;
// A point this near the eye plane (clip w) or behind it has no window place.
constexpr double kNearestW = 1e-6;

int64_t Area(const ViewRect& r)
{
    return int64_t(r.width) * int64_t(r.height);
}

} // namespace

bool Overlap(const ViewRect& a, const ViewRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

ViewRect Union(const ViewRect& a, const ViewRect& b)
{
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return ViewRect{x0, y0, x1 - x0, y1 - y0};
}

void Damage::Start(int width, int height)
{
    width_ = width;
    height_ = height;
    whole_ = false;
    rects_.clear();
}

void Damage::SetMatrices(const double modelview[16], const double projection[16])
{
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += projection[4 * k + r] * modelview[4 * c + k];
            mvp_[4 * c + r] = sum;
        }
}

void Damage::Add(ViewRect r)
{
    const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const int x1 = std::min(r.x + r.width, width_), y1 = std::min(r.y + r.height, height_);
    if (whole_ || x1 <= x0 || y1 <= y0)
        return;
    const ViewRect clipped{x0, y0, x1 - x0, y1 - y0};
    // Most new bounds overlap one already there (a creature's last and
    // present place), so they are merged at once and the list stays short.
    for (ViewRect& there : rects_)
        if (Overlap(there, clipped)) {
            there = Union(there, clipped);
            return;
        }
    rects_.push_back(clipped);
}

bool Damage::Project(double x, double y, double z, double* wx, double* wy) const
{
    const double* m = mvp_;
    const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
    const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
    const double cw = m[3] * x + m[7] * y + m[11] * z + m[15];
    if (!(cw > kNearestW))
        return false;
    *wx = (cx / cw + 1.0) * 0.5 * width_;
    *wy = (cy / cw + 1.0) * 0.5 * height_;
    return true;
}

bool Damage::SphereRect(const WorldSphere& s, ViewRect* r) const
{
    // The corners of the cube around the sphere bound its projection.
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (int k = 0; k < 8; k++) {
        const double px = double(s.centre.x) + ((k & 1) ? s.radius : -s.radius);
        const double py = double(s.centre.y) + ((k & 2) ? s.radius : -s.radius);
        const double pz = double(s.centre.z) + ((k & 4) ? s.radius : -s.radius);
        double wx = 0, wy = 0;
        if (!Project(px, py, pz, &wx, &wy))
            return false;
        x0 = std::min(x0, wx);
        y0 = std::min(y0, wy);
        x1 = std::max(x1, wx);
        y1 = std::max(y1, wy);
    }
    // Far outside the view the rectangle is simply clipped; the clamp keeps
    // the conversion to int defined.
    const double big = 4.0 * (double(width_) + double(height_)) + 1.0;
    const auto pixel = [big](double v) { return int(std::clamp(v, -big, big)); };
    const int left = pixel(std::floor(x0)) - kMargin, bottom = pixel(std::floor(y0)) - kMargin;
    const int right = pixel(std::ceil(x1)) + kMargin, top = pixel(std::ceil(y1)) + kMargin;
    *r = ViewRect{left, bottom, right - left, top - bottom};
    return true;
}

void Damage::AddSphere(const WorldSphere& s)
{
    if (whole_)
        return;
    ViewRect r;
    if (SphereRect(s, &r))
        Add(r);
    else
        whole_ = true;
}

void Damage::MergeOverlapping()
{
    // A union may reach rectangles that did not overlap its parts.
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < rects_.size() && !merged; i++)
            for (size_t j = i + 1; j < rects_.size() && !merged; j++)
                if (Overlap(rects_[i], rects_[j])) {
                    rects_[i] = Union(rects_[i], rects_[j]);
                    rects_.erase(rects_.begin() + std::ptrdiff_t(j));
                    merged = true;
                }
    }
}

void Damage::MergeCheapestPair()
{
    // The pair whose union repaints the fewest pixels beyond their own.
    size_t bi = 0, bj = 1;
    int64_t best = INT64_MAX;
    for (size_t i = 0; i < rects_.size(); i++)
        for (size_t j = i + 1; j < rects_.size(); j++) {
            const int64_t extra = Area(Union(rects_[i], rects_[j])) - Area(rects_[i]) - Area(rects_[j]);
            if (extra < best) {
                best = extra;
                bi = i;
                bj = j;
            }
        }
    rects_[bi] = Union(rects_[bi], rects_[bj]);
    rects_.erase(rects_.begin() + std::ptrdiff_t(bj));
}

const std::vector<ViewRect>& Damage::Rects()
{
    MergeOverlapping();
    while (!whole_ && rects_.size() > size_t(kMostRects)) {
        MergeCheapestPair();
        MergeOverlapping();
    }
    int64_t covered = 0;
    for (const ViewRect& r : rects_)
        covered += Area(r);
    if (whole_ || double(covered) > kMostOfTheView * double(width_) * double(height_)) {
        whole_ = true;
        rects_.assign(1, ViewRect{0, 0, width_, height_});
    }
    return rects_;
}
