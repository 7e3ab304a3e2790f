// HerdLog: totals and report lines.
#include "creatures/HerdLog.h"

#include <cmath>

const char* CameraModeName(int mode)
{
    static const char* const kNames[] = {"home", "spin", "tumble", "follow"};
    return mode >= 0 && mode < 4 ? kNames[mode] : "unknown";
}

bool HerdLog::Advance(double dt)
{
    clock_ += dt;
    const int64_t minutes = int64_t(std::floor(clock_ / 60.0));
    if (minutes <= minutesReported_)
        return false;
    minutesReported_ = minutes;
    return true;
}

void HerdLog::Birth(VECTOR3D where, int slot, bool recycled)
{
    births++;
    if (!out)
        return;
    std::fprintf(out, "larkspur: %.1f s: birth at (%.2f, %.2f) in slot %d (%s)\n", clock_, double(where.x),
                 double(where.z), slot, recycled ? "recycled" : "free");
}

void HerdLog::CameraMode(int from, int to, float seconds)
{
    if (!out)
        return;
    std::fprintf(out, "larkspur: %.1f s: camera %s -> %s for %.0f s\n", clock_, CameraModeName(from),
                 CameraModeName(to), double(seconds));
}

void HerdLog::Counts(const HerdCounts& c)
{
    if (!out)
        return;
    std::fprintf(out,
                 "larkspur: %.1f s: herd: %d slots, %d in play (%d travelling, %d idling), %d waiting, "
                 "%lld births, %lld footprints laid, %d sparks alive\n",
                 clock_, c.slots, c.inPlay, c.travelling, c.idling, c.waiting, (long long)c.births,
                 (long long)c.footprintsLaid, c.sparksAlive);
}
