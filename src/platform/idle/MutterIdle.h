// MutterIdle: GNOME's idle timer, org.gnome.Mutter.IdleMonitor on the session
// bus (GNOME on Wayland and on X11). Mutter counts the session's input itself;
// GNOME's inhibitors are checked separately (SessionHolds).
#pragma once

#include "platform/idle/IdleSource.h"

#include <memory>
#include <string>

// Null when no idle monitor answers on the session bus; *tried says what was
// looked for.
std::unique_ptr<IdleSource> OpenMutterIdle(double delaySeconds, std::string* tried);
