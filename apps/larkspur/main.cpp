// larkspur: the screensaver program. Reads the command line and runs the
// view in the chosen mode; this build draws only headless (EGL), the display
// modes are parsed and refused.
//
// Exit status: 0 on success, 1 when the run fails (no OpenGL context, a frame
// that cannot be written), 2 for a bad command line.
#include "Options.h"

#include "platform/headless/HeadlessHost.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kDefaultSeconds = 20.0;
constexpr double kDefaultStep = 0.025;

int Usage(const std::string& why)
{
    std::fprintf(stderr, "larkspur: %s\nTry 'larkspur --help' for the options.\n", why.c_str());
    return 2;
}

bool IsFolder(const std::string& path)
{
    return !path.empty() && access(path.c_str(), R_OK | X_OK) == 0;
}

// --resources, else $LARKSPUR_RESOURCES, else the build tree's packs when
// running from the build tree, else the installed ones.
std::string ResourcesFolder(const Options& options)
{
    if (!options.resources.empty())
        return options.resources;
    if (const char* env = std::getenv("LARKSPUR_RESOURCES"); env && env[0])
        return env;
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = '\0';
        const std::string exe(self);
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
    if (options.frames)
        run.ticks = *options.frames;
    else
        run.ticks = int64_t(std::ceil(options.seconds.value_or(kDefaultSeconds) / run.step - 1e-9));
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

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Usage(error);
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.registerSaver)
        return Usage("--register is not available in this build yet");
    if (options.mode != DrawMode::Headless)
        return Usage("this build cannot draw on a display yet; use --headless");
    return RunHeadless(MakeRun(options), options.settings);
}
