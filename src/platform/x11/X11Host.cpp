// X11Host: the per-view services and the shared capture.
#include "platform/x11/X11Host.h"

#include "platform/desktop/DesktopPicture.h"
#include "platform/loop/GLText.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "platform/x11/ScreenCapture.h"

#include <chrono>
#include <ctime>

namespace {

// Font pixels of the frame-rate text: larger on large views.
int FpsTextScale(const ViewSize& size)
{
    return size.height >= 480 ? 2 : 1;
}

} // namespace

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
    : shared_(shared), surface_(std::move(surface)), size_{double(width), double(height)}, preview_(preview)
{
}

double X11Host::SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t X11Host::WallClockSeconds()
{
    return shared_->seed ? *shared_->seed : int64_t(std::time(nullptr));
}

void X11Host::MakeCurrent()
{
    surface_->MakeCurrent();
}

void X11Host::FlushBuffer()
{
    if (shared_->showFps)
        DrawGLTextBottomLeft(meter_.OverlayLines(), FpsTextScale(size_), 8, int(size_.width), int(size_.height));
    // A swapped back buffer loses its pixels, so one kept is shown whole instead.
    if (KeepsPixels())
        ShowWhole();
    else
        surface_->Swap();
    flushes_++;
}

bool X11Host::KeepsPixels()
{
    return surface_->CanShowParts() && !shared_->showFps;
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
    flushes_++;
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
    return screen_ >= 0 && size_t(screen_) < monitors.size() ? monitors[size_t(screen_)].name : std::string();
}

std::vector<std::string> X11Host::ScreenNames()
{
    std::vector<std::string> names;
    for (const MonitorRect& monitor : shared_->layout.monitors)
        names.push_back(monitor.name);
    return names;
}

std::string X11Host::DesktopPicturePath()
{
    const bool onMonitor = screen_ >= 0 && screen_ < int(shared_->layout.monitors.size());
    const std::string monitor = onMonitor ? shared_->layout.monitors[size_t(screen_)].name : std::string();
    GioDesktopSettings settings;
    return FindDesktopPicture(SessionSources(shared_->givenDesktopPicture, monitor), &settings);
}

bool X11Host::CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height)
{
    return shared_->CaptureMainDisplay(rgb, width, height);
}

std::unique_ptr<PreferencesStore> X11Host::OpenPreferences(const char* module)
{
    return OpenViewPreferences(module, shared_->savedSettings);
}
