// FpsMeter: per-second and whole-run figures.
#include "platform/loop/FpsMeter.h"

#include <algorithm>
#include <cstdio>

namespace {

double Share(double work, double elapsed)
{
    return elapsed > 0 ? std::clamp(work / elapsed, 0.0, 1.0) : 0.0;
}

} // namespace

void FpsMeter::Record(double start, double end, bool drew)
{
    if (!started_) {
        started_ = true;
        windowStart_ = runStart_ = start;
    }
    const double work = std::max(0.0, end - start);
    windowWork_ += work;
    runWork_ += work;
    runEnd_ = end;
    if (drew) {
        windowFrames_++;
        runFrames_++;
    }
    const double elapsed = end - windowStart_;
    if (elapsed < kWindow)
        return;
    fps_ = double(windowFrames_) / elapsed;
    load_ = Share(windowWork_, elapsed);
    hasFigures_ = true;
    windowStart_ = end;
    windowWork_ = 0;
    windowFrames_ = 0;
}

std::vector<std::string> FpsMeter::OverlayLines() const
{
    if (!hasFigures_)
        return {};
    char fps[32], load[32];
    std::snprintf(fps, sizeof fps, "FPS: %.1f", fps_);
    std::snprintf(load, sizeof load, "LOAD: %.1f%%", load_ * 100.0);
    return {fps, load};
}

double FpsMeter::RunFramesPerSecond() const
{
    const double elapsed = RunSeconds();
    return elapsed > 0 ? double(runFrames_) / elapsed : 0.0;
}

double FpsMeter::RunLoad() const
{
    return Share(runWork_, RunSeconds());
}

std::string FpsMeter::Summary() const
{
    char text[128];
    std::snprintf(text, sizeof text, "%lld frames in %.2f s, %.1f frames per second, load %.1f%%", runFrames_,
                  RunSeconds(), RunFramesPerSecond(), RunLoad() * 100.0);
    return text;
}
