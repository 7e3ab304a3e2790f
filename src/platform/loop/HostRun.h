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
};
