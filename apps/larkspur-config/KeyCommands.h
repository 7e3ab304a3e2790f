// KeyCommands: larkspur-config's --get, --set and --list, which read and write
// the settings of module "LarkspurSS" without the window, for scripts.
//
// --get and --list show the values a screensaver started now would use (the
// defaults when the store is of another version or cannot be used, values
// out of range as the screensaver takes them) and never write. --set checks
// every KEY=VALUE first and writes nothing unless all are good; it brings the
// store to the current version first, as a screensaver view does when it
// starts, so the values it writes are the ones used. A file that exists but
// cannot be read is never replaced.
#pragma once

#include <string>
#include <vector>

struct KeyCommand {
    enum Kind { None, Get, Set, List } kind = None;
    // The key for Get; "KEY=VALUE" texts for Set.
    std::vector<std::string> arguments;
};

// What larkspur-config says, on stderr after --set and in the settings
// window, where XScreenSaver runs Larkspur: XScreenSaver's settings dialog
// is in charge there, and the saved settings are not read.
extern const char* const kXScreenSaverNotice;
// Whether the user's ~/.xscreensaver has Larkspur enabled ($HOME).
bool XScreenSaverInCharge();

// Exit statuses: 0 done, 1 the store could not be read or written, 2 a bad
// key or value.
int RunKeyCommand(const KeyCommand& command);
