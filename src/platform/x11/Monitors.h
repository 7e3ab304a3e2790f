// Monitors: the monitor layout of an X screen (XRandR monitors, or a layout
// given on the command line) and which monitor a window lies on.
//
// A monitor's number is its index in the layout; the primary monitor is the
// main screen. XRandR may report no primary (Xvfb never does): the first
// monitor is then the primary. A screen without XRandR monitors is one
// monitor covering the whole screen.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

struct MonitorRect {
    int x = 0, y = 0, width = 0, height = 0;
    // The XRandR name (as "HDMI-1"); empty for given layouts.
    std::string name;
};

struct MonitorLayout {
    std::vector<MonitorRect> monitors;
    int primary = 0;
};

// The active monitors of the display's default screen.
MonitorLayout DetectMonitors(Display* display);

// A layout given in order, the first being the primary.
MonitorLayout LayoutFromList(const std::vector<MonitorRect>& monitors);

// The monitor a rectangle lies on: the one it overlaps most, ties going to the
// primary, then to the lower number; -1 when it overlaps none.
int MonitorOfRect(const MonitorLayout& layout, int x, int y, int width, int height);
