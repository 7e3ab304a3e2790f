// WaylandHost: the per-view services and the shared capture.
#include "platform/wayland/WaylandHost.h"

#include "platform/wayland/WaylandCapture.h"

#include <cstdio>

bool WaylandShared::CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height)
{
    // Taken once per run, so the reason for going without is said once, and
    // always: the user asked for the desktop and sees a picture instead.
    const auto take = [this](std::vector<unsigned char>* pixels, int* w, int* h) {
        std::string how, why;
        const bool captured = CaptureWaylandScreen(captureTarget, pixels, w, h, &how, &why);
        if (!captured)
            std::fprintf(stderr, "larkspur: no screen capture, so the desktop picture is shown (%s)\n", why.c_str());
        else if (run.verbose)
            std::fprintf(stderr, "larkspur: captured the screen through %s\n", how.c_str());
        return captured;
    };
    return capture_.Get(take, rgb, width, height);
}

WaylandHost::WaylandHost(WaylandShared* shared, std::unique_ptr<WaylandSurface> surface, bool preview, int screen,
                         std::string outputName)
    : DisplayHost(&shared->run, ViewSize{double(surface->pixelWidth()), double(surface->pixelHeight())}, preview,
                  screen),
      shared_(shared), surface_(std::move(surface)), outputName_(std::move(outputName))
{
}

void WaylandHost::FlushBuffer()
{
    DrawFpsText();
    surface_->Swap();
    Flushed();
}

void WaylandHost::FlushDamage(const std::vector<ViewRect>& rects)
{
    surface_->ShowParts(rects);
    Flushed();
}
