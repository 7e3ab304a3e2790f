// Tests of the key-file preferences store: absent keys, bad files, saving.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

TEST(KeyFilePreferences, MissingFileReadsAsAbsentKeysAndSavingCreatesItsFolder)
{
    TempDir dir;
    const std::string path = dir.File("a/b/Module.ini");
    KeyFilePreferences store(path, "Module");
    EXPECT_TRUE(store.problem().empty());
    std::string text = "untouched";
    EXPECT_FALSE(store.ReadString("name", &text));
    EXPECT_FALSE(store.ReadBool("flag"));
    EXPECT_EQ(store.ReadInteger("count"), 0);

    store.WriteString("name", "two words = and \\ more");
    store.WriteBool("flag", true);
    store.WriteInteger("count", -9000000000LL);
    ASSERT_TRUE(store.Synchronize());

    KeyFilePreferences again(path, "Module");
    ASSERT_TRUE(again.ReadString("name", &text));
    EXPECT_EQ(text, "two words = and \\ more");
    EXPECT_TRUE(again.ReadBool("flag"));
    EXPECT_EQ(again.ReadInteger("count"), -9000000000LL);
    // Another module's group reads as empty.
    EXPECT_EQ(KeyFilePreferences(path, "Other").ReadInteger("count"), 0);
}

TEST(KeyFilePreferences, CorruptFileReadsAsEmptyAndIsKeptAsideBeforeReplacing)
{
    for (const std::string& bad : {std::string("no group line\n"), std::string("[Module]\n\xff\xfe=\x01\n[[[\n"),
                                   std::string(kMaxPreferencesFileBytes + 1, '#')}) {
        TempDir dir;
        const std::string path = dir.File("Module.ini");
        ASSERT_TRUE(WriteFileAtomically(path, std::vector<unsigned char>(bad.begin(), bad.end())));
        KeyFilePreferences store(path, "Module");
        EXPECT_FALSE(store.problem().empty());
        EXPECT_EQ(store.ReadInteger("count"), 0);
        // Reading alone changes nothing on disk.
        EXPECT_EQ(ReadText(path), bad);

        store.WriteInteger("count", 3);
        ASSERT_TRUE(store.Synchronize());
        EXPECT_EQ(ReadText(path + ".bad"), bad);
        EXPECT_EQ(KeyFilePreferences(path, "Module").ReadInteger("count"), 3);
    }
}

TEST(KeyFilePreferences, SavingIntoAnUnwritableFolderFailsAndLeavesTheFile)
{
    TempDir dir;
    // A path whose parent is a file cannot be created.
    const std::string blocker = dir.Write("blocker", {'x'});
    KeyFilePreferences store(blocker + "/Module.ini", "Module");
    store.WriteInteger("count", 1);
    EXPECT_FALSE(store.Synchronize());
    EXPECT_EQ(ReadText(blocker), "x");
}

TEST(KeyFilePreferences, PathFollowsXdgConfigHome)
{
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/tmp/config-here", 1);
    EXPECT_EQ(PreferencesPath("LarkspurSS"), "/tmp/config-here/larkspur/LarkspurSS.ini");
    // A relative value is not a valid base folder and is ignored.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(PreferencesPath("LarkspurSS"), "/home/someone/.config/larkspur/LarkspurSS.ini");
    setenv("HOME", home.c_str(), 1);
    if (saved)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

} // namespace
