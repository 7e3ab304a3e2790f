// XScreenSaverRegistration: the programs resource and the file update.
#include "platform/desktop/XScreenSaverRegistration.h"

#include "platform/prefs/UserFile.h"

#include <cstdio>
#include <vector>

const char* const kXScreenSaverEntry = "GL: larkspur --root";

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
        const bool starts = before == ' ' || before == '\t' || before == ':' || before == '/' || before == '"' ||
                            before == '\n';
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

} // namespace

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

int RegisterWithXScreenSaver(const std::string& home)
{
    const std::string path = home + "/.xscreensaver";
    std::string text, why;
    switch (ReadUserFile(path, kMaxXScreenSaverFileBytes, &text, &why)) {
    case UserFileRead::Read:
        break;
    case UserFileRead::Missing:
        std::fprintf(stderr,
                     "larkspur: %s cannot be read. Open XScreenSaver's settings (xscreensaver-settings) once so "
                     "that it writes the file, then run larkspur --register again.\n",
                     path.c_str());
        return 1;
    case UserFileRead::Unreadable:
    case UserFileRead::TooLarge:
        std::fprintf(stderr, "larkspur: cannot read %s (%s); nothing changed.\n", path.c_str(), why.c_str());
        return 1;
    }

    std::string updated;
    const Registration outcome = AddToProgramsList(text, &updated);
    switch (outcome) {
    case Registration::AlreadyListed:
        std::printf("larkspur: %s already runs larkspur; nothing changed.\n", path.c_str());
        return 0;
    case Registration::NoProgramsList:
        std::fprintf(stderr,
                     "larkspur: %s has no programs list. Open XScreenSaver's settings (xscreensaver-settings) and "
                     "save once so that it writes the list, then run larkspur --register again.\n",
                     path.c_str());
        return 1;
    case Registration::Added:
    case Registration::Enabled:
        break;
    }
    // A read-only file is refused before the copy is made.
    const std::string backup = path + ".bak";
    if (!MayReplaceUserFile(path, &why) || !ReplaceUserFile(backup, text, &why) ||
        !ReplaceUserFile(path, updated, &why)) {
        std::fprintf(stderr, "larkspur: cannot update %s: %s; nothing changed.\n", path.c_str(), why.c_str());
        return 1;
    }
    if (outcome == Registration::Enabled)
        std::printf("larkspur: %s listed larkspur but disabled; it is enabled now (the old file is kept as %s).\n",
                    path.c_str(), backup.c_str());
    else
        std::printf("larkspur: added \"%s\" to the programs of %s (the old file is kept as %s).\n",
                    kXScreenSaverEntry, path.c_str(), backup.c_str());
    std::printf("Choose Larkspur in XScreenSaver's settings (xscreensaver-settings).\n");
    return 0;
}
