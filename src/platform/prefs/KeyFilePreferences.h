// KeyFilePreferences: a module's preferences in a GLib key file, by default
// $XDG_CONFIG_HOME/larkspur/<module>.ini with one group named after the module.
//
// The file is read once, when the store is opened. A missing, unreadable,
// oversized or malformed file reads as a store without keys; when such a file
// is about to be replaced it is first kept beside itself as "<file>.bad", so
// nothing the user wrote is lost. Saving writes a temporary file and renames
// it over the old one, so the file is never left half-written. Keys of other
// groups are kept as they were.
#pragma once

#include "host/HostServices.h"

#include <memory>
#include <string>

struct _GKeyFile;

// Files above this size are not settings files.
constexpr long kMaxPreferencesFileBytes = 1 << 20;

class KeyFilePreferences : public PreferencesStore {
public:
    KeyFilePreferences(std::string path, std::string group);
    ~KeyFilePreferences() override;
    KeyFilePreferences(const KeyFilePreferences&) = delete;
    KeyFilePreferences& operator=(const KeyFilePreferences&) = delete;

    bool ReadString(const char* key, std::string* value) const override;
    bool ReadBool(const char* key, bool* value) const override;
    bool ReadInteger(const char* key, int64_t* value) const override;
    void WriteString(const char* key, const char* value) override;
    void WriteBool(const char* key, bool value) override;
    void WriteInteger(const char* key, int64_t value) override;
    bool Synchronize() override;

    const std::string& path() const { return path_; }
    // Why the file read as empty although it exists; empty when it was read,
    // or when there was no file.
    const std::string& problem() const { return problem_; }

private:
    std::string path_;
    std::string group_;
    _GKeyFile* file_;
    std::string problem_;
    // The existing file could not be read and must be kept before replacing it.
    bool keepOldFile_ = false;
};

// $XDG_CONFIG_HOME/larkspur/<module>.ini, or ~/.config/larkspur/<module>.ini.
std::string PreferencesPath(const char* module);

// The store of a module at PreferencesPath; when its file exists but cannot
// be read, says so on stderr (the defaults will replace it).
std::unique_ptr<PreferencesStore> OpenModulePreferences(const char* module);
