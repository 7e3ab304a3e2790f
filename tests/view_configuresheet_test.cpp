// Tests of the settings sheet's logic through fake controls and a real
// key-file store.
#include "fixtures/TempDir.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"
#include "view/ConfigureSheet.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <string>

class SheetWindow {};

namespace {

// One fake for every kind of control; a pop-up's selected index is its value.
struct FakeControl : SheetCheckBox, SheetIntegerField, SheetPopUp, SheetButton, SheetTextField {
    bool state() const override { return value != 0; }
    void setState(bool on) override { value = on; }
    int32_t intValue() const override { return value; }
    void setIntValue(int32_t v) override { value = v; }
    int indexOfSelectedItem() const override { return value; }
    void selectItemAtIndex(int i) override { value = i; }
    std::string title() const override { return text; }
    void setTitle(const std::string& t) override { text = t; }
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool e) override { enabled = e; }
    std::string stringValue() const override { return text; }
    void setStringValue(const std::string& t) override { text = t; }
    int32_t value = -12345;
    std::string text = "(unset)";
    bool enabled = true;
};

// The toolkit side: the controls, a folder panel answering what the test
// chose, and a key-file store at a path of the test's.
struct FakeSheetHost : SheetHost {
    SheetWindow* LoadInterface(const char*, ConfigureSheet* owner) override
    {
        owner->configureSheetWindow = &window;
        owner->oMainMonitorOnly = &mainMonitorOnly;
        owner->oMonitors = &monitors;
        owner->oDogSize = &dogSize;
        owner->oNumDogs = &numDogs;
        owner->oNumFootprints = &numFootprints;
        owner->oTileBG = &tileBG;
        owner->oShowOverlay = &showOverlay;
        owner->oBGType = &bgType;
        owner->oBGRes = &bgRes;
        owner->oBGPath = missingFolderButton ? nullptr : &bgPath;
        owner->oIdleWatcher = &idleWatcher;
        owner->oStartAfter = &startAfter;
        owner->oLockAfter = &lockAfter;
        owner->oLockCommand = &lockCommand;
        return &window;
    }
    bool IdleWatcherEnabled() override { return watcherOn; }
    bool SetIdleWatcher(bool on, std::string* error) override
    {
        watcherCalls.push_back(on);
        *error = "no user manager";
        if (watcherWorks)
            watcherOn = on;
        return watcherWorks;
    }
    void EndSheet(SheetWindow* w) override { ended = (w == &window); }
    bool RunFolderPanel(const FolderPanelRequest& request, std::string* folder) override
    {
        panel = request;
        *folder = panelAnswer;
        return panelConfirms;
    }
    void ShowAbout(const AboutLarkspur& about) override { abouts.push_back(about); }
    std::string ReadMePath() override { return readMe; }
    std::string ManualFolder() override { return "/opt/lk/share/man/man6"; }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override
    {
        return std::make_unique<KeyFilePreferences>(preferencesFile, module);
    }

    // mainMonitorOnly, dogSize, numDogs, numFootprints, tileBG, showOverlay, bgType, bgRes,
    // the folder and whether its button is enabled.
    std::string Controls() const
    {
        std::ostringstream s;
        for (const FakeControl* c :
             {&mainMonitorOnly, &dogSize, &numDogs, &numFootprints, &tileBG, &showOverlay, &bgType, &bgRes})
            s << c->value << ' ';
        s << bgPath.text << ' ' << bgPath.enabled;
        return s.str();
    }

    // The idle box, its minutes, the lock's and the lock command.
    std::string IdleControls() const
    {
        return std::to_string(idleWatcher.value) + " " + std::to_string(startAfter.value) + " " +
               std::to_string(lockAfter.value) + " " + lockCommand.text;
    }

    SheetWindow window;
    FakeControl mainMonitorOnly, monitors, dogSize, numDogs, numFootprints, tileBG, showOverlay, bgType, bgRes, bgPath;
    FakeControl idleWatcher, startAfter, lockAfter, lockCommand;
    bool watcherOn = false, watcherWorks = true;
    std::vector<bool> watcherCalls;
    bool missingFolderButton = false, ended = false, panelConfirms = true;
    std::string panelAnswer, preferencesFile, readMe;
    std::vector<std::string> errors;
    std::vector<AboutLarkspur> abouts;
    FolderPanelRequest panel;
};

std::string FileText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A store as a view's creation leaves it, every value off its default.
        host.preferencesFile = dir.Write("LarkspurSS.ini", std::vector<unsigned char>(kStored.begin(), kStored.end()));
        KeyFilePreferences store(host.preferencesFile, kPreferencesModule);
        LoadSettings(&store, &settings, &mainMonitorOnly);
        ReadIdleSettings(store, &idle);
    }
    // mainMonitorOnly, LDOGSIZE, NUM_DOGS, NUM_FOOTPRINTS, TILEBG, SHOWOVERLAY, BGTYPE, BGRES and BGPath
    // of the view.
    std::string View() const
    {
        std::ostringstream out;
        out << mainMonitorOnly << ' ' << settings.LDOGSIZE << ' ' << settings.NUM_DOGS << ' ' << settings.NUM_FOOTPRINTS
            << ' ' << settings.TILEBG << ' ' << settings.SHOWOVERLAY << ' ' << settings.BGTYPE << ' ' << settings.BGRES
            << ' ' << settings.BGPath;
        return out.str();
    }

    const std::string kStored = "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\n"
                                "NumFootprints=300\nBGType=2\nBGRes=0\nBGPath=/home/me/Pictures/\nTileBG=false\n"
                                "ShowOverlay=false\n";
    TempDir dir;
    FakeSheetHost host;
    SETTINGS settings;
    bool mainMonitorOnly = false;
    IdleSettings idle;
    ConfigureSheet sheet{&host, &settings, &mainMonitorOnly, &idle};
};

// The idle watcher's keys at their defaults, as Save writes them after the others.
const std::string kIdleKeys = "StartAfter=10\nLockAfter=0\nLockCommand=loginctl lock-session\n";

TEST_F(SheetTest, OpeningFillsTheControlsFromTheViewDefaultsAndCancelChangeNeitherViewNorStore)
{
    ASSERT_EQ(sheet.configureSheet(), &host.window);
    EXPECT_EQ(host.Controls(), "1 150 40 300 0 0 2 0 /home/me/Pictures/ 1");
    sheet.configureSheet_defaults();
    // Defaults keep the folder; the desktop snapshot needs none, so its button is off.
    EXPECT_EQ(host.Controls(), "0 100 25 2000 1 1 0 1 /home/me/Pictures/ 0");
    sheet.configureSheet_cancel();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(View(), "1 150 40 300 0 0 2 0 /home/me/Pictures/");
    EXPECT_EQ(FileText(host.preferencesFile), kStored);

    // Opening again refills the controls from the view. A type the sheet does
    // not know shows as the default, the desktop snapshot; any resolution but
    // 512 and 1024 as the picture's own size.
    for (int32_t odd : {3, -1}) {
        settings.BGTYPE = settings.BGRES = odd;
        ASSERT_EQ(sheet.configureSheet(), &host.window);
        EXPECT_EQ(host.Controls(), "1 150 40 300 0 0 0 2 /home/me/Pictures/ 0") << odd;
    }

    // An interface without all its controls gives no sheet.
    host.missingFolderButton = true;
    EXPECT_EQ(ConfigureSheet(&host, &settings, &mainMonitorOnly, &idle).configureSheet(), nullptr);
}

TEST_F(SheetTest, SaveStoresTheControlsWithTheVersionOrSaysWhyNot)
{
    // The file went away while the sheet was open.
    ASSERT_EQ(std::remove(host.preferencesFile.c_str()), 0);
    sheet.configureSheet();
    host.numDogs.value = 77;
    host.dogSize.value = 250;
    host.showOverlay.value = 1;
    // A pop-up left with nothing selected saves its default, never -1.
    host.bgType.value = -1;
    host.bgRes.value = 2;
    host.bgPath.text = "/srv/pictures";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_TRUE(host.ended && !sheet.lastSaveFailed());
    // The view's folder changes only through the folder panel.
    EXPECT_EQ(View(), "1 250 77 300 0 1 0 2 /home/me/Pictures/");
    EXPECT_EQ(FileText(host.preferencesFile),
              "[LarkspurSS]\nMainMonitorOnly=true\nMonitors=\nversion=1.1\nDogSize=250\nNumDogs=77\nNumFootprints=300\n"
              "TileBG=false\nShowOverlay=true\nBGType=0\nBGRes=2\nBGPath=/srv/pictures\n" +
                  kIdleKeys);

    // A file that cannot be read may hold good values; the sheet stays open
    // with the choices.
    host.ended = false;
    ASSERT_EQ(chmod(host.preferencesFile.c_str(), 0), 0);
    {
        PermissionBitsHold hold;
        EXPECT_FALSE(sheet.configureSheet_save());
    }
    EXPECT_TRUE(!host.ended && sheet.lastSaveFailed());
    EXPECT_EQ(host.errors,
              std::vector<std::string>{"The settings could not be saved: cannot read " + host.preferencesFile +
                                       " (Permission denied), so it is left as it is. Check that your "
                                       "settings file and its folder can be read and written, then "
                                       "press Save again."});
    // Only the last Save counts.
    ASSERT_EQ(chmod(host.preferencesFile.c_str(), 0600), 0);
    EXPECT_TRUE(sheet.configureSheet_save());
    EXPECT_FALSE(sheet.lastSaveFailed());
}

// The entry shows the view's list and Defaults empties it. Save refuses a
// list the screensaver would not use, storing nothing and keeping the sheet
// open, and stores a good one as written.
TEST_F(SheetTest, TheMonitorNamesAreShownAndOnlyAGoodListIsSaved)
{
    settings.MonitorNames = "HDMI-1";
    sheet.configureSheet();
    EXPECT_EQ(host.monitors.text, "HDMI-1");
    sheet.configureSheet_defaults();
    EXPECT_EQ(host.monitors.text, "");

    host.monitors.text = "HDMI-1,,DP-2";
    EXPECT_FALSE(sheet.configureSheet_save());
    EXPECT_EQ(host.errors, std::vector<std::string>{"The list of monitor names has an empty name between commas. "
                                                    "Give names separated by commas, or nothing for every monitor, "
                                                    "then press Save again."});
    EXPECT_TRUE(!host.ended && settings.MonitorNames == "HDMI-1");
    EXPECT_EQ(FileText(host.preferencesFile), kStored);

    host.monitors.text = "DP-2, HDMI-1";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_TRUE(host.ended && settings.MonitorNames == "DP-2, HDMI-1");
    EXPECT_NE(FileText(host.preferencesFile).find("\nMonitors=DP-2, HDMI-1\n"), std::string::npos);
}

// Save writes every key; an outdated file's own values are kept as ".old".
TEST_F(SheetTest, SaveOverAnOutdatedFileKeepsItAsOld)
{
    const std::string old = "[LarkspurSS]\nversion=1.0\nNumDogs=7\nDogSize=huge\n";
    dir.Write("LarkspurSS.ini", std::vector<unsigned char>(old.begin(), old.end()));
    sheet.configureSheet();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the old file is kept as " + host.preferencesFile + ".old"),
              std::string::npos);
    EXPECT_EQ(FileText(host.preferencesFile + ".old"), old);
    EXPECT_EQ(FileText(host.preferencesFile), "[LarkspurSS]\nversion=1.1\nNumDogs=40\nDogSize=150\n"
                                              "MainMonitorOnly=true\nMonitors=\nNumFootprints=300\nTileBG=false\n"
                                              "ShowOverlay=false\nBGType=2\nBGRes=0\nBGPath=/home/me/Pictures/\n" +
                                                  kIdleKeys);
}

// The box shows whether the watcher starts with the session; Save stores the
// delays and the command (a blank one as the default) and turns the watcher
// on, or off, or on afresh, saying why when that fails. Defaults leave the box.
TEST_F(SheetTest, SaveStoresTheIdleSettingsAndTurnsTheWatcherOnAndOff)
{
    host.watcherOn = true;
    sheet.configureSheet();
    EXPECT_EQ(host.IdleControls(), "1 10 0 loginctl lock-session");
    host.startAfter.value = 3;
    host.lockAfter.value = 7;
    host.lockCommand.text = "swaylock -f";
    sheet.configureSheet_defaults();
    EXPECT_EQ(host.IdleControls(), "1 10 0 loginctl lock-session");
    host.startAfter.value = 3;
    host.lockCommand.text = " ";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(host.watcherCalls, std::vector<bool>{true});
    EXPECT_EQ(idle.startAfter, 3);
    EXPECT_NE(FileText(host.preferencesFile).find("StartAfter=3\nLockAfter=0\nLockCommand=loginctl lock-session\n"),
              std::string::npos);

    host.idleWatcher.value = 0;
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(host.watcherCalls, (std::vector<bool>{true, false}));
    // Off and already off: nothing to do.
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(host.watcherCalls.size(), 2u);

    host.watcherWorks = false;
    host.idleWatcher.value = 1;
    EXPECT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(host.errors, std::vector<std::string>{"The settings were saved, but Larkspur could not be set to start "
                                                    "after a time of inactivity: no user manager"});
}

TEST_F(SheetTest, AChosenFolderGoesToTheViewAtOnceAndToTheStoreOnlyBySave)
{
    sheet.configureSheet();
    // Cancelled, or a path that would have to be cut (so naming another
    // folder) or that is not UTF-8: nothing changes; the last two are said.
    host.panelConfirms = false;
    for (const std::string& folder :
         {std::string("/ignored"), "/" + std::string(kBGPathBytes - 1, 'p'), std::string("/pictures/\xff\xfe")}) {
        host.panelAnswer = folder;
        sheet.configureSheet_bgpath();
        host.panelConfirms = true;
        EXPECT_EQ(std::string(settings.BGPath) + " " + host.bgPath.text, "/home/me/Pictures/ /home/me/Pictures/");
    }
    EXPECT_EQ(host.errors, (std::vector<std::string>{
                               "That folder's path is too long (at most 1023 bytes); choose another folder.",
                               "That folder's name is not UTF-8 text and cannot be saved; choose another folder."}));
    // The longest path that fits is taken whole.
    const std::string longest = "/" + std::string(kBGPathBytes - 2, 'p');
    host.panelAnswer = longest;
    sheet.configureSheet_bgpath();
    EXPECT_EQ(host.panel.title, "Select Folder To Load Random Background Images From");
    EXPECT_EQ(host.panel.startFolder, "/home/me/Pictures/");
    EXPECT_EQ(std::string(settings.BGPath) + " " + host.bgPath.text, longest + " " + longest);
    EXPECT_EQ(FileText(host.preferencesFile), kStored);
}

// About names the program and where its documents are; a read-me that is
// not a file is said to be missing, not named as if it could be read.
TEST_F(SheetTest, AboutNamesTheReadMeAndTheManualAndSaysWhenTheReadMeIsMissing)
{
    const std::string readMe = dir.Write("read me.md", {'#'});
    const struct {
        std::string path, firstLine;
    } rows[] = {
        {readMe, "Read-me: " + readMe},
        {dir.File("gone.md"), "Read-me: missing (it belongs at " + dir.File("gone.md") + ")"},
        {dir.path(), "Read-me: missing (it belongs at " + dir.path() + ")"},
    };
    for (const auto& row : rows) {
        host.readMe = row.path;
        sheet.configureSheet_about();
        ASSERT_FALSE(host.abouts.empty());
        const AboutLarkspur& about = host.abouts.back();
        EXPECT_EQ(about.name, "Larkspur");
        EXPECT_EQ(about.description, "A herd of animated creatures wandering over your desktop");
        EXPECT_EQ(about.documents, row.firstLine + "\nManual page: larkspur(6), in /opt/lk/share/man/man6");
    }
    EXPECT_EQ(host.abouts.size(), std::size(rows));
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(FileText(host.preferencesFile), kStored);
}

} // namespace
