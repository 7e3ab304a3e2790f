// X11Host: HostServices for one view drawn into an X window with GLX, and the
// state the views of one run share (the display, the monitor layout, the
// desktop capture).
//
// The capture is taken once, by the first view that asks, and handed to
// every view: all of them show the main display. It must therefore be asked
// for before any of our windows is mapped. The frame-rate text is drawn over
// each frame just before it is shown.
#pragma once

#include "platform/loop/FpsMeter.h"
#include "platform/loop/FrameLoop.h"
#include "platform/x11/GlxSurface.h"
#include "platform/x11/Monitors.h"
#include "view/HostServices.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct X11Shared {
    Display* display = nullptr;
    MonitorLayout layout;
    std::string resources;
    // --desktop-picture, ahead of the desktop's own setting.
    std::string givenDesktopPicture;
    std::optional<int64_t> seed;
    // Read the settings file (HostRun::savedSettings).
    bool savedSettings = true;
    bool showFps = false;
    // The herd's and the camera's events on stderr.
    bool verbose = false;
    // The window XScreenSaver gave us, which may carry its screenshot; None
    // when we draw in our own windows.
    Window saverWindow = None;

    // The main display as top-down RGB, read once.
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height);

private:
    CaptureOnce capture_;
};

class X11Host : public HostServices {
public:
    X11Host(X11Shared* shared, std::unique_ptr<GlxSurface> surface, int width, int height, bool preview);

    double SteadySeconds() override;
    int64_t WallClockSeconds() override;
    void MakeCurrent() override;
    void FlushBuffer() override;
    // The back buffer is never swapped where parts of it can be shown; then
    // it keeps its pixels, unless the frame-rate text is drawn over them.
    bool KeepsPixels() override;
    void FlushDamage(const std::vector<ViewRect>& rects) override;
    // The window showed something else: the next flush shows all of it.
    void ShowWholeNext() { showWhole_ = true; }
    void ResizeSurface(double width, double height) override;
    ViewSize Bounds() override { return size_; }
    bool IsPreview() override { return preview_; }
    int ScreenNumber() override { return screen_; }
    int MainScreenNumber() override { return shared_->layout.primary; }
    std::string ScreenName() override;
    std::vector<std::string> ScreenNames() override;
    std::string ResourcesPath() override { return shared_->resources; }
    std::string DesktopPicturePath() override;
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height) override;
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override;
    void StopAnimationTimer() override { timerStopped_ = true; }
    void RestartAnimationTimer() override { timerStopped_ = false; }
    std::FILE* EventLog() override { return shared_->verbose ? stderr : nullptr; }

    GlxSurface& surface() { return *surface_; }
    void SetScreen(int screen) { screen_ = screen; }
    bool timerStopped() const { return timerStopped_; }
    int64_t flushes() const { return flushes_; }
    FpsMeter& meter() { return meter_; }

private:
    X11Shared* shared_;
    std::unique_ptr<GlxSurface> surface_;
    ViewSize size_;
    bool preview_;
    int screen_ = 0;
    bool timerStopped_ = false;
    int64_t flushes_ = 0;
    FpsMeter meter_;
    bool showWhole_ = true;
    void ShowWhole();
};
