// ConfigureSheet: the sheet's actions on its controls, the view's values and
// the preferences store.
#include "view/ConfigureSheet.h"

#include "view/MonitorChoice.h"

#include <glib.h>

const char* const kSheetInterfaceName = "Larkspur";
const char* const kFolderPanelTitle = "Select Folder To Load Random Background Images From";

namespace {

const int kFolderBackground = 2;
const int kBackgroundTypes = 3;
const int kResolutions = 3;
// The pop-up's last item stands for every resolution other than 512 and 1024.
const int kOwnSizeResolution = 2;

// A stored type the sheet does not know shows as the default, so that Save
// always writes a type the program accepts.
int BackgroundTypeItem(int32_t bgType)
{
    return bgType >= 0 && bgType < kBackgroundTypes ? bgType : kDefaultBGType;
}

int ResolutionItem(int32_t bgRes)
{
    return bgRes == 0 || bgRes == 1 ? bgRes : kOwnSizeResolution;
}

// A pop-up with nothing (or no known item) selected stands for its default,
// never for -1.
int SelectedItem(const SheetPopUp& popUp, int items, int fallback)
{
    const int index = popUp.indexOfSelectedItem();
    return index >= 0 && index < items ? index : fallback;
}

AboutLarkspur DescribeLarkspur(const std::string& readMe, const std::string& manualFolder)
{
    AboutLarkspur about;
    about.name = "Larkspur";
    about.description = "A herd of animated creatures wandering over your desktop";
    about.copyright = "Copyright \u00a9 2026 the Larkspur developers";
    // A read-me that is not there is said to be missing rather than named as
    // if it could be opened.
    const bool readMeThere = g_file_test(readMe.c_str(), G_FILE_TEST_IS_REGULAR);
    about.documents = (readMeThere ? "Read-me: " + readMe : "Read-me: missing (it belongs at " + readMe + ")") +
                      "\nManual page: larkspur(6), in " + manualFolder;
    return about;
}

} // namespace

ConfigureSheet::ConfigureSheet(SheetHost* host, SETTINGS* settings, bool* mainMonitorOnly, IdleSettings* idle)
    : host_(host), settings_(settings), mainMonitorOnly_(mainMonitorOnly), idle_(idle)
{
}

bool ConfigureSheet::OutletsConnected() const
{
    return configureSheetWindow && oMainMonitorOnly && oMonitors && oDogSize && oNumDogs && oNumFootprints && oTileBG &&
           oShowOverlay && oBGType && oBGRes && oBGPath && oIdleWatcher && oStartAfter && oLockAfter && oLockCommand;
}

SheetWindow* ConfigureSheet::configureSheet()
{
    if (!configureSheetWindow)
        configureSheetWindow = host_->LoadInterface(kSheetInterfaceName, this);
    if (!OutletsConnected())
        return nullptr;
    FillControls();
    configureSheet_updatestates();
    return configureSheetWindow;
}

void ConfigureSheet::FillControls()
{
    oMainMonitorOnly->setState(*mainMonitorOnly_);
    oMonitors->setStringValue(settings_->MonitorNames);
    oDogSize->setIntValue(int32_t(settings_->LDOGSIZE));
    oNumDogs->setIntValue(int32_t(settings_->NUM_DOGS));
    oNumFootprints->setIntValue(int32_t(settings_->NUM_FOOTPRINTS));
    oTileBG->setState(settings_->TILEBG);
    oShowOverlay->setState(settings_->SHOWOVERLAY);
    oBGType->selectItemAtIndex(BackgroundTypeItem(settings_->BGTYPE));
    oBGRes->selectItemAtIndex(ResolutionItem(settings_->BGRES));
    oBGPath->setTitle(settings_->BGPath);
    oIdleWatcher->setState(host_->IdleWatcherEnabled());
    oStartAfter->setIntValue(int32_t(idle_->startAfter));
    oLockAfter->setIntValue(int32_t(idle_->lockAfter));
    oLockCommand->setStringValue(idle_->lockCommand);
}

void ConfigureSheet::configureSheet_updatestates()
{
    oBGPath->setEnabled(oBGType->indexOfSelectedItem() == kFolderBackground);
}

void ConfigureSheet::configureSheet_update()
{
    configureSheet_updatestates();
}

void ConfigureSheet::configureSheet_defaults()
{
    oMainMonitorOnly->setState(kDefaultMainMonitorOnly);
    oMonitors->setStringValue("");
    oDogSize->setIntValue(int32_t(kDefaultDogSize));
    oNumDogs->setIntValue(int32_t(kDefaultNumDogs));
    oNumFootprints->setIntValue(int32_t(kDefaultNumFootprints));
    oTileBG->setState(kDefaultTileBG);
    oShowOverlay->setState(kDefaultShowOverlay);
    oBGType->selectItemAtIndex(kDefaultBGType);
    oBGRes->selectItemAtIndex(kDefaultBGRes);
    // The folder is the user's own choice and is not reset, nor is whether
    // the watcher runs.
    oBGPath->setTitle(settings_->BGPath);
    oStartAfter->setIntValue(int32_t(kDefaultStartAfter));
    oLockAfter->setIntValue(int32_t(kDefaultLockAfter));
    oLockCommand->setStringValue(kDefaultLockCommand);
    configureSheet_updatestates();
}

bool ConfigureSheet::configureSheet_save()
{
    // A list the screensaver would read as empty is refused before anything
    // is stored, and the sheet stays open to mend it.
    const std::string monitors = oMonitors->stringValue();
    std::string why;
    if (!ValidMonitorNames(monitors, &why)) {
        host_->ShowError("The list of monitor names " + why +
                         ". Give names separated by commas, or nothing for every "
                         "monitor, then press Save again.");
        return false;
    }
    const std::unique_ptr<PreferencesStore> store = host_->OpenPreferences(kPreferencesModule);
    // The keys below replace an outdated file's; its old values are kept.
    KeepOutdatedFile(store.get());
    *mainMonitorOnly_ = oMainMonitorOnly->state();
    store->WriteBool(kKeyMainMonitorOnly, *mainMonitorOnly_);
    settings_->MonitorNames = monitors;
    store->WriteString(kKeyMonitors, monitors.c_str());

    settings_->LDOGSIZE = oDogSize->intValue();
    settings_->NUM_DOGS = oNumDogs->intValue();
    settings_->NUM_FOOTPRINTS = oNumFootprints->intValue();
    settings_->TILEBG = oTileBG->state();
    settings_->SHOWOVERLAY = oShowOverlay->state();
    settings_->BGTYPE = SelectedItem(*oBGType, kBackgroundTypes, kDefaultBGType);
    settings_->BGRES = SelectedItem(*oBGRes, kResolutions, kDefaultBGRes);

    // The version goes too: a file deleted or emptied while the sheet was open
    // would otherwise lack it, and the next view would replace every value.
    store->WriteString(kKeyVersion, kSettingsVersion);
    store->WriteInteger(kKeyDogSize, settings_->LDOGSIZE);
    store->WriteInteger(kKeyNumDogs, settings_->NUM_DOGS);
    store->WriteInteger(kKeyNumFootprints, settings_->NUM_FOOTPRINTS);
    store->WriteBool(kKeyTileBG, settings_->TILEBG);
    store->WriteBool(kKeyShowOverlay, settings_->SHOWOVERLAY);
    store->WriteInteger(kKeyBGType, settings_->BGTYPE);
    store->WriteInteger(kKeyBGRes, settings_->BGRES);
    store->WriteString(kKeyBGPath, oBGPath->title().c_str());
    SaveIdle(store.get());
    lastSaveFailed_ = !store->Synchronize();
    if (lastSaveFailed_) {
        const std::string why = store->SaveError();
        host_->ShowError("The settings could not be saved" + (why.empty() ? "" : ": " + why) +
                         ". Check that your settings file and its folder can be read and written, "
                         "then press Save again.");
        return false;
    }
    ApplyIdleWatcher();
    host_->EndSheet(configureSheetWindow);
    return true;
}

void ConfigureSheet::SaveIdle(PreferencesStore* store)
{
    idle_->startAfter = oStartAfter->intValue();
    idle_->lockAfter = oLockAfter->intValue();
    // A blank command would lock nothing: the default stands for it.
    const std::string command = oLockCommand->stringValue();
    idle_->lockCommand = command.find_first_not_of(" \t") == std::string::npos ? kDefaultLockCommand : command;
    WriteIdleSettings(store, *idle_);
}

// A watcher that runs is started afresh even when it stays on, so that the
// delays just saved count.
void ConfigureSheet::ApplyIdleWatcher()
{
    const bool on = oIdleWatcher->state();
    if (!on && !host_->IdleWatcherEnabled())
        return;
    std::string error;
    if (!host_->SetIdleWatcher(on, &error))
        host_->ShowError(std::string("The settings were saved, but Larkspur could not be ") +
                         (on ? "set to start after a time of inactivity: " : "kept from starting by itself: ") + error);
}

void ConfigureSheet::configureSheet_cancel()
{
    host_->EndSheet(configureSheetWindow);
}

void ConfigureSheet::configureSheet_bgpath()
{
    FolderPanelRequest request;
    request.title = kFolderPanelTitle;
    request.fileTypes = {"jpg", "gif", "png", "JPG", "GIF", "PNG"};
    request.startFolder = settings_->BGPath;
    std::string folder;
    if (!host_->RunFolderPanel(request, &folder) || folder.empty())
        return;
    // A cut path would name another folder, and the store holds only UTF-8
    // text, so such folders are refused and the current folder stays.
    if (folder.size() >= sizeof settings_->BGPath) {
        host_->ShowError("That folder's path is too long (at most " + std::to_string(kBGPathBytes - 1) +
                         " bytes); choose another folder.");
        return;
    }
    if (!g_utf8_validate(folder.data(), folder.size(), nullptr)) {
        host_->ShowError("That folder's name is not UTF-8 text and cannot be saved; choose another folder.");
        return;
    }
    SetBGPath(settings_, folder.c_str());
    oBGPath->setTitle(settings_->BGPath);
}

void ConfigureSheet::configureSheet_about()
{
    host_->ShowAbout(DescribeLarkspur(host_->ReadMePath(), host_->ManualFolder()));
}
