// XScreenSaverRegistration: the programs resource and the file update.
#include "platform/desktop/XScreenSaverRegistration.h"

#include "platform/prefs/UserFile.h"

#include <cstdio>
#include <vector>

const char* const kXScreenSaverEntry = "GL: larkspur --root";
const char* const kXScreenSaverAppDefaults = "/etc/X11/app-defaults/XScreenSaver";

namespace {

// XScreenSaver's own file is some tens of kilobytes.
constexpr size_t kMaxXScreenSaverFileBytes = 16u << 20;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

bool Continues(const std::string& line)
{
    return !line.empty() && line.back() == '\\';
}

bool IsProgramsLine(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && line.compare(first, 9, "programs:") == 0;
}

// Whether a word "larkspur" (or a path ending in /larkspur) stands as a
// command in an entry's text.
bool RunsLarkspur(const std::string& entry)
{
    static const std::string word = "larkspur";
    for (size_t at = entry.find(word); at != std::string::npos; at = entry.find(word, at + 1)) {
        const char before = at == 0 ? ' ' : entry[at - 1];
        const char after = at + word.size() < entry.size() ? entry[at + word.size()] : ' ';
        const bool starts =
            before == ' ' || before == '\t' || before == ':' || before == '/' || before == '"' || before == '\n';
        const bool ends = after == ' ' || after == '\t' || after == '\\' || after == '\n' || after == '"';
        if (starts && ends)
            return true;
    }
    return false;
}

// Where the entry's first character stands, past blanks and line
// continuations; npos for an empty entry.
size_t EntryStart(const std::string& list, size_t from, size_t end)
{
    while (from < end) {
        if (list[from] == ' ' || list[from] == '\t')
            from++;
        else if (list.compare(from, 2, "\\\n") == 0)
            from += 2;
        else
            return from;
    }
    return std::string::npos;
}

// The programs list's entries that run larkspur: true when one of them is
// enabled; else *disabled is where the "-" of the first disabled one stands
// (npos when there is none).
bool ListedEnabled(const std::string& list, size_t* disabled)
{
    *disabled = std::string::npos;
    // Entries end at a written "\n"; a backslash before a line break only
    // continues the line.
    for (size_t from = list.find("programs:") + 9; from < list.size();) {
        size_t end = list.find("\\n", from);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(from, end - from);
        if (RunsLarkspur(entry)) {
            const size_t start = EntryStart(list, from, end);
            if (list[start] != '-')
                return true;
            if (*disabled == std::string::npos)
                *disabled = start;
        }
        from = end + 2;
    }
    return false;
}

// Where "programs:" starts in an app-defaults line that sets XScreenSaver's
// programs resource ("*programs:", "XScreenSaver.programs:" or
// "XScreenSaver*programs:"); npos for any other line.
size_t AppDefaultsProgramsKey(const std::string& line)
{
    const size_t at = line.find("programs:");
    if (at == std::string::npos)
        return std::string::npos;
    const size_t first = line.find_first_not_of(" \t");
    const std::string name = line.substr(first, at - first);
    return name == "*" || name == "XScreenSaver." || name == "XScreenSaver*" ? at : std::string::npos;
}

// XScreenSaver's settings dialog writes the file, programs list and all,
// only once a setting is changed there; opening it writes nothing.
std::string StepThatWritesTheFile(const std::string& path)
{
    return "Open XScreenSaver's settings (xscreensaver-settings) and change any setting there, such as \"Blank "
           "After\": that makes XScreenSaver write " +
           path + " in full. Then run larkspur --register again.";
}

// The text a missing ~/.xscreensaver starts from: XScreenSaver's own list,
// in *text; false, having said what to do instead, when it cannot be read.
bool SystemProgramsFile(const std::string& path, const std::string& appDefaults, std::string* text)
{
    std::string defaults, why;
    const UserFileRead read = ReadUserFile(appDefaults, kMaxXScreenSaverFileBytes, &defaults, &why);
    if (read == UserFileRead::Read && ProgramsFileFromAppDefaults(defaults, text))
        return true;
    if (read == UserFileRead::Missing)
        why = "no such file";
    else if (read == UserFileRead::Read)
        why = "it sets no programs";
    std::fprintf(stderr,
                 "larkspur: there is no %s, and XScreenSaver's own programs list cannot be read from %s (%s), so "
                 "nothing was written. %s\n",
                 path.c_str(), appDefaults.c_str(), why.c_str(), StepThatWritesTheFile(path).c_str());
    return false;
}

} // namespace

bool ProgramsFileFromAppDefaults(const std::string& appDefaults, std::string* file)
{
    const std::vector<std::string> lines = Lines(appDefaults);
    size_t first = 0;
    while (first < lines.size() && AppDefaultsProgramsKey(lines[first]) == std::string::npos)
        first++;
    if (first == lines.size())
        return false;
    // ~/.xscreensaver names the resource without the class or "*", and
    // continues its lines as app-defaults do.
    std::string list = lines[first].substr(AppDefaultsProgramsKey(lines[first])) + "\n";
    for (size_t i = first; i + 1 < lines.size() && Continues(lines[i]); i++)
        list += lines[i + 1] + "\n";
    *file = "# XScreenSaver Preferences File\n"
            "# XScreenSaver's own programs list, written by larkspur --register; every other\n"
            "# setting keeps XScreenSaver's default, and its settings dialog rewrites this file.\n\n" +
            list;
    return true;
}

Registration AddToProgramsList(const std::string& text, std::string* updated)
{
    const std::vector<std::string> lines = Lines(text);
    size_t first = 0;
    while (first < lines.size() && !IsProgramsLine(lines[first]))
        first++;
    if (first == lines.size())
        return Registration::NoProgramsList;
    size_t last = first;
    while (last + 1 < lines.size() && Continues(lines[last]))
        last++;
    std::string list;
    for (size_t i = first; i <= last; i++)
        list += lines[i] + "\n";
    size_t disabled;
    if (ListedEnabled(list, &disabled))
        return Registration::AlreadyListed;
    if (disabled != std::string::npos) {
        // The entry keeps its place and its options; only its "-" goes.
        std::string before;
        for (size_t i = 0; i < first; i++)
            before += lines[i] + "\n";
        std::string out = text;
        out[before.size() + disabled] = ' ';
        *updated = out;
        return Registration::Enabled;
    }

    // The programs line keeps only its key; whatever followed the key moves
    // to its own line after the new entry.
    const std::string& key = lines[first];
    const size_t colon = key.find("programs:") + 9;
    std::string rest = key.substr(colon);
    if (Continues(rest))
        rest.pop_back();
    const bool restEmpty = rest.find_first_not_of(" \t") == std::string::npos;
    const bool more = !restEmpty || Continues(key);

    std::string out;
    for (size_t i = 0; i < first; i++)
        out += lines[i] + "\n";
    out += key.substr(0, colon) + "\t\t\t\t\t\t\t\t      \\\n";
    out += std::string("  ") + kXScreenSaverEntry + "\t\t\t\t\t    \\n" + (more ? "\\" : "") + "\n";
    if (!restEmpty)
        out += rest + (Continues(key) ? "\\" : "") + "\n";
    for (size_t i = first + 1; i < lines.size(); i++)
        out += lines[i] + "\n";
    // Keep a file that did not end in a newline that way.
    if (!text.empty() && text.back() != '\n')
        out.pop_back();
    *updated = out;
    return Registration::Added;
}

bool XScreenSaverRunsLarkspur(const std::string& home)
{
    std::string text, why, updated;
    return ReadUserFile(home + "/.xscreensaver", kMaxXScreenSaverFileBytes, &text, &why) == UserFileRead::Read &&
           AddToProgramsList(text, &updated) == Registration::AlreadyListed;
}

int RegisterWithXScreenSaver(const std::string& home, const std::string& appDefaults)
{
    const std::string path = home + "/.xscreensaver";
    std::string text, why;
    bool existed = true;
    switch (ReadUserFile(path, kMaxXScreenSaverFileBytes, &text, &why)) {
    case UserFileRead::Read:
        break;
    case UserFileRead::Missing:
        if (!SystemProgramsFile(path, appDefaults, &text))
            return 1;
        existed = false;
        break;
    case UserFileRead::Unreadable:
    case UserFileRead::TooLarge:
        std::fprintf(stderr, "larkspur: cannot read %s (%s); nothing changed.\n", path.c_str(), why.c_str());
        return 1;
    }

    std::string updated;
    const Registration outcome = AddToProgramsList(text, &updated);
    switch (outcome) {
    case Registration::AlreadyListed:
        if (existed)
            std::printf("larkspur: %s already runs larkspur; nothing changed.\n", path.c_str());
        else
            std::printf("larkspur: XScreenSaver's own programs (%s) already run larkspur; nothing written.\n",
                        appDefaults.c_str());
        return 0;
    case Registration::NoProgramsList:
        std::fprintf(stderr, "larkspur: %s has no programs list. %s\n", path.c_str(),
                     StepThatWritesTheFile(path).c_str());
        return 1;
    case Registration::Added:
    case Registration::Enabled:
        break;
    }
    // A read-only file is refused before the copy is made; a new file needs
    // no copy.
    const std::string backup = path + ".bak";
    if (existed ? !MayReplaceUserFile(path, &why) || !ReplaceUserFile(backup, text, &why) ||
                      !ReplaceUserFile(path, updated, &why)
                : !ReplaceUserFile(path, updated, &why)) {
        std::fprintf(stderr, "larkspur: cannot %s %s: %s; nothing changed.\n", existed ? "update" : "write",
                     path.c_str(), why.c_str());
        return 1;
    }
    if (!existed)
        std::printf("larkspur: wrote %s: XScreenSaver's own programs (from %s) with \"%s\" first.\n", path.c_str(),
                    appDefaults.c_str(), kXScreenSaverEntry);
    else if (outcome == Registration::Enabled)
        std::printf("larkspur: %s listed larkspur but disabled; it is enabled now (the old file is kept as %s).\n",
                    path.c_str(), backup.c_str());
    else
        std::printf("larkspur: added \"%s\" to the programs of %s (the old file is kept as %s).\n", kXScreenSaverEntry,
                    path.c_str(), backup.c_str());
    std::printf("Choose Larkspur in XScreenSaver's settings (xscreensaver-settings).\n");
    return 0;
}
