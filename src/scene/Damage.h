// Damage: the rectangles of a view whose pixels may differ from the last
// frame's, gathered from the screen bounds of what moved, appeared or went,
// and merged into a few, so that a frame repaints and presents only those.
//
// Rectangles are in the view's pixels, bottom-up as OpenGL counts them, and
// always lie inside the view. Bounds come from world spheres or points under
// the matrices handed to SetMatrices; anything that reaches behind the eye
// damages the whole view. Nothing is allocated once the lists have grown to
// a frame's usual size.
#pragma once

#include "maths/NiftyMaths.h"

#include <vector>

struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ViewRect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

// A world-space sphere that holds everything something drew.
struct WorldSphere {
    VECTOR3D centre;
    float radius = 0;
};

class Damage {
public:
    // Merged rectangles are never more than this many.
    static constexpr int kMostRects = 4;

    // Starts a frame of a width x height view with no damage.
    void Start(int width, int height);
    // The model-view and projection matrices (column-major, as OpenGL keeps
    // them) that the world bounds are seen through.
    void SetMatrices(const double modelview[16], const double projection[16]);
    void AddWhole() { whole_ = true; }
    // Clipped to the view; an empty rectangle adds nothing.
    void Add(ViewRect r);
    void AddSphere(const WorldSphere& s);
    // The screen rectangle the sphere covers; false when it reaches behind
    // the eye, where no rectangle bounds it.
    bool SphereRect(const WorldSphere& s, ViewRect* r) const;
    // Merges what was added into at most kMostRects disjoint rectangles, or
    // the whole view when they would cover most of it. Empty when nothing
    // changed.
    const std::vector<ViewRect>& Rects();
    bool Whole() const { return whole_; }

private:
    // Window x, y of a world point; false behind the eye.
    bool Project(double x, double y, double z, double* wx, double* wy) const;
    void MergeOverlapping();
    void MergeCheapestPair();

    int width_ = 0;
    int height_ = 0;
    bool whole_ = false;
    double mvp_[16] = {};
    std::vector<ViewRect> rects_;
};

// Whether two rectangles share a pixel.
bool Overlap(const ViewRect& a, const ViewRect& b);
// The smallest rectangle holding both.
ViewRect Union(const ViewRect& a, const ViewRect& b);
