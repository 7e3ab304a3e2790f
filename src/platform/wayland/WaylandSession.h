// WaylandSession: a whole run of larkspur as a native Wayland client: the
// views, the outputs, input and the end of the run.
//
// One ordinary 1280x720 window, ended by q, Escape or closing it; or, with
// fullscreen, one full-screen surface on each output, drawn at the output's
// scale, gaining and losing views as outputs come and go, and ended by input
// (see WakeRule) so that an idle tool can run it as a screensaver. The first
// output the compositor lists is the main one. Frames are called on a steady
// timer but a surface is drawn only when the compositor has asked for a
// frame. SIGTERM and SIGINT end the run cleanly; losing the compositor ends
// it with status 1.
#pragma once

#include "platform/loop/HostRun.h"
#include "view/Settings.h"

#include <cstdint>
#include <optional>
#include <string>

// displayName is the compositor's socket; empty for $WAYLAND_DISPLAY.
struct WaylandRun : HostRun {
    bool fullscreen = false;
};

constexpr int kWaylandWindowWidth = 1280;
constexpr int kWaylandWindowHeight = 720;

// Returns the exit status: 0 for a run that ended as asked (signal, key,
// closing, input in full screen), 1 when the compositor cannot be reached or
// lacks what we need, a surface or OpenGL context cannot be had, or the
// connection is lost.
int RunWayland(const WaylandRun& run, const SettingsOverrides& overrides);
