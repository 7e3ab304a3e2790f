// X11Host: the X11 side of a DisplayHost, for one view drawn into an X window
// with GLX (its surface, monitors and capture), and the state the views of
// one run share (the run's options, the display, the monitor layout, the
// desktop capture).
//
// The capture is taken once, by the first view that asks, and handed to
// every view: all of them show the main display. It must therefore be asked
// for before any of our windows is mapped. The frame-rate text is drawn over
// each frame just before it is shown.
#pragma once

#include "platform/loop/DisplayHost.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/HostRun.h"
#include "platform/x11/GlxSurface.h"
#include "platform/x11/Monitors.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

struct X11Shared {
    Display* display = nullptr;
    MonitorLayout layout;
    HostRun run;
    // The window XScreenSaver gave us, which may carry its screenshot; None
    // when we draw in our own windows.
    Window saverWindow = None;

    // The main display as top-down RGB, read once.
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height);

private:
    CaptureOnce capture_;
};

class X11Host : public DisplayHost {
public:
    X11Host(X11Shared* shared, std::unique_ptr<GlxSurface> surface, int width, int height, bool preview);

    void MakeCurrent() override;
    void FlushBuffer() override;
    // The back buffer is never swapped where parts of it can be shown; then
    // it keeps its pixels, unless the frame-rate text is drawn over them.
    bool KeepsPixels() override;
    void FlushDamage(const std::vector<ViewRect>& rects) override;
    // The window showed something else: the next flush shows all of it.
    void ShowWholeNext() { showWhole_ = true; }
    void ResizeSurface(double width, double height) override;
    int MainScreenNumber() override { return shared_->layout.primary; }
    std::string ScreenName() override;
    std::vector<std::string> ScreenNames() override;
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height) override;

    GlxSurface& surface() { return *surface_; }

private:
    X11Shared* shared_;
    std::unique_ptr<GlxSurface> surface_;
    bool showWhole_ = true;
    void ShowWhole();
};
