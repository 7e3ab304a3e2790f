// WakeRule: the pointer's reference point, the distance test and the line
// that tells what woke the run.
#include "platform/loop/WakeRule.h"

#include <cstdio>

void WakeRule::Enter(double now, double x, double y)
{
    haveReference_ = now - start_ >= kGraceSeconds;
    x_ = x;
    y_ = y;
}

bool WakeRule::Motion(double now, double x, double y)
{
    if (now - start_ < kGraceSeconds)
        return false;
    if (!haveReference_) {
        haveReference_ = true;
        x_ = x;
        y_ = y;
        return false;
    }
    const double dx = x - x_, dy = y - y_;
    return dx * dx + dy * dy > kMotionPixels * kMotionPixels;
}

void SayWoken(const char* by)
{
    std::fprintf(stderr, "larkspur: woken by %s\n", by);
}
