// XssIdle: the X server's own idle time, from the screen-saver extension
// (XScreenSaverQueryInfo), on an X11 session without a screensaver daemon.
// Players that keep the session awake by resetting the server's screen saver
// (XResetScreenSaver, `xset s reset`) reset this idle time too.
#pragma once

#include "platform/idle/IdleSource.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>

// True when an XScreenSaver daemon runs on the display: it marks a window of
// its own on the root with the _SCREENSAVER_VERSION property.
bool XScreenSaverDaemonRuns(Display* display);

// Null when the server lacks the extension; *tried says what was looked for.
// The source keeps the display open and closes it when it goes.
std::unique_ptr<IdleSource> OpenXssIdle(Display* display, double delaySeconds, std::string* tried);
