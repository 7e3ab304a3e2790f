// Tests of the key-file preferences store: bad files, unreadable ones, its path.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

// Every file that is not a key file is kept, each under a name of its own.
TEST(KeyFilePreferences, CorruptFileReadsAsEmptyAndIsKeptAsideUnderANewNumberBeforeReplacing)
{
    TempDir dir;
    const std::string path = dir.File("Module.ini");
    // GLib keeps what it read before the bad line; none of it may be used.
    const std::string bad[] = {"[Module]\ncount=5\n[[[\n", std::string(kMaxPreferencesFileBytes + 1, '#'),
                               "junk \x1b[2J\n"};
    for (size_t i = 0; i < std::size(bad); i++) {
        SCOPED_TRACE(i);
        dir.Write("Module.ini", std::vector<unsigned char>(bad[i].begin(), bad[i].end()));
        KeyFilePreferences store(path, "Module");
        int64_t count = -1;
        EXPECT_FALSE(store.ReadInteger("count", &count));
        store.WriteInteger("count", 3);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(store.Synchronize());
        const std::string kept = path + ".bad" + (i ? "." + std::to_string(i) : "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(program_invocation_short_name) + ": " + path +
                                                              " was not a settings file; the old file is kept as " +
                                                              kept + "\n");
        EXPECT_TRUE(TextOfFile(kept) == bad[i]);
        EXPECT_TRUE(KeyFilePreferences(path, "Module").ReadInteger("count", &count) && count == 3);
    }
}

// Files written by hand: blanks around values, keys in another case, ";"
// comments and bools in capitals read as meant, and saving keeps the file
// as it was around what changed.
TEST(KeyFilePreferences, HandWrittenFilesReadAsMeantAndKeepTheirCommentsAndSpelling)
{
    TempDir dir;
    const std::string text = "; written by hand\n[Module]\ncount = 40 \nFLAG=True\t\n  ; a note\n"
                             "name=  spaced out  \nsign=-7\n";
    const std::string path = dir.Write("Module.ini", std::vector<unsigned char>(text.begin(), text.end()));
    KeyFilePreferences store(path, "Module");
    int64_t count = 0, sign = 0;
    bool flag = false;
    std::string name;
    EXPECT_TRUE(store.ReadInteger("Count", &count) && count == 40);
    EXPECT_TRUE(store.ReadInteger("sign", &sign) && sign == -7);
    EXPECT_TRUE(store.ReadBool("flag", &flag) && flag);
    for (const char* no : {"Off", " NO ", "0", "false"}) {
        store.WriteString("other", no);
        EXPECT_TRUE(store.ReadBool("other", &flag) && !flag) << no;
    }
    store.WriteString("other", "Yes");
    EXPECT_TRUE(store.ReadBool("other", &flag) && flag);
    EXPECT_TRUE(store.ReadString("Name", &name) && name == "spaced out");
    // Not numbers or bools, however forgiving the reading.
    for (const char* value : {"4 0", "40x", "", "99999999999999999999"}) {
        store.WriteString("count", value);
        EXPECT_FALSE(store.ReadInteger("count", &count)) << value;
        EXPECT_FALSE(store.ReadBool("count", &flag)) << value;
    }
    store.WriteInteger("COUNT", 41);
    // Blanks at the ends of a value that is written are kept.
    store.WriteString("Name", " both ends\t ");
    ASSERT_TRUE(store.Synchronize());
    EXPECT_EQ(TextOfFile(path), "; written by hand\n\n[Module]\ncount=41\nFLAG=True\t\n  ; a note\n"
                                "name=\\sboth ends\\t\\s\nsign=-7\nother=Yes\n");
    EXPECT_TRUE(KeyFilePreferences(path, "Module").ReadString("name", &name) && name == " both ends\t ");
}

// What was read as nothing may hold good values: saving over it is refused.
TEST(KeyFilePreferences, AFileThatCannotBeReadIsNeverReplaced)
{
    const struct {
        const char* why;
        const char* make; // a shell command making Module.ini
    } cases[] = {
        {"Permission denied", "echo [M] > Module.ini && chmod 0 Module.ini"},
        {"not a regular file", "mkdir Module.ini"},
        {"Too many levels of symbolic links", "ln -s Module.ini Module.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const std::string path = dir.File("Module.ini");
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && " + c.make), 0);
        struct stat before, after;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        PermissionBitsHold hold;
        KeyFilePreferences store(path, "Module");
        store.WriteInteger("count", 3);
        EXPECT_FALSE(store.Synchronize());
        EXPECT_EQ(store.SaveError(), "cannot read " + path + " (" + c.why + "), so it is left as it is");
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        EXPECT_TRUE(after.st_ino == before.st_ino && after.st_mode == before.st_mode);
    }
}

// A settings file linked from elsewhere (a dotfiles folder) stays linked and
// keeps its mode; a read-only one is refused before anything is copied.
TEST(KeyFilePreferences, SavingWritesThroughALinkKeepingTheModeAndRefusesAReadOnlyFile)
{
    for (const char* mode : {"640", "444"}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir dots && echo junk > dots/s.ini && chmod " + mode +
                             " dots/s.ini && ln -s dots/s.ini Module.ini"),
                  0);
        const bool writable = mode[0] == '6';
        KeyFilePreferences store(dir.File("Module.ini"), "Module");
        store.WriteInteger("count", 3);
        EXPECT_EQ(store.Synchronize(), writable);
        struct stat link, target;
        ASSERT_TRUE(lstat(dir.File("Module.ini").c_str(), &link) == 0 &&
                    stat(dir.File("dots/s.ini").c_str(), &target) == 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode));
        EXPECT_EQ(target.st_mode & 0777, writable ? 0640u : 0444u);
        EXPECT_EQ(TextOfFile(dir.File("dots/s.ini")), writable ? "[Module]\ncount=3\n" : "junk\n");
        EXPECT_EQ(TextOfFile(dir.File("Module.ini.bad")), writable ? "junk\n" : "");
        EXPECT_EQ(store.SaveError(), writable ? ""
                                              : dir.File("dots/s.ini") +
                                                    " is read-only (mode 0444); give "
                                                    "yourself write permission (chmod u+w) to change it");
    }
}

TEST(KeyFilePreferences, PathIsUnderHomeWhenXdgConfigHomeIsRelative)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string keepConfig = config ? config : "", keepHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    // An absolute XDG_CONFIG_HOME is used by every larkspur-config test.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(PreferencesPath("LarkspurSS"), "/home/someone/.config/larkspur/LarkspurSS.ini");
    setenv("HOME", keepHome.c_str(), 1);
    if (config)
        setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

} // namespace
