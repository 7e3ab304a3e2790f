// MonitorChoice: which monitors show the herd, by the names the system gives
// them (XRandR output names on X11, wl_output names on Wayland), and how that
// list combines with "MainMonitorOnly".
//
// The rule: a list that names at least one monitor present decides alone,
// whatever MainMonitorOnly says; the monitors it does not name stay black.
// An empty list, or one naming no monitor present (a laptop away from its
// dock, say), leaves the choice to MainMonitorOnly: the main monitor only,
// or every monitor. Names match whatever their ASCII case, and spaces around
// them are ignored.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A stored or given list longer than this is refused.
constexpr size_t kMaxMonitorNamesBytes = 1024;

// The names of a comma-separated list, trimmed of spaces, empty ones dropped.
std::vector<std::string> SplitMonitorNames(const std::string& list);

// Whether a list may be stored: at most kMaxMonitorNamesBytes of UTF-8
// without control characters, and no empty name between commas. The empty
// list (every monitor) is valid. *why says what is wrong otherwise.
bool ValidMonitorNames(const std::string& list, std::string* why);

// Whether any of the listed names is among those present.
bool AnyMonitorPresent(const std::vector<std::string>& listed, const std::vector<std::string>& present);

// Whether the monitor `name` (the main one when isMain) shows the herd.
bool MonitorShowsHerd(const std::vector<std::string>& listed, bool mainMonitorOnly, const std::string& name,
                      bool isMain, const std::vector<std::string>& present);
