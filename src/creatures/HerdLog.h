// HerdLog: the herd's running totals and its optional report of events (a
// line per birth and per camera mode change, and the herd's counts once per
// simulated minute), for a person watching a long run.
//
// Limits: the report goes to a stdio stream the caller owns and keeps open;
// with no stream only the totals are kept. Writing never allocates.
#pragma once

#include "maths/NiftyMaths.h"

#include <cstdint>
#include <cstdio>

// A snapshot of what the herd is doing.
struct HerdCounts {
    int32_t slots = 0;
    int32_t inPlay = 0;
    int32_t waiting = 0;
    int32_t travelling = 0;
    int32_t idling = 0;
    int64_t footprintsLaid = 0;
    int32_t sparksAlive = 0;
    int64_t births = 0;
};

class HerdLog {
public:
    // Simulated seconds since the herd started moving.
    double Clock() const { return clock_; }
    // Advances the clock; true once per simulated minute passed.
    bool Advance(double dt);

    void Birth(VECTOR3D where, int slot, bool recycled);
    void CameraMode(int from, int to, float seconds);
    void Counts(const HerdCounts& counts);

    // Where the report goes; null for none.
    std::FILE* out = nullptr;
    int64_t footprintsLaid = 0;
    int64_t births = 0;

private:
    double clock_ = 0;
    int64_t minutesReported_ = 0;
};

// The camera's mode names, for reports: "home", "spin", "tumble", "follow".
const char* CameraModeName(int mode);
