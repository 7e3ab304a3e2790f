// WaylandHost: the Wayland side of a DisplayHost, for one view drawn into a
// Wayland surface (its surface, outputs and capture), and the state the
// views of one run share (the run's options, the main output and the
// desktop capture).
//
// The capture is taken once, by the first view that asks, and handed to
// every view: all of them show the main output, and only that. It is asked
// for as the first view is made, before any of our surfaces has a buffer, so
// the screen does not yet show the herd.
#pragma once

#include "platform/loop/DisplayHost.h"
#include "platform/loop/FrameLoop.h"
#include "platform/loop/HostRun.h"
#include "platform/wayland/WaylandCapture.h"
#include "platform/wayland/WaylandSurface.h"

#include <memory>
#include <string>
#include <vector>

struct WaylandShared {
    HostRun run;
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

class WaylandHost : public DisplayHost {
public:
    // screen is the number of the view's output; outputName its name, if any.
    WaylandHost(WaylandShared* shared, std::unique_ptr<WaylandSurface> surface, bool preview, int screen,
                std::string outputName);

    void MakeCurrent() override { surface_->MakeCurrent(); }
    void FlushBuffer() override;
    bool KeepsPixels() override { return surface_->KeepsPixels(); }
    void FlushDamage(const std::vector<ViewRect>& rects) override;
    void ResizeSurface(double width, double height) override { size_ = ViewSize{width, height}; }
    int MainScreenNumber() override { return shared_->mainScreen; }
    std::string ScreenName() override { return outputName_; }
    std::vector<std::string> ScreenNames() override { return shared_->outputNames; }
    bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height) override
    {
        return shared_->CaptureMainDisplay(rgb, width, height);
    }

    WaylandSurface& surface() { return *surface_; }
    const std::string& outputName() const { return outputName_; }

private:
    WaylandShared* shared_;
    std::unique_ptr<WaylandSurface> surface_;
    std::string outputName_;
};
