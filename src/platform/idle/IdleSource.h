// IdleSource: what the idle watcher asks of the session's idle timer,
// whichever the session offers (the Wayland idle protocols, GNOME's idle
// monitor, the X screen-saver extension).
//
// Every source runs on the thread-default GLib main context: it adds its
// connection or its timer there, and calls back from that loop.
#pragma once

#include <functional>
#include <string>

class IdleSource {
public:
    virtual ~IdleSource() = default;

    // Counts the idle time afresh from now: onIdle comes once the session
    // has had no input for the delay since this call, and then not again
    // until the next Restart. The first Restart starts the watch.
    virtual void Restart() = 0;
    // What the source is, for messages ("ext-idle-notify-v1", ...).
    virtual std::string Name() const = 0;

    std::function<void()> onIdle;
    // The connection is gone (the compositor or the session bus ended);
    // the reason is a sentence for stderr.
    std::function<void(const std::string&)> onLost;
};
