// IdleService: starting the idle watcher with the user's session, and
// stopping it, as the settings window's check box asks: through systemd's
// user manager when it runs the graphical session's target and knows the unit
// larkspur-idle.service, else
// through the XDG autostart entry copied into ~/.config/autostart/ and a
// watcher started at once. Also the lock file by which one watcher runs per
// user and display, which names the running watcher so that it can be
// stopped.
#pragma once

#include <string>

// Where each way of starting finds its parts.
struct IdleServiceSetup {
    // The installed autostart entry, copied as it is.
    std::string autostartTemplate;
    // The program started at once when there is no systemd.
    std::string program = "larkspur";
};

// $XDG_RUNTIME_DIR/larkspur-idle-DISPLAY.lock for the Wayland display or the
// X display of the environment; empty when either is unset.
std::string WatcherLockPath(bool wayland);

// Whether the watcher starts with the session (the unit enabled, or the
// autostart entry there).
bool IdleWatcherEnabled();

// Turns the watcher on (enabled and started afresh, so that changed
// settings count) or off (disabled, its entry removed and a running one
// stopped). False with the reason when it could not be done.
bool SetIdleWatcher(bool on, const IdleServiceSetup& setup, std::string* error);
