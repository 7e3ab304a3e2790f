// HostRun: what every display host's run is given alike (X11, Wayland).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct HostRun {
    bool preview = false;
    int64_t delayMicroseconds = 25000;
    bool fps = false;
    bool verbose = false;
    std::optional<int64_t> seed;
    std::string resources;
    std::string desktopPicture;
    // The display or compositor to connect to; empty for the environment's.
    std::string displayName;
    // Run by XScreenSaver, which takes a hack that exits after the signal it
    // was sent for one that failed: a run ended by a quit signal ends the
    // process by that signal (EndByQuitSignal), in the grace too.
    bool endBySignal = false;
};
