// Tests of the registration with XScreenSaver: the programs list edit, and
// larkspur --register on a home folder made by the test.
#include "fixtures/TempDir.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

namespace {

const char kTypical[] = "# XScreenSaver Preferences File\n"
                        "mode:\t\trandom\n"
                        "programs:\t\t\t\t\t\t\t\t      \\\n"
                        "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
                        "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
                        "-\t\t\t\tdeco -root\t\t\t\t    \\n\n"
                        "\n"
                        "pointerPollTime:    0:00:05\n";

// The programs line as an added entry leaves it, up to the entry's end.
const std::string kAdded = "programs:\t\t\t\t\t\t\t\t      \\\n  GL: larkspur --root\t\t\t\t\t    \\n";

// The entry goes first or a disabled one is enabled, and everything else,
// other entries' options and layout included, stays.
TEST(XScreenSaverRegistration, TheEntryGoesFirstOrADisabledOneIsEnabledAndEverythingElseStays)
{
    const struct {
        const char* text;
        Registration outcome;
        std::string updated; // empty when nothing is to be written
    } cases[] = {
        // No newline at the end stays so.
        {"programs:\nlock: False", Registration::Added, kAdded + "\nlock: False"},
        // A different program whose name merely contains the word is no match.
        {"programs: larkspurish -root\n", Registration::Added, kAdded + "\\\n larkspurish -root\n"},
        // The "-" may stand after a continued line; only it goes.
        {"programs: \\\n  -\\\n GL: larkspur -root \\n\\\n  maze\n", Registration::Enabled,
         "programs: \\\n   \\\n GL: larkspur -root \\n\\\n  maze\n"},
        // One enabled entry is enough.
        {"programs: \\\n  -\\\n GL: larkspur -root \\n\\\nlarkspur --delay 1\\n\\\n  maze\n",
         Registration::AlreadyListed, ""},
        {"programs: \\\n  GL: \t/usr/local/bin/larkspur --root \\n\\\n  maze\n", Registration::AlreadyListed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string updated;
        EXPECT_EQ(AddToProgramsList(c.text, &updated), c.outcome);
        EXPECT_EQ(updated, c.updated);
    }
}

// Runs one after another on the same home folder; null leaves the file as the
// run before left it.
TEST(XScreenSaverRegistration, RegisterSaysWhatItDidAndKeepsTheOldFile)
{
    TempDir home;
    const std::string file = home.File(".xscreensaver");
    const struct {
        const char* text;
        int status;
        std::string said;
    } runs[] = {
        {nullptr, 1, "cannot be read. Open XScreenSaver's settings (xscreensaver-settings) once so that it writes"},
        {"mode: off\n", 1, "has no programs list. Open XScreenSaver's settings (xscreensaver-settings) and save"},
        {"programs: -  larkspur --root\n", 0, "listed larkspur but disabled; it is enabled now (the old file is"},
        {kTypical, 0, "added \"GL: larkspur --root\" to the programs of " + file},
        {nullptr, 0, "already runs larkspur; nothing changed."},
    };
    for (const auto& r : runs) {
        if (r.text)
            home.Write(".xscreensaver", std::vector<unsigned char>(r.text, r.text + strlen(r.text)));
        std::string out, err;
        EXPECT_EQ(RunCommand("HOME='" + home.path() + "' " LARKSPUR_PROGRAM " --register", &out, &err), r.status);
        EXPECT_NE((out + err).find(r.said), std::string::npos) << out << err;
    }
    std::vector<unsigned char> bak, now;
    ASSERT_TRUE(ReadWholeFile(file + ".bak", &bak) && ReadWholeFile(file, &now));
    EXPECT_EQ(std::string(bak.begin(), bak.end()), kTypical);
    std::string expected = kTypical;
    expected.insert(expected.find("\t\t\t\tmaze"), "  GL: larkspur --root\t\t\t\t\t    \\n\\\n");
    EXPECT_EQ(std::string(now.begin(), now.end()), expected);
}

// ~/.xscreensaver linked from elsewhere stays linked and keeps its mode; a
// read-only file, or a FIFO in its place, is left alone with the reason.
TEST(XScreenSaverRegistration, RegisterWritesThroughALinkKeepingTheModeAndLeavesWhatItMayNotChange)
{
    const struct {
        const char* make; // in the home folder, given kTypical in "typical"
        int status;
        std::string said;
        const char* changed; // the file that must now list larkspur; null for none
    } rows[] = {
        {"mkdir dots && mv typical dots/xs && chmod 600 dots/xs && ln -s dots/xs .xscreensaver", 0, "added", "dots/xs"},
        {"mv typical .xscreensaver && chmod 444 .xscreensaver", 1, "/.xscreensaver is read-only (mode 0444)", nullptr},
        {"mkfifo .xscreensaver", 1, "cannot read ", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.make);
        TempDir home;
        home.Write("typical", std::vector<unsigned char>(kTypical, kTypical + strlen(kTypical)));
        ASSERT_EQ(RunCommand("cd '" + home.path() + "' && " + r.make), 0);
        std::string out, err;
        // A program stuck opening the FIFO is stopped, and fails.
        EXPECT_EQ(RunCommand("HOME='" + home.path() + "' timeout 20 " LARKSPUR_PROGRAM " --register", &out, &err),
                  r.status);
        EXPECT_NE((out + err).find(r.said), std::string::npos) << out << err;
        struct stat link;
        ASSERT_EQ(lstat(home.File(".xscreensaver").c_str(), &link), 0);
        if (r.changed) {
            EXPECT_TRUE(S_ISLNK(link.st_mode));
            struct stat target;
            ASSERT_EQ(stat(home.File(r.changed).c_str(), &target), 0);
            EXPECT_EQ(target.st_mode & 0777, 0600u);
            EXPECT_NE(TextOfFile(home.File(r.changed)).find(kAdded), std::string::npos);
            EXPECT_EQ(TextOfFile(home.File(".xscreensaver.bak")), kTypical);
        } else {
            EXPECT_FALSE(std::filesystem::exists(home.File(".xscreensaver.bak")));
            EXPECT_TRUE(S_ISFIFO(link.st_mode) || TextOfFile(home.File(".xscreensaver")) == kTypical);
        }
    }
}

} // namespace
