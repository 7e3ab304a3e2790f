// Tests of the frame-rate and Load figures.
#include "platform/loop/FpsMeter.h"

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

TEST(FpsMeter, FiguresCoverTheLastWholeSecondOfDrawnCallsAndTheRunAveragesAll)
{
    FpsMeter early, alternate, heavy, overlapping, text;
    Calls(&early, 10.0, 0.9, 0.025, 0.005);
    EXPECT_TRUE(early.OverlayLines().empty()) << "nothing before a whole second";

    Calls(&alternate, 10.0, 2.01, 0.025, 0.005, true);
    EXPECT_NEAR(alternate.FramesPerSecond(), 20.0, 0.7);
    EXPECT_NEAR(alternate.Load(), 0.2, 0.01);
    EXPECT_EQ(alternate.RunFrames(), 41);

    // Light for 1.5 s, then heavy for 2 s: the last whole second was all heavy.
    Calls(&heavy, 0.0, 1.5, 0.025, 0.0025);
    Calls(&heavy, 1.5, 2.0, 0.025, 0.02);
    EXPECT_NEAR(heavy.Load(), 0.8, 0.02);
    EXPECT_NEAR(heavy.RunLoad(), 0.5, 0.02);

    // Calls that overlap (a clock that stepped back) count no more than all.
    Calls(&overlapping, 0.0, 1.2, 0.1, 0.3);
    EXPECT_TRUE(overlapping.Load() <= 1.0 && overlapping.RunLoad() <= 1.0) << overlapping.Load();

    // 41 calls of 4 ms over the 1.004 s from the first start to the last end.
    Calls(&text, 0.0, 1.01, 0.025, 0.004);
    EXPECT_EQ(text.OverlayLines(), (std::vector<std::string>{"FPS: 40.8", "LOAD: 16.3%"}));
    EXPECT_EQ(text.Summary(), "41 frames in 1.00 s, 40.8 frames per second, load 16.3%");
}

} // namespace
