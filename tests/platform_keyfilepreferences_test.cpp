// Tests of the key-file preferences store: absent keys, bad files, saving.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

// The stored number, or -1 when the read fails.
int64_t Integer(const KeyFilePreferences& store, const char* key)
{
    int64_t value = -1;
    return store.ReadInteger(key, &value) ? value : -1;
}

TEST(KeyFilePreferences, MissingFileReadsAsAbsentKeysAndValuesOfTheWrongKindAsAbsentToo)
{
    TempDir dir;
    const std::string path = dir.File("a/b/Module.ini");
    KeyFilePreferences store(path, "Module");
    EXPECT_TRUE(store.problem().empty());
    std::string text = "untouched";
    bool flag = true;
    EXPECT_FALSE(store.ReadString("name", &text));
    EXPECT_FALSE(store.ReadBool("flag", &flag));
    EXPECT_EQ(Integer(store, "count"), -1);

    // Saving creates the folders.
    store.WriteString("name", "two words = and \\ more");
    store.WriteBool("flag", false);
    store.WriteInteger("count", -9000000000LL);
    store.WriteInteger("zero", 0);
    ASSERT_TRUE(store.Synchronize());
    KeyFilePreferences again(path, "Module");
    ASSERT_TRUE(again.ReadString("name", &text));
    EXPECT_EQ(text, "two words = and \\ more");
    EXPECT_TRUE(again.ReadBool("flag", &flag));
    EXPECT_FALSE(flag);
    EXPECT_EQ(Integer(again, "count"), -9000000000LL);
    EXPECT_EQ(Integer(again, "zero"), 0);
    // A failed read leaves the value as it was.
    flag = true;
    EXPECT_FALSE(again.ReadBool("name", &flag));
    EXPECT_TRUE(flag);
    EXPECT_EQ(Integer(again, "name"), -1);
    // Another module's group reads as empty.
    EXPECT_EQ(Integer(KeyFilePreferences(path, "Other"), "count"), -1);
}

TEST(KeyFilePreferences, CorruptFileReadsAsEmptyAndIsKeptAsideBeforeReplacing)
{
    for (const std::string& bad : {std::string("no group line\n"), std::string("[Module]\n\xff\xfe=\x01\n[[[\n"),
                                   std::string(kMaxPreferencesFileBytes + 1, '#')}) {
        SCOPED_TRACE(bad.substr(0, 16));
        TempDir dir;
        const std::string path = dir.Write("Module.ini", std::vector<unsigned char>(bad.begin(), bad.end()));
        KeyFilePreferences store(path, "Module");
        EXPECT_FALSE(store.problem().empty());
        EXPECT_FALSE(store.unreadable());
        EXPECT_EQ(Integer(store, "count"), -1);
        // Reading alone changes nothing on disk.
        EXPECT_EQ(ReadText(path), bad);

        store.WriteInteger("count", 3);
        ASSERT_TRUE(store.Synchronize());
        EXPECT_EQ(ReadText(path + ".bad"), bad);
        EXPECT_EQ(Integer(KeyFilePreferences(path, "Module"), "count"), 3);
    }
}

// What was read as nothing may hold good values: saving over it is refused.
TEST(KeyFilePreferences, AFileThatCannotBeReadIsNeverReplaced)
{
    const struct {
        const char* why;
        void (*make)(const std::string& path);
    } cases[] = {
        {"Permission denied",
         [](const std::string& path) {
             ASSERT_TRUE(WriteFileAtomically(path, {'[', 'M', ']'}));
             ASSERT_EQ(chmod(path.c_str(), 0), 0);
         }},
        {"not a regular file", [](const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); }},
        {"Too many levels of symbolic links",
         [](const std::string& path) { ASSERT_EQ(symlink(path.c_str(), path.c_str()), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const std::string path = dir.File("Module.ini");
        ASSERT_NO_FATAL_FAILURE(c.make(path));
        struct stat before, after;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        PermissionBitsHold hold;
        KeyFilePreferences store(path, "Module");
        EXPECT_TRUE(store.unreadable());
        EXPECT_EQ(store.problem(), c.why);
        store.WriteInteger("count", 3);
        EXPECT_FALSE(store.Synchronize());
        EXPECT_EQ(store.SaveError(), "cannot read " + path + " (" + c.why + "), so it is left as it is");
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    }
}

TEST(KeyFilePreferences, SavingWhereTheFolderIsAFileFailsAndSaysWhy)
{
    TempDir dir;
    const std::string blocker = dir.Write("blocker", {'x'});
    KeyFilePreferences store(blocker + "/Module.ini", "Module");
    store.WriteInteger("count", 1);
    EXPECT_FALSE(store.Synchronize());
    EXPECT_EQ(store.SaveError(), "cannot make the folder " + blocker + " (Not a directory)");
    EXPECT_EQ(ReadText(blocker), "x");
}

TEST(KeyFilePreferences, PathFollowsXdgConfigHomeWhenAbsoluteElseHome)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string keepConfig = config ? config : "", keepHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/tmp/config-here", 1);
    EXPECT_EQ(PreferencesPath("LarkspurSS"), "/tmp/config-here/larkspur/LarkspurSS.ini");
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
