// Tests of the X11 host's rules that need no display: which monitor a window
// lies on, the preview size and pixel channels.
#include <gtest/gtest.h>

#include "platform/x11/Monitors.h"
#include "platform/x11/ScreenCapture.h"
#include "platform/x11/X11Session.h"

namespace {

// A window lies on the monitor it overlaps most, an even split on the primary
// (the root window covers both monitors alike), and one off every monitor on
// none (-1), though the primary then ties the others at no overlap.
TEST(Monitors, AWindowLiesOnTheMonitorItOverlapsMostAndAnEvenSplitOnThePrimary)
{
    const struct {
        int primary, x, y, width, height, monitor;
    } cases[] = {
        {0, 600, 10, 100, 100, 1},
        {0, 0, 0, 1280, 480, 0},
        {1, 0, 0, 1280, 480, 1},
        {0, -100, 0, 100, 100, -1},
    };
    for (const auto& c : cases) {
        MonitorLayout layout = LayoutFromList({{0, 0, 640, 480, ""}, {640, 0, 640, 480, ""}});
        layout.primary = c.primary;
        EXPECT_EQ(MonitorOfRect(layout, c.x, c.y, c.width, c.height), c.monitor)
            << c.width << "x" << c.height << "+" << c.x << "+" << c.y << ", primary " << c.primary;
    }
}

TEST(X11Session, WindowsUpTo640By480ArePreviews)
{
    EXPECT_TRUE(IsPreviewSize(640, 480));
    EXPECT_FALSE(IsPreviewSize(641, 480));
    EXPECT_FALSE(IsPreviewSize(640, 481));
}

// Wide fields keep their top eight bits, narrow ones stretch to 255 with
// rounding; the pixel's other fields never leak in.
TEST(ScreenCapture, ChannelsOfAnyWidthScaleToFullBytes)
{
    EXPECT_EQ(ChannelByte(0x0400, 0x07e0), 130);
    EXPECT_EQ(ChannelByte(0xffe0, 0x001f), 0);
    EXPECT_EQ(ChannelByte(0x20000000, 0x3ff00000), 128);
    EXPECT_EQ(ChannelByte(0xffffffff, 0), 0);
}

} // namespace
