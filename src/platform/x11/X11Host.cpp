// X11Host: the per-view services and the shared capture.
#include "platform/x11/X11Host.h"

#include "platform/x11/ScreenCapture.h"

bool X11Shared::CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height)
{
    const auto take = [this](std::vector<unsigned char>* pixels, int* w, int* h) {
        // Under XScreenSaver this is the screenshot of our own window's
        // monitor, not of the main display: XScreenSaver runs one process per
        // monitor and has covered every monitor before any of them starts, so
        // a secondary monitor's process cannot read the main display any
        // more. Each monitor thus shows its own desktop.
        if (saverWindow != None && CaptureScreenshotProperty(display, saverWindow, pixels, w, h))
            return true;
        if (layout.monitors.empty())
            return false;
        const MonitorRect& main = layout.monitors[size_t(layout.primary)];
        return CaptureRootArea(display, main.x, main.y, main.width, main.height, pixels, w, h);
    };
    return capture_.Get(take, rgb, width, height);
}

X11Host::X11Host(X11Shared* shared, std::unique_ptr<GlxSurface> surface, int width, int height, bool preview)
    : DisplayHost(&shared->run, ViewSize{double(width), double(height)}, preview, 0), shared_(shared),
      surface_(std::move(surface))
{
}

void X11Host::MakeCurrent()
{
    surface_->MakeCurrent();
}

void X11Host::FlushBuffer()
{
    DrawFpsText();
    // A swapped back buffer loses its pixels, so one kept is shown whole instead.
    if (KeepsPixels())
        ShowWhole();
    else
        surface_->Swap();
    Flushed();
}

bool X11Host::KeepsPixels()
{
    return surface_->CanShowParts() && !showsFps();
}

void X11Host::FlushDamage(const std::vector<ViewRect>& rects)
{
    if (!KeepsPixels()) {
        FlushBuffer();
        return;
    }
    if (showWhole_)
        ShowWhole();
    else
        surface_->ShowParts(rects);
    Flushed();
}

void X11Host::ShowWhole()
{
    showWhole_ = false;
    surface_->ShowParts({ViewRect{0, 0, int(size_.width), int(size_.height)}});
}

void X11Host::ResizeSurface(double width, double height)
{
    size_ = ViewSize{width, height};
    surface_->Resize(int(width), int(height));
    // Mesa's software renderer looks at the window's size again only after a
    // swap; without one the kept back buffer stays at the old size, and a
    // copy of the new size is refused. The view repaints it all next.
    if (KeepsPixels()) {
        surface_->Swap();
        showWhole_ = true;
    }
}

std::string X11Host::ScreenName()
{
    const std::vector<MonitorRect>& monitors = shared_->layout.monitors;
    const int screen = ScreenNumber();
    return screen >= 0 && size_t(screen) < monitors.size() ? monitors[size_t(screen)].name : std::string();
}

std::vector<std::string> X11Host::ScreenNames()
{
    std::vector<std::string> names;
    for (const MonitorRect& monitor : shared_->layout.monitors)
        names.push_back(monitor.name);
    return names;
}

bool X11Host::CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height)
{
    return shared_->CaptureMainDisplay(rgb, width, height);
}
