// Tests of the key-file preferences store: bad files, unreadable ones, its path.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

TEST(KeyFilePreferences, CorruptFileReadsAsEmptyAndIsKeptAsideBeforeReplacing)
{
    // GLib keeps what it read before the bad line; none of it may be used.
    for (const std::string& bad :
         {std::string("[Module]\ncount=5\n[[[\n"), std::string(kMaxPreferencesFileBytes + 1, '#')}) {
        SCOPED_TRACE(bad.substr(0, 16));
        TempDir dir;
        const std::string path = dir.Write("Module.ini", std::vector<unsigned char>(bad.begin(), bad.end()));
        KeyFilePreferences store(path, "Module");
        int64_t count = -1;
        EXPECT_FALSE(store.ReadInteger("count", &count));
        store.WriteInteger("count", 3);
        ASSERT_TRUE(store.Synchronize());
        std::vector<unsigned char> kept;
        EXPECT_TRUE(ReadWholeFile(path + ".bad", &kept) && kept == std::vector<unsigned char>(bad.begin(), bad.end()));
        EXPECT_TRUE(KeyFilePreferences(path, "Module").ReadInteger("count", &count) && count == 3);
    }
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
