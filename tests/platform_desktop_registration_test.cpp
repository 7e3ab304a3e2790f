// Tests of the registration with XScreenSaver: the programs list edit, and
// larkspur --register on a home folder made by the test.
#include "fixtures/TempDir.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

const char kTypical[] = "# XScreenSaver Preferences File\n"
                        "mode:\t\trandom\n"
                        "programs:\t\t\t\t\t\t\t\t      \\\n"
                        "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
                        "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
                        "-\t\t\t\tdeco -root\t\t\t\t    \\n\n"
                        "\n"
                        "pointerPollTime:    0:00:05\n";

// The entries of the programs resource as XScreenSaver joins its lines.
std::vector<std::string> Entries(std::string text)
{
    text = text.substr(text.find("programs:") + 9);
    for (size_t at; (at = text.find("\\\n")) != std::string::npos;)
        text.erase(at, 2);
    text = text.substr(0, text.find('\n'));
    std::vector<std::string> entries;
    for (size_t from = 0, at; from <= text.size(); from = at + 2) {
        at = std::min(text.find("\\n", from), text.size());
        const std::string entry = text.substr(from, at - from);
        const size_t first = entry.find_first_not_of(" \t");
        if (first != std::string::npos)
            entries.push_back(entry.substr(first, entry.find_last_not_of(" \t") - first + 1));
    }
    return entries;
}

// The text before the programs resource and after its last line.
std::string Around(const std::string& text)
{
    const size_t start = text.find("programs:");
    size_t end = start;
    while ((end = text.find('\n', end)) != std::string::npos && text[end - 1] == '\\')
        end++;
    return text.substr(0, start) + (end == std::string::npos ? "" : text.substr(end));
}

// The whole typical file is checked through larkspur --register below.
TEST(XScreenSaverRegistration, TheEntryGoesFirstOrADisabledOneIsEnabledAndEverythingElseStays)
{
    const struct {
        const char* text;
        Registration outcome;
        std::vector<std::string> entries; // after the update
    } cases[] = {
        {"programs: maze -root\nlock: False\n", Registration::Added, {"GL: larkspur --root", "maze -root"}},
        // No newline at the end stays so.
        {"programs:\nlock: False", Registration::Added, {"GL: larkspur --root"}},
        // A different program whose name merely contains the word is no match.
        {"programs: larkspurish -root\n", Registration::Added, {"GL: larkspur --root", "larkspurish -root"}},
        // The "-" may stand after a continued line; the options stay.
        {"programs: \\\n  -\\\n GL: larkspur -root \\n\\\n  maze\n", Registration::Enabled,
         {"GL: larkspur -root", "maze"}},
        // One enabled entry is enough.
        {"programs: \\\n  -\\\n GL: larkspur -root \\n\\\nlarkspur --delay 1\\n\\\n  maze\n",
         Registration::AlreadyListed, {}},
        {"programs: \\\n  GL: \t/usr/local/bin/larkspur --root \\n\\\n  maze\n", Registration::AlreadyListed, {}},
        {"mode: off\n", Registration::NoProgramsList, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string updated;
        ASSERT_EQ(AddToProgramsList(c.text, &updated), c.outcome);
        if (c.entries.empty())
            continue;
        EXPECT_EQ(Entries(updated), c.entries) << updated;
        EXPECT_EQ(Around(updated), Around(c.text)) << updated;
        // Enabling only blanks the "-".
        if (c.outcome == Registration::Enabled) {
            EXPECT_EQ(updated.size(), strlen(c.text));
        }
    }
}

TEST(XScreenSaverRegistration, RegisterAddsOneLineOnceKeepsTheOldFileAndEnablesADisabledEntry)
{
    TempDir home;
    const std::string command = "HOME='" + home.path() + "' " + std::string(LARKSPUR_PROGRAM) + " --register";
    const std::string file = home.File(".xscreensaver");
    const auto text = [](const std::string& path) {
        std::vector<unsigned char> bytes;
        EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
        return std::string(bytes.begin(), bytes.end());
    };
    // Without a file nothing is written and the user is told.
    std::string out, err;
    EXPECT_EQ(RunCommand(command, nullptr, &err), 1);
    EXPECT_NE(err.find("xscreensaver-settings"), std::string::npos) << err;
    EXPECT_NE(RunCommand("test -e '" + file + "'"), 0);

    home.Write(".xscreensaver", std::vector<unsigned char>(kTypical, kTypical + sizeof kTypical - 1));
    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("added \"GL: larkspur --root\""), std::string::npos) << out;
    EXPECT_EQ(text(file + ".bak"), kTypical);
    const std::string first = text(file);
    const std::vector<std::string> entries = {"GL: larkspur --root", "maze -root", "GL: \t\t\t\tsuperquadrics -root",
                                              "-\t\t\t\tdeco -root"};
    EXPECT_EQ(Entries(first), entries) << first;
    EXPECT_EQ(Around(first), Around(kTypical)) << first;

    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("already runs larkspur"), std::string::npos) << out;
    EXPECT_EQ(text(file), first);

    // Disabled in XScreenSaver's settings, it is enabled again, and said so.
    std::string disabled = first;
    disabled.replace(disabled.find("  GL: larkspur"), 2, "- ");
    home.Write(".xscreensaver", std::vector<unsigned char>(disabled.begin(), disabled.end()));
    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("disabled; it is enabled now"), std::string::npos) << out;
    EXPECT_EQ(Entries(text(file)), entries);
}

} // namespace
