// Tests of the settings: defaults, the version rule with the old file kept,
// clamping and overrides, the idle watcher's keys, read through the real
// key-file store.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "view/MonitorChoice.h"
#include "view/Settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>

namespace {

// mainMonitorOnly, LDOGSIZE, dogSize, NUM_DOGS, NUM_FOOTPRINTS, BGTYPE, BGRES,
// TILEBG, SHOWOVERLAY and BGPath.
std::string Summary(const SETTINGS& s, bool mainMonitorOnly)
{
    std::ostringstream out;
    out << std::setprecision(9) << mainMonitorOnly << ' ' << s.LDOGSIZE << ' ' << s.dogSize << ' ' << s.NUM_DOGS << ' '
        << s.NUM_FOOTPRINTS << ' ' << s.BGTYPE << ' ' << s.BGRES << ' ' << s.TILEBG << ' ' << s.SHOWOVERLAY << ' '
        << s.BGPath;
    return out.str();
}

// The summary of the settings a view reads from the file at `path`.
std::string Load(const std::string& path)
{
    SETTINGS settings;
    bool mainMonitorOnly = true;
    KeyFilePreferences store(path, kPreferencesModule);
    LoadSettings(&store, &settings, &mainMonitorOnly);
    return Summary(settings, mainMonitorOnly);
}

const std::string kDefaults = "0 100 1 25 2000 0 1 1 1";

TEST(Settings, AMissingStoreIsWrittenWithEveryDefault)
{
    TempDir dir;
    const std::string missing = dir.File("config/larkspur/LarkspurSS.ini");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Load(missing), kDefaults + " " + DefaultBGPath());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(TextOfFile(missing), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=false\nMonitors=\nDogSize=100\n"
                                   "NumDogs=25\nNumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=" +
                                       DefaultBGPath() + "\nTileBG=true\nShowOverlay=true\n");
}

// The old file is kept and said once; the values that read as values of
// their kind carry over (as they are used), the rest are the defaults. Only
// the exact version counts.
TEST(Settings, AnOutdatedStoreIsKeptAsOldOnceAndItsValidValuesCarryOver)
{
    const auto Held = [](const std::string& what) {
        return " held settings " + what + " (now 1.1), whose values that still read as valid are carried over";
    };
    const struct {
        std::string text;
        std::string used;
        std::string said;   // after the path; empty when nothing is kept
        std::string stored; // keys found in the new file
    } rows[] = {
        {"[LarkspurSS]\nversion=1.0\nNumDogs=7\nDogSize=big\nTileBG=false\nBGRes=9\nShowOverlay=off\n[Other]\nkept="
         "yes\n",
         "0 100 1 7 2000 0 2 0 0 ", Held("of version '1.0'"),
         "NumDogs=7\nDogSize=100\nTileBG=false\nBGRes=2\nShowOverlay=false\n"},
        {"[LarkspurSS]\nversion=1.10\nnumdogs=600\n", "0 100 1 500 2000 0 1 1 1 ", Held("of version '1.10'"),
         "numdogs=500\n"},
        {"[LarkspurSS]\nMainMonitorOnly=true\n", "1 100 1 25 2000 0 1 1 1 ", Held("without a version"),
         "MainMonitorOnly=true\n"},
        // Nothing of Larkspur's to lose: nothing is kept.
        {"[Other]\nkept=yes\n", kDefaults + " ", "", "NumDogs=25\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        TempDir dir;
        const std::string path =
            dir.Write("LarkspurSS.ini", std::vector<unsigned char>(row.text.begin(), row.text.end()));
        testing::internal::CaptureStderr();
        EXPECT_EQ(Load(path), row.used + DefaultBGPath());
        EXPECT_EQ(Load(path), row.used + DefaultBGPath());
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  row.said.empty() ? ""
                                   : std::string(program_invocation_short_name) + ": " + path + row.said +
                                         "; the old file is kept as " + path + ".old\n");
        EXPECT_EQ(TextOfFile(path + ".old"), row.said.empty() ? "" : row.text);
        EXPECT_FALSE(std::filesystem::exists(path + ".old.1"));
        const std::string now = TextOfFile(path);
        EXPECT_NE(now.find("version=1.1\n"), std::string::npos) << now;
        EXPECT_NE(now.find(row.stored), std::string::npos) << now;
        EXPECT_EQ(row.text.find("[Other]") == std::string::npos, now.find("[Other]\nkept=yes") == std::string::npos);
    }
}

// A current file is read as it is and never rewritten, whatever it holds.
TEST(Settings, ACurrentStoreIsReadWithMissingOrBadKeysAsDefaultsAndNumbersClamped)
{
    const struct {
        const char* keys;
        std::string expected;
    } cases[] = {
        {"MainMonitorOnly=true\nDogSize=150\nNumDogs=40\nNumFootprints=12\nBGType=2\nBGRes=0\nTileBG=false\n"
         "BGPath=/pictures/\nShowOverlay=no\n",
         "1 150 1.5 40 12 2 0 0 0 /pictures/"},
        // A hand-edited file: the keys it lacks, or whose values are of the
        // wrong kind, are the defaults, not zero.
        {"NumDogs=30\nDogSize=big\nTileBG=maybe\nShowOverlay=2\n", "0 100 1 30 2000 0 1 1 1 " + DefaultBGPath()},
        // Written by hand: blanks after a value, a ";" comment, a key in
        // another case.
        {"NumDogs=40 \n; more creatures\ndogsize=150\n", "0 150 1.5 40 2000 0 1 1 1 " + DefaultBGPath()},
        // A 32-bit field keeps the low 32 bits of a larger stored number.
        {"BGType=4294967297\n", "0 100 1 25 2000 1 1 1 1 " + DefaultBGPath()},
        // Numbers that would exhaust memory are brought to the limits; a type
        // the program does not know is the default; every resolution but 512
        // and 1024 is the picture's own size.
        {"NumDogs=-5\nNumFootprints=2000000000\nDogSize=0\nBGType=7\nBGRes=-1\n",
         "0 10 0.100000001 0 100000 0 2 1 1 " + DefaultBGPath()},
        {"NumDogs=2000000000\nNumFootprints=-1\nDogSize=99999\nBGType=-1\nBGRes=99999999999\n",
         "0 1000 10 500 0 0 2 1 1 " + DefaultBGPath()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        TempDir dir;
        const std::string text = std::string("[LarkspurSS]\nversion=1.1\n") + c.keys;
        const std::string path = dir.Write("LarkspurSS.ini", std::vector<unsigned char>(text.begin(), text.end()));
        EXPECT_EQ(Load(path), c.expected);
        EXPECT_EQ(TextOfFile(path), text);
    }
}

TEST(Settings, OverridesReplaceStoredValuesAndAreClampedAndCut)
{
    SETTINGS settings;
    bool mainMonitorOnly = false;
    SettingsOverrides overrides;
    overrides.dogSize = 5000;
    overrides.bgPath = "/" + std::string(5000, 'p');
    overrides.showOverlay = false;
    overrides.Apply(&settings, &mainMonitorOnly);
    // A folder longer than the field is cut to fit it.
    EXPECT_EQ(Summary(settings, mainMonitorOnly), "0 1000 10 0 0 0 0 0 0 /" + std::string(kBGPathBytes - 2, 'p'));
}

// A list the settings window or larkspur-config would refuse reads as every
// monitor; a good one goes back to the file as it was, and an override
// replaces it for the run.
TEST(Settings, MonitorNamesAreKeptWhenValidAndReadAsEveryMonitorOtherwise)
{
    const struct {
        std::string stored;
        std::string used;
    } rows[] = {
        {"HDMI-1, DP-2", "HDMI-1, DP-2"},
        {"", ""},
        {"HDMI-1,,DP-2", ""},
        {"HDMI-\\t1", ""},
        {std::string(kMaxMonitorNamesBytes + 1, 'M'), ""},
        {std::string(kMaxMonitorNamesBytes, 'M'), std::string(kMaxMonitorNamesBytes, 'M')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored.substr(0, 40));
        TempDir dir;
        const std::string text = "[LarkspurSS]\nversion=1.1\nMonitors=" + row.stored + "\n";
        const std::string path = dir.Write("LarkspurSS.ini", std::vector<unsigned char>(text.begin(), text.end()));
        SETTINGS settings;
        bool mainMonitorOnly = false;
        KeyFilePreferences store(path, kPreferencesModule);
        ReadSettings(store, &settings, &mainMonitorOnly);
        EXPECT_EQ(settings.MonitorNames, row.used);
        WriteSettings(&store, settings, mainMonitorOnly);
        ASSERT_TRUE(store.Synchronize());
        EXPECT_NE(TextOfFile(path).find("\nMonitors=" + row.used + "\n"), std::string::npos);
        SettingsOverrides overrides;
        overrides.monitorNames = "eDP-1";
        overrides.Apply(&settings, &mainMonitorOnly);
        EXPECT_EQ(settings.MonitorNames, "eDP-1");
    }
}

} // namespace

// The idle watcher's keys: a current file made before them reads their
// defaults and stays as it is; stored numbers are clamped, a blank command
// or a number of the wrong kind is the default.
TEST(Settings, IdleKeysReadTheirDefaultsWhenMissingAndAreClamped)
{
    const struct {
        const char* keys;
        const char* expected;
    } cases[] = {
        {"NumDogs=40\n", "10 0 loginctl lock-session"},
        {"StartAfter=5\nLockAfter=3\nLockCommand=swaylock -f\n", "5 3 swaylock -f"},
        {"StartAfter=0\nLockAfter=500\nLockCommand=  \n", "1 120 loginctl lock-session"},
        {"StartAfter=soon\nLockAfter=-2\n", "10 0 loginctl lock-session"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        TempDir dir;
        const std::string text = std::string("[LarkspurSS]\nversion=1.1\n") + c.keys;
        const std::string path = dir.Write("LarkspurSS.ini", std::vector<unsigned char>(text.begin(), text.end()));
        Load(path);
        KeyFilePreferences store(path, kPreferencesModule);
        IdleSettings idle;
        ReadIdleSettings(store, &idle);
        EXPECT_EQ(std::to_string(idle.startAfter) + " " + std::to_string(idle.lockAfter) + " " + idle.lockCommand,
                  c.expected);
        EXPECT_EQ(TextOfFile(path), text);
    }
}
