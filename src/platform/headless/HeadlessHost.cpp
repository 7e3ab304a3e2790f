// HeadlessHost: the simulated timer loop and frame writing.
#include "platform/headless/HeadlessHost.h"

#include "platform/headless/PngFrame.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "view/LarkspurView.h"

#include <GL/gl.h>
#include <glib.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>

void HeadlessHost::FlushBuffer()
{
    glFinish();
    flushes_++;
}

std::unique_ptr<PreferencesStore> HeadlessHost::OpenPreferences(const char* module)
{
    return OpenModulePreferences(module);
}

bool HeadlessHost::WriteFrame(const std::string& path, std::string* error)
{
    gl_.MakeCurrent();
    pixels_.resize(size_t(run_.width) * size_t(run_.height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, run_.width, run_.height, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
    return WritePngFrame(path, pixels_, run_.width, run_.height, &rows_, error);
}

namespace {

std::string FrameName(int64_t tick)
{
    char name[40];
    std::snprintf(name, sizeof name, "frame-%06" PRId64 ".png", tick);
    return name;
}

} // namespace

int RunHeadless(const HeadlessRun& run, const SettingsOverrides& overrides)
{
    HeadlessHost host(run);
    std::string error;
    if (!host.Create(&error)) {
        std::fprintf(stderr, "larkspur: no headless OpenGL context: %s\n", error.c_str());
        return 1;
    }
    if (!run.outDir.empty() && g_mkdir_with_parents(run.outDir.c_str(), 0755) != 0) {
        std::fprintf(stderr, "larkspur: cannot create the folder %s\n", run.outDir.c_str());
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    int64_t written = 0;
    std::string first, last;
    {
        LarkspurView view(&host, overrides);
        view.startAnimation();
        // The view's first call only sets the scene up. Made at the clock's
        // start, it lets every tick of the run draw a frame, so the first
        // frame written shows the scene and --fps counts every tick.
        host.SetTick(0);
        view.animateOneFrame();
        const int64_t startFlushes = host.flushes();
        for (int64_t tick = 1; tick <= run.ticks && !host.timerStopped(); tick++) {
            host.SetTick(tick);
            view.animateOneFrame();
            if (run.outDir.empty() || tick % run.every != 0)
                continue;
            const std::string name = FrameName(tick);
            if (!host.WriteFrame(run.outDir + "/" + name, &error)) {
                std::fprintf(stderr, "larkspur: cannot write %s/%s: %s\n", run.outDir.c_str(), name.c_str(),
                             error.c_str());
                return 1;
            }
            if (run.verbose)
                std::fprintf(stderr, "larkspur: %s at %.3f s\n", name.c_str(), double(tick) * run.step);
            (first.empty() ? first : last) = name;
            written++;
        }
        if (run.fps) {
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const int64_t drawn = host.flushes() - startFlushes;
            std::fprintf(stderr, "larkspur: %" PRId64 " frame%s drawn in %.2f s, %.1f frames per second\n", drawn,
                         drawn == 1 ? "" : "s", wall, wall > 0 ? double(drawn) / wall : 0.0);
        }
    }
    if (written > 0)
        std::printf("larkspur: wrote %" PRId64 " frame%s to %s/ (%s%s%s)\n", written, written == 1 ? "" : "s",
                    run.outDir.c_str(), first.c_str(), last.empty() ? "" : " to ", last.c_str());
    return 0;
}
