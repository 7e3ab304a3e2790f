// KeyFilePreferences: a module's preferences in a GLib key file, by default
// $XDG_CONFIG_HOME/larkspur/<module>.ini with one group named after the module.
//
// The file is read once, when the store is opened. A missing file reads as a
// store without keys. A file that exists but cannot be read (no permission,
// not a regular file, a symbolic link loop) also reads as empty, and is never
// replaced: saving over it is refused, since its values may well be good. A
// file that was read but is not a key file (or is oversized) reads as empty
// too; when it is about to be replaced it is first copied beside itself as
// "<file>.bad" (then ".bad.1" to ".bad.9", never over an earlier copy), so
// nothing the user wrote is lost; KeepOldFile asks the same of a good file.
// Saving goes through UserFile: through symbolic links, atomically, keeping
// the file's mode, refusing a read-only file. Keys of other groups, and
// comments, are kept as they were.
//
// Forgiving reading, for files written by hand: keys match in any case (a
// write goes to the key as the file spells it), values are read without the
// blanks around them (a value saved with trailing blanks escapes them, so it
// reads back whole), bools are read with ParseBoolWord, and lines
// starting with ";" are comments, as in other INI files (saved as they were).
#pragma once

#include "view/HostServices.h"

#include <memory>
#include <set>
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
    void KeepOldFile(const char* kind, const std::string& why) override;

    const std::string& path() const { return path_; }
    // Why the file read as empty although it exists; empty when it was read,
    // or when there was no file.
    const std::string& problem() const { return problem_; }
    // The file exists but could not be read, so it is never replaced.
    bool unreadable() const { return unreadable_; }

private:
    // The key as the file spells it: the exact key, else the first one
    // matching it in any case, else the key itself.
    std::string StoredKey(const char* key) const;
    // The value of a key without the blanks around it; false when absent.
    bool ReadTrimmed(const char* key, std::string* value) const;
    // Copies the file before it is replaced, when asked; false on failure.
    bool KeepCopy(std::string* copy);
    std::string SavedText() const;

    std::string path_;
    std::string group_;
    _GKeyFile* file_;
    std::string problem_;
    bool unreadable_ = false;
    // A file was read, as a key file or not.
    bool fileRead_ = false;
    // The kind of copy of the existing file to keep before replacing it
    // ("bad", "old"; empty for none), and what to say about it.
    std::string keepKind_;
    std::string keepWhy_;
    // Comment lines that began with ";", as GLib holds them (with a "#" in
    // front), so they are saved as they were.
    std::set<std::string> semicolonComments_;
    std::string saveError_;
};

// A bool as people write it, in any case: true, yes, on or 1; false, no, off
// or 0. False for anything else.
bool ParseBoolWord(const std::string& text, bool* value);

// $XDG_CONFIG_HOME/larkspur/<module>.ini, or ~/.config/larkspur/<module>.ini.
std::string PreferencesPath(const char* module);

// What the opener will do with the store; it decides what is said about a
// file that cannot be used.
enum class PreferencesUse {
    // Run with the values: the defaults replace a broken file.
    Run,
    // Only show the values (--list, --get, the settings window until Save):
    // nothing is written.
    Look,
    // Change the values: as Run, but an unreadable file is left to the caller
    // to report, since the change is refused.
    Change,
};

// The store of a module at PreferencesPath. When its file exists but cannot
// be used, says so on stderr under the program's own name, once per file in
// a process: why, and what is done instead.
std::unique_ptr<KeyFilePreferences> OpenModulePreferences(const char* module, PreferencesUse use = PreferencesUse::Run);

// A store without a file: every key reads as absent, so the settings read as
// their defaults, and nothing written to it is kept.
class NoPreferences : public PreferencesStore {
public:
    bool ReadString(const char*, std::string*) const override { return false; }
    bool ReadBool(const char*, bool*) const override { return false; }
    bool ReadInteger(const char*, int64_t*) const override { return false; }
    void WriteString(const char*, const char*) override {}
    void WriteBool(const char*, bool) override {}
    void WriteInteger(const char*, int64_t) override {}
    bool Synchronize() override { return true; }
};

// The store a screensaver view reads: the module's file (OpenModulePreferences)
// when savedSettings, else one without a file, which neither reads nor writes it.
std::unique_ptr<PreferencesStore> OpenViewPreferences(const char* module, bool savedSettings);
