// XScreenSaverRegistration: adding Larkspur to the programs list of the
// user's ~/.xscreensaver, so that it shows in XScreenSaver's list.
//
// The line added is "GL: larkspur --root", first in the list. A list that
// already runs larkspur is left alone; one that lists it only disabled ("-" in
// front) gets that entry enabled, in its place and with its options. The old file is kept
// as ~/.xscreensaver.bak and the new one replaces it in one rename, through a
// symbolic link to the file it names, keeping its mode; a read-only file is
// left as it is, with the reason. A file
// without a programs list is not changed: XScreenSaver would then take the
// list as the user's whole choice and drop its own programs; changing any
// setting in XScreenSaver's settings dialog writes the full list.
//
// Without a ~/.xscreensaver (XScreenSaver writes none until a setting is
// changed in its settings dialog), one is written holding XScreenSaver's own
// programs list, the "*programs:" resource of its app-defaults file, with the
// entry added, so that no other program is lost; XScreenSaver takes every
// other setting from its app-defaults as before. Without a readable list
// there, nothing is written, and the user is told which step makes
// XScreenSaver write the file.
#pragma once

#include <string>

enum class Registration { Added, Enabled, AlreadyListed, NoProgramsList };

extern const char* const kXScreenSaverEntry;
// XScreenSaver's own settings, its programs list among them.
extern const char* const kXScreenSaverAppDefaults;

// The text of a ~/.xscreensaver holding only the programs list of an
// app-defaults file's text, in *file; false when that has no "*programs:"
// resource.
bool ProgramsFileFromAppDefaults(const std::string& appDefaults, std::string* file);

// The file's text with the entry added to its programs list, or with the
// disabled entry enabled, in *updated when the outcome is Added or Enabled.
Registration AddToProgramsList(const std::string& text, std::string* updated);

// Whether <home>/.xscreensaver has an enabled entry running larkspur in its
// programs list, so that XScreenSaver runs Larkspur; false when the file
// cannot be read.
bool XScreenSaverRunsLarkspur(const std::string& home);

// Registers in <home>/.xscreensaver, starting from the programs list of the
// app-defaults file when there is none, saying on stdout or stderr what was
// done; returns the exit status (0 done or already listed, 1 not possible).
int RegisterWithXScreenSaver(const std::string& home, const std::string& appDefaults = kXScreenSaverAppDefaults);
