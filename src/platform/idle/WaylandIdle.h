// WaylandIdle: the compositor's idle timer, through ext-idle-notify-v1 where
// the compositor offers it (newer wlroots compositors, KWin, Hyprland, niri),
// else org_kde_kwin_idle (sway 1.7, KWin).
//
// Both withhold the idle event while a visible surface holds an idle
// inhibitor, so a video player that asks the compositor to stay awake keeps
// the saver off without anything here.
#pragma once

#include "platform/idle/IdleSource.h"

#include <memory>
#include <string>

// Null when the compositor cannot be reached or offers neither protocol (or
// no seat); *tried then says what was looked for, for the watcher's message.
// delaySeconds is the idle time before onIdle.
std::unique_ptr<IdleSource> OpenWaylandIdle(double delaySeconds, std::string* tried);
