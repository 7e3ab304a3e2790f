// HeadlessHost: runs one view without a display, on a simulated clock, and
// writes chosen frames as PNG files.
//
// Each timer tick advances the clock by a fixed step, so a run with a fixed
// seed draws the same frames every time. The view is the main screen; there
// is no desktop capture, so the captured-desktop background falls back to the
// desktop picture, which is only what the run was given.
#pragma once

#include "platform/headless/HeadlessGL.h"
#include "platform/loop/HostRun.h"
#include "view/HostServices.h"
#include "view/Settings.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Of the run's common part, fps puts the frame counts and rate on stderr at
// the end, and verbose a line per written frame besides the herd's and the
// camera's events; the timer's delay, the display and the settings' source
// play no part here.
struct HeadlessRun : HostRun {
    int width = 1280;
    int height = 720;
    // Simulated seconds per timer tick.
    double step = 0.025;
    int64_t ticks = 800;
    // Folder for PNG frames; none are written when empty.
    std::string outDir;
    // A frame is written after every tick whose number is a multiple of this.
    int64_t every = 1;
};

class HeadlessHost : public HostServices {
public:
    explicit HeadlessHost(const HeadlessRun& run) : run_(run) {}

    bool Create(std::string* error) { return gl_.Create(run_.width, run_.height, error); }
    void SetTick(int64_t tick) { now_ = kClockStart + double(tick) * run_.step; }
    bool timerStopped() const { return timerStopped_; }
    int64_t flushes() const { return flushes_; }
    // Reads the current frame and writes it as a PNG file.
    bool WriteFrame(const std::string& path, std::string* error);

    double SteadySeconds() override { return now_; }
    int64_t WallClockSeconds() override { return run_.WallClockSeconds(); }
    void MakeCurrent() override { gl_.MakeCurrent(); }
    void FlushBuffer() override;
    // The pbuffer keeps the size it was made with.
    void ResizeSurface(double, double) override {}
    ViewSize Bounds() override { return ViewSize{double(run_.width), double(run_.height)}; }
    bool IsPreview() override { return run_.preview; }
    int ScreenNumber() override { return 0; }
    int MainScreenNumber() override { return 0; }
    std::string ResourcesPath() override { return run_.resources; }
    std::string DesktopPicturePath() override { return run_.desktopPicture; }
    bool CaptureMainDisplay(std::vector<unsigned char>*, int*, int*) override { return false; }
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override;
    void StopAnimationTimer() override { timerStopped_ = true; }
    std::FILE* EventLog() override { return run_.verbose ? stderr : nullptr; }

private:
    static constexpr double kClockStart = 1000.0;

    HeadlessRun run_;
    HeadlessGL gl_;
    double now_ = kClockStart;
    bool timerStopped_ = false;
    int64_t flushes_ = 0;
    std::vector<unsigned char> pixels_;
    std::vector<unsigned char> rows_;
};

// The whole run; returns the exit status (0, or 1 when no context can be had
// or a frame cannot be written).
int RunHeadless(const HeadlessRun& run, const SettingsOverrides& overrides);
