// FpsMeter: frames per second and Load, the share of the time a view spends
// working on its frame calls rather than waiting for the next one, for the
// frame-rate text and the summary at exit.
//
// The figures on screen cover the last whole second; the summary covers the
// run from the first frame call to the last. Times are steady seconds.
#pragma once

#include <string>
#include <vector>

class FpsMeter {
public:
    // One frame call that ran from start to end; drew says whether it put a
    // new frame on the screen.
    void Record(double start, double end, bool drew);

    // False until a whole second has been measured.
    bool HasFigures() const { return hasFigures_; }
    double FramesPerSecond() const { return fps_; }
    // Between 0 and 1.
    double Load() const { return load_; }
    // "FPS: 39.9" and "LOAD: 12.3%", or nothing before the first second.
    std::vector<std::string> OverlayLines() const;

    double RunSeconds() const { return runEnd_ - runStart_; }
    long long RunFrames() const { return runFrames_; }
    double RunFramesPerSecond() const;
    double RunLoad() const;
    // "N frames in S s, F frames per second, load L%".
    std::string Summary() const;

private:
    static constexpr double kWindow = 1.0;

    bool started_ = false;
    double windowStart_ = 0;
    double windowWork_ = 0;
    long long windowFrames_ = 0;
    bool hasFigures_ = false;
    double fps_ = 0;
    double load_ = 0;

    double runStart_ = 0;
    double runEnd_ = 0;
    double runWork_ = 0;
    long long runFrames_ = 0;
};
