// Tests of the settings sheet's logic through fake controls and a real
// key-file store: filling, Defaults, Save, Cancel, the folder button and
// panel, the web page, and a view whose capture failed.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "host/ConfigureSheet.h"
#include "host/LarkspurView.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <string>

class SheetWindow {};

namespace {

class FakeCheckBox : public SheetCheckBox {
public:
    bool state() const override { return on; }
    void setState(bool value) override { on = value; }
    bool on = false;
};

class FakeIntegerField : public SheetIntegerField {
public:
    int32_t intValue() const override { return value; }
    void setIntValue(int32_t v) override { value = v; }
    int32_t value = -12345;
};

class FakePopUp : public SheetPopUp {
public:
    int indexOfSelectedItem() const override { return index; }
    void selectItemAtIndex(int i) override { index = i; }
    int index = -1;
};

class FakeButton : public SheetButton {
public:
    std::string title() const override { return text; }
    void setTitle(const std::string& t) override { text = t; }
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool e) override { enabled = e; }
    std::string text = "(unset)";
    bool enabled = true;
};

// The toolkit side: a set of controls, a folder panel answering what the test
// chose, and a key-file store at a path of the test's.
class FakeSheetHost : public SheetHost {
public:
    SheetWindow* LoadInterface(const char* name, ConfigureSheet* owner) override
    {
        loadedName = name;
        loads++;
        owner->configureSheetWindow = &window;
        owner->oMainMonitorOnly = &mainMonitorOnly;
        owner->oDogSize = &dogSize;
        owner->oNumDogs = &numDogs;
        owner->oNumFootprints = &numFootprints;
        owner->oTileBG = &tileBG;
        owner->oBGType = &bgType;
        owner->oBGRes = &bgRes;
        owner->oBGPath = missingFolderButton ? nullptr : &bgPath;
        return &window;
    }
    void EndSheet(SheetWindow* w) override { ended = (w == &window); }
    bool RunFolderPanel(const FolderPanelRequest& request, std::string* folder) override
    {
        panel = request;
        panelRuns++;
        *folder = panelAnswer;
        return panelConfirms;
    }
    bool OpenAddress(const char* address, std::string* error) override
    {
        opened = address;
        *error = "no browser";
        return browserWorks;
    }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override
    {
        return std::make_unique<KeyFilePreferences>(preferencesFile, module);
    }

    SheetWindow window;
    FakeCheckBox mainMonitorOnly, tileBG;
    FakeIntegerField dogSize, numDogs, numFootprints;
    FakePopUp bgType, bgRes;
    FakeButton bgPath;
    bool missingFolderButton = false;
    std::string loadedName;
    int loads = 0;
    bool ended = false;
    FolderPanelRequest panel;
    int panelRuns = 0;
    std::string panelAnswer;
    bool panelConfirms = true;
    std::string opened;
    bool browserWorks = true;
    std::vector<std::string> errors;
    std::string preferencesFile;
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
        host.preferencesFile = dir.File("LarkspurSS.ini");
        // A store as a view's creation leaves it, with values that all differ
        // from the defaults.
        const std::string text = "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\n"
                                 "NumFootprints=300\nBGType=2\nBGRes=0\nBGPath=/home/me/Pictures/\nTileBG=false\n";
        ASSERT_TRUE(WriteFileAtomically(host.preferencesFile, std::vector<unsigned char>(text.begin(), text.end())));
        KeyFilePreferences store(host.preferencesFile, kPreferencesModule);
        LoadSettings(&store, &settings, &mainMonitorOnly);
        before = settings;
        stored = FileText(host.preferencesFile);
    }

    int64_t Stored(const char* key)
    {
        return KeyFilePreferences(host.preferencesFile, kPreferencesModule).ReadInteger(key);
    }
    bool StoredBool(const char* key)
    {
        return KeyFilePreferences(host.preferencesFile, kPreferencesModule).ReadBool(key);
    }
    std::string StoredString(const char* key)
    {
        std::string value;
        KeyFilePreferences(host.preferencesFile, kPreferencesModule).ReadString(key, &value);
        return value;
    }

    void ExpectViewUnchanged()
    {
        EXPECT_TRUE(mainMonitorOnly);
        EXPECT_EQ(settings.LDOGSIZE, before.LDOGSIZE);
        EXPECT_EQ(settings.NUM_DOGS, before.NUM_DOGS);
        EXPECT_EQ(settings.NUM_FOOTPRINTS, before.NUM_FOOTPRINTS);
        EXPECT_EQ(settings.TILEBG, before.TILEBG);
        EXPECT_EQ(settings.BGTYPE, before.BGTYPE);
        EXPECT_EQ(settings.BGRES, before.BGRES);
    }

    TempDir dir;
    FakeSheetHost host;
    SETTINGS settings;
    SETTINGS before;
    bool mainMonitorOnly = false;
    std::string stored;
    ConfigureSheet sheet{&host, &settings, &mainMonitorOnly};
};

TEST_F(SheetTest, OpeningFillsTheControlsFromTheViewAndLoadsTheInterfaceOnce)
{
    ASSERT_EQ(sheet.configureSheet(), &host.window);
    EXPECT_EQ(host.loadedName, "Larkspur");
    EXPECT_TRUE(host.mainMonitorOnly.on);
    EXPECT_EQ(host.dogSize.value, 150);
    EXPECT_EQ(host.numDogs.value, 40);
    EXPECT_EQ(host.numFootprints.value, 300);
    EXPECT_FALSE(host.tileBG.on);
    EXPECT_EQ(host.bgType.index, 2);
    EXPECT_EQ(host.bgRes.index, 0);
    EXPECT_EQ(host.bgPath.text, "/home/me/Pictures/");

    // A second opening reuses the window but refills from the view's values.
    host.numDogs.value = 7;
    settings.NUM_DOGS = 60;
    ASSERT_EQ(sheet.configureSheet(), &host.window);
    EXPECT_EQ(host.loads, 1);
    EXPECT_EQ(host.numDogs.value, 60);
}

TEST_F(SheetTest, AnInterfaceWithoutAllItsControlsGivesNoSheet)
{
    host.missingFolderButton = true;
    EXPECT_EQ(sheet.configureSheet(), nullptr);
}

TEST_F(SheetTest, ResolutionsBeyondTheTwoFixedSizesShowAsThePicturesOwnSize)
{
    for (int32_t res : {2, 5, -1}) {
        settings.BGRES = res;
        sheet.configureSheet();
        EXPECT_EQ(host.bgRes.index, 2) << res;
    }
    // An unknown background type selects nothing, and the folder stays disabled.
    settings.BGTYPE = 7;
    sheet.configureSheet();
    EXPECT_EQ(host.bgType.index, -1);
    EXPECT_FALSE(host.bgPath.enabled);
}

TEST_F(SheetTest, TheFolderButtonIsEnabledOnlyWhileTheFolderBackgroundIsSelected)
{
    // After opening, with the folder background stored.
    sheet.configureSheet();
    EXPECT_TRUE(host.bgPath.enabled);
    // After every update, following the pop-up.
    for (int item : {0, 1, 2, 1}) {
        host.bgType.index = item;
        sheet.configureSheet_update();
        EXPECT_EQ(host.bgPath.enabled, item == 2) << item;
    }
    // Without an update the button does not follow the pop-up.
    host.bgType.index = 2;
    EXPECT_FALSE(host.bgPath.enabled);
    // After Defaults, which select the desktop capture.
    sheet.configureSheet_update();
    sheet.configureSheet_defaults();
    EXPECT_FALSE(host.bgPath.enabled);
    // After opening with another type.
    settings.BGTYPE = 1;
    sheet.configureSheet();
    EXPECT_FALSE(host.bgPath.enabled);
}

TEST_F(SheetTest, DefaultsSetTheControlsButNotTheSettingsAndKeepTheFolder)
{
    sheet.configureSheet();
    sheet.configureSheet_defaults();
    EXPECT_FALSE(host.mainMonitorOnly.on);
    EXPECT_EQ(host.dogSize.value, 100);
    EXPECT_EQ(host.numDogs.value, 25);
    EXPECT_EQ(host.numFootprints.value, 2000);
    EXPECT_TRUE(host.tileBG.on);
    EXPECT_EQ(host.bgType.index, 0);
    EXPECT_EQ(host.bgRes.index, 1);
    EXPECT_EQ(host.bgPath.text, "/home/me/Pictures/");
    ExpectViewUnchanged();
    EXPECT_EQ(FileText(host.preferencesFile), stored);
}

TEST_F(SheetTest, DefaultsThenCancelChangesNothing)
{
    sheet.configureSheet();
    sheet.configureSheet_defaults();
    sheet.configureSheet_cancel();
    EXPECT_TRUE(host.ended);
    ExpectViewUnchanged();
    EXPECT_EQ(FileText(host.preferencesFile), stored);
}

TEST_F(SheetTest, DefaultsThenSaveStoresTheDefaultNumbersAndKeepsTheFolder)
{
    sheet.configureSheet();
    sheet.configureSheet_defaults();
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_TRUE(host.ended);
    EXPECT_FALSE(StoredBool("MainMonitorOnly"));
    EXPECT_EQ(Stored("DogSize"), 100);
    EXPECT_EQ(Stored("NumDogs"), 25);
    EXPECT_EQ(Stored("NumFootprints"), 2000);
    EXPECT_TRUE(StoredBool("TileBG"));
    EXPECT_EQ(Stored("BGType"), 0);
    EXPECT_EQ(Stored("BGRes"), 1);
    EXPECT_EQ(StoredString("BGPath"), "/home/me/Pictures/");
    // The view takes the values too.
    EXPECT_FALSE(mainMonitorOnly);
    EXPECT_EQ(settings.NUM_DOGS, 25);
    EXPECT_EQ(settings.BGTYPE, 0);
    EXPECT_TRUE(settings.TILEBG);
    // The next view reads what was saved.
    SETTINGS next;
    bool nextMainMonitorOnly = true;
    KeyFilePreferences store(host.preferencesFile, kPreferencesModule);
    LoadSettings(&store, &next, &nextMainMonitorOnly);
    EXPECT_EQ(next.NUM_DOGS, 25);
    EXPECT_EQ(next.LDOGSIZE, 100);
    EXPECT_FALSE(nextMainMonitorOnly);
}

TEST_F(SheetTest, SaveStoresTheControlsButNeverTheVersion)
{
    // A store whose version is another one is only rewritten by a view.
    const std::string text = "[LarkspurSS]\nversion=0.9\n";
    ASSERT_TRUE(WriteFileAtomically(host.preferencesFile, std::vector<unsigned char>(text.begin(), text.end())));
    sheet.configureSheet();
    host.numDogs.value = 77;
    host.dogSize.value = 250;
    host.bgRes.index = 2;
    host.bgPath.text = "/srv/pictures";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(StoredString("version"), "0.9");
    EXPECT_EQ(Stored("NumDogs"), 77);
    EXPECT_EQ(Stored("DogSize"), 250);
    EXPECT_EQ(Stored("BGRes"), 2);
    EXPECT_EQ(StoredString("BGPath"), "/srv/pictures");
    EXPECT_EQ(settings.LDOGSIZE, 250);
    // The creature scale is set only when a view is created.
    EXPECT_FLOAT_EQ(settings.dogSize, 1.5f);
}

TEST_F(SheetTest, ASaveThatCannotBeWrittenIsReportedAndKeepsTheSheetOpen)
{
    // The settings file's folder is a file, so nothing can be written there.
    const std::string blocker = dir.File("blocker");
    ASSERT_TRUE(WriteFileAtomically(blocker, {'x'}));
    host.preferencesFile = blocker + "/LarkspurSS.ini";
    sheet.configureSheet();
    EXPECT_FALSE(sheet.configureSheet_save());
    EXPECT_FALSE(host.ended);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("could not be saved"), std::string::npos);
}

TEST_F(SheetTest, AChosenFolderGoesToTheViewAtOnceButToTheStoreOnlyBySave)
{
    sheet.configureSheet();
    host.panelAnswer = "/data/wallpapers";
    sheet.configureSheet_bgpath();
    EXPECT_EQ(host.panel.title, "Select Folder To Load Random Background Images From");
    EXPECT_EQ(host.panel.startFolder, "/home/me/Pictures/");
    EXPECT_EQ(host.panel.fileTypes, (std::vector<std::string>{"jpg", "gif", "png", "JPG", "GIF", "PNG"}));
    EXPECT_STREQ(settings.BGPath, "/data/wallpapers");
    EXPECT_EQ(host.bgPath.text, "/data/wallpapers");

    sheet.configureSheet_cancel();
    EXPECT_EQ(FileText(host.preferencesFile), stored);
    // Reopened, the sheet shows the view's new folder; Save stores it.
    sheet.configureSheet();
    EXPECT_EQ(host.bgPath.text, "/data/wallpapers");
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(StoredString("BGPath"), "/data/wallpapers");
}

TEST_F(SheetTest, ACancelledOrUnfittingFolderChoiceChangesNothing)
{
    sheet.configureSheet();
    host.panelConfirms = false;
    host.panelAnswer = "/ignored";
    sheet.configureSheet_bgpath();
    EXPECT_STREQ(settings.BGPath, "/home/me/Pictures/");
    EXPECT_TRUE(host.errors.empty());

    // A path that would have to be cut names another folder: refused.
    host.panelConfirms = true;
    host.panelAnswer = "/" + std::string(kBGPathBytes - 1, 'p');
    sheet.configureSheet_bgpath();
    EXPECT_STREQ(settings.BGPath, "/home/me/Pictures/");
    EXPECT_EQ(host.bgPath.text, "/home/me/Pictures/");
    EXPECT_EQ(host.errors.size(), 1u);

    host.panelAnswer = "/pictures/\xff\xfe";
    sheet.configureSheet_bgpath();
    EXPECT_STREQ(settings.BGPath, "/home/me/Pictures/");
    EXPECT_EQ(host.errors.size(), 2u);

    // The longest path that fits is taken whole.
    host.panelAnswer = "/" + std::string(kBGPathBytes - 2, 'p');
    sheet.configureSheet_bgpath();
    EXPECT_EQ(std::string(settings.BGPath), host.panelAnswer);
}

TEST_F(SheetTest, TheWebPageOpensThroughTheHostAndAFailureIsReported)
{
    sheet.configureSheet();
    sheet.configureSheet_openwebsite();
    EXPECT_EQ(host.opened, kWebsiteAddress);
    EXPECT_TRUE(host.errors.empty());
    host.browserWorks = false;
    sheet.configureSheet_openwebsite();
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("no browser"), std::string::npos);
}

class SheetOfAViewTest : public GLContextTest {};

TEST_F(SheetOfAViewTest, AViewWhoseCaptureFailedShowsAndSavesTheDesktopPicture)
{
    TempDir dir;
    FakeHost viewHost;
    viewHost.gl = &gl;
    viewHost.preferencesFile = dir.File("LarkspurSS.ini");
    const std::string text = "[LarkspurSS]\nversion=1.1\nBGType=0\nBGRes=1\nNumDogs=3\nDogSize=100\n";
    ASSERT_TRUE(WriteFileAtomically(viewHost.preferencesFile, std::vector<unsigned char>(text.begin(), text.end())));
    // No capture can be had.
    LarkspurView view(&viewHost);

    FakeSheetHost host;
    host.preferencesFile = viewHost.preferencesFile;
    ConfigureSheet sheet(&host, &view.mySettings, &view.MainMonitorOnly);
    ASSERT_NE(sheet.configureSheet(), nullptr);
    EXPECT_EQ(host.bgType.index, 1);
    EXPECT_FALSE(host.bgPath.enabled);
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(KeyFilePreferences(host.preferencesFile, kPreferencesModule).ReadInteger("BGType"), 1);
}

} // namespace
