// Tests of the registration with XScreenSaver: the programs list edit, and
// larkspur --register on a home folder made by the test.
#include "fixtures/TempDir.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(XScreenSaverRegistration, TheEntryGoesFirstAndEverythingElseStays)
{
    std::string updated;
    ASSERT_EQ(AddToProgramsList(kTypical, &updated), Registration::Added);
    const std::vector<std::string> entries = Entries(updated);
    ASSERT_EQ(entries.size(), 4u) << updated;
    EXPECT_EQ(entries[0], "GL: larkspur --root");
    EXPECT_EQ(entries[1], "maze -root");
    EXPECT_EQ(entries[3].substr(0, 1), "-");
    EXPECT_EQ(updated.find("mode:\t\trandom\n"), std::string(kTypical).find("mode:"));
    EXPECT_NE(updated.find("\npointerPollTime:    0:00:05\n"), std::string::npos);

    // One-line and empty lists.
    ASSERT_EQ(AddToProgramsList("programs: maze -root\nlock: False\n", &updated), Registration::Added);
    EXPECT_EQ(Entries(updated), (std::vector<std::string>{"GL: larkspur --root", "maze -root"})) << updated;
    EXPECT_NE(updated.find("\nlock: False\n"), std::string::npos);
    ASSERT_EQ(AddToProgramsList("programs:\nlock: False", &updated), Registration::Added);
    EXPECT_EQ(Entries(updated), (std::vector<std::string>{"GL: larkspur --root"})) << updated;
    EXPECT_EQ(updated.back(), 'e');
}

TEST(XScreenSaverRegistration, AListThatRunsLarkspurIsLeftAlone)
{
    std::string updated;
    std::string text = kTypical;
    text.insert(text.find("\t\t\t\tmaze"), "   GL: \t/usr/local/bin/larkspur --root --num-dogs 5 \\n\\\n");
    EXPECT_EQ(AddToProgramsList(text, &updated), Registration::AlreadyListed);
    // A different program whose name merely contains the word is no match.
    text = kTypical;
    text.insert(text.find("\t\t\t\tmaze"), "  larkspurish -root \\n\\\n");
    EXPECT_EQ(AddToProgramsList(text, &updated), Registration::Added);
    EXPECT_EQ(AddToProgramsList("mode: off\n", &updated), Registration::NoProgramsList);
}

TEST(XScreenSaverRegistration, ADisabledEntryIsEnabledInItsPlaceWithItsOptions)
{
    std::string updated;
    std::string text = kTypical;
    text.insert(text.find("\t\t\t\tmaze"), "-  GL: \tlarkspur --root --num-dogs 5 \\n\\\n");
    ASSERT_EQ(AddToProgramsList(text, &updated), Registration::Enabled);
    std::vector<std::string> entries = Entries(updated);
    ASSERT_EQ(entries.size(), 4u) << updated;
    EXPECT_EQ(entries[0], "GL: \tlarkspur --root --num-dogs 5");
    EXPECT_EQ(entries[3].substr(0, 1), "-") << "other disabled programs stay disabled";
    EXPECT_EQ(updated.size(), text.size());

    // The "-" may stand after a continued line, and one enabled entry is enough.
    text = "programs: \\\n  -\\\n GL: larkspur -root \\n\\\n  maze\n";
    ASSERT_EQ(AddToProgramsList(text, &updated), Registration::Enabled);
    EXPECT_EQ(Entries(updated), (std::vector<std::string>{"GL: larkspur -root", "maze"})) << updated;
    text.insert(text.find("  maze"), "larkspur --delay 1\\n\\\n");
    EXPECT_EQ(AddToProgramsList(text, &updated), Registration::AlreadyListed);
}

TEST(XScreenSaverRegistration, RegisterTwiceAddsOneLineAndKeepsTheOldFile)
{
    TempDir home;
    const std::string command = "HOME='" + home.path() + "' " + std::string(LARKSPUR_PROGRAM) + " --register";
    // Without a file nothing is written and the user is told.
    std::string out, err;
    EXPECT_EQ(RunCommand(command, nullptr, &err), 1);
    EXPECT_NE(err.find("xscreensaver-settings"), std::string::npos) << err;
    EXPECT_NE(RunCommand("test -e '" + home.File(".xscreensaver") + "'"), 0);

    const std::string file = home.Write(".xscreensaver", std::vector<unsigned char>(kTypical, kTypical + sizeof kTypical - 1));
    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("added \"GL: larkspur --root\""), std::string::npos) << out;
    std::vector<unsigned char> backup, first, second;
    ASSERT_TRUE(ReadWholeFile(file + ".bak", &backup));
    EXPECT_EQ(std::string(backup.begin(), backup.end()), kTypical);
    ASSERT_TRUE(ReadWholeFile(file, &first));

    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("already runs larkspur"), std::string::npos) << out;
    ASSERT_TRUE(ReadWholeFile(file, &second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(Entries(std::string(second.begin(), second.end())).size(), 4u);

    // Disabled in XScreenSaver's settings, it is enabled again, and said so.
    std::string disabled(first.begin(), first.end());
    disabled.replace(disabled.find("  GL: larkspur"), 2, "- ");
    home.Write(".xscreensaver", std::vector<unsigned char>(disabled.begin(), disabled.end()));
    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_NE(out.find("disabled; it is enabled now"), std::string::npos) << out;
    ASSERT_TRUE(ReadWholeFile(file, &second));
    EXPECT_EQ(Entries(std::string(second.begin(), second.end()))[0], "GL: larkspur --root");
}

} // namespace
