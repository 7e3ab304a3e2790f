// Tests of the larkspur-config program: --list, --get and --set on a store in
// a temporary folder, and its window under Xvfb, driven through test steps.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "host/Settings.h"
#include "resources/PackWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

const std::string kConfig = LARKSPUR_CONFIG_PROGRAM;

std::string Environment(const TempDir& dir)
{
    return "XDG_CONFIG_HOME='" + dir.File("config") + "' ";
}

int Config(const TempDir& dir, const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr)
{
    return RunCommand(Environment(dir) + kConfig + " " + arguments, out, err);
}

std::string StoreFile(const TempDir& dir)
{
    return dir.File("config") + "/larkspur/LarkspurSS.ini";
}

void WriteStore(const TempDir& dir, const std::string& keys)
{
    std::filesystem::create_directories(dir.File("config") + "/larkspur");
    const std::string text = "[LarkspurSS]\n" + keys;
    ASSERT_TRUE(WriteFileAtomically(StoreFile(dir), std::vector<unsigned char>(text.begin(), text.end())));
}

std::string StoreText(const TempDir& dir)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(StoreFile(dir), &bytes);
    return std::string(bytes.begin(), bytes.end());
}

const char* const kStoredKeys = "version=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\nNumFootprints=300\n"
                                "BGType=2\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=false\n";

TEST(LarkspurConfigKeys, ListAndGetShowTheValuesInUseWithoutWriting)
{
    TempDir dir;
    std::string out;
    // No store: the defaults, and still no file.
    ASSERT_EQ(Config(dir, "--list", &out), 0);
    EXPECT_NE(out.find("version=1.1\nMainMonitorOnly=false\nDogSize=100\nNumDogs=25\nNumFootprints=2000\n"
                       "BGType=0\nBGRes=1\nBGPath="),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nTileBG=true\n"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(StoreFile(dir)));

    const struct {
        const char* keys;
        const char* arguments;
        const char* shown;
    } cases[] = {
        {kStoredKeys, "--get NumDogs", "40\n"},
        // Keys match whatever their case; one or two dashes, value after "=".
        {kStoredKeys, "-get=bgpath", "/srv/pictures/\n"},
        // A store of another version shows the defaults it would be replaced
        // by; out-of-range values show as the screensaver brings them in.
        {"version=0.9\nNumDogs=7\n", "--get NumDogs", "25\n"},
        {"version=1.1\nNumDogs=99999\nBGType=7\n", "--get NumDogs", "500\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        WriteStore(dir, c.keys);
        ASSERT_EQ(Config(dir, c.arguments, &out), 0);
        EXPECT_EQ(out, c.shown);
        EXPECT_EQ(StoreText(dir), std::string("[LarkspurSS]\n") + c.keys);
    }
}

// A file that is not a key file, or that cannot be read: the defaults, said
// once under this program's name, and the file is neither replaced nor set
// aside; a change to an unreadable file is refused.
TEST(LarkspurConfigKeys, AStoreThatCannotBeUsedShowsTheDefaultsAndIsLeftAsItIs)
{
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable);
        TempDir dir;
        WriteStore(dir, unreadable ? kStoredKeys : "not a key file\n");
        const std::string before = StoreText(dir);
        ASSERT_TRUE(!unreadable || chmod(StoreFile(dir).c_str(), 0) == 0);
        const auto run = [&](const std::string& arguments, std::string* out, std::string* err) {
            return RunCommand(Environment(dir) + PermissionBitsHoldPrefix() + kConfig + " " + arguments, out, err);
        };
        std::string out, err;
        ASSERT_EQ(run("--get NumDogs", &out, &err), 0);
        EXPECT_EQ(out, "25\n");
        const std::string said = "; showing the default settings, and nothing was changed\n";
        EXPECT_EQ(err.find("larkspur-config: " + (unreadable ? "cannot read " + StoreFile(dir) + " (Permission denied)"
                                                             : StoreFile(dir) + " is not a settings file (")),
                  0u)
            << err;
        EXPECT_EQ(err.find(said), err.size() - said.size()) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "said once: " << err;
        if (unreadable) {
            EXPECT_EQ(run("--set DogSize=50", &out, &err), 1);
            EXPECT_EQ(err, "larkspur-config: cannot read " + StoreFile(dir) +
                               " (Permission denied); nothing was changed\n");
        }
        EXPECT_EQ(StoreText(dir), before);
        EXPECT_FALSE(std::filesystem::exists(StoreFile(dir) + ".bad"));
    }
}

TEST(LarkspurConfigKeys, TheDefaultFolderIsTheXdgPicturesFolderElsePicturesElseTheSystemOne)
{
    const struct {
        const char* userDirs; // the pictures line of user-dirs.dirs, if any
        const char* folders;  // made in the home folder
        const char* expected; // under the home folder, or absolute
    } cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"", "Bilder Pictures", "Bilder/"},
        // A named folder that is missing is passed over.
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"", "Pictures", "Pictures/"},
        {nullptr, "Pictures", "Pictures/"},
        {nullptr, "", "/usr/share/backgrounds/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folders);
        TempDir dir;
        std::filesystem::create_directories(dir.File("config"));
        if (c.userDirs)
            dir.Write("config/user-dirs.dirs",
                      std::vector<unsigned char>(c.userDirs, c.userDirs + strlen(c.userDirs)));
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir -p x " + c.folders), 0);
        std::string out;
        ASSERT_EQ(RunCommand("HOME='" + dir.path() + "' " + Environment(dir) + kConfig + " --get BGPath", &out), 0);
        EXPECT_EQ(out, (c.expected[0] == '/' ? "" : dir.path() + "/") + c.expected + "\n");
    }
}

TEST(LarkspurConfigKeys, SetWritesCheckedValuesThatTheScreensaverThenReads)
{
    TempDir dir;
    ASSERT_EQ(Config(dir, "--set NumDogs=60 --set tilebg=off --set DogSize=250 --set BGPath=/home/me/Pictures "
                          "--set MainMonitorOnly=yes"),
              0);
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=250\nNumDogs=60\n"
                              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=/home/me/Pictures\nTileBG=false\n");

    // A store of another version is first replaced by the defaults, as a
    // starting screensaver would, so the value set is the one used.
    WriteStore(dir, "version=0.9\nNumDogs=7\nDogSize=300\n");
    ASSERT_EQ(Config(dir, "--set NumFootprints=500"), 0);
    const std::string text = StoreText(dir);
    EXPECT_EQ(text.find("[LarkspurSS]\nversion=1.1\nNumDogs=25\nDogSize=100\n"), 0u) << text;
    EXPECT_NE(text.find("\nNumFootprints=500\n"), std::string::npos) << text;
}

TEST(LarkspurConfigKeys, BadKeysAndValuesExitTwoAndLoseNothing)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    const std::string before = StoreText(dir);
    const struct {
        const char* arguments;
        const char* reason;
    } cases[] = {
        {"--set NumDogs=501", "NumDogs needs a whole number from 0 to 500, not '501'"},
        {"--set NumDogs=12abc", "not '12abc'"},
        {"--set NumDogs=", "not ''"},
        {"--set DogSize=5", "DogSize needs a whole number from 10 to 1000"},
        {"--set BGType=3", "BGType needs a whole number from 0 to 2"},
        {"--set TileBG=maybe", "TileBG needs true or false, not 'maybe'"},
        {"--set BGPath=", "BGPath needs a folder path"},
        {"--set version=2.0", "version cannot be set"},
        {"--set Herd=5", "unknown key 'Herd'; the keys are version, MainMonitorOnly"},
        {"--set NumDogs", "--set needs KEY=VALUE"},
        {"--get Herd", "unknown key 'Herd'"},
        {"--get", "--get needs a value"},
        {"--list --set NumDogs=3", "choose one of"},
        {"--list stray", "unknown option 'stray'"},
        // One bad value keeps the good ones from being written too.
        {"--set NumDogs=30 --set DogSize=0", "DogSize needs"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Config(dir, c.arguments, nullptr, &err), 2) << c.arguments;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.arguments << ": " << err;
    }
    EXPECT_EQ(StoreText(dir), before);
}

TEST(LarkspurConfigKeys, AStoreThatCannotBeWrittenExitsOne)
{
    TempDir dir;
    // The settings folder is a file.
    dir.Write("config", {});
    std::string err;
    EXPECT_EQ(Config(dir, "--set NumDogs=3", nullptr, &err), 1);
    EXPECT_NE(err.find("cannot save"), std::string::npos) << err;
}

// The window on an Xvfb server of its own. Leak reports are off for the
// window alone: GTK, fontconfig and D-Bus keep caches for the life of the
// process; memory errors are still caught.
TEST(LarkspurConfigWindow, ShowsTheStoredValuesAndSaveWritesThem)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    const std::string shot = dir.File("window.png");
    const std::string steps = "print;shot:" + shot +
                              ";set:oNumDogs=42;set:oDogSize=80;set:oBGType=0;set:oTileBG=true;print;click:saveButton";
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    std::string out, err;
    ASSERT_EQ(RunCommand("DISPLAY=" + server.name() + " GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 " +
                             "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" " + Environment(dir) + "timeout 60 " +
                             kConfig + " --test-steps '" + steps + "'",
                         &out, &err),
              0)
        << err;
    EXPECT_EQ(out.substr(0, out.find("oMainMonitorOnly", 1)),
              "oMainMonitorOnly=true\noDogSize=150\noNumDogs=40\noNumFootprints=300\noTileBG=false\noBGType=2\n"
              "oBGRes=0\noBGPath=/srv/pictures/\noBGPath.enabled=true\n");
    // Choosing another background disables the folder button at once.
    EXPECT_NE(out.find("oBGType=0\noBGRes=0\noBGPath=/srv/pictures/\noBGPath.enabled=false\n"), std::string::npos)
        << out;
    // Saved with the version kept, so the next screensaver run takes it as it is.
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=80\nNumDogs=42\n"
                              "NumFootprints=300\nBGType=0\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=true\n");

    // The picture is the whole window, with text drawn.
    GError* error = nullptr;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(shot.c_str(), &error);
    ASSERT_TRUE(picture) << (error ? error->message : "");
    const int width = gdk_pixbuf_get_width(picture), height = gdk_pixbuf_get_height(picture);
    EXPECT_GT(width, 300);
    EXPECT_GT(height, 300);
    int dark = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            dark += gdk_pixbuf_get_pixels(picture)[y * gdk_pixbuf_get_rowstride(picture) +
                                                   x * gdk_pixbuf_get_n_channels(picture)] < 100;
    EXPECT_GT(dark, 500);
    g_object_unref(picture);
}

} // namespace
