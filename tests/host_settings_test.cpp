// Tests of the settings: defaults, the version rule, clamping and overrides,
// read through the real key-file store.
#include "fixtures/TempDir.h"
#include "host/Settings.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileAtomically(path, std::vector<unsigned char>(text.begin(), text.end())));
}

std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

struct Loaded {
    SETTINGS settings;
    bool mainMonitorOnly = true;
};

Loaded Load(const std::string& path)
{
    Loaded loaded;
    KeyFilePreferences store(path, kPreferencesModule);
    LoadSettings(&store, &loaded.settings, &loaded.mainMonitorOnly);
    return loaded;
}

// mainMonitorOnly, LDOGSIZE, dogSize, NUM_DOGS, NUM_FOOTPRINTS, BGTYPE, BGRES,
// TILEBG and BGPath.
std::string Summary(const Loaded& l)
{
    std::ostringstream s;
    s << std::setprecision(9) << l.mainMonitorOnly << ' ' << l.settings.LDOGSIZE << ' ' << l.settings.dogSize << ' '
      << l.settings.NUM_DOGS << ' ' << l.settings.NUM_FOOTPRINTS << ' ' << l.settings.BGTYPE << ' '
      << l.settings.BGRES << ' ' << l.settings.TILEBG << ' ' << l.settings.BGPath;
    return s.str();
}

std::string Defaults()
{
    return "0 100 1 25 2000 0 1 1 " + DefaultBGPath();
}

TEST(Settings, EmptyStoreIsWrittenWithEveryDefaultVersionFirst)
{
    TempDir dir;
    const std::string path = dir.File("config/larkspur/LarkspurSS.ini");
    EXPECT_EQ(Summary(Load(path)), Defaults());
    EXPECT_EQ(ReadText(path), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=false\nDogSize=100\nNumDogs=25\n"
                              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=" +
                                  DefaultBGPath() + "\nTileBG=true\n");
}

TEST(Settings, StoreOfAnotherVersionIsRewrittenAndItsValuesIgnored)
{
    for (const char* version : {"1.0", "", "1.10", "1.1 "}) {
        TempDir dir;
        const std::string path = dir.File("LarkspurSS.ini");
        WriteText(path, std::string("[LarkspurSS]\nversion=") + version +
                            "\nNumDogs=7\nDogSize=300\nTileBG=false\nBGPath=/elsewhere/\n[Other]\nkept=yes\n");
        EXPECT_EQ(Summary(Load(path)), Defaults()) << version;
        const std::string text = ReadText(path);
        EXPECT_NE(text.find("NumDogs=25"), std::string::npos);
        EXPECT_NE(text.find("version=1.1\n"), std::string::npos);
        // Another program's group in the same file survives.
        EXPECT_NE(text.find("[Other]\nkept=yes"), std::string::npos);
    }
}

TEST(Settings, AStoreThatCannotBeReadGivesTheDefaultsAndIsLeftAsItIs)
{
    TempDir dir;
    const std::string path = dir.File("LarkspurSS.ini");
    const std::string text = "[LarkspurSS]\nversion=1.1\nNumDogs=77\n";
    WriteText(path, text);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    {
        PermissionBitsHold hold;
        EXPECT_EQ(Summary(Load(path)), Defaults());
    }
    EXPECT_EQ(ReadText(path), text);
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}

TEST(Settings, CurrentVersionIsReadAsStoredWithoutRewriting)
{
    TempDir dir;
    const std::string path = dir.File("LarkspurSS.ini");
    const std::string text = "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\n"
                             "NumFootprints=12\nBGType=2\nBGRes=7\nTileBG=false\n";
    WriteText(path, text);
    // DogSize 150 is a scale of 1.5; without "BGPath" the folder is the default.
    EXPECT_EQ(Summary(Load(path)), "1 150 1.5 40 12 2 2 0 " + DefaultBGPath());
    EXPECT_EQ(ReadText(path), text);
}

TEST(Settings, NumbersThatWouldExhaustMemoryAreClampedToTheLimits)
{
    TempDir dir;
    const std::string path = dir.File("LarkspurSS.ini");
    WriteText(path, "[LarkspurSS]\nversion=1.1\nNumDogs=-5\nNumFootprints=2000000000\nDogSize=0\n");
    Loaded loaded = Load(path);
    EXPECT_EQ(loaded.settings.NUM_DOGS, kMinNumDogs);
    EXPECT_EQ(loaded.settings.NUM_FOOTPRINTS, kMaxNumFootprints);
    EXPECT_EQ(loaded.settings.LDOGSIZE, kMinDogSize);
    EXPECT_EQ(loaded.settings.dogSize, 0.1f);

    WriteText(path, "[LarkspurSS]\nversion=1.1\nNumDogs=2000000000\nNumFootprints=-1\nDogSize=99999\n");
    loaded = Load(path);
    EXPECT_EQ(loaded.settings.NUM_DOGS, kMaxNumDogs);
    EXPECT_EQ(loaded.settings.NUM_FOOTPRINTS, kMinNumFootprints);
    EXPECT_EQ(loaded.settings.LDOGSIZE, kMaxDogSize);
    // Clamping is for this run; the user's file is not touched.
    EXPECT_EQ(ReadText(path), "[LarkspurSS]\nversion=1.1\nNumDogs=2000000000\nNumFootprints=-1\nDogSize=99999\n");
}

TEST(Settings, MissingOrMalformedKeysOfACurrentFileReadAsTheirDefaults)
{
    const struct {
        const char* keys;
        std::string expected;
    } cases[] = {
        // A hand-edited file: creatures at full size, footprints and tiling kept.
        {"NumDogs=30\n", "0 100 1 30 2000 0 1 1 " + DefaultBGPath()},
        {"NumDogs=many\nTileBG=perhaps\nDogSize=\nMainMonitorOnly=2\nBGRes=x\n", Defaults()},
        {"TileBG=false\nBGPath=/pictures/\n", "0 100 1 25 2000 0 1 0 /pictures/"},
        // A 32-bit field keeps the low 32 bits of a larger stored number.
        {"BGType=4294967297\n", "0 100 1 25 2000 1 1 1 " + DefaultBGPath()},
        // A type the program does not know is the default; every resolution
        // but 512 and 1024 is the picture's own size.
        {"BGType=7\nBGRes=-1\n", "0 100 1 25 2000 0 2 1 " + DefaultBGPath()},
        {"BGType=-1\nBGRes=99999999999\n", "0 100 1 25 2000 0 2 1 " + DefaultBGPath()},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File("LarkspurSS.ini");
        const std::string text = std::string("[LarkspurSS]\nversion=1.1\n") + c.keys;
        WriteText(path, text);
        EXPECT_EQ(Summary(Load(path)), c.expected) << c.keys;
        // Reading fills nothing into the file.
        EXPECT_EQ(ReadText(path), text) << c.keys;
    }
}

TEST(Settings, OverridesReplaceStoredValuesAndAreClamped)
{
    SETTINGS settings;
    bool mainMonitorOnly = false;
    SettingsOverrides overrides;
    overrides.numDogs = 100000;
    overrides.dogSize = 250;
    overrides.bgType = 2;
    overrides.bgPath = "/pictures/";
    overrides.tileBG = false;
    overrides.mainMonitorOnly = true;
    settings.NUM_FOOTPRINTS = 300;
    settings.TILEBG = true;
    overrides.Apply(&settings, &mainMonitorOnly);
    EXPECT_EQ(settings.NUM_DOGS, kMaxNumDogs);
    EXPECT_EQ(settings.LDOGSIZE, 250);
    EXPECT_EQ(settings.dogSize, 2.5f);
    EXPECT_EQ(settings.NUM_FOOTPRINTS, 300);
    EXPECT_EQ(settings.BGTYPE, 2);
    EXPECT_STREQ(settings.BGPath, "/pictures/");
    EXPECT_FALSE(settings.TILEBG);
    EXPECT_TRUE(mainMonitorOnly);
}

TEST(Settings, OverlongFolderIsCutToFitTheField)
{
    SETTINGS settings;
    SetBGPath(&settings, std::string(5000, 'a').c_str());
    EXPECT_EQ(std::string(settings.BGPath), std::string(kBGPathBytes - 1, 'a'));
}

} // namespace
