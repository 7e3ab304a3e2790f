// Tests of the larkspur-config program: --list, --get and --set on a store in
// a temporary folder, and the settings window under an Xvfb server of the
// test's own, driven through its test steps, with a picture of the window.
#include "fixtures/TempDir.h"
#include "host/Settings.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

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

    WriteStore(dir, kStoredKeys);
    ASSERT_EQ(Config(dir, "--get NumDogs", &out), 0);
    EXPECT_EQ(out, "40\n");
    // Keys match whatever their case; one or two dashes, value after "=".
    ASSERT_EQ(Config(dir, "-get=bgpath", &out), 0);
    EXPECT_EQ(out, "/srv/pictures/\n");
    ASSERT_EQ(Config(dir, "--get TileBG", &out), 0);
    EXPECT_EQ(out, "false\n");

    // A number out of range shows as the screensaver clamps it; a store of
    // another version shows the defaults it would be replaced by.
    WriteStore(dir, "version=1.1\nNumDogs=99999\n");
    ASSERT_EQ(Config(dir, "--get NumDogs", &out), 0);
    EXPECT_EQ(out, std::to_string(kMaxNumDogs) + "\n");
    WriteStore(dir, "version=0.9\nNumDogs=7\n");
    ASSERT_EQ(Config(dir, "--get NumDogs", &out), 0);
    EXPECT_EQ(out, "25\n");
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=0.9\nNumDogs=7\n");
}

TEST(LarkspurConfigKeys, SetWritesCheckedValuesThatTheScreensaverThenReads)
{
    TempDir dir;
    ASSERT_EQ(Config(dir, "--set NumDogs=60 --set tilebg=off --set DogSize=250 --set BGPath=/home/me/Pictures "
                          "--set MainMonitorOnly=yes"),
              0);
    KeyFilePreferences store(StoreFile(dir), kPreferencesModule);
    SETTINGS settings;
    bool mainMonitorOnly = false;
    LoadSettings(&store, &settings, &mainMonitorOnly);
    EXPECT_EQ(settings.NUM_DOGS, 60);
    EXPECT_EQ(settings.LDOGSIZE, 250);
    EXPECT_FALSE(settings.TILEBG);
    EXPECT_STREQ(settings.BGPath, "/home/me/Pictures");
    EXPECT_TRUE(mainMonitorOnly);

    // A store of another version is first replaced by the defaults, as a
    // starting screensaver would, so the value set is the one used.
    WriteStore(dir, "version=0.9\nNumDogs=7\nDogSize=300\n");
    ASSERT_EQ(Config(dir, "--set NumFootprints=500"), 0);
    std::string out;
    ASSERT_EQ(Config(dir, "--list", &out), 0);
    EXPECT_NE(out.find("version=1.1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("DogSize=100\nNumDogs=25\nNumFootprints=500\n"), std::string::npos) << out;
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
        {"--set NumDogs=-1", "from 0 to 500"},
        {"--set NumDogs=12abc", "not '12abc'"},
        {"--set NumDogs=", "not ''"},
        {"--set DogSize=5", "DogSize needs a whole number from 10 to 1000"},
        {"--set NumFootprints=100001", "from 0 to 100000"},
        {"--set BGType=3", "BGType needs a whole number from 0 to 2"},
        {"--set BGRes=9", "BGRes needs"},
        {"--set TileBG=maybe", "TileBG needs true or false, not 'maybe'"},
        {"--set BGPath=", "BGPath needs a folder path"},
        {"--set version=2.0", "version cannot be set"},
        {"--set Herd=5", "unknown key 'Herd'; the keys are version, MainMonitorOnly"},
        {"--set NumDogs", "--set needs KEY=VALUE"},
        {"--get Herd", "unknown key 'Herd'"},
        {"--get", "--get needs a value"},
        {"--get NumDogs --get DogSize", "--get takes one key"},
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
    std::filesystem::create_directories(dir.File("config"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("config") + "/larkspur", {'x'}));
    std::string err;
    EXPECT_EQ(Config(dir, "--set NumDogs=3", nullptr, &err), 1);
    EXPECT_NE(err.find("cannot save"), std::string::npos) << err;
}

// Runs larkspur-config's window on an Xvfb server started for this call alone
// (-displayfd picks a free display, so parallel tests never collide). Under
// the sanitizers, leak reports are off for the window alone: GTK, fontconfig
// and D-Bus keep caches for the life of the process, which LeakSanitizer
// reports as leaks; memory errors are still caught.
int ConfigWindow(const TempDir& dir, const std::string& steps, std::string* out, std::string* err)
{
    const std::string number = dir.File("display");
    const std::string script = "Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>'" + number +
                               "' 2>/dev/null & xvfb=$!; "
                               "for i in $(seq 100); do [ -s '" + number + "' ] && break; sleep 0.1; done; "
                               "DISPLAY=:$(cat '" + number + "') GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 " +
                               "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" " +
                               Environment(dir) + "timeout 60 " + kConfig + " --test-steps '" + steps +
                               "'; status=$?; kill $xvfb; wait $xvfb; exit $status";
    return RunCommand("(" + script + ")", out, err);
}

TEST(LarkspurConfigWindow, ShowsTheStoredValuesAndSaveWritesThemForTheNextRun)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    const std::string shot = dir.File("window.png");
    std::string out, err;
    ASSERT_EQ(ConfigWindow(dir,
                           "print;shot:" + shot +
                               ";set:oNumDogs=42;set:oDogSize=80;set:oBGType=0;set:oTileBG=true;print;"
                               "click:saveButton",
                           &out, &err),
              0)
        << err;
    EXPECT_EQ(out.substr(0, out.find("oMainMonitorOnly", 1)),
              "oMainMonitorOnly=true\noDogSize=150\noNumDogs=40\noNumFootprints=300\noTileBG=false\noBGType=2\n"
              "oBGRes=0\noBGPath=/srv/pictures/\noBGPath.enabled=true\n");
    // Choosing another background disables the folder button at once.
    EXPECT_NE(out.find("oBGType=0\noBGRes=0\noBGPath=/srv/pictures/\noBGPath.enabled=false\n"), std::string::npos)
        << out;

    // The picture is the whole window, and not blank.
    GError* error = nullptr;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(shot.c_str(), &error);
    ASSERT_TRUE(picture) << (error ? error->message : "");
    EXPECT_GT(gdk_pixbuf_get_width(picture), 300);
    EXPECT_GT(gdk_pixbuf_get_height(picture), 300);
    const guchar* pixels = gdk_pixbuf_get_pixels(picture);
    const int stride = gdk_pixbuf_get_rowstride(picture);
    int dark = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(picture); y++)
        for (int x = 0; x < gdk_pixbuf_get_width(picture); x++)
            dark += pixels[y * stride + x * gdk_pixbuf_get_n_channels(picture)] < 100;
    EXPECT_GT(dark, 500) << "no text drawn";
    g_object_unref(picture);
    // Kept beside the tests for a person to look at.
    std::error_code ignored;
    std::filesystem::copy_file(shot, "larkspur-config-window.png", std::filesystem::copy_options::overwrite_existing,
                               ignored);

    // Saved, with the version kept, so the next screensaver run reads them.
    const std::string saved = StoreText(dir);
    KeyFilePreferences store(StoreFile(dir), kPreferencesModule);
    SETTINGS settings;
    bool mainMonitorOnly = false;
    LoadSettings(&store, &settings, &mainMonitorOnly);
    EXPECT_EQ(settings.NUM_DOGS, 42);
    EXPECT_EQ(settings.LDOGSIZE, 80);
    EXPECT_EQ(settings.BGTYPE, 0);
    EXPECT_TRUE(settings.TILEBG);
    EXPECT_EQ(settings.NUM_FOOTPRINTS, 300);
    EXPECT_STREQ(settings.BGPath, "/srv/pictures/");
    EXPECT_TRUE(mainMonitorOnly);
    ASSERT_EQ(RunCommand(Environment(dir) + LARKSPUR_PROGRAM + " --headless --frames 1 --size 16x16 --resources " +
                             dir.File("none"),
                         nullptr, &err),
              0)
        << err;
    EXPECT_EQ(err.find("using the defaults"), std::string::npos) << err;
    EXPECT_EQ(StoreText(dir), saved);
}

TEST(LarkspurConfigWindow, DefaultsThenCancelOrCloseLeaveTheStoreAlone)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    const std::string before = StoreText(dir);
    std::string out, err;
    ASSERT_EQ(ConfigWindow(dir, "click:defaultsButton;print;click:cancelButton", &out, &err), 0) << err;
    EXPECT_EQ(out, "oMainMonitorOnly=false\noDogSize=100\noNumDogs=25\noNumFootprints=2000\noTileBG=true\n"
                   "oBGType=0\noBGRes=1\noBGPath=/srv/pictures/\noBGPath.enabled=false\n");
    EXPECT_EQ(StoreText(dir), before);

    ASSERT_EQ(ConfigWindow(dir, "set:oNumDogs=3;close", &out, &err), 0) << err;
    EXPECT_EQ(StoreText(dir), before);
}

TEST(LarkspurConfigWindow, AStepThatCannotBeDoneFails)
{
    TempDir dir;
    std::string err;
    EXPECT_EQ(ConfigWindow(dir, "click:noSuchButton", nullptr, &err), 1);
    EXPECT_NE(err.find("'click:noSuchButton' cannot be done"), std::string::npos) << err;
}

} // namespace
