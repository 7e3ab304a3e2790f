// Tests of the frame-rate and Load figures.
#include "host/FpsMeter.h"

#include <gtest/gtest.h>

namespace {

// Frame calls every period seconds, each working for work seconds, from
// start for the given time; every other call draws when alternate is set.
void Calls(FpsMeter* meter, double start, double seconds, double period, double work, bool alternate = false)
{
    int n = 0;
    for (double t = start; t < start + seconds; t += period, n++)
        meter->Record(t, t + work, !alternate || n % 2 == 0);
}

TEST(FpsMeter, NoFiguresBeforeAWholeSecond)
{
    FpsMeter meter;
    Calls(&meter, 10.0, 0.9, 0.025, 0.005);
    EXPECT_FALSE(meter.HasFigures());
    EXPECT_TRUE(meter.OverlayLines().empty());
}

TEST(FpsMeter, FramesPerSecondCountOnlyCallsThatDrew)
{
    FpsMeter meter;
    Calls(&meter, 10.0, 2.01, 0.025, 0.005, true);
    ASSERT_TRUE(meter.HasFigures());
    EXPECT_NEAR(meter.FramesPerSecond(), 20.0, 0.7);
    EXPECT_NEAR(meter.Load(), 0.2, 0.01);
    EXPECT_NEAR(meter.RunFramesPerSecond(), 20.0, 0.7);
    EXPECT_EQ(meter.RunFrames(), 41);
}

TEST(FpsMeter, LoadFollowsTheLastSecondWhileTheRunAveragesAll)
{
    FpsMeter meter;
    Calls(&meter, 0.0, 1.5, 0.025, 0.0025);
    Calls(&meter, 1.5, 2.0, 0.025, 0.02);
    // The last whole second, from about 2 s to 3 s, was all heavy.
    EXPECT_NEAR(meter.Load(), 0.8, 0.02);
    EXPECT_NEAR(meter.RunLoad(), (1.5 * 0.1 + 2.0 * 0.8) / 3.5, 0.02);
}

TEST(FpsMeter, LoadNeverExceedsAll)
{
    FpsMeter meter;
    // Calls that overlap (a clock that stepped back) count no more than all.
    Calls(&meter, 0.0, 1.2, 0.1, 0.3);
    EXPECT_LE(meter.Load(), 1.0);
    EXPECT_LE(meter.RunLoad(), 1.0);
}

TEST(FpsMeter, TextShowsBothFiguresAndTheSummaryNamesThem)
{
    FpsMeter meter;
    Calls(&meter, 0.0, 1.01, 0.025, 0.004);
    const std::vector<std::string> lines = meter.OverlayLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("FPS: 4", 0), 0u) << lines[0];
    // 41 calls of 4 ms over the 1.004 s from the first start to the last end.
    EXPECT_EQ(lines[1], "LOAD: 16.3%");
    EXPECT_EQ(meter.Summary(), "41 frames in 1.00 s, 40.8 frames per second, load 16.3%");
}

} // namespace
