// Options: the command line of larkspur, every option in a table (those that
// take a whole number in one of their own, read by one parser).
//
// Options take one or two dashes; a value follows as the next argument or
// after "=". Unknown options, missing or bad values and conflicting choices
// are errors with a message that names the option.
#pragma once

#include "platform/loop/HostRun.h"
#include "view/Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class DrawMode { Window, Root, WindowId, Fullscreen, Headless };

// The display system a window or full-screen run draws on.
enum class Backend { Auto, Wayland, X11 };

struct Options {
    bool help = false;
    bool version = false;
    DrawMode mode = DrawMode::Window;
    // --wayland or --x11; Auto decides by the session (ChooseBackend).
    Backend backend = Backend::Auto;
    uint32_t windowId = 0;
    // Monitor rectangles given by --monitors, the first the primary.
    struct Monitor {
        int width, height, x, y;
    };
    std::vector<Monitor> monitors;
    bool preview = false;
    int64_t delay = kDefaultDelayMicroseconds;
    bool fps = false;
    bool verbose = false;
    // Read the settings file even where XScreenSaver's conventions start the
    // run (MATE's screensaver has no dialog of its own to set Larkspur).
    bool savedSettings = false;
    std::optional<int64_t> frames;
    std::optional<double> seconds;
    std::optional<double> step;
    std::optional<int> width;
    std::optional<int> height;
    std::string out;
    std::optional<int64_t> every;
    std::optional<int64_t> seed;
    SettingsOverrides settings;
    std::string resources;
    std::string desktopPicture;
    bool registerSaver = false;
    // --idle: the idle watcher, with what a run may change of its settings.
    bool idle = false;
    std::optional<int64_t> idleSeconds;
    std::optional<int64_t> lockSeconds;
    std::optional<std::string> lockCommand;
    // What the watcher hands on to its saver: every argument given except
    // the watcher's own options.
    std::vector<std::string> saverArgs;
};

// Size limit of a headless frame, in pixels per side: a frame is read back
// whole, so its memory grows with the square of this.
constexpr int kMaxFrameSide = 8192;
// Size limit of a monitor given by --monitors, in pixels per side.
constexpr int kMaxMonitorSide = 65535;
// Simulated seconds per tick: from kMinStep (smaller steps would make a
// --seconds run practically endless) to kMaxStep.
constexpr double kMinStep = 0.001;
constexpr double kMaxStep = 60.0;
constexpr double kDefaultStep = 0.025;
constexpr double kMaxSeconds = 10000000.0;
constexpr double kDefaultSeconds = 20.0;
// The most ticks of a headless run, given as --frames or as --seconds.
constexpr int64_t kMaxFrames = 1000000000;
// --idle-seconds and --lock-seconds: at most two hours, as the settings.
constexpr int64_t kMaxIdleSeconds = 7200;

// False with *error set on a bad command line.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

// The timer ticks of a headless run: --frames, else --seconds over --step
// (at least one).
int64_t HeadlessTicks(const Options& options);

// Wayland or X11 for a run that is not headless: the one forced, else
// Wayland when waylandDisplay ($WAYLAND_DISPLAY, may be null) is set and no X
// window (--root, --window-id) or X monitor layout (--monitors) is given.
Backend ChooseBackend(const Options& options, const char* waylandDisplay);

// A window number in hex (0x...) or decimal, 1 to 0xffffffff.
bool ParseWindowId(const std::string& text, uint32_t* id);

// The --help text.
extern const char* const kHelp;
