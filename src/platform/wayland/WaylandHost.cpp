// WaylandHost: the per-view services and the shared capture.
#include "platform/wayland/WaylandHost.h"

#include "platform/desktop/DesktopPicture.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/GLText.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "platform/wayland/WaylandCapture.h"

#include <ctime>

bool WaylandShared::CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height)
{
    // Taken once per run, so the reason for going without is said once, and
    // always: the user asked for the desktop and sees a picture instead.
    const auto take = [this](std::vector<unsigned char>* pixels, int* w, int* h) {
        std::string how, why;
        const bool captured = CaptureWaylandScreen(captureTarget, pixels, w, h, &how, &why);
        if (!captured)
            std::fprintf(stderr, "larkspur: no screen capture, so the desktop picture is shown (%s)\n",
                         why.c_str());
        else if (verbose)
            std::fprintf(stderr, "larkspur: captured the screen through %s\n", how.c_str());
        return captured;
    };
    return capture_.Get(take, rgb, width, height);
}

WaylandHost::WaylandHost(WaylandShared* shared, std::unique_ptr<WaylandSurface> surface, bool preview, int screen,
                         std::string outputName)
    : shared_(shared),
      surface_(std::move(surface)),
      size_{double(surface_->pixelWidth()), double(surface_->pixelHeight())},
      preview_(preview),
      screen_(screen),
      outputName_(std::move(outputName))
{
}

double WaylandHost::SteadySeconds()
{
    return SteadyNow();
}

int64_t WaylandHost::WallClockSeconds()
{
    return shared_->seed ? *shared_->seed : int64_t(std::time(nullptr));
}

void WaylandHost::FlushBuffer()
{
    if (shared_->showFps)
        DrawGLTextBottomLeft(meter_.OverlayLines(), size_.height >= 480 ? 2 : 1, 8, int(size_.width),
                             int(size_.height));
    surface_->Swap();
    flushes_++;
}

std::string WaylandHost::DesktopPicturePath()
{
    GioDesktopSettings settings;
    return FindDesktopPicture(SessionSources(shared_->givenDesktopPicture, outputName_), &settings);
}

std::unique_ptr<PreferencesStore> WaylandHost::OpenPreferences(const char* module)
{
    return OpenViewPreferences(module, shared_->savedSettings);
}
