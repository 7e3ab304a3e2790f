// Settings: the preference keys of module "LarkspurSS" with their defaults,
// loading the user's choices (SETTINGS, as the herd and the scene read them:
// creatures/SceneSettings.h) with the version rule, and per-run overrides.
//
// Limits: "NumDogs", "NumFootprints" and "DogSize" are clamped into the
// ranges below when read, since values outside them would exhaust memory or
// make the herd's arithmetic degenerate. A "BGType" other than 0, 1 or 2
// reads as the default, 0, as the settings window shows it; a "BGRes" other
// than 0 or 1 reads as 2, the picture's own size, which is what it means.
// "BGPath" holds at most kBGPathBytes - 1 bytes; longer folders are cut.
// A "Monitors" list that ValidMonitorNames refuses reads as empty (every
// monitor).
#pragma once

#include "creatures/SceneSettings.h"

#include <cstdint>
#include <optional>
#include <string>

class PreferencesStore;

extern const char* const kPreferencesModule;
extern const char* const kSettingsVersion;

// Keys of the store, in the order the defaults are written.
extern const char* const kKeyVersion;
extern const char* const kKeyMainMonitorOnly;
extern const char* const kKeyMonitors;
extern const char* const kKeyDogSize;
extern const char* const kKeyNumDogs;
extern const char* const kKeyNumFootprints;
extern const char* const kKeyBGType;
extern const char* const kKeyBGRes;
extern const char* const kKeyBGPath;
extern const char* const kKeyTileBG;
extern const char* const kKeyShowOverlay;

constexpr bool kDefaultMainMonitorOnly = false;
constexpr int64_t kDefaultDogSize = 100;
constexpr int64_t kDefaultNumDogs = 25;
constexpr int64_t kDefaultNumFootprints = 2000;
constexpr int32_t kDefaultBGType = 0;
constexpr int32_t kDefaultBGRes = 1;
constexpr bool kDefaultTileBG = true;
constexpr bool kDefaultShowOverlay = true;
constexpr int32_t kMaxBGType = 2;
constexpr int32_t kOwnSizeBGRes = 2;
// The pictures folder when the user has none.
extern const char* const kSystemBGPath;

// Every creature slot owns a skinned copy of the model, so the slot count is
// what can exhaust memory; footprints are small records drawn every frame.
constexpr int64_t kMinNumDogs = 0;
constexpr int64_t kMaxNumDogs = 500;
constexpr int64_t kMinNumFootprints = 0;
constexpr int64_t kMaxNumFootprints = 100000;
constexpr int64_t kMinDogSize = 10;
constexpr int64_t kMaxDogSize = 1000;

// The default pictures folder, ending in "/": the user's XDG Pictures folder
// when it exists, else ~/Pictures when it exists, else kSystemBGPath.
std::string DefaultBGPath();

// Reads the settings a view uses, writing nothing. Every key starts at its
// default; a stored value that reads as a value of its kind replaces it,
// whatever the store's version, so the values of an outdated store carry
// over. Values out of range are brought into it as described above. Returns
// whether the store's "version" is the current one.
bool ReadSettings(const PreferencesStore& store, SETTINGS* settings, bool* mainMonitorOnly);

// Writes every key from the values (version first, then in the table's
// order), without writing the store through. A store that holds settings of
// another version is first asked to keep its old file, as ".old".
void WriteSettings(PreferencesStore* store, const SETTINGS& settings, bool mainMonitorOnly);

// Asks an outdated store that holds any setting to keep its old file as
// ".old" when it is next saved, saying which version it held.
void KeepOutdatedFile(PreferencesStore* store);

// Reads the settings at a view's creation (ReadSettings); a store of another
// version, or none, is then brought to the current one with the values read
// and written through. False when that write failed: the values read are
// used all the same.
bool LoadSettings(PreferencesStore* store, SETTINGS* settings, bool* mainMonitorOnly);

// Copies a folder into BGPath, cut to fit.
void SetBGPath(SETTINGS* settings, const char* path);

// The idle watcher's keys (larkspur --idle), in the same store and version as
// the view's. A store without them reads their defaults and is not rewritten
// for them; stored numbers outside the limits are used clamped, and an empty
// command reads as the default.
extern const char* const kKeyStartAfter;
extern const char* const kKeyLockAfter;
extern const char* const kKeyLockCommand;
extern const char* const kDefaultLockCommand;
// Minutes without input before the saver starts.
constexpr int64_t kDefaultStartAfter = 10;
constexpr int64_t kMinStartAfter = 1;
constexpr int64_t kMaxStartAfter = 120;
// Minutes of saver before the lock command runs; 0 never locks.
constexpr int64_t kDefaultLockAfter = 0;
constexpr int64_t kMinLockAfter = 0;
constexpr int64_t kMaxLockAfter = 120;
// A command is kept to this many bytes.
constexpr size_t kMaxLockCommandBytes = 4096;

struct IdleSettings {
    int64_t startAfter = kDefaultStartAfter;
    int64_t lockAfter = kDefaultLockAfter;
    std::string lockCommand = kDefaultLockCommand;
};

void ReadIdleSettings(const PreferencesStore& store, IdleSettings* idle);
void WriteIdleSettings(PreferencesStore* store, const IdleSettings& idle);

// Values given for one run (on the command line), overriding the store
// without changing it.
struct SettingsOverrides {
    std::optional<int64_t> numDogs;
    std::optional<int64_t> dogSize;
    std::optional<int64_t> numFootprints;
    std::optional<int32_t> bgType;
    std::optional<int32_t> bgRes;
    std::optional<std::string> bgPath;
    std::optional<bool> tileBG;
    std::optional<bool> showOverlay;
    std::optional<bool> mainMonitorOnly;
    // Taken as given: the command line checks it.
    std::optional<std::string> monitorNames;

    // Values are brought into range as stored ones are; dogSize follows
    // LDOGSIZE.
    void Apply(SETTINGS* settings, bool* mainMonitorOnly) const;
};
