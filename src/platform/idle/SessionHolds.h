// SessionHolds: what keeps the saver from starting although the session is
// idle, asked of the session's services just before each start:
// - logind's LockedHint (system bus): the session is locked, and a saver
//   under the lock screen would cost power for nothing;
// - GNOME's session manager, IsInhibited with the idle flag: an application
//   asked GNOME to stay awake (also what org.freedesktop.ScreenSaver's Inhibit
//   becomes on GNOME);
// - KDE's power management policy agent, HasInhibition with the screen
//   settings flag: what org.freedesktop.ScreenSaver's Inhibit becomes on KDE
//   Plasma, and what KDE's own screen locker honours.
// A service that is not running (or does not answer within a second) holds
// nothing; none is started for the question.
#pragma once

#include <string>

// Empty when nothing holds the saver off, else why, as a phrase ("the
// session is locked").
std::string SessionHold();
