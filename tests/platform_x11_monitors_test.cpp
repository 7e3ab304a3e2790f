// Tests of the X11 host's rules that need no display: which monitor a window
// lies on, the preview size and pixel channels.
#include <gtest/gtest.h>

#include "platform/x11/Monitors.h"
#include "platform/x11/ScreenCapture.h"
#include "platform/x11/X11Session.h"

namespace {

// A window lies on the monitor it overlaps most, an even split on the primary
// (the root window covers both monitors alike), and one off every monitor on
// none (-1). A given layout makes its first monitor primary.
TEST(Monitors, AWindowLiesOnTheMonitorItOverlapsMostAndAnEvenSplitOnThePrimary)
{
    const MonitorLayout given = LayoutFromList({{640, 0, 640, 480, ""}, {0, 0, 640, 480, ""}});
    EXPECT_EQ(given.primary, 0);
    EXPECT_EQ(given.monitors[0].x, 640);
    const struct {
        int primary, x, y, width, height, monitor;
    } cases[] = {
        {0, 700, 10, 100, 100, 1}, {0, 600, 10, 100, 100, 1}, {0, 580, 10, 100, 100, 0},
        {0, 0, 0, 640, 480, 0},    {0, 640, 0, 640, 480, 1},  {0, 0, 0, 1280, 480, 0},
        {1, 0, 0, 1280, 480, 1},   {1, 590, 0, 100, 50, 1},   {0, 2000, 0, 100, 100, -1},
        {0, -100, 0, 100, 100, -1}, {0, 10, 10, 0, 0, -1},
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
    EXPECT_TRUE(IsPreviewSize(320, 200));
    EXPECT_FALSE(IsPreviewSize(641, 480));
    EXPECT_FALSE(IsPreviewSize(640, 481));
}

TEST(ScreenCapture, ChannelsOfAnyWidthScaleToFullBytes)
{
    // 24-bit true colour.
    EXPECT_EQ(ChannelByte(0x123456, 0xff0000), 0x12);
    EXPECT_EQ(ChannelByte(0x123456, 0x0000ff), 0x56);
    // 5-6-5: full fields are 255, half fields about 128.
    EXPECT_EQ(ChannelByte(0xf800, 0xf800), 255);
    EXPECT_EQ(ChannelByte(0x07e0, 0x07e0), 255);
    EXPECT_EQ(ChannelByte(0x0400, 0x07e0), 130);
    EXPECT_EQ(ChannelByte(0xffff, 0x001f), 255);
    EXPECT_EQ(ChannelByte(0xffe0, 0x001f), 0);
    // 10-bit fields keep their top eight bits.
    EXPECT_EQ(ChannelByte(0x3ff00000, 0x3ff00000), 255);
    EXPECT_EQ(ChannelByte(0x20000000, 0x3ff00000), 128);
    EXPECT_EQ(ChannelByte(0xffffffff, 0), 0);
}

} // namespace
