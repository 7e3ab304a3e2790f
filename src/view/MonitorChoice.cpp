// MonitorChoice: splitting, checking and applying a list of monitor names.
#include "view/MonitorChoice.h"

#include <glib.h>

#include <algorithm>

namespace {

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    return !a.empty() && g_ascii_strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool Listed(const std::vector<std::string>& listed, const std::string& name)
{
    return std::any_of(listed.begin(), listed.end(), [&name](const std::string& l) { return SameName(l, name); });
}

bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; });
}

} // namespace

std::vector<std::string> SplitMonitorNames(const std::string& list)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = Trimmed(list.substr(start, comma - start));
        if (!name.empty())
            names.push_back(name);
        start = comma + 1;
    }
    return names;
}

bool ValidMonitorNames(const std::string& list, std::string* why)
{
    if (list.size() > kMaxMonitorNamesBytes)
        *why = "is longer than " + std::to_string(kMaxMonitorNamesBytes) + " bytes";
    else if (!g_utf8_validate(list.data(), gssize(list.size()), nullptr) || HasControlCharacter(list))
        *why = "holds characters that are not printable text";
    else if (Trimmed(list).empty() && !list.empty())
        *why = "holds only spaces (leave it empty for every monitor)";
    else if (!list.empty() && SplitMonitorNames(list).size() != size_t(std::count(list.begin(), list.end(), ',')) + 1)
        *why = "has an empty name between commas";
    else
        return true;
    return false;
}

bool AnyMonitorPresent(const std::vector<std::string>& listed, const std::vector<std::string>& present)
{
    return std::any_of(present.begin(), present.end(), [&listed](const std::string& p) { return Listed(listed, p); });
}

bool MonitorShowsHerd(const std::vector<std::string>& listed, bool mainMonitorOnly, const std::string& name,
                      bool isMain, const std::vector<std::string>& present)
{
    if (AnyMonitorPresent(listed, present))
        return Listed(listed, name);
    return !mainMonitorOnly || isMain;
}
