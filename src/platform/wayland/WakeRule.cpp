// WakeRule: the pointer's reference point and the distance test.
#include "platform/wayland/WakeRule.h"

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
