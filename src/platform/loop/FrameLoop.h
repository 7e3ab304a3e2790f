// FrameLoop: the timer loop shared by the display hosts (X11, Wayland): a
// frame call every period on a steady clock, the connection's events handled
// between frames, and SIGTERM or SIGINT ending the run promptly.
//
// The loop never sleeps past the next frame and wakes at once for an event
// or a signal; it looks for a signal on every pass, also when the frames run
// late, so a signal ends the run within one frame's work.
#pragma once

#include <csignal>
#include <functional>
#include <vector>

class FpsMeter;

// Seconds of the steady clock; only differences count.
double SteadyNow();

// SIGTERM and SIGINT, turned into a byte on a pipe that the loop polls
// together with the connection. A second signal while the run is ending
// takes the default action. One object at a time.
//
// A run still going graceSeconds after the first signal ends at once, with
// status 0 (or by the signal, with endBySignal) and a line on stderr: a display server that is stopped or hung
// holds the run inside one of its round trips (in a frame's drawing or in
// the teardown), where no loop can look at the pipe, and a frame may take
// longer than the grace. What is skipped then (freeing memory, windows and
// contexts) the system and the server reclaim with the process. Destroying
// the object calls the grace off.
class QuitSignals {
public:
    static constexpr unsigned kGraceSeconds = 1;

    explicit QuitSignals(unsigned graceSeconds = kGraceSeconds, bool endBySignal = false);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    int fd() const { return fds_[0]; }
    // A signal has arrived: a host with several views draws no more of them.
    bool Raised() const;

private:
    int fds_[2];
    struct sigaction oldTerm_ = {}, oldInt_ = {}, oldAlarm_ = {};
};

// Ends the process by the quit signal that ended the last run, with that
// signal's default action, as a process killed by it; returns when no signal
// ended a run.
void EndByQuitSignal();

// What the loop drives. Every WaitOn is followed by exactly one EndWait.
class FrameLoopClient {
public:
    virtual ~FrameLoopClient() = default;

    virtual bool Running() = 0;
    // One frame call of every view.
    virtual void Frame() = 0;
    // Handles the events already received, without blocking.
    virtual void HandleEvents() = 0;
    // The connection's descriptor to poll for more events.
    virtual int WaitOn() = 0;
    // After the poll; readable tells whether the connection has data.
    virtual void EndWait(bool readable) = 0;
    // A quit signal arrived.
    virtual void Quit() = 0;
};

// Runs until the client stops running; period in seconds.
void RunFrameLoop(FrameLoopClient* client, const QuitSignals& signals, double period);

// The run's frame figures on stderr (--fps): one line, or a line per view
// named "<unit> N" when there are several.
void ReportRunFigures(const std::vector<const FpsMeter*>& meters, const char* unit);

// The main display's capture, taken once by the first view that asks and
// handed to every view, so that all of them show the screen as it was before
// any of our windows appeared.
class CaptureOnce {
public:
    using Take = std::function<bool(std::vector<unsigned char>* rgb, int* width, int* height)>;
    // Top-down RGB; false when the capture could not be had.
    bool Get(const Take& take, std::vector<unsigned char>* rgb, int* width, int* height);

private:
    bool taken_ = false;
    bool captured_ = false;
    std::vector<unsigned char> rgb_;
    int width_ = 0;
    int height_ = 0;
};
