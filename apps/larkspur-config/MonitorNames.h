// MonitorNames: the names of the monitors present, as larkspur would match
// them: XRandR's names on X11, the outputs' names on Wayland.
#pragma once

#include <gdk/gdk.h>

#include <string>
#include <vector>

// Empty where the display gives no names (or the compositor gives its
// outputs none, before wl_output version 4).
std::vector<std::string> MonitorNamesPresent(GdkDisplay* display);
