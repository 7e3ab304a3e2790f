// LarkspurView: one screensaver view's logic: its settings, the frame loop
// with its time step, the OpenGL state between frames, the background
// picture, and the scene it owns.
//
// The platform is reached only through HostServices, which must outlive the
// view, with the view's surface usable from creation to destruction. A view
// whose scene cannot be set up (missing resources) keeps running and shows
// the cleared black surface. Frame pacing: a gap between 1/60 s (rounded to
// single precision, exclusive) and 2 s (inclusive) draws one frame with that
// step; a longer gap only restarts the clock; a shorter one waits.
#pragma once

#include "resources/Texture.h"
#include "scene/SSMain.h"
#include "view/HostServices.h"
#include "view/Settings.h"

#include <memory>
#include <string>
#include <vector>

class LarkspurView {
public:
    // The host's timer interval, in seconds.
    static constexpr double kAnimationTimeInterval = 0.025;
    static constexpr double kLongestGap = 2.0;
    static constexpr double kShortestGap = double(1.0f / 60.0f);

    // Reads the settings (overrides applied on top) and, for the captured
    // desktop, takes the capture now, before anything is drawn.
    explicit LarkspurView(HostServices* host, const SettingsOverrides& overrides = SettingsOverrides());
    ~LarkspurView();
    LarkspurView(const LarkspurView&) = delete;
    LarkspurView& operator=(const LarkspurView&) = delete;

    void startAnimation();
    // The host calls it when screens come, go or change: a view whose screen
    // is no longer chosen turns black and stops, one newly chosen starts.
    void screensChanged();
    void animateOneFrame();
    void stopAnimation();
    // Called after the host has changed the view's size.
    void setFrameSize(double width, double height);

    // The host must not fade the display's gamma.
    static bool performGammaFade() { return false; }
    bool hasConfigureSheet() const { return true; }

    // Builds the scene and the background; false when the scene could not be
    // set up, in which case the scene is dropped and frames stay black.
    bool mainSetup();
    void glInit();
    void glReshape();

    bool MainMonitorOnly = false;
    bool ThisScreenIsOn = false;
    bool viewAllocated = false;
    bool glReady = false;
    bool initialized = false;
    SETTINGS mySettings;
    // Seconds of the host's steady clock at the last drawn frame.
    double animtime = 0;
    ViewSize Scrn;
    std::unique_ptr<SSMAIN> ssMain;
    // The background until the scene takes it over.
    Texture DeskTex;

private:
    // Whether this view's screen shows the herd (MainMonitorOnly and the
    // monitor names).
    bool ScreenChosen();
    void SayNoneListedIsPresent(const std::vector<std::string>& present);
    void ClearToBlack();
    // Detail for the capture and pictures: 0 in the preview.
    int BackgroundDetail();
    void LoadBackground(const std::string& resources);

    HostServices* host_;
};

// The folder background's fallback pictures, tried in order.
extern const char* const kFallbackBackground;
extern const char* const kSystemBackground;
// Our own ground picture, in the resources folder beside the packs: the last
// picture tried, so that a machine without any desktop picture never shows
// an untextured white ground.
extern const char* const kOwnGroundPicture;
