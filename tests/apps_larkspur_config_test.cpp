// Tests of the larkspur-config program: --list, --get and --set on a store in
// a temporary folder, and its window under Xvfb, driven with synthetic keys.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "host/Settings.h"
#include "resources/PackWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const std::string kConfig = LARKSPUR_CONFIG_PROGRAM;

std::string Environment(const TempDir& dir)
{
    return "XDG_CONFIG_HOME='" + dir.File("config") + "' ";
}

// Runs as an ordinary user would, so that a file made unreadable stays so.
int Config(const TempDir& dir, const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr)
{
    return RunCommand(Environment(dir) + PermissionBitsHoldPrefix() + kConfig + " " + arguments, out, err);
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
    return TextOfFile(StoreFile(dir));
}

const char* const kStoredKeys = "version=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\nNumFootprints=300\n"
                                "BGType=2\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=false\n";

// Looking never writes the store; a file that is not a key file, or that
// cannot be read, shows the defaults and is neither replaced nor set aside,
// and a change to an unreadable file is refused.
TEST(LarkspurConfigKeys, ListAndGetShowTheValuesInUseAndAStoreThatCannotBeUsedIsLeftAsItIs)
{
    TempDir dir;
    const std::string store = StoreFile(dir), unread = "larkspur-config: cannot read " + store + " (Permission denied)";
    const struct {
        const char* keys;
        bool unreadable;
        const char* arguments;
        int status;
        std::string out, err; // err: what stderr starts with
    } cases[] = {
        {kStoredKeys, false, "--list", 0, kStoredKeys, ""},
        // Keys match whatever their case; one or two dashes, value after "=".
        {kStoredKeys, false, "-get=bgpath", 0, "/srv/pictures/\n", ""},
        // A store of another version shows the defaults it would be replaced
        // by; out-of-range values show as the screensaver brings them in.
        {"version=0.9\nNumDogs=7\n", false, "--get NumDogs", 0, "25\n", ""},
        {"version=1.1\nNumDogs=99999\n", false, "--get NumDogs", 0, "500\n", ""},
        {"not a key file\n", false, "--get NumDogs", 0, "25\n",
         "larkspur-config: " + store + " is not a settings file ("},
        {kStoredKeys, true, "--get NumDogs", 0, "25\n",
         unread + "; showing the default settings, and nothing was changed\n"},
        {kStoredKeys, true, "--set DogSize=50", 1, "", unread + "; nothing was changed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        WriteStore(dir, c.keys);
        ASSERT_TRUE(!c.unreadable || chmod(store.c_str(), 0) == 0);
        std::string out, err;
        EXPECT_EQ(Config(dir, c.arguments, &out, &err), c.status);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err.substr(0, c.err.size()), c.err);
        ASSERT_EQ(chmod(store.c_str(), 0600), 0);
        EXPECT_EQ(StoreText(dir), std::string("[LarkspurSS]\n") + c.keys);
        EXPECT_FALSE(std::filesystem::exists(store + ".bad"));
    }
}

TEST(LarkspurConfigKeys, TheDefaultFolderIsTheXdgPicturesFolderElsePicturesElseTheSystemOne)
{
    const struct {
        const char* make;     // in the home folder
        const char* expected; // under the home folder, or absolute
    } cases[] = {
        {"mkdir Bilder Pictures && echo 'XDG_PICTURES_DIR=\"$HOME/Bilder\"' > config/user-dirs.dirs", "Bilder/"},
        // A named folder that is missing is passed over.
        {"mkdir Pictures && echo 'XDG_PICTURES_DIR=\"$HOME/Bilder\"' > config/user-dirs.dirs", "Pictures/"},
        {"mkdir Pictures", "Pictures/"},
        {"true", "/usr/share/backgrounds/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.make);
        TempDir dir;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir config && (" + c.make + ")"), 0);
        std::string out;
        ASSERT_EQ(RunCommand("HOME='" + dir.path() + "' " + Environment(dir) + kConfig + " --get BGPath", &out), 0);
        EXPECT_EQ(out, (c.expected[0] == '/' ? "" : dir.path() + "/") + c.expected + "\n");
    }
}

// Without a store the defaults are written first, as a starting screensaver
// would write them, so the file is current and the values set are used.
TEST(LarkspurConfigKeys, SetWritesCheckedValuesThatTheScreensaverThenReads)
{
    TempDir dir;
    ASSERT_EQ(Config(dir, "--set NumDogs=60 --set tilebg=off --set DogSize=250 --set BGPath=/home/me/Pictures "
                          "--set MainMonitorOnly=yes"),
              0);
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=250\nNumDogs=60\n"
                              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=/home/me/Pictures\nTileBG=false\n");
}

TEST(LarkspurConfigKeys, BadKeysAndValuesExitTwoAndLoseNothingAndAnUnwritableStoreExitsOne)
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
        {"--set DogSize=5", "DogSize needs a whole number from 10 to 1000"},
        {"--set TileBG=maybe", "TileBG needs true or false, not 'maybe'"},
        {"--set BGPath=", "BGPath needs a folder path of 1 to 1023 bytes of UTF-8 text"},
        {"--set version=2.0", "version cannot be set: it marks the format of the settings"},
        {"--set Herd=5", "unknown key 'Herd'; the keys are version, MainMonitorOnly, DogSize, NumDogs, NumFootprints"},
        {"--set NumDogs", "--set needs KEY=VALUE, not 'NumDogs'"},
        {"--get Herd", "unknown key 'Herd'"},
        {"--get", "--get needs a value"},
        {"--get a --get b", "--get takes one key"},
        {"--list --set NumDogs=3", "choose one of --list, --get and --set"},
        {"--list stray", "unknown option 'stray'\nTry 'larkspur-config --help' for the options."},
        // One bad value keeps the good ones from being written too.
        {"--set NumDogs=30 --set DogSize=0", "DogSize needs"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Config(dir, c.arguments, nullptr, &err), 2) << c.arguments;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.arguments << ": " << err;
    }
    EXPECT_EQ(StoreText(dir), before);

    // The settings folder is a file.
    TempDir blocked;
    blocked.Write("config", {});
    std::string err;
    EXPECT_EQ(Config(blocked, "--set NumDogs=3", nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-config: cannot save the settings: cannot make the folder " + blocked.File("config") +
                       "/larkspur (Not a directory)\n");
}

// The window on an Xvfb server of its own, driven from outside with the
// keyboard as a person would (xdotool's synthetic input; there is no window
// manager, so the test gives the window the focus). Leak reports are off for
// the window alone: GTK, fontconfig and D-Bus keep caches for the life of the
// process; memory errors are still caught.
TEST(LarkspurConfigWindow, ShowsTheStoredValuesAndSaveWritesThem)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    ChildProgram config("env DISPLAY=" + server.name() + " GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 " +
                        "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" " + Environment(dir) + kConfig);
    const std::string xdotool = "DISPLAY=" + server.name() + " timeout 60 xdotool ";
    std::string found;
    ASSERT_EQ(RunCommand(xdotool + "search --sync --onlyvisible --name '^Larkspur Settings$'", &found), 0)
        << config.Stderr();
    const Window window = std::stoul(found);

    // Mapped and laid out: a window of its full size showing its controls,
    // not one flat colour.
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(server.display(), window);
            return shot.width > 300 && shot.height > 300 &&
                   std::any_of(shot.rgb.begin(), shot.rgb.end(), [&](unsigned char c) { return c != shot.rgb[0]; });
        },
        60.0));

    // Each label's letter with Alt focuses its control: the number and the
    // size are typed over, the picture goes to its first item, the check box
    // flips and Save is pressed. The other controls are left as they were.
    ASSERT_EQ(RunCommand(xdotool + "windowfocus --sync " + std::to_string(window) +
                         " key alt+n ctrl+a 4 2 alt+z ctrl+a 8 0 alt+p Home alt+r alt+s"),
              0);
    ExpectExit(config, 60.0, 0);
    // The untouched controls kept the stored values (a window showing the
    // defaults would have saved those), and the version is kept, so the next
    // screensaver run takes the store as it is.
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=80\nNumDogs=42\n"
                              "NumFootprints=300\nBGType=0\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=true\n");
}

} // namespace
