// WaylandHost: HostServices for one view drawn into a Wayland surface, and
// the state the views of one run share (resources, seed, the main output and
// the desktop capture).
//
// The capture is taken once, by the first view that asks, and handed to
// every view: all of them show the main output, and only that. It is asked
// for as the first view is made, before any of our surfaces has a buffer, so
// the screen does not yet show the herd.
#pragma once

#include "platform/loop/FpsMeter.h"
#include "platform/loop/FrameLoop.h"
#include "platform/wayland/WaylandCapture.h"
#include "platform/wayland/WaylandSurface.h"
#include "view/HostServices.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct WaylandShared {
    std::string resources;
    // --desktop-picture, ahead of the desktop's own setting.
    std::string givenDesktopPicture;
    std::optional<int64_t> seed;
    // Read the settings file (HostRun::savedSettings).
    bool savedSettings = true;
    bool showFps = false;
    bool verbose = false;
    // The first output the compositor lists: its number and name, and what
    // the capture is to cut out of the screen.
    int mainScreen = 0;
    std::string mainOutputName;
    // The names of the outputs present, in the compositor's order.
    std::vector<std::string> outputNames;
    CaptureTarget captureTarget;

    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height);

private:
    CaptureOnce capture_;
};

class WaylandHost : public HostServices {
public:
    // screen is the number of the view's output; outputName its name, if any.
    WaylandHost(WaylandShared* shared, std::unique_ptr<WaylandSurface> surface, bool preview, int screen,
                std::string outputName);

    double SteadySeconds() override;
    int64_t WallClockSeconds() override;
    void MakeCurrent() override { surface_->MakeCurrent(); }
    void FlushBuffer() override;
    void ResizeSurface(double width, double height) override { size_ = ViewSize{width, height}; }
    ViewSize Bounds() override { return size_; }
    bool IsPreview() override { return preview_; }
    int ScreenNumber() override { return screen_; }
    int MainScreenNumber() override { return shared_->mainScreen; }
    std::string ScreenName() override { return outputName_; }
    std::vector<std::string> ScreenNames() override { return shared_->outputNames; }
    std::string ResourcesPath() override { return shared_->resources; }
    std::string DesktopPicturePath() override;
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height) override
    {
        return shared_->CaptureMainDisplay(rgb, width, height);
    }
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override;
    void StopAnimationTimer() override { timerStopped_ = true; }
    void RestartAnimationTimer() override { timerStopped_ = false; }
    std::FILE* EventLog() override { return shared_->verbose ? stderr : nullptr; }

    WaylandSurface& surface() { return *surface_; }
    const std::string& outputName() const { return outputName_; }
    bool timerStopped() const { return timerStopped_; }
    int64_t flushes() const { return flushes_; }
    FpsMeter& meter() { return meter_; }

private:
    WaylandShared* shared_;
    std::unique_ptr<WaylandSurface> surface_;
    ViewSize size_;
    bool preview_;
    int screen_;
    std::string outputName_;
    bool timerStopped_ = false;
    int64_t flushes_ = 0;
    FpsMeter meter_;
};
