// Tests of damage: clipping, merging into a few rectangles, the whole view
// when most of it changed, and the screen bounds of world spheres.
#include "scene/Damage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Model-view that puts the eye 10 units up the z axis, and a projection
// whose near plane is 1 unit away with a 90-degree field of view, square.
const double kEyeBack[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
const double kSquareFrustum[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1.0002, -1, 0, 0, -2.0002, 0};

int64_t Covered(const std::vector<ViewRect>& rects)
{
    int64_t n = 0;
    for (const ViewRect& r : rects)
        n += int64_t(r.width) * r.height;
    return n;
}

TEST(Damage, RectanglesAreClippedMergedWhenTheyOverlapAndKeptApartWhenNot)
{
    struct Row {
        const char* what;
        std::vector<ViewRect> added;
        std::vector<ViewRect> merged;
    };
    const Row rows[] = {
        {"nothing", {}, {}},
        {"outside the view", {{-50, 10, 40, 10}, {10, 100, 5, 5}}, {}},
        {"clipped at the edges", {{-5, -5, 10, 10}, {95, 95, 10, 10}}, {{0, 0, 5, 5}, {95, 95, 5, 5}}},
        {"overlapping", {{10, 10, 10, 10}, {15, 15, 10, 10}}, {{10, 10, 15, 15}}},
        {"touching only", {{10, 10, 10, 10}, {20, 10, 10, 10}}, {{10, 10, 10, 10}, {20, 10, 10, 10}}},
        // The union of the first two reaches the third.
        {"chained", {{0, 0, 4, 4}, {10, 0, 4, 4}, {5, 2, 4, 1}, {0, 2, 14, 1}}, {{0, 0, 14, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Damage d;
        d.Start(100, 100);
        for (const ViewRect& r : row.added)
            d.Add(r);
        EXPECT_EQ(d.Rects(), row.merged);
        EXPECT_FALSE(d.Whole());
    }
}

TEST(Damage, ManyRectanglesBecomeAFewDisjointOnesHoldingThemAllAndMostOfTheViewIsAllOfIt)
{
    Damage d;
    d.Start(200, 100);
    std::vector<ViewRect> added;
    for (int i = 0; i < 9; i++)
        added.push_back(ViewRect{i * 21, (i * 37) % 90, 6, 6});
    for (const ViewRect& r : added)
        d.Add(r);
    const std::vector<ViewRect> rects = d.Rects();
    ASSERT_LE(rects.size(), size_t(Damage::kMostRects));
    for (const ViewRect& r : added) {
        bool held = false;
        for (const ViewRect& m : rects)
            held = held ||
                   (r.x >= m.x && r.y >= m.y && r.x + r.width <= m.x + m.width && r.y + r.height <= m.y + m.height);
        EXPECT_TRUE(held) << r.x << "," << r.y;
    }
    for (size_t i = 0; i < rects.size(); i++)
        for (size_t j = i + 1; j < rects.size(); j++)
            EXPECT_FALSE(Overlap(rects[i], rects[j]));
    EXPECT_LT(Covered(rects), 200 * 100 * 6 / 10);

    // Two thirds of the view changed: all of it is repainted.
    d.Start(200, 100);
    d.Add(ViewRect{0, 0, 140, 100});
    EXPECT_EQ(d.Rects(), std::vector<ViewRect>{ViewRect({0, 0, 200, 100})});
    EXPECT_TRUE(d.Whole());
    d.Start(200, 100);
    d.AddWhole();
    d.Add(ViewRect{1, 1, 2, 2});
    EXPECT_EQ(d.Rects(), std::vector<ViewRect>{ViewRect({0, 0, 200, 100})});
}

TEST(Damage, ASphereCoversItsProjectionWithAMarginAndOneBehindTheEyeIsTheWholeView)
{
    Damage d;
    d.Start(200, 200);
    d.SetMatrices(kEyeBack, kSquareFrustum);
    struct Row {
        const char* what;
        WorldSphere sphere;
        bool bounded;
        // Window pixels that the sphere's outline reaches, inside the rectangle.
        int left, bottom, right, top;
    };
    // At depth 10 a unit is 10 pixels; the cube's near face, at depth 9, a
    // little more.
    const Row rows[] = {
        {"centred", {VECTOR3D(0, 0, 0), 1}, true, 90, 90, 110, 110},
        {"right and up", {VECTOR3D(5, 3, 0), 0.5f}, true, 145, 125, 155, 135},
        {"reaching behind the eye", {VECTOR3D(0, 0, 9), 2}, false, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ViewRect r;
        ASSERT_EQ(d.SphereRect(row.sphere, &r), row.bounded);
        if (!row.bounded)
            continue;
        EXPECT_TRUE(r.x <= row.left - 2 && r.y <= row.bottom - 2 && r.x + r.width >= row.right + 2 &&
                    r.y + r.height >= row.top + 2);
        // Not much more than the nearer face's reach.
        EXPECT_LE(r.width, (row.right - row.left) * 3 / 2 + 6);
    }
    d.AddSphere(WorldSphere{VECTOR3D(0, 0, 9), 2});
    EXPECT_TRUE(d.Whole());
}

} // namespace
