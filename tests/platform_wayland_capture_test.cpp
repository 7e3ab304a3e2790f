// Tests of the Wayland capture's own parts: cutting the main output out of a
// screenshot of every output, and what the capture says when grim or the
// portal gives nothing. The capture through real compositors and portals is
// in platform_wayland_program_test.cpp.
#include <gtest/gtest.h>

#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "platform/loop/FrameLoop.h"
#include "platform/wayland/WaylandCapture.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A screenshot whose pixels say where they came from: red grows to the right
// and green downwards, one step per screenshot pixel, blue 255 outside the
// main output's rectangle (in screenshot pixels).
std::vector<unsigned char> Layout(int width, int height, int left, int top, int right, int bottom)
{
    std::vector<unsigned char> rgb;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const bool inside = x >= left && x < right && y >= top && y < bottom;
            rgb.insert(rgb.end(), {(unsigned char)(x), (unsigned char)(y), (unsigned char)(inside ? 0 : 255)});
        }
    return rgb;
}

struct CropCase {
    const char* what;
    CaptureTarget target;
    int shotWidth, shotHeight;
    // The main output's rectangle within the screenshot, in its pixels.
    int left, top, right, bottom;
    int expectWidth, expectHeight;
};

TEST(WaylandCapture, CropKeepsOnlyTheMainOutputUprightAtItsOwnPixels)
{
    const CropCase cases[] = {
        // Main output at scale 1 right of a scale-2 one; the portal drew the
        // layout at scale 2, so the main one is halved back to its pixels.
        {"offset, halved", {"A", {32, 0, 64, 48}, 64, 48, {0, 0, 96, 48}}, 192, 96, 64, 0, 192, 96, 64, 48},
        // Main output below and left of another, screenshot at scale 1.
        {"below", {"B", {0, 20, 40, 30}, 40, 30, {0, 0, 100, 50}}, 100, 50, 0, 20, 40, 50, 40, 30},
        // A layout that starts left of 0.
        {"negative origin", {"", {-50, 0, 50, 40}, 50, 40, {-50, 0, 150, 40}}, 150, 40, 0, 0, 50, 40, 50, 40},
        // The output says it has more pixels than the screenshot holds of it:
        // no larger than what is there.
        {"no enlarging", {"C", {0, 0, 30, 20}, 120, 80, {0, 0, 60, 20}}, 60, 20, 0, 0, 30, 20, 30, 20},
        // Pixel size unknown: what the screenshot holds.
        {"size unknown", {"", {10, 0, 10, 10}, 0, 0, {0, 0, 20, 10}}, 40, 20, 20, 0, 40, 20, 20, 20},
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> rgb = Layout(c.shotWidth, c.shotHeight, c.left, c.top, c.right, c.bottom);
        int width = c.shotWidth, height = c.shotHeight;
        CropToOutput(c.target, &rgb, &width, &height);
        ASSERT_EQ(width, c.expectWidth);
        ASSERT_EQ(height, c.expectHeight);
        ASSERT_EQ(rgb.size(), size_t(width) * size_t(height) * 3);
        // Nothing of another output, and two opposite corners come from the
        // main output's corners: upright, neither shifted nor squeezed.
        for (size_t i = 2; i < rgb.size(); i += 3)
            ASSERT_EQ(rgb[i], 0) << "pixel " << i / 3 << " is from outside the main output";
        const double stepX = double(c.right - c.left) / width, stepY = double(c.bottom - c.top) / height;
        EXPECT_NEAR(rgb[0], c.left, stepX);
        EXPECT_NEAR(rgb[1], c.top, stepY);
        const unsigned char* last = rgb.data() + rgb.size() - 3;
        EXPECT_NEAR(last[0], c.right - 1, stepX);
        EXPECT_NEAR(last[1], c.bottom - 1, stepY);
    }
}

TEST(WaylandCapture, CropLeavesTheScreenshotWholeWhenItCannotPlaceTheOutput)
{
    const CaptureTarget cases[] = {
        {"layout unknown", {0, 0, 10, 10}, 10, 10, {}},
        {"output unknown", {}, 0, 0, {0, 0, 20, 10}},
        {"output outside the layout", {30, 0, 10, 10}, 10, 10, {0, 0, 20, 10}},
    };
    for (const CaptureTarget& target : cases) {
        SCOPED_TRACE(target.name);
        std::vector<unsigned char> rgb = Layout(20, 10, 0, 0, 20, 10);
        const std::vector<unsigned char> before = rgb;
        int width = 20, height = 10;
        CropToOutput(target, &rgb, &width, &height);
        EXPECT_EQ(width, 20);
        EXPECT_EQ(height, 10);
        EXPECT_EQ(rgb, before);
    }
}

TEST(WaylandCapture, LayoutBoundsHoldEveryOutput)
{
    struct Case {
        LogicalArea a, b, expect;
    } cases[] = {
        {{}, {5, 6, 7, 8}, {5, 6, 7, 8}},
        {{0, 0, 640, 480}, {640, 0, 320, 240}, {0, 0, 960, 480}},
        {{0, 0, 640, 480}, {-320, 100, 320, 480}, {-320, 0, 960, 580}},
    };
    for (const Case& c : cases) {
        const LogicalArea got = Union(c.a, c.b);
        EXPECT_EQ(got.x, c.expect.x);
        EXPECT_EQ(got.y, c.expect.y);
        EXPECT_EQ(got.width, c.expect.width);
        EXPECT_EQ(got.height, c.expect.height);
    }
}

// Sets an environment variable for one test and puts it back after.
class EnvironmentHold {
public:
    EnvironmentHold(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~EnvironmentHold()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// Each way that gives nothing says why, and a grim that never ends is given
// up on in time.
TEST(WaylandCapture, SaysWhyGrimAndThePortalGaveNothing)
{
    TempDir bin;
    const auto standIn = [&](const std::string& script) {
        RunCommand("printf '#!/bin/sh\\n" + script + "\\n' > '" + bin.File("grim") + "' && chmod +x '" +
                   bin.File("grim") + "'");
    };
    standIn("echo \"grim: unknown output \\\"$2\\\"\" >&2\\nexit 1");
    std::string why;
    {
        EnvironmentHold path("PATH", bin.path());
        EXPECT_TRUE(GrimScreenshot("HDMI-A-1", 3.0, &why).empty());
        EXPECT_EQ(why, "grim: unknown output \"HDMI-A-1\"");
    }
    standIn("exec /bin/sleep 30");
    {
        EnvironmentHold path("PATH", bin.path());
        const double start = SteadyNow();
        EXPECT_TRUE(GrimScreenshot("", 0.5, &why).empty());
        EXPECT_LT(SteadyNow() - start, 2.0);
        EXPECT_EQ(why, "no picture within 0.5 s");
    }
    {
        EnvironmentHold path("PATH", bin.File("none"));
        EXPECT_TRUE(GrimScreenshot("", 3.0, &why).empty());
        EXPECT_EQ(why, "it is not installed");
    }
    {
        EnvironmentHold bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bin.File("no-bus"));
        EXPECT_TRUE(PortalScreenshot(1.0, &why).empty());
        EXPECT_EQ(why.rfind("no session bus (", 0), 0u) << why;
    }
}

} // namespace
