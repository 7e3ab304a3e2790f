// HostRun: what every host's run is given alike (X11, Wayland, headless).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// Time between frame calls, as XScreenSaver hacks count it.
constexpr int64_t kDefaultDelayMicroseconds = 25000;

struct HostRun {
    bool preview = false;
    int64_t delayMicroseconds = kDefaultDelayMicroseconds;
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
    // The views read the settings file. Not under XScreenSaver: its settings
    // dialog passes every choice that differs from the default as an option
    // and leaves the rest off, so a run there takes its command line over the
    // built-in defaults, and what the dialog shows is what runs.
    bool savedSettings = true;

    // Seconds for seeding: the fixed seed, else the wall clock's.
    int64_t WallClockSeconds() const { return seed ? *seed : int64_t(std::time(nullptr)); }
    // Seconds between frame calls.
    double periodSeconds() const { return double(delayMicroseconds) / 1e6; }
};
