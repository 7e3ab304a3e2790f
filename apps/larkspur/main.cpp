// larkspur: the screensaver program. Reads the command line and runs the
// view in the chosen mode: on the X display (XScreenSaver's window, a window
// id, the root, a window per monitor, or its own window), as a Wayland client
// (its own window, or a surface per output), or headless (EGL); or watches
// for idleness and runs itself in full screen then (--idle).
//
// Exit status: 0 on success, 1 when the run fails (no display or compositor,
// window or OpenGL context, an X error, a lost connection, a frame that
// cannot be written), 2 for a bad command line or a bad $XSCREENSAVER_WINDOW.
// Run by XScreenSaver, a run that SIGTERM or SIGINT ended ends by that signal
// instead of status 0, as XScreenSaver expects of its hacks.
#include "Options.h"

#include "maths/Misc.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/idle/IdleWatcher.h"
#include "platform/loop/FrameLoop.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/x11/X11Session.h"

#include <malloc.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Usage(const std::string& why)
{
    std::fprintf(stderr, "larkspur: %s\nTry 'larkspur --help' for the options.\n", why.c_str());
    return 2;
}

bool IsFolder(const std::string& path)
{
    return !path.empty() && access(path.c_str(), R_OK | X_OK) == 0;
}

// This program's own file; empty when it cannot be read.
std::string SelfPath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? std::string(self, size_t(length)) : std::string();
}

// --resources, else $LARKSPUR_RESOURCES, else the build tree's packs when
// running from the build tree, else the installed ones.
std::string ResourcesFolder(const Options& options)
{
    if (!options.resources.empty())
        return options.resources;
    if (const char* env = std::getenv("LARKSPUR_RESOURCES"); env && env[0])
        return env;
    const std::string exe = SelfPath();
    if (!exe.empty()) {
        const std::string folder = exe.substr(0, exe.rfind('/'));
        if (folder == LARKSPUR_BUILD_BIN_DIR && IsFolder(LARKSPUR_BUILD_RESOURCES))
            return LARKSPUR_BUILD_RESOURCES;
    }
    return LARKSPUR_INSTALL_RESOURCES;
}

HeadlessRun MakeRun(const Options& options)
{
    HeadlessRun run;
    run.width = options.width.value_or(run.width);
    run.height = options.height.value_or(run.height);
    run.step = options.step.value_or(kDefaultStep);
    run.ticks = HeadlessTicks(options);
    run.preview = options.preview;
    run.outDir = options.out;
    run.every = options.every.value_or(1);
    run.seed = options.seed;
    run.resources = ResourcesFolder(options);
    run.desktopPicture = options.desktopPicture;
    run.fps = options.fps;
    run.verbose = options.verbose;
    return run;
}

// XScreenSaver runs its hacks with --root (the settings dialog's preview
// with --window-id too) and names its window in $XSCREENSAVER_WINDOW.
bool RunByXScreenSaver(const Options& options)
{
    const char* window = std::getenv("XSCREENSAVER_WINDOW");
    return options.mode == DrawMode::Root || options.mode == DrawMode::WindowId || (window && window[0]);
}

// What every display host is given alike. XScreenSaver's settings dialog is
// the one place to set Larkspur where XScreenSaver runs it, so the settings
// file is not read there.
void FillHostRun(const Options& options, HostRun* run)
{
    run->endBySignal = RunByXScreenSaver(options);
    run->savedSettings = options.savedSettings || !RunByXScreenSaver(options);
    run->preview = options.preview;
    run->delayMicroseconds = options.delay;
    run->fps = options.fps;
    run->verbose = options.verbose;
    run->seed = options.seed;
    run->resources = ResourcesFolder(options);
    run->desktopPicture = options.desktopPicture;
}

X11Run MakeX11Run(const Options& options)
{
    X11Run run;
    run.target = options.mode == DrawMode::Fullscreen ? X11Run::Target::Fullscreen
                 : options.mode == DrawMode::Window   ? X11Run::Target::OwnWindow
                                                      : X11Run::Target::GivenWindow;
    run.window = options.mode == DrawMode::WindowId ? Window(options.windowId) : None;
    for (const Options::Monitor& m : options.monitors)
        run.monitors.push_back(MonitorRect{m.x, m.y, m.width, m.height, ""});
    FillHostRun(options, &run);
    return run;
}

void SayWhereSettingsComeFrom(const HostRun& run)
{
    if (run.verbose && !run.savedSettings)
        std::fprintf(stderr,
                     "larkspur: run by XScreenSaver: settings from the command line over the defaults; %s is "
                     "not read\n",
                     PrintableText(PreferencesPath(kPreferencesModule)).c_str());
}

WaylandRun MakeWaylandRun(const Options& options)
{
    WaylandRun run;
    run.fullscreen = options.mode == DrawMode::Fullscreen;
    FillHostRun(options, &run);
    return run;
}

// --root draws into the window XScreenSaver (and the lockers that follow its
// conventions) names in $XSCREENSAVER_WINDOW, else into the root window.
bool SaverWindow(X11Run* run, std::string* error)
{
    const char* text = std::getenv("XSCREENSAVER_WINDOW");
    if (!text || !text[0])
        return true;
    uint32_t id = 0;
    if (!ParseWindowId(text, &id)) {
        *error = std::string("$XSCREENSAVER_WINDOW needs a window number (hex 0x... or decimal), not '") + text + "'";
        return false;
    }
    run->window = Window(id);
    return true;
}

// The watcher's delays and lock command come from the saved settings, read
// once as it starts, unless the command line gives them. Its saver is this
// program in full screen, on the display system the watcher watches, with
// the options the watcher was given.
IdleRun MakeIdleRun(const Options& options, Backend backend)
{
    IdleSettings idle;
    ReadIdleSettings(*OpenModulePreferences(kPreferencesModule, PreferencesUse::Look), &idle);
    IdleRun run;
    run.wayland = backend == Backend::Wayland;
    run.startAfter = double(options.idleSeconds.value_or(idle.startAfter * 60));
    run.lockAfter = double(options.lockSeconds.value_or(idle.lockAfter * 60));
    run.lockCommand = options.lockCommand.value_or(idle.lockCommand);
    const std::string self = SelfPath();
    run.saver = {self.empty() ? "larkspur" : self, "--fullscreen", run.wayland ? "--wayland" : "--x11"};
    run.saver.insert(run.saver.end(), options.saverArgs.begin(), options.saverArgs.end());
    run.verbose = options.verbose;
    return run;
}

// A clean run's status, unless a quit signal ended it and it ends by that.
int Ended(const HostRun& run, int status)
{
    if (status == 0 && run.endBySignal)
        EndByQuitSignal();
    return status;
}

int Register()
{
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) {
        std::fprintf(stderr, "larkspur: $HOME is not set\n");
        return 1;
    }
    return RegisterWithXScreenSaver(home);
}

// Mesa's software renderer copies our vertex arrays into buffers it takes and
// gives back every frame. glibc would hand that memory to the kernel each time
// and fault it in again on the next frame, which more than doubled the
// program's processor time; keeping freed memory for reuse avoids it.
void KeepFreedMemoryForReuse()
{
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
}

} // namespace

int main(int argc, char** argv)
{
    KeepFreedMemoryForReuse();
    Options options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Usage(error);
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("larkspur " LARKSPUR_VERSION);
        return 0;
    }
    if (options.registerSaver)
        return Register();
    if (options.mode == DrawMode::Headless)
        return RunHeadless(MakeRun(options), options.settings);
    const Backend backend = ChooseBackend(options, std::getenv("WAYLAND_DISPLAY"));
    if (options.idle)
        return RunIdleWatcher(MakeIdleRun(options, backend));
    if (backend == Backend::Wayland) {
        const WaylandRun run = MakeWaylandRun(options);
        SayWhereSettingsComeFrom(run);
        return Ended(run, RunWayland(run, options.settings));
    }
    X11Run run = MakeX11Run(options);
    if (options.mode == DrawMode::Root && !SaverWindow(&run, &error))
        return Usage(error);
    SayWhereSettingsComeFrom(run);
    return Ended(run, RunX11(run, options.settings));
}
