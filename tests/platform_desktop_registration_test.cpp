// Tests of the registration with XScreenSaver: the programs list edit,
// larkspur --register on a home folder made by the test, the file written
// from XScreenSaver's own list when there is none, and that file read by the
// real XScreenSaver daemon.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "resources/PackWriter.h"

#include <sys/stat.h>
#include <unistd.h>

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
        {"mode: off\n", 1, "has no programs list. Open XScreenSaver's settings (xscreensaver-settings) and change"},
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

// An app-defaults file as XScreenSaver's package has it: the list among
// other resources, under "*programs:", some entries disabled.
const char kAppDefaults[] = "! XScreenSaver's defaults\n"
                            "*timeout:\t\t0:10:00\n"
                            "*programs:\t\t\t\t\t\t\t\t      \\\n"
                            "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
                            "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
                            "\t\t\t\tdeco --root\t\t\t\t    \\n\n"
                            "\n"
                            "*pointerPollTime:    0:00:05\n";

// The programs list of kAppDefaults as ~/.xscreensaver holds it, Larkspur
// first: every other program is kept, enabled or not, and nothing else of
// the app-defaults is copied.
const std::string kWrittenList = "programs:\t\t\t\t\t\t\t\t      \\\n"
                                 "  GL: larkspur --root\t\t\t\t\t    \\n\\\n"
                                 "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
                                 "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
                                 "\t\t\t\tdeco --root\t\t\t\t    \\n\n";

// Registers in-process, with what it says on stdout and stderr.
int Register(const std::string& home, const std::string& appDefaults, std::string* said)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RegisterWithXScreenSaver(home, appDefaults);
    std::fflush(stdout);
    std::fflush(stderr);
    *said = testing::internal::GetCapturedStdout();
    *said += testing::internal::GetCapturedStderr();
    return status;
}

// With no ~/.xscreensaver, the file is written from XScreenSaver's own list
// with Larkspur first (no copy of a file that was not there); without a list
// to start from, nothing is written and the user is told which step makes
// XScreenSaver write the file. A list of one entry is never written.
TEST(XScreenSaverRegistration, WithoutAFileTheSystemListIsWrittenWithLarkspurOrNothingIs)
{
    const struct {
        const char* appDefaults; // null: no app-defaults file
        int status;
        std::string said;
        std::string list; // the list written; empty for no file
    } rows[] = {
        {kAppDefaults, 0, "XScreenSaver's own programs (from ", kWrittenList},
        // Other spellings of the resource.
        {"XScreenSaver.programs: maze --root \\n\n", 0, "with \"GL: larkspur --root\" first.",
         "programs:\t\t\t\t\t\t\t\t      \\\n  GL: larkspur --root\t\t\t\t\t    \\n\\\n maze --root \\n\n"},
        {"*programs: GL: larkspur --root \\n\n", 0, "already run larkspur; nothing written.", ""},
        {nullptr, 1,
         "(no such file), so nothing was written. Open XScreenSaver's settings (xscreensaver-settings) "
         "and change any setting there, such as \"Blank After\": that makes XScreenSaver write ",
         ""},
        {"*timeout: 0:10:00\n! *programs: maze\n", 1, "(it sets no programs), so nothing was written.", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.appDefaults ? r.appDefaults : "no app-defaults");
        TempDir dir;
        std::filesystem::create_directories(dir.File("home"));
        if (r.appDefaults)
            dir.Write("XScreenSaver", std::vector<unsigned char>(r.appDefaults, r.appDefaults + strlen(r.appDefaults)));
        std::string said;
        EXPECT_EQ(Register(dir.File("home"), dir.File("XScreenSaver"), &said), r.status);
        EXPECT_NE(said.find(r.said), std::string::npos) << said;
        const std::string file = dir.File("home/.xscreensaver");
        EXPECT_EQ(std::filesystem::exists(file), !r.list.empty());
        if (!r.list.empty()) {
            const std::string text = TextOfFile(file);
            EXPECT_EQ(text.substr(text.find("programs:")), r.list);
            EXPECT_EQ(text.find("timeout"), std::string::npos);
        }
        EXPECT_FALSE(std::filesystem::exists(file + ".bak"));
    }
}

// The file written from the system's own app-defaults is one the real
// XScreenSaver 6.06 daemon reads: asked for its first program it runs
// Larkspur, and its second and last ones are the system list's first and
// last. The daemon runs as an ordinary user, as it insists; Larkspur is a
// stand-in that waits, since only the daemon's choice is looked at.
TEST(XScreenSaverRegistration, TheRealDaemonRunsLarkspurFromTheFileWrittenWithoutOne)
{
    std::string system;
    ASSERT_EQ(RunCommand(std::string("cat ") + kXScreenSaverAppDefaults, &system), 0)
        << "XScreenSaver is not installed";
    std::string list, expected;
    ASSERT_TRUE(ProgramsFileFromAppDefaults(system, &list));
    ASSERT_EQ(AddToProgramsList(list, &expected), Registration::Added);
    TempDir dir;
    const std::string home = dir.File("home"), bin = dir.File("bin");
    ASSERT_EQ(RunCommand("mkdir '" + home + "' '" + bin + "' && HOME='" + home +
                         "' " LARKSPUR_PROGRAM " --register >/dev/null && printf '#!/bin/sh\\nexec sleep 60\\n' > '" +
                         bin + "/larkspur' && chmod 755 '" + bin + "/larkspur' '" + dir.path() + "'"),
              0);
    // The daemon's choices by number: the entries of the list written.
    std::vector<std::string> commands;
    const std::string text = TextOfFile(home + "/.xscreensaver");
    EXPECT_EQ(text, expected);
    for (size_t end = text.find("\\n"); end != std::string::npos; end = text.find("\\n", end + 2)) {
        const size_t start = text.rfind('\n', end) + 1;
        std::string entry = text.substr(start, end - start);
        entry = entry.substr(entry.find_first_not_of("- \t"));
        if (entry.compare(0, 3, "GL:") == 0)
            entry = entry.substr(entry.find_first_not_of(" \t", 3));
        commands.push_back(entry.substr(0, entry.find_last_not_of(" \t") + 1));
    }
    ASSERT_GT(commands.size(), 2u);
    EXPECT_EQ(commands[0], "larkspur --root");

    XvfbServer xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok());
    std::string user;
    if (geteuid() == 0) {
        ASSERT_EQ(RunCommand("chown -R 65534:65534 '" + home + "'"), 0);
        user = "setpriv --reuid=65534 --regid=65534 --clear-groups --pdeathsig KILL ";
    }
    ChildProgram daemon("env -i PATH='" + bin + "':/usr/bin:/bin HOME='" + home + "' DISPLAY=" + xvfb.name() + " " +
                        user + "xscreensaver -no-splash -verbose");
    const std::string command = "DISPLAY=" + xvfb.name() + " xscreensaver-command ";
    ASSERT_TRUE(WaitFor([&] { return RunCommand(command + "-version") == 0; }, 15.0)) << "xscreensaver did not start\n"
                                                                                      << daemon.Stderr();
    for (const size_t number : {size_t(1), size_t(2), commands.size()}) {
        SCOPED_TRACE(number);
        // A daemon that answers may still be settling in (a loaded machine):
        // it refuses a choice until then.
        ASSERT_TRUE(
            WaitFor([&] { return RunCommand(command + "-select " + std::to_string(number) + " 2>&1") == 0; }, 15.0))
            << daemon.Stderr();
        EXPECT_TRUE(Says(daemon, ": forked \"" + commands[number - 1] + "\" in pid ", 20.0)) << daemon.Stderr();
    }
}

} // namespace
