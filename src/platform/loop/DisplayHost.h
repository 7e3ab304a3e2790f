// DisplayHost: what every display host's view does alike (X11, Wayland): the
// clocks, the settings store, the desktop picture of the view's screen, the
// view's timer, the frame-rate meter and its text, and the count of flushes
// by which a frame call is known to have drawn. Each platform adds its
// surface, its screens and its capture.
//
// A frame call is timed for the meter through CallFrame; a flush draws the
// frame-rate text (--fps) over the frame just before it is shown.
#pragma once

#include "platform/loop/FpsMeter.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/HostRun.h"
#include "view/HostServices.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class LarkspurView;

class DisplayHost : public HostServices {
public:
    // run outlives the host.
    DisplayHost(const HostRun* run, ViewSize size, bool preview, int screen);

    double SteadySeconds() override;
    int64_t WallClockSeconds() override { return run_->WallClockSeconds(); }
    ViewSize Bounds() override { return size_; }
    bool IsPreview() override { return preview_; }
    int ScreenNumber() override { return screen_; }
    std::string ResourcesPath() override { return run_->resources; }
    // The given picture, else the desktop's own for the view's screen.
    std::string DesktopPicturePath() override;
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override;
    void StopAnimationTimer() override { timerStopped_ = true; }
    void RestartAnimationTimer() override { timerStopped_ = false; }
    std::FILE* EventLog() override { return run_->verbose ? stderr : nullptr; }

    // One frame call of view, timed for the meter, which counts it as drawn
    // when it flushed.
    void CallFrame(LarkspurView* view);
    void SetScreen(int screen) { screen_ = screen; }
    bool timerStopped() const { return timerStopped_; }
    int64_t flushes() const { return flushes_; }
    const FpsMeter& meter() const { return meter_; }

protected:
    // Draws the frame-rate text over the frame about to be shown (--fps).
    void DrawFpsText();
    // A frame was shown.
    void Flushed() { flushes_++; }
    bool showsFps() const { return run_->fps; }

    ViewSize size_;

private:
    const HostRun* run_;
    bool preview_;
    int screen_;
    bool timerStopped_ = false;
    int64_t flushes_ = 0;
    FpsMeter meter_;
};

// What a session keeps of each view: the host first, so that the view, which
// uses it, goes first.
template <class Host>
struct HostedView {
    std::unique_ptr<Host> host;
    std::unique_ptr<LarkspurView> view;
};

// A session's view, held by value or through a pointer.
template <class Host>
const HostedView<Host>& Hosted(const HostedView<Host>& view)
{
    return view;
}
template <class View>
const View& Hosted(const std::unique_ptr<View>& view)
{
    return *view;
}

// One frame call of every view whose timer runs and that mayDraw(host) now.
// After a quit signal the run ends, so the views not yet called are left:
// their frames would only delay it.
template <class Views, class MayDraw>
void CallFrames(const Views& views, const QuitSignals& signals, MayDraw mayDraw)
{
    for (const auto& each : views) {
        if (signals.Raised())
            break;
        const auto& view = Hosted(each);
        if (!view.host->timerStopped() && mayDraw(*view.host))
            view.host->CallFrame(view.view.get());
    }
}

// The run's frame figures on stderr (--fps), a line per view named
// "<unit> N" when there are several.
template <class Views>
void ReportViewFigures(const HostRun& run, const Views& views, const char* unit)
{
    if (!run.fps)
        return;
    std::vector<const FpsMeter*> meters;
    for (const auto& view : views)
        meters.push_back(&Hosted(view).host->meter());
    ReportRunFigures(meters, unit);
}
