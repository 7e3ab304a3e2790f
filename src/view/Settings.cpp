// Settings: reading the preference keys into SETTINGS, the defaults, the
// version rule and writing them back.
#include "view/Settings.h"

#include "view/HostServices.h"
#include "view/MonitorChoice.h"

#include <glib.h>

#include <algorithm>
#include <cstring>

const char* const kPreferencesModule = "LarkspurSS";
const char* const kSettingsVersion = "1.1";
const char* const kSystemBGPath = "/usr/share/backgrounds/";

const char* const kKeyVersion = "version";
const char* const kKeyMainMonitorOnly = "MainMonitorOnly";
const char* const kKeyMonitors = "Monitors";
const char* const kKeyDogSize = "DogSize";
const char* const kKeyNumDogs = "NumDogs";
const char* const kKeyNumFootprints = "NumFootprints";
const char* const kKeyBGType = "BGType";
const char* const kKeyBGRes = "BGRes";
const char* const kKeyBGPath = "BGPath";
const char* const kKeyTileBG = "TileBG";
const char* const kKeyShowOverlay = "ShowOverlay";
const char* const kKeyStartAfter = "StartAfter";
const char* const kKeyLockAfter = "LockAfter";
const char* const kKeyLockCommand = "LockCommand";
const char* const kDefaultLockCommand = "loginctl lock-session";

namespace {

void KeepInRange(SETTINGS* settings)
{
    settings->NUM_DOGS = std::clamp(settings->NUM_DOGS, kMinNumDogs, kMaxNumDogs);
    settings->NUM_FOOTPRINTS = std::clamp(settings->NUM_FOOTPRINTS, kMinNumFootprints, kMaxNumFootprints);
    settings->LDOGSIZE = std::clamp(settings->LDOGSIZE, kMinDogSize, kMaxDogSize);
    settings->dogSize = float(double(settings->LDOGSIZE) / 100.0);
    // The settings window shows an unknown type as the default and saves it
    // so; the screensaver does the same, rather than draw a bare ground.
    if (settings->BGTYPE < 0 || settings->BGTYPE > kMaxBGType)
        settings->BGTYPE = kDefaultBGType;
    // Every resolution but 512 and 1024 means the picture's own size.
    if (settings->BGRES != 0 && settings->BGRES != 1)
        settings->BGRES = kOwnSizeBGRes;
}

void UseDefaults(SETTINGS* settings, bool* mainMonitorOnly)
{
    *mainMonitorOnly = kDefaultMainMonitorOnly;
    settings->MonitorNames.clear();
    settings->LDOGSIZE = kDefaultDogSize;
    settings->NUM_DOGS = kDefaultNumDogs;
    settings->NUM_FOOTPRINTS = kDefaultNumFootprints;
    settings->BGTYPE = kDefaultBGType;
    settings->BGRES = kDefaultBGRes;
    SetBGPath(settings, DefaultBGPath().c_str());
    settings->TILEBG = kDefaultTileBG;
    settings->SHOWOVERLAY = kDefaultShowOverlay;
}

// Both are 32-bit fields: keep the low 32 bits, as a narrower read would.
void ReadInt32(const PreferencesStore& store, const char* key, int32_t* field)
{
    int64_t value = 0;
    if (store.ReadInteger(key, &value))
        *field = int32_t(uint32_t(uint64_t(value)));
}

// Keys that are absent or unreadable leave the values as they are.
void ReadStoredValues(const PreferencesStore& store, SETTINGS* settings, bool* mainMonitorOnly)
{
    store.ReadBool(kKeyMainMonitorOnly, mainMonitorOnly);
    std::string names, why;
    if (store.ReadString(kKeyMonitors, &names) && ValidMonitorNames(names, &why))
        settings->MonitorNames = names;
    store.ReadInteger(kKeyDogSize, &settings->LDOGSIZE);
    store.ReadInteger(kKeyNumDogs, &settings->NUM_DOGS);
    store.ReadInteger(kKeyNumFootprints, &settings->NUM_FOOTPRINTS);
    ReadInt32(store, kKeyBGType, &settings->BGTYPE);
    ReadInt32(store, kKeyBGRes, &settings->BGRES);
    std::string path;
    if (store.ReadString(kKeyBGPath, &path))
        SetBGPath(settings, path.c_str());
    store.ReadBool(kKeyTileBG, &settings->TILEBG);
    store.ReadBool(kKeyShowOverlay, &settings->SHOWOVERLAY);
}

} // namespace

namespace {

// A folder as BGPath holds it: ending in "/", and fitting the field.
bool AsFolder(const char* path, std::string* folder)
{
    if (!path || !path[0] || !g_file_test(path, G_FILE_TEST_IS_DIR))
        return false;
    *folder = path;
    if (folder->back() != '/')
        *folder += '/';
    return folder->size() < kBGPathBytes;
}

} // namespace

std::string DefaultBGPath()
{
    std::string folder;
    if (AsFolder(g_get_user_special_dir(G_USER_DIRECTORY_PICTURES), &folder))
        return folder;
    // Without ~/.config/user-dirs.dirs GLib knows no Pictures folder, though
    // most desktops make ~/Pictures.
    gchar* pictures = g_build_filename(g_get_home_dir(), "Pictures", nullptr);
    const bool found = AsFolder(pictures, &folder);
    g_free(pictures);
    return found ? folder : kSystemBGPath;
}

void SetBGPath(SETTINGS* settings, const char* path)
{
    g_strlcpy(settings->BGPath, path, sizeof settings->BGPath);
}

namespace {

// Every key but the version: a store holding any of them holds settings.
const char* const kSettingKeys[] = {kKeyMainMonitorOnly, kKeyMonitors,  kKeyDogSize,    kKeyNumDogs, kKeyNumFootprints,
                                    kKeyBGType,          kKeyBGRes,     kKeyBGPath,     kKeyTileBG,  kKeyShowOverlay,
                                    kKeyStartAfter,      kKeyLockAfter, kKeyLockCommand};

bool StoredVersion(const PreferencesStore& store, std::string* version)
{
    return store.ReadString(kKeyVersion, version);
}

} // namespace

bool ReadSettings(const PreferencesStore& store, SETTINGS* settings, bool* mainMonitorOnly)
{
    std::string version;
    const bool current = StoredVersion(store, &version) && version == kSettingsVersion;
    // Every key starts at its default, so a key missing from the store (a
    // file edited by hand, say) reads as its default rather than 0 or false.
    UseDefaults(settings, mainMonitorOnly);
    ReadStoredValues(store, settings, mainMonitorOnly);
    KeepInRange(settings);
    return current;
}

void KeepOutdatedFile(PreferencesStore* store)
{
    std::string version, value;
    const bool versioned = StoredVersion(*store, &version);
    if (versioned && version == kSettingsVersion)
        return;
    bool holdsSettings = false;
    for (const char* key : kSettingKeys)
        holdsSettings = holdsSettings || store->ReadString(key, &value);
    if (!holdsSettings)
        return;
    const std::string held =
        versioned ? "held settings of version '" + version + "'" : "held settings without a version";
    store->KeepOldFile("old", held + " (now " + kSettingsVersion +
                                  "), whose values that still read as valid are carried over");
}

void WriteSettings(PreferencesStore* store, const SETTINGS& settings, bool mainMonitorOnly)
{
    KeepOutdatedFile(store);
    store->WriteString(kKeyVersion, kSettingsVersion);
    store->WriteBool(kKeyMainMonitorOnly, mainMonitorOnly);
    store->WriteString(kKeyMonitors, settings.MonitorNames.c_str());
    store->WriteInteger(kKeyDogSize, settings.LDOGSIZE);
    store->WriteInteger(kKeyNumDogs, settings.NUM_DOGS);
    store->WriteInteger(kKeyNumFootprints, settings.NUM_FOOTPRINTS);
    store->WriteInteger(kKeyBGType, settings.BGTYPE);
    store->WriteInteger(kKeyBGRes, settings.BGRES);
    store->WriteString(kKeyBGPath, settings.BGPath);
    store->WriteBool(kKeyTileBG, settings.TILEBG);
    store->WriteBool(kKeyShowOverlay, settings.SHOWOVERLAY);
}

bool LoadSettings(PreferencesStore* store, SETTINGS* settings, bool* mainMonitorOnly)
{
    if (ReadSettings(*store, settings, mainMonitorOnly))
        return true;
    WriteSettings(store, *settings, *mainMonitorOnly);
    return store->Synchronize();
}

void ReadIdleSettings(const PreferencesStore& store, IdleSettings* idle)
{
    *idle = IdleSettings();
    store.ReadInteger(kKeyStartAfter, &idle->startAfter);
    store.ReadInteger(kKeyLockAfter, &idle->lockAfter);
    idle->startAfter = std::clamp(idle->startAfter, kMinStartAfter, kMaxStartAfter);
    idle->lockAfter = std::clamp(idle->lockAfter, kMinLockAfter, kMaxLockAfter);
    std::string command;
    // A blank command would lock nothing and fail silently.
    if (store.ReadString(kKeyLockCommand, &command) && command.find_first_not_of(" \t") != std::string::npos)
        idle->lockCommand = command.substr(0, kMaxLockCommandBytes);
}

void WriteIdleSettings(PreferencesStore* store, const IdleSettings& idle)
{
    store->WriteInteger(kKeyStartAfter, idle.startAfter);
    store->WriteInteger(kKeyLockAfter, idle.lockAfter);
    store->WriteString(kKeyLockCommand, idle.lockCommand.c_str());
}

void SettingsOverrides::Apply(SETTINGS* settings, bool* mainMonitor) const
{
    if (numDogs)
        settings->NUM_DOGS = *numDogs;
    if (dogSize)
        settings->LDOGSIZE = *dogSize;
    if (numFootprints)
        settings->NUM_FOOTPRINTS = *numFootprints;
    if (bgType)
        settings->BGTYPE = *bgType;
    if (bgRes)
        settings->BGRES = *bgRes;
    if (bgPath)
        SetBGPath(settings, bgPath->c_str());
    if (tileBG)
        settings->TILEBG = *tileBG;
    if (showOverlay)
        settings->SHOWOVERLAY = *showOverlay;
    if (mainMonitorOnly)
        *mainMonitor = *mainMonitorOnly;
    if (monitorNames)
        settings->MonitorNames = *monitorNames;
    KeepInRange(settings);
}
