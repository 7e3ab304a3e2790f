// Options: parsing and checking the command line.
#include "Options.h"

#include "maths/Misc.h"
#include "view/MonitorChoice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kHelp =
    "usage: larkspur [OPTION]...\n"
    "A herd of animated creatures wandering over your desktop picture.\n"
    "Options take one or two dashes; a value follows as the next argument or after '='.\n"
    "\n"
    "Where to draw:\n"
    "  --root                  the window in $XSCREENSAVER_WINDOW, else the root window\n"
    "  --window-id ID          an existing window (hex 0x... or decimal); wins over --root\n"
    "  --fullscreen            a borderless window on every monitor\n"
    "  --monitors WxH+X+Y,...  a made-up X monitor layout instead of the detected one (first is\n"
    "                          primary; for testing)\n"
    "  --preview               draw as the small preview (no overlay, low-detail pictures)\n"
    "  --headless              draw without a display, on a simulated clock\n"
    "  --wayland, --x11        draw on this display system (default: Wayland when\n"
    "                          $WAYLAND_DISPLAY is set and no X window is given)\n"
    "\n"
    "Frame loop:\n"
    "  --delay MICROSECONDS    time between frame calls (default 25000)\n"
    "  --fps                   frames per second and Load on screen and at exit (headless: at the end)\n"
    "  --verbose               report events on stderr\n"
    "  --seed N                fixed random seed instead of the time (every mode)\n"
    "\n"
    "Headless runs:\n"
    "  --frames N              run N timer ticks (at least 1)\n"
    "  --seconds S             run S simulated seconds (default 20)\n"
    "  --step S                simulated seconds per tick (default 0.025, 0.001 to 60)\n"
    "  --size WxH              frame size (default 1280x720)\n"
    "  --out DIR               write frames as PNG files into DIR\n"
    "  --every K               write every K-th tick's frame (default 1)\n"
    "\n"
    "Settings for this run (the saved settings stay as they are; run by XScreenSaver, with --root,\n"
    "--window-id or $XSCREENSAVER_WINDOW, these and the defaults are used, and the saved ones are not read):\n"
    "  --saved-settings        read the saved settings there too (for screensavers that start their\n"
    "                          hacks as XScreenSaver does but have no settings dialog, such as MATE's)\n"
    "  --num-dogs N            creature slots, 0 to 500\n"
    "  --dog-size PERCENT      creature size, 10 to 1000\n"
    "  --num-footprints N      footprints kept, 0 to 100000\n"
    "  --bg-type 0|1|2         background: desktop capture, desktop picture, picture from a folder\n"
    "  --bg-res 0|1|2          background resolution: 512, 1024, the picture's own size\n"
    "  --bg-path DIR           folder of background pictures\n"
    "  --tile-bg, --no-tile-bg tile the background under fog, or fill the view with it\n"
    "  --main-monitor-only     draw only on the primary monitor\n"
    "  --monitor-names NAMES   draw only on the monitors of these names, separated by commas\n"
    "                          (as xrandr or the compositor names them, e.g. HDMI-1,DP-2); the\n"
    "                          others stay black. Wins over --main-monitor-only; '' for all\n"
    "  --no-overlay            never show the title and caption\n"
    "\n"
    "Resources:\n"
    "  --resources DIR         folder holding pellmore.works and b.oak\n"
    "  --desktop-picture FILE  the desktop picture to use, ahead of the desktop's own setting\n"
    "\n"
    "Idle watcher:\n"
    "  --idle                  run until stopped, starting the full-screen saver after StartAfter\n"
    "                          minutes without input (and locking after LockAfter minutes of it)\n"
    "  --idle-seconds N        start the saver after N seconds without input instead (trying it out)\n"
    "  --lock-seconds N        lock after N seconds of saver instead (0: never)\n"
    "  --lock-command CMD      lock with this shell command instead of LockCommand\n"
    "\n"
    "  --register              add Larkspur to your XScreenSaver programs (or enable it there)\n"
    "  -h, --help              show this help\n"
    "  --version               print the program's version\n";

namespace {

using Apply = bool (*)(Options*, const std::string&, std::string*);

struct OptionRule {
    const char* name;
    bool takesValue;
    Apply apply;
};

bool Fail(std::string* error, const std::string& message)
{
    *error = message;
    return false;
}

// A whole decimal number in [low, high], nothing around it.
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value)
{
    if (text.empty() || text.find_first_not_of("-0123456789") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || *end != '\0' || v < low || v > high)
        return false;
    *value = v;
    return true;
}

// A number above 0 in [low, high].
bool ParseReal(const std::string& text, double low, double high, double* value)
{
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v <= 0 || v < low || v > high)
        return false;
    *value = v;
    return true;
}

std::string Range(int64_t low, int64_t high)
{
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

bool Integer(const char* name, const std::string& text, int64_t low, int64_t high, int64_t* value, std::string* error)
{
    if (ParseInteger(text, low, high, value))
        return true;
    return Fail(error, std::string("--") + name + " needs " + Range(low, high) + ", not '" + text + "'");
}

// low 0 stands for "above 0".
bool Real(const char* name, const std::string& text, double low, double high, double* value, std::string* error)
{
    if (ParseReal(text, low, high, value))
        return true;
    char range[64];
    if (low > 0)
        std::snprintf(range, sizeof range, "from %g to %g", low, high);
    else
        std::snprintf(range, sizeof range, "above 0 and at most %g", high);
    return Fail(error, std::string("--") + name + " needs a number " + range + ", not '" + text + "'");
}

bool Text(const char* name, const std::string& text, size_t limit, std::string* value, std::string* error)
{
    if (text.empty() || text.size() >= limit)
        return Fail(error, std::string("--") + name + " needs a path of 1 to " + std::to_string(limit - 1) + " bytes");
    *value = text;
    return true;
}

bool SetMode(Options* o, DrawMode mode, std::string* error)
{
    // XScreenSaver's settings dialog starts its preview with both --root and
    // --window-id, as it does every hack: the given window wins.
    const bool rootAndWindow = (o->mode == DrawMode::Root && mode == DrawMode::WindowId) ||
                               (o->mode == DrawMode::WindowId && mode == DrawMode::Root);
    if (rootAndWindow) {
        o->mode = DrawMode::WindowId;
        return true;
    }
    if (o->mode != DrawMode::Window && o->mode != mode)
        return Fail(error, "choose only one of --fullscreen, --headless and a given window (--root, --window-id)");
    o->mode = mode;
    return true;
}

bool SetBackend(Options* o, Backend backend, std::string* error)
{
    if (o->backend != Backend::Auto && o->backend != backend)
        return Fail(error, "choose only one of --wayland and --x11");
    o->backend = backend;
    return true;
}

bool SetTileBG(Options* o, bool tile, std::string* error)
{
    if (o->settings.tileBG && *o->settings.tileBG != tile)
        return Fail(error, "choose only one of --tile-bg and --no-tile-bg");
    o->settings.tileBG = tile;
    return true;
}

// "WxH" with both sides in 1..limit.
bool ParseSize(const std::string& text, int limit, int* width, int* height)
{
    const size_t x = text.find('x');
    int64_t w, h;
    if (x == std::string::npos || !ParseInteger(text.substr(0, x), 1, limit, &w) ||
        !ParseInteger(text.substr(x + 1), 1, limit, &h))
        return false;
    *width = int(w);
    *height = int(h);
    return true;
}

// "WxH+X+Y" or with "-" signs for the offsets.
bool ParseMonitor(const std::string& text, Options::Monitor* monitor)
{
    const size_t sign = text.find_first_of("+-");
    if (sign == std::string::npos ||
        !ParseSize(text.substr(0, sign), kMaxMonitorSide, &monitor->width, &monitor->height))
        return false;
    const size_t second = text.find_first_of("+-", sign + 1);
    if (second == std::string::npos)
        return false;
    int64_t x, y;
    const std::string xs = text.substr(sign, second - sign);
    const std::string ys = text.substr(second);
    // strtoll takes "+5" but the digit check must see only the sign's absence.
    if (!ParseInteger(xs[0] == '+' ? xs.substr(1) : xs, -1000000, 1000000, &x) ||
        !ParseInteger(ys[0] == '+' ? ys.substr(1) : ys, -1000000, 1000000, &y))
        return false;
    monitor->x = int(x);
    monitor->y = int(y);
    return true;
}

// The options that take a whole number: each is checked against its limits by
// one parser and then stored in its field.
struct IntegerOption {
    const char* name;
    int64_t low;
    int64_t high;
    void (*store)(Options*, int64_t);
};

const IntegerOption kIntegerOptions[] = {
    {"delay", 0, 10000000, [](Options* o, int64_t n) { o->delay = n; }},
    // No ticks would write no frame and still succeed, which hides a
    // script's mistake.
    {"frames", 1, kMaxFrames, [](Options* o, int64_t n) { o->frames = n; }},
    {"every", 1, kMaxFrames, [](Options* o, int64_t n) { o->every = n; }},
    {"seed", 0, 4294967295LL, [](Options* o, int64_t n) { o->seed = n; }},
    {"num-dogs", kMinNumDogs, kMaxNumDogs, [](Options* o, int64_t n) { o->settings.numDogs = n; }},
    {"dog-size", kMinDogSize, kMaxDogSize, [](Options* o, int64_t n) { o->settings.dogSize = n; }},
    {"num-footprints", kMinNumFootprints, kMaxNumFootprints,
     [](Options* o, int64_t n) { o->settings.numFootprints = n; }},
    {"bg-type", 0, 2, [](Options* o, int64_t n) { o->settings.bgType = int32_t(n); }},
    {"bg-res", 0, 2, [](Options* o, int64_t n) { o->settings.bgRes = int32_t(n); }},
    {"idle-seconds", 1, kMaxIdleSeconds, [](Options* o, int64_t n) { o->idleSeconds = n; }},
    {"lock-seconds", 0, kMaxIdleSeconds, [](Options* o, int64_t n) { o->lockSeconds = n; }},
};

bool ApplyInteger(const IntegerOption& option, Options* o, const std::string& text, std::string* error)
{
    int64_t n;
    if (!Integer(option.name, text, option.low, option.high, &n, error))
        return false;
    option.store(o, n);
    return true;
}

const OptionRule kOptions[] = {
    {"help", false, [](Options* o, const std::string&, std::string*) { return o->help = true; }},
    {"h", false, [](Options* o, const std::string&, std::string*) { return o->help = true; }},
    {"version", false, [](Options* o, const std::string&, std::string*) { return o->version = true; }},
    {"root", false, [](Options* o, const std::string&, std::string* e) { return SetMode(o, DrawMode::Root, e); }},
    {"window-id", true,
     [](Options* o, const std::string& v, std::string* e) {
         if (!ParseWindowId(v, &o->windowId))
             return Fail(e, "--window-id needs a window number (hex 0x... or decimal), not '" + v + "'");
         return SetMode(o, DrawMode::WindowId, e);
     }},
    {"fullscreen", false,
     [](Options* o, const std::string&, std::string* e) { return SetMode(o, DrawMode::Fullscreen, e); }},
    {"monitors", true,
     [](Options* o, const std::string& v, std::string* e) {
         o->monitors.clear();
         size_t start = 0;
         while (start <= v.size()) {
             const size_t comma = v.find(',', start);
             const std::string one = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
             Options::Monitor monitor{};
             if (!ParseMonitor(one, &monitor))
                 return Fail(e, "--monitors needs WxH+X+Y rectangles separated by commas, not '" + one + "'");
             o->monitors.push_back(monitor);
             if (comma == std::string::npos)
                 break;
             start = comma + 1;
         }
         return true;
     }},
    {"preview", false, [](Options* o, const std::string&, std::string*) { return o->preview = true; }},
    {"headless", false,
     [](Options* o, const std::string&, std::string* e) { return SetMode(o, DrawMode::Headless, e); }},
    {"wayland", false,
     [](Options* o, const std::string&, std::string* e) { return SetBackend(o, Backend::Wayland, e); }},
    {"x11", false, [](Options* o, const std::string&, std::string* e) { return SetBackend(o, Backend::X11, e); }},
    {"fps", false, [](Options* o, const std::string&, std::string*) { return o->fps = true; }},
    {"verbose", false, [](Options* o, const std::string&, std::string*) { return o->verbose = true; }},
    {"saved-settings", false, [](Options* o, const std::string&, std::string*) { return o->savedSettings = true; }},
    {"seconds", true,
     [](Options* o, const std::string& v, std::string* e) {
         double s;
         if (!Real("seconds", v, 0, kMaxSeconds, &s, e))
             return false;
         o->seconds = s;
         return true;
     }},
    {"step", true,
     [](Options* o, const std::string& v, std::string* e) {
         double s;
         if (!Real("step", v, kMinStep, kMaxStep, &s, e))
             return false;
         o->step = s;
         return true;
     }},
    {"size", true,
     [](Options* o, const std::string& v, std::string* e) {
         int w, h;
         if (!ParseSize(v, kMaxFrameSide, &w, &h))
             return Fail(e, "--size needs WxH with sides from 1 to " + std::to_string(kMaxFrameSide) + ", not '" + v +
                                "'");
         o->width = w;
         o->height = h;
         return true;
     }},
    {"out", true, [](Options* o, const std::string& v, std::string* e) { return Text("out", v, 4096, &o->out, e); }},
    {"bg-path", true,
     [](Options* o, const std::string& v, std::string* e) {
         std::string path;
         if (!Text("bg-path", v, kBGPathBytes, &path, e))
             return false;
         o->settings.bgPath = path;
         return true;
     }},
    {"tile-bg", false, [](Options* o, const std::string&, std::string* e) { return SetTileBG(o, true, e); }},
    {"no-tile-bg", false, [](Options* o, const std::string&, std::string* e) { return SetTileBG(o, false, e); }},
    {"main-monitor-only", false,
     [](Options* o, const std::string&, std::string*) {
         o->settings.mainMonitorOnly = true;
         return true;
     }},
    {"monitor-names", true,
     [](Options* o, const std::string& v, std::string* e) {
         std::string why;
         if (!ValidMonitorNames(v, &why))
             return Fail(e,
                         "--monitor-names needs monitor names separated by commas; '" + PrintableText(v) + "' " + why);
         o->settings.monitorNames = v;
         return true;
     }},
    {"no-overlay", false,
     [](Options* o, const std::string&, std::string*) {
         o->settings.showOverlay = false;
         return true;
     }},
    {"resources", true,
     [](Options* o, const std::string& v, std::string* e) { return Text("resources", v, 1000, &o->resources, e); }},
    {"desktop-picture", true,
     [](Options* o, const std::string& v, std::string* e) {
         return Text("desktop-picture", v, 1024, &o->desktopPicture, e);
     }},
    {"register", false, [](Options* o, const std::string&, std::string*) { return o->registerSaver = true; }},
    {"idle", false, [](Options* o, const std::string&, std::string*) { return o->idle = true; }},
    {"lock-command", true,
     [](Options* o, const std::string& v, std::string* e) {
         if (v.find_first_not_of(" \t") == std::string::npos)
             return Fail(e, "--lock-command needs a command");
         o->lockCommand = v;
         return true;
     }},
};

// The watcher's own options, which its saver is not given.
bool WatcherOnly(const std::string& name)
{
    return name == "idle" || name == "idle-seconds" || name == "lock-seconds" || name == "lock-command";
}

template <typename Rule, size_t N>
const Rule* FindByName(const Rule (&table)[N], const std::string& name)
{
    for (const Rule& rule : table)
        if (name == rule.name)
            return &rule;
    return nullptr;
}

// Options that only mean something without a display, and the length of a
// headless run.
bool CheckHeadlessOnly(const Options& o, std::string* error)
{
    if (o.frames && o.seconds)
        return Fail(error, "give --frames or --seconds, not both");
    if (o.mode == DrawMode::Headless) {
        if (HeadlessTicks(o) <= kMaxFrames)
            return true;
        char told[160];
        std::snprintf(told, sizeof told, "--seconds %g at --step %g would run more than %lld ticks",
                      o.seconds.value_or(kDefaultSeconds), o.step.value_or(kDefaultStep), (long long)kMaxFrames);
        return Fail(error, told);
    }
    const char* given = o.frames         ? "--frames"
                        : o.seconds      ? "--seconds"
                        : o.step         ? "--step"
                        : o.width        ? "--size"
                        : !o.out.empty() ? "--out"
                        : o.every        ? "--every"
                                         : nullptr;
    if (given)
        return Fail(error, std::string(given) + " works only with --headless");
    return true;
}

// The watcher runs the full-screen saver itself; its options mean nothing
// without it.
bool CheckIdle(const Options& o, std::string* error)
{
    if (o.idle && o.mode != DrawMode::Window)
        return Fail(error, "--idle starts the full-screen saver itself; it cannot be used with --fullscreen, "
                           "--headless, --root or --window-id");
    const char* given = o.idle          ? nullptr
                        : o.idleSeconds ? "--idle-seconds"
                        : o.lockSeconds ? "--lock-seconds"
                        : o.lockCommand ? "--lock-command"
                                        : nullptr;
    if (given)
        return Fail(error, std::string(given) + " works only with --idle");
    return true;
}

// X windows and layouts mean nothing to a Wayland client, and a headless
// run uses neither display system.
bool CheckBackend(const Options& o, std::string* error)
{
    if (o.mode == DrawMode::Headless && !o.monitors.empty())
        return Fail(error, "--monitors cannot be used with --headless, which needs no display");
    if (o.backend == Backend::Auto)
        return true;
    const char* chosen = o.backend == Backend::Wayland ? "--wayland" : "--x11";
    if (o.mode == DrawMode::Headless)
        return Fail(error, std::string(chosen) + " cannot be used with --headless, which needs no display");
    if (o.backend != Backend::Wayland)
        return true;
    if (o.mode == DrawMode::Root || o.mode == DrawMode::WindowId)
        return Fail(error, "--root and --window-id draw into an X window; they cannot be used with --wayland");
    if (!o.monitors.empty())
        return Fail(error, "--monitors describes X monitors; Wayland reports its outputs itself");
    return true;
}

} // namespace

bool ParseWindowId(const std::string& text, uint32_t* id)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || v == 0 || v > 0xffffffffULL)
        return false;
    *id = uint32_t(v);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error)
{
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-')
            return Fail(error, "unexpected argument '" + arg + "'");
        const size_t dashes = arg[1] == '-' ? 2 : 1;
        std::string name = arg.substr(dashes);
        std::optional<std::string> value;
        if (const size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        const OptionRule* rule = FindByName(kOptions, name);
        const IntegerOption* integer = rule ? nullptr : FindByName(kIntegerOptions, name);
        if (!rule && !integer)
            return Fail(error, "unknown option '" + arg + "'");
        const bool takesValue = integer || rule->takesValue;
        if (!takesValue && value)
            return Fail(error, "--" + name + " takes no value");
        const bool valueFollows = takesValue && !value;
        if (valueFollows) {
            if (i + 1 >= args.size())
                return Fail(error, "--" + name + " needs a value");
            value = args[++i];
        }
        const std::string given = value ? *value : std::string();
        if (integer ? !ApplyInteger(*integer, options, given, error) : !rule->apply(options, given, error))
            return false;
        if (!WatcherOnly(name)) {
            options->saverArgs.push_back(arg);
            if (valueFollows)
                options->saverArgs.push_back(*value);
        }
    }
    return CheckHeadlessOnly(*options, error) && CheckBackend(*options, error) && CheckIdle(*options, error);
}

int64_t HeadlessTicks(const Options& options)
{
    if (options.frames)
        return *options.frames;
    // The least bit below a whole number of steps is rounding, not a tick;
    // a run is at least one tick, as --frames is.
    const double ticks =
        std::ceil(options.seconds.value_or(kDefaultSeconds) / options.step.value_or(kDefaultStep) - 1e-9);
    return std::max<int64_t>(1, int64_t(std::min(ticks, double(kMaxFrames) + 1)));
}

Backend ChooseBackend(const Options& options, const char* waylandDisplay)
{
    if (options.backend != Backend::Auto)
        return options.backend;
    const bool xWindow = options.mode == DrawMode::Root || options.mode == DrawMode::WindowId;
    const bool wayland = waylandDisplay && waylandDisplay[0];
    return wayland && !xWindow && options.monitors.empty() ? Backend::Wayland : Backend::X11;
}
