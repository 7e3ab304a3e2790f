// Tests of the settings sheet's logic through fake controls and a real
// key-file store.
#include "fixtures/TempDir.h"
#include "host/ConfigureSheet.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <string>

class SheetWindow {};

namespace {

// One fake for every kind of control; a pop-up's selected index is its value.
struct FakeControl : SheetCheckBox, SheetIntegerField, SheetPopUp, SheetButton {
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
    int32_t value = -12345;
    std::string text = "(unset)";
    bool enabled = true;
};

// The toolkit side: the controls, a folder panel answering what the test
// chose, and a key-file store at a path of the test's.
struct FakeSheetHost : SheetHost {
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
        *folder = panelAnswer;
        return panelConfirms;
    }
    bool OpenAddress(const char* address, std::string* error) override
    {
        opened.push_back(address);
        *error = "no application for it";
        return opens;
    }
    std::string ReadMePath() override { return readMe; }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override
    {
        return std::make_unique<KeyFilePreferences>(preferencesFile, module);
    }

    // mainMonitorOnly, dogSize, numDogs, numFootprints, tileBG, bgType, bgRes,
    // the folder and whether its button is enabled.
    std::string Controls() const
    {
        std::ostringstream s;
        for (const FakeControl* c : {&mainMonitorOnly, &dogSize, &numDogs, &numFootprints, &tileBG, &bgType, &bgRes})
            s << c->value << ' ';
        s << bgPath.text << ' ' << bgPath.enabled;
        return s.str();
    }

    SheetWindow window;
    FakeControl mainMonitorOnly, dogSize, numDogs, numFootprints, tileBG, bgType, bgRes, bgPath;
    bool missingFolderButton = false, ended = false, panelConfirms = true, opens = true;
    std::string loadedName, panelAnswer, preferencesFile, readMe;
    std::vector<std::string> opened;
    int loads = 0;
    FolderPanelRequest panel;
    std::vector<std::string> errors;
};

std::string FileText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

// mainMonitorOnly, LDOGSIZE, NUM_DOGS, NUM_FOOTPRINTS, TILEBG, BGTYPE, BGRES
// and BGPath of a view.
std::string ViewValues(const SETTINGS& s, bool mainMonitorOnly)
{
    std::ostringstream out;
    out << mainMonitorOnly << ' ' << s.LDOGSIZE << ' ' << s.NUM_DOGS << ' ' << s.NUM_FOOTPRINTS << ' ' << s.TILEBG
        << ' ' << s.BGTYPE << ' ' << s.BGRES << ' ' << s.BGPath;
    return out.str();
}

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A store as a view's creation leaves it, every value off its default.
        host.preferencesFile = dir.Write("LarkspurSS.ini", std::vector<unsigned char>(kStored.begin(), kStored.end()));
        KeyFilePreferences store(host.preferencesFile, kPreferencesModule);
        LoadSettings(&store, &settings, &mainMonitorOnly);
        viewBefore = View();
    }

    std::string Stored(const char* key)
    {
        std::string value;
        KeyFilePreferences(host.preferencesFile, kPreferencesModule).ReadString(key, &value);
        return value;
    }
    std::string View() const { return ViewValues(settings, mainMonitorOnly); }

    const std::string kStored = "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nDogSize=150\nNumDogs=40\n"
                                "NumFootprints=300\nBGType=2\nBGRes=0\nBGPath=/home/me/Pictures/\nTileBG=false\n";
    TempDir dir;
    FakeSheetHost host;
    SETTINGS settings;
    bool mainMonitorOnly = false;
    std::string viewBefore;
    ConfigureSheet sheet{&host, &settings, &mainMonitorOnly};
};

TEST_F(SheetTest, OpeningFillsTheControlsFromTheViewAndLoadsTheInterfaceOnce)
{
    ASSERT_EQ(sheet.configureSheet(), &host.window);
    EXPECT_EQ(host.loadedName, "Larkspur");
    EXPECT_EQ(host.Controls(), "1 150 40 300 0 2 0 /home/me/Pictures/ 1");
    // A second opening reuses the window but refills from the view's values.
    host.numDogs.value = 7;
    settings.NUM_DOGS = 60;
    ASSERT_EQ(sheet.configureSheet(), &host.window);
    EXPECT_EQ(host.loads, 1);
    EXPECT_EQ(host.numDogs.value, 60);

    // An interface without all its controls gives no sheet.
    host.missingFolderButton = true;
    EXPECT_EQ(ConfigureSheet(&host, &settings, &mainMonitorOnly).configureSheet(), nullptr);
}

TEST_F(SheetTest, PopUpsShowOddStoredValuesAsItemsThatSaveAcceptedValuesAndGateTheFolderButton)
{
    for (int32_t res : {2, 5, -1}) {
        settings.BGRES = res;
        sheet.configureSheet();
        EXPECT_EQ(host.bgRes.value, 2) << res;
    }
    // An unknown type shows the default, the desktop snapshot, and Save
    // stores that rather than -1.
    for (int32_t type : {7, -1}) {
        settings.BGTYPE = type;
        sheet.configureSheet();
        EXPECT_EQ(host.bgType.value, kDefaultBGType) << type;
        EXPECT_FALSE(host.bgPath.enabled);
        ASSERT_TRUE(sheet.configureSheet_save());
        EXPECT_EQ(Stored("BGType"), "0") << type;
    }
    // Pop-ups left with nothing selected save their defaults.
    host.bgType.value = -1;
    host.bgRes.value = -1;
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored("BGType"), "0");
    EXPECT_EQ(Stored("BGRes"), "1");
    // The folder button follows the type pop-up while the sheet is open.
    for (int item : {0, 1, 2, 1}) {
        host.bgType.value = item;
        sheet.configureSheet_update();
        EXPECT_EQ(host.bgPath.enabled, item == 2) << item;
    }
}

TEST_F(SheetTest, DefaultsSetOnlyTheControlsAndKeepTheFolderCancelStoresNothingSaveStoresThem)
{
    sheet.configureSheet();
    sheet.configureSheet_defaults();
    // The desktop snapshot needs no folder, so its button is off.
    EXPECT_EQ(host.Controls(), "0 100 25 2000 1 0 1 /home/me/Pictures/ 0");
    EXPECT_EQ(View(), viewBefore);
    EXPECT_EQ(FileText(host.preferencesFile), kStored);
    sheet.configureSheet_cancel();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(View(), viewBefore);
    EXPECT_EQ(FileText(host.preferencesFile), kStored);

    host.ended = false;
    sheet.configureSheet();
    sheet.configureSheet_defaults();
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(FileText(host.preferencesFile),
              "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=false\nDogSize=100\nNumDogs=25\n"
              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=/home/me/Pictures/\nTileBG=true\n");
    EXPECT_EQ(View(), "0 100 25 2000 1 0 1 /home/me/Pictures/");
}

TEST_F(SheetTest, SaveStoresTheControlsWithTheVersionSoANewViewReadsThem)
{
    // The file went away while the sheet was open.
    ASSERT_EQ(std::remove(host.preferencesFile.c_str()), 0);
    sheet.configureSheet();
    host.numDogs.value = 77;
    host.dogSize.value = 250;
    host.bgRes.value = 2;
    host.bgPath.text = "/srv/pictures";
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(settings.LDOGSIZE, 250);
    EXPECT_EQ(settings.BGRES, 2);
    // The creature scale is set only when a view is created.
    EXPECT_FLOAT_EQ(settings.dogSize, 1.5f);
    SETTINGS next;
    bool nextMainMonitorOnly = false;
    KeyFilePreferences store(host.preferencesFile, kPreferencesModule);
    LoadSettings(&store, &next, &nextMainMonitorOnly);
    EXPECT_EQ(ViewValues(next, nextMainMonitorOnly), "1 250 77 300 0 2 2 /srv/pictures");
}

TEST_F(SheetTest, ASaveThatCannotBeWrittenIsReportedWithItsReasonAndKeepsTheSheetOpen)
{
    sheet.configureSheet();
    // A file that cannot be read may hold good values and is not replaced.
    ASSERT_EQ(chmod(host.preferencesFile.c_str(), 0), 0);
    {
        PermissionBitsHold hold;
        EXPECT_FALSE(sheet.configureSheet_save());
    }
    EXPECT_EQ(FileText(host.preferencesFile), kStored);
    EXPECT_FALSE(host.ended);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("could not be saved: cannot read " + host.preferencesFile +
                                  " (Permission denied), so it is left as it is."),
              std::string::npos)
        << host.errors[0];
}

TEST_F(SheetTest, AChosenFolderGoesToTheViewAtOnceAndToTheStoreOnlyBySave)
{
    sheet.configureSheet();
    // Cancelled, or a path that would have to be cut (so naming another
    // folder) or that is not UTF-8: nothing changes; the last two are said.
    const struct {
        bool confirms;
        std::string folder;
        size_t errors;
    } refused[] = {
        {false, "/ignored", 0},
        {true, "/" + std::string(kBGPathBytes - 1, 'p'), 1},
        {true, "/pictures/\xff\xfe", 2},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.folder.substr(0, 12));
        host.panelConfirms = r.confirms;
        host.panelAnswer = r.folder;
        sheet.configureSheet_bgpath();
        EXPECT_STREQ(settings.BGPath, "/home/me/Pictures/");
        EXPECT_EQ(host.bgPath.text, "/home/me/Pictures/");
        EXPECT_EQ(host.errors.size(), r.errors);
    }
    // The longest path that fits is taken whole.
    host.panelAnswer = "/" + std::string(kBGPathBytes - 2, 'p');
    sheet.configureSheet_bgpath();
    EXPECT_EQ(std::string(settings.BGPath), host.panelAnswer);

    host.panelAnswer = "/data/wallpapers";
    sheet.configureSheet_bgpath();
    EXPECT_EQ(host.panel.title, "Select Folder To Load Random Background Images From");
    EXPECT_EQ(host.panel.startFolder, "/" + std::string(kBGPathBytes - 2, 'p'));
    EXPECT_EQ(host.panel.fileTypes, (std::vector<std::string>{"jpg", "gif", "png", "JPG", "GIF", "PNG"}));
    EXPECT_STREQ(settings.BGPath, "/data/wallpapers");
    EXPECT_EQ(host.bgPath.text, "/data/wallpapers");
    sheet.configureSheet_cancel();
    EXPECT_EQ(FileText(host.preferencesFile), kStored);
    // Reopened, the sheet shows the view's new folder; Save stores it.
    sheet.configureSheet();
    EXPECT_EQ(host.bgPath.text, "/data/wallpapers");
    ASSERT_TRUE(sheet.configureSheet_save());
    EXPECT_EQ(Stored("BGPath"), "/data/wallpapers");
}

TEST_F(SheetTest, TheHelpButtonOpensTheReadMeOrSaysWhereHelpIs)
{
    sheet.configureSheet();
    host.readMe = dir.Write("read me.md", {'#'});
    sheet.configureSheet_openwebsite();
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0], "file://" + dir.path() + "/read%20me.md");
    EXPECT_TRUE(host.errors.empty());

    host.opens = false;
    sheet.configureSheet_openwebsite();
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("no application for it"), std::string::npos) << host.errors[0];

    // Nothing is opened for a read-me that is not there.
    for (const std::string& missing : {dir.File("gone.md"), dir.path(), std::string()}) {
        host.readMe = missing;
        sheet.configureSheet_openwebsite();
        EXPECT_EQ(host.opened.size(), 2u);
        EXPECT_NE(host.errors.back().find("man 6 larkspur"), std::string::npos) << missing;
    }
}

} // namespace
