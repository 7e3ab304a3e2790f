// Tests of the user's files: replacing through links with the mode kept (by
// the settings store and by the writer of packs and frames),
// refusing read-only files, and numbered copies. Reading is tested through
// the settings store and --register.
#include "fixtures/TempDir.h"
#include "platform/prefs/UserFile.h"
#include "resources/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace {

mode_t Mode(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool IsLink(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Names in a folder, so a temporary file left behind shows.
std::string Listing(const std::string& folder)
{
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names += entry.path().filename().string() + " ";
    return names;
}

// The file at "home/settings" is made by the row's commands in a folder with
// "home" and "dots"; the new bytes must land in `written`, with `mode`, and
// "home/settings" must still be a link when it was one.
TEST(UserFile, ReplaceWritesThroughLinksToTheirTargetAndKeepsItsMode)
{
    const struct {
        const char* make;
        const char* written;
        mode_t mode;
    } rows[] = {
        {"echo old > home/settings && chmod 640 home/settings", "home/settings", 0640},
        {"echo old > dots/s && chmod 600 dots/s && ln -s ../dots/s home/settings", "dots/s", 0600},
        // A chain: relative, then absolute.
        {"echo old > dots/s && chmod 604 dots/s && ln -s \"$PWD/dots/s\" dots/t && ln -s ../dots/t home/settings",
         "dots/s", 0604},
        // A link to a file still to be made makes it, with the umask's mode.
        {"umask 022 && ln -s ../dots/new home/settings", "dots/new", 0644},
    };
    // The settings store's writer and the one that packs and frames use.
    bool (*const writers[])(const std::string&, std::string*) = {
        [](const std::string& path, std::string* why) { return ReplaceUserFile(path, "new\n", why); },
        [](const std::string& path, std::string* why) { return WriteFileAtomically(path, "new\n", 4, why); },
    };
    for (const auto& row : rows) {
        for (const auto write : writers) {
            SCOPED_TRACE(row.make);
            TempDir dir;
            ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir home dots && " + row.make), 0);
            const std::string path = dir.File("home/settings");
            const bool link = IsLink(path);
            std::string why;
            const mode_t mask = umask(022);
            EXPECT_TRUE(write(path, &why)) << why;
            umask(mask);
            EXPECT_EQ(TextOfFile(dir.File(row.written)), "new\n");
            EXPECT_EQ(Mode(dir.File(row.written)), row.mode);
            EXPECT_EQ(IsLink(path), link);
            EXPECT_EQ(Listing(dir.File("home")), "settings ");
        }
    }
}

// A write that cannot be made says why and leaves no temporary file behind.
TEST(UserFile, AFailedAtomicWriteSaysWhyAndLeavesNothing)
{
    TempDir dir;
    std::string why;
    EXPECT_FALSE(WriteFileAtomically(dir.File("none/settings"), "new\n", 4, &why));
    EXPECT_EQ(why, "cannot make a temporary file in " + dir.File("none") + " (No such file or directory)");
    ASSERT_EQ(mkdir(dir.File("settings").c_str(), 0700), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.File("settings"), "new\n", 4, &why));
    EXPECT_EQ(why, "cannot write " + dir.File("settings") + " (Is a directory)");
    EXPECT_EQ(Listing(dir.path()), "settings ");
}

TEST(UserFile, ReplaceRefusesAReadOnlyFileOrOneThatIsNoFileWithTheReason)
{
    const struct {
        const char* make;
        const char* why; // after the folder's path
    } rows[] = {
        // Refused even for root, whom the mode does not stop.
        {"echo old > dots/s && chmod 444 dots/s && ln -s ../dots/s home/settings",
         "/dots/s is read-only (mode 0444); give yourself write permission (chmod u+w) to change it"},
        {"echo old > home/settings && chmod 555 home/settings", "/home/settings is read-only (mode 0555)"},
        {"mkdir home/settings", "/home/settings is not a regular file"},
        {"ln -s settings home/settings", "/home/settings (Too many levels of symbolic links)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.make);
        TempDir dir;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir home dots && " + row.make), 0);
        const std::string path = dir.File("home/settings");
        const auto Text = [&] {
            std::error_code failed;
            return std::filesystem::is_regular_file(path, failed) ? TextOfFile(path) : "(not a file)";
        };
        const std::string before = Text();
        std::string why, mayWhy;
        EXPECT_FALSE(MayReplaceUserFile(path, &mayWhy));
        EXPECT_FALSE(ReplaceUserFile(path, "new\n", &why));
        EXPECT_EQ(why, mayWhy);
        EXPECT_NE(why.find(dir.path() + row.why), std::string::npos) << why;
        EXPECT_EQ(Text(), before);
        EXPECT_EQ(Listing(dir.File("home")), "settings ");
    }
}

TEST(UserFile, NumberedCopiesNeverReplaceAnEarlierOneNorFollowALink)
{
    TempDir dir;
    const std::string path = dir.Write("s.ini", {'0'});
    // A link in the way of the first name is passed over, not written through.
    ASSERT_EQ(symlink(dir.File("target").c_str(), (path + ".bad").c_str()), 0);
    for (int i = 1; i < kKeptCopies; i++) {
        dir.Write("s.ini", {static_cast<unsigned char>('0' + i)});
        std::string copy, why;
        ASSERT_TRUE(KeepNumberedCopy(path, "bad", &copy, &why)) << why;
        EXPECT_EQ(copy, path + ".bad." + std::to_string(i));
        EXPECT_EQ(TextOfFile(copy), std::string(1, char('0' + i)));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("target")));
    std::string copy, why;
    EXPECT_FALSE(KeepNumberedCopy(path, "bad", &copy, &why));
    EXPECT_EQ(why, "earlier copies already take every name from " + path + ".bad to " + path +
                       ".bad.9; move some of them elsewhere");
    // Another kind has names of its own.
    EXPECT_TRUE(KeepNumberedCopy(path, "old", &copy, &why) && copy == path + ".old");
}

} // namespace
