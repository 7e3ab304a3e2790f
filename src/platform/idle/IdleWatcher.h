// IdleWatcher: the run of `larkspur --idle`. It waits for the session to be
// idle for the delay, then runs the full-screen saver as a child process and
// goes back to watching when the saver ends (input ends it). With a lock
// delay it runs the lock command once the saver has shown that long and ends
// the saver, so that the desktop's lock screen is what the user meets.
//
// The saver is a child, not a view in this process: each showing gets a fresh
// process whose display connections, OpenGL contexts and memory all go when
// it ends, a saver that crashes leaves the watcher running, and the watcher
// can end it with SIGTERM for the lock. The child is the same program with
// --fullscreen, so it is exactly what an idle tool would run.
//
// The idle source is chosen by what the session offers: on Wayland the
// compositor's idle protocols, else GNOME's idle monitor; on X11 GNOME's idle
// monitor, else the server's screen-saver extension, unless an XScreenSaver
// daemon runs, which is in charge there. Before each start the session's holds
// are asked (SessionHolds).
//
// One watcher runs per user and display; a second ends at once, saying so.
//
// Exit status: 0 on SIGTERM or SIGINT (a showing saver is ended first) and
// for a second watcher, 1
// when no idle source answers, XScreenSaver is in charge, or the source's
// connection is lost.
#pragma once

#include "view/Settings.h"

#include <string>
#include <vector>

struct IdleRun {
    // The idle source and the saver's display system: Wayland or X11.
    bool wayland = false;
    // Seconds without input before the saver starts.
    double startAfter = kDefaultStartAfter * 60.0;
    // Seconds of saver before the lock command runs; 0 for never.
    double lockAfter = kDefaultLockAfter * 60.0;
    // Run through /bin/sh.
    std::string lockCommand = kDefaultLockCommand;
    // The saver's program and arguments.
    std::vector<std::string> saver;
    // Reports each start, hold, lock and end on stderr.
    bool verbose = false;
};

int RunIdleWatcher(const IdleRun& run);
