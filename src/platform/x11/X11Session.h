// X11Session: a whole run of larkspur on an X display: the views, one per
// window, the frame loop and the end of the run.
//
// Where the views go: into an existing window (XScreenSaver's, a window id,
// the root), one view; one borderless window per monitor (--fullscreen), a
// view each; or one ordinary 1280x720 window. A given window of at most
// 640x480, or one inside another program's window, is a settings dialog's
// preview; the root window never is. Every view's frame is called on a
// steady timer, X events are handled between frames, and the run ends
// cleanly (every scene torn down) on SIGTERM or SIGINT, when the window is
// destroyed, on an X error, and in our own windows on q, Escape or closing
// the window; full screen, any key, button or pointer motion (WakeRule) ends
// it too.
#pragma once

#include "platform/loop/HostRun.h"
#include "platform/x11/Monitors.h"
#include "view/Settings.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// displayName is the display to open; empty for $DISPLAY.
struct X11Run : HostRun {
    enum class Target { OwnWindow, GivenWindow, Fullscreen };
    Target target = Target::OwnWindow;
    // GivenWindow: the window to draw into; None means the root window.
    Window window = None;
    // The layout to use instead of the detected one, first is primary.
    std::vector<MonitorRect> monitors;
};

constexpr int kOwnWindowWidth = 1280;
constexpr int kOwnWindowHeight = 720;

// A given window of this size or smaller is a settings dialog's preview.
bool IsPreviewSize(int width, int height);
// A given window inside another program's window (not a top-level window,
// framed by a window manager or not) is a settings dialog's preview pane,
// whatever its size: XScreenSaver 6's pane is about 725x407 to 800x490 and
// grows with its dialog, and the full-view overlay ("move the mouse to wake
// up") reads wrongly there. False for the root window.
bool IsEmbeddedWindow(Display* display, Window window);

// The whole run; returns the exit status: 0 for a run that ended as asked
// (signal, key, window closed or destroyed), 1 when the display, the window
// or an OpenGL context cannot be had, or on an X error.
int RunX11(const X11Run& run, const SettingsOverrides& overrides);
