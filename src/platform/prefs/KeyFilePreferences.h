// KeyFilePreferences: a module's preferences in a GLib key file, by default
// $XDG_CONFIG_HOME/larkspur/<module>.ini with one group named after the module.
//
// The file is read once, when the store is opened. A missing file reads as a
// store without keys. A file that exists but cannot be read (no permission,
// not a regular file, a symbolic link loop) also reads as empty, and is never
// replaced: saving over it is refused, since its values may well be good. A
// file that was read but is not a key file (or is oversized) reads as empty
// too; when it is about to be replaced it is first kept beside itself as
// "<file>.bad", so nothing the user wrote is lost. Saving writes a temporary
// file and renames it over the old one, so the file is never left
// half-written. Keys of other groups are kept as they were.
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
    std::string SaveError() const override { return saveError_; }

    const std::string& path() const { return path_; }
    // Why the file read as empty although it exists; empty when it was read,
    // or when there was no file.
    const std::string& problem() const { return problem_; }
    // The file exists but could not be read, so it is never replaced.
    bool unreadable() const { return unreadable_; }

private:
    std::string path_;
    std::string group_;
    _GKeyFile* file_;
    std::string problem_;
    bool unreadable_ = false;
    // The existing file is not a settings file and must be kept before
    // replacing it.
    bool keepOldFile_ = false;
    std::string saveError_;
};

// $XDG_CONFIG_HOME/larkspur/<module>.ini, or ~/.config/larkspur/<module>.ini.
std::string PreferencesPath(const char* module);

// What the opener will do with the store; it decides what is said about a
// file that cannot be used.
enum class PreferencesUse {
    // Run with the values: the defaults replace a broken file.
    Run,
    // Only show the values: nothing is written.
    Look,
    // Change the values: as Run, but an unreadable file is left to the caller
    // to report, since the change is refused.
    Change,
};

// The store of a module at PreferencesPath. When its file exists but cannot
// be used, says so on stderr under the program's own name, once per file in
// a process: why, and what is done instead.
std::unique_ptr<KeyFilePreferences> OpenModulePreferences(const char* module,
                                                          PreferencesUse use = PreferencesUse::Run);
