// XScreenSaverRegistration: the programs resource and the file update.
#include "platform/desktop/XScreenSaverRegistration.h"

#include <glib.h>

#include <cstdio>
#include <vector>

const char* const kXScreenSaverEntry = "GL: larkspur --root";

namespace {

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
// command in the list's text.
bool RunsLarkspur(const std::string& list)
{
    static const std::string word = "larkspur";
    for (size_t at = list.find(word); at != std::string::npos; at = list.find(word, at + 1)) {
        const char before = at == 0 ? ' ' : list[at - 1];
        const char after = at + word.size() < list.size() ? list[at + word.size()] : ' ';
        const bool starts = before == ' ' || before == '\t' || before == ':' || before == '/' || before == '"';
        const bool ends = after == ' ' || after == '\t' || after == '\\' || after == '\n' || after == '"';
        if (starts && ends)
            return true;
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
    if (RunsLarkspur(list))
        return Registration::AlreadyListed;

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

int RegisterWithXScreenSaver(const std::string& home)
{
    const std::string path = home + "/.xscreensaver";
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) {
        std::fprintf(stderr,
                     "larkspur: %s cannot be read. Open XScreenSaver's settings (xscreensaver-settings) once so "
                     "that it writes the file, then run larkspur --register again.\n",
                     path.c_str());
        return 1;
    }
    const std::string text(contents, length);
    g_free(contents);

    std::string updated;
    switch (AddToProgramsList(text, &updated)) {
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
        break;
    }
    const std::string backup = path + ".bak";
    GError* error = nullptr;
    if (!g_file_set_contents(backup.c_str(), text.data(), gssize(text.size()), &error) ||
        !g_file_set_contents(path.c_str(), updated.data(), gssize(updated.size()), &error)) {
        std::fprintf(stderr, "larkspur: cannot update %s: %s\n", path.c_str(), error->message);
        g_error_free(error);
        return 1;
    }
    std::printf("larkspur: added \"%s\" to the programs of %s (the old file is kept as %s).\n"
                "Choose Larkspur in XScreenSaver's settings (xscreensaver-settings).\n",
                kXScreenSaverEntry, path.c_str(), backup.c_str());
    return 0;
}
