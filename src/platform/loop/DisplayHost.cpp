// DisplayHost: the part of a display host's view every platform shares.
#include "platform/loop/DisplayHost.h"

#include "platform/desktop/DesktopPicture.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/GLText.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "view/LarkspurView.h"

namespace {

// Font pixels of the frame-rate text: larger on large views.
int FpsTextScale(const ViewSize& size)
{
    return size.height >= 480 ? 2 : 1;
}

} // namespace

DisplayHost::DisplayHost(const HostRun* run, ViewSize size, bool preview, int screen)
    : size_(size), run_(run), preview_(preview), screen_(screen)
{
}

double DisplayHost::SteadySeconds()
{
    return SteadyNow();
}

std::string DisplayHost::DesktopPicturePath()
{
    GioDesktopSettings settings;
    return FindDesktopPicture(SessionSources(run_->desktopPicture, ScreenName()), &settings);
}

std::unique_ptr<PreferencesStore> DisplayHost::OpenPreferences(const char* module)
{
    return OpenViewPreferences(module, run_->savedSettings);
}

void DisplayHost::CallFrame(LarkspurView* view)
{
    const int64_t flushes = flushes_;
    const double start = SteadyNow();
    view->animateOneFrame();
    meter_.Record(start, SteadyNow(), flushes_ != flushes);
}

void DisplayHost::DrawFpsText()
{
    if (run_->fps)
        DrawGLTextBottomLeft(meter_.OverlayLines(), FpsTextScale(size_), 8, int(size_.width), int(size_.height));
}
