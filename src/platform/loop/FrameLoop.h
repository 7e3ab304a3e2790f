// FrameLoop: the timer loop shared by the display hosts (X11, Wayland): a
// frame call every period on a steady clock, the connection's events handled
// between frames, and SIGTERM or SIGINT ending the run promptly.
//
// The loop never sleeps past the next frame and wakes at once for an event
// or a signal, so a signal ends the run within one frame's work.
#pragma once

#include <csignal>

// Seconds of the steady clock; only differences count.
double SteadyNow();

// SIGTERM and SIGINT, turned into a byte on a pipe that the loop polls
// together with the connection. A second signal while the run is ending
// takes the default action. One object at a time.
class QuitSignals {
public:
    QuitSignals();
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    int fd() const { return fds_[0]; }

private:
    int fds_[2];
    struct sigaction oldTerm_ = {}, oldInt_ = {};
};

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
