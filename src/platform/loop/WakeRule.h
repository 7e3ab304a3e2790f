// WakeRule: which input ends a full-screen run (X11 or Wayland), so that an
// idle tool can use larkspur as a screensaver.
//
// A key, a button or a touch wakes at once. Pointer motion wakes only when
// it carries the pointer more than kMotionPixels from where it was first
// seen after the first kGraceSeconds: compositors move the pointer on their
// own while new surfaces appear, and a mouse on a shaking desk drifts by a
// pixel or two. Entering another surface or window (another output) only
// moves the reference point, since surfaces coming and going can put a
// resting pointer on another one.
#pragma once

class WakeRule {
public:
    static constexpr double kGraceSeconds = 0.5;
    // In the pixels the platform gives pointer positions in (Wayland's
    // surface-local logical pixels, X11's screen pixels).
    static constexpr double kMotionPixels = 10.0;

    explicit WakeRule(double startSeconds) : start_(startSeconds) {}

    // The pointer entered one of our surfaces or windows at (x, y).
    void Enter(double now, double x, double y);
    // True when this motion, on the surface last entered, wakes.
    bool Motion(double now, double x, double y);

private:
    double start_;
    bool haveReference_ = false;
    double x_ = 0, y_ = 0;
};

// The line on stderr (--verbose) that tells what input ended the run.
void SayWoken(const char* by);
