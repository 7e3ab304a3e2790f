// KeyFilePreferences: the GLib key-file preferences store.
#include "platform/prefs/KeyFilePreferences.h"

#include "platform/prefs/UserFile.h"

#include "maths/Misc.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

enum class Loaded { Read, Missing, Broken, Unreadable };

// GLib takes only "#" for comments; a line whose first character past the
// blanks is ";" gets a "#" in front, remembered in *marked.
std::string MarkSemicolonComments(const std::string& text, std::set<std::string>* marked)
{
    std::string out;
    out.reserve(text.size());
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == ';') {
            out += '#';
            marked->insert("#" + line.substr(0, line.find_last_not_of("\r\n") + 1));
        }
        out += line;
        start = end;
    }
    return out;
}

// Reads the file unless it is missing; on a problem says why.
Loaded LoadKeyFile(GKeyFile* file, const std::string& path, std::set<std::string>* marked, std::string* why)
{
    std::string bytes;
    switch (ReadUserFile(path, kMaxPreferencesFileBytes, &bytes, why)) {
    case UserFileRead::Missing:
        return Loaded::Missing;
    case UserFileRead::Unreadable:
        return Loaded::Unreadable;
    case UserFileRead::TooLarge:
        return Loaded::Broken;
    case UserFileRead::Read:
        break;
    }
    const std::string text = MarkSemicolonComments(bytes, marked);
    GError* error = nullptr;
    if (g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS, &error))
        return Loaded::Read;
    *why = error->message;
    g_error_free(error);
    return Loaded::Broken;
}

bool ParseInteger(const std::string& text, int64_t* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const gint64 read = g_ascii_strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *value = read;
    return true;
}

// Blanks never belong to a number or a bool, even escaped ones.
std::string Stripped(std::string text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void Say(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, PrintableText(message).c_str());
}

} // namespace

bool ParseBoolWord(const std::string& text, bool* value)
{
    for (const char* yes : {"true", "yes", "on", "1"})
        if (g_ascii_strcasecmp(text.c_str(), yes) == 0)
            return *value = true;
    for (const char* no : {"false", "no", "off", "0"})
        if (g_ascii_strcasecmp(text.c_str(), no) == 0)
            return !(*value = false);
    return false;
}

KeyFilePreferences::KeyFilePreferences(std::string path, std::string group)
    : path_(std::move(path)), group_(std::move(group)), file_(g_key_file_new())
{
    const Loaded loaded = LoadKeyFile(file_, path_, &semicolonComments_, &problem_);
    if (loaded == Loaded::Broken || loaded == Loaded::Unreadable) {
        // A failed load may have left part of the file behind; start clean.
        g_key_file_free(file_);
        file_ = g_key_file_new();
        semicolonComments_.clear();
    }
    unreadable_ = loaded == Loaded::Unreadable;
    fileRead_ = loaded == Loaded::Read || loaded == Loaded::Broken;
    if (loaded == Loaded::Broken) {
        keepKind_ = "bad";
        keepWhy_ = "was not a settings file";
    }
}

KeyFilePreferences::~KeyFilePreferences()
{
    g_key_file_free(file_);
}

std::string KeyFilePreferences::StoredKey(const char* key) const
{
    if (g_key_file_has_key(file_, group_.c_str(), key, nullptr))
        return key;
    std::string stored = key;
    gchar** keys = g_key_file_get_keys(file_, group_.c_str(), nullptr, nullptr);
    for (gchar** k = keys; k && *k; k++) {
        if (g_ascii_strcasecmp(*k, key) == 0) {
            stored = *k;
            break;
        }
    }
    g_strfreev(keys);
    return stored;
}

bool KeyFilePreferences::ReadTrimmed(const char* key, std::string* value) const
{
    const std::string stored = StoredKey(key);
    gchar* raw = g_key_file_get_value(file_, group_.c_str(), stored.c_str(), nullptr);
    gchar* text = g_key_file_get_string(file_, group_.c_str(), stored.c_str(), nullptr);
    const bool read = raw && text;
    if (read) {
        // GLib drops the blanks before a value; those after it are the raw
        // value's last characters, while escaped ones ("\s") stay.
        const size_t rawLength = strlen(raw);
        const size_t blanks = rawLength - strlen(g_strchomp(raw));
        *value = text;
        value->erase(value->size() - std::min(blanks, value->size()));
    }
    g_free(raw);
    g_free(text);
    return read;
}

bool KeyFilePreferences::ReadString(const char* key, std::string* value) const
{
    return ReadTrimmed(key, value);
}

bool KeyFilePreferences::ReadBool(const char* key, bool* value) const
{
    std::string text;
    return ReadTrimmed(key, &text) && ParseBoolWord(Stripped(text), value);
}

bool KeyFilePreferences::ReadInteger(const char* key, int64_t* value) const
{
    std::string text;
    return ReadTrimmed(key, &text) && ParseInteger(Stripped(text), value);
}

void KeyFilePreferences::WriteString(const char* key, const char* value)
{
    const std::string stored = StoredKey(key);
    g_key_file_set_string(file_, group_.c_str(), stored.c_str(), value);
    // GLib escapes leading blanks only; trailing ones are escaped here, so
    // that trimming on reading keeps them.
    gchar* raw = g_key_file_get_value(file_, group_.c_str(), stored.c_str(), nullptr);
    std::string escaped = raw ? raw : "";
    g_free(raw);
    size_t end = escaped.size();
    while (end > 0 && (escaped[end - 1] == ' ' || escaped[end - 1] == '\t'))
        end--;
    if (end == escaped.size())
        return;
    std::string tail;
    for (size_t i = end; i < escaped.size(); i++)
        tail += escaped[i] == ' ' ? "\\s" : "\\t";
    escaped = escaped.substr(0, end) + tail;
    g_key_file_set_value(file_, group_.c_str(), stored.c_str(), escaped.c_str());
}

void KeyFilePreferences::WriteBool(const char* key, bool value)
{
    g_key_file_set_boolean(file_, group_.c_str(), StoredKey(key).c_str(), value);
}

void KeyFilePreferences::WriteInteger(const char* key, int64_t value)
{
    g_key_file_set_int64(file_, group_.c_str(), StoredKey(key).c_str(), value);
}

void KeyFilePreferences::KeepOldFile(const char* kind, const std::string& why)
{
    if (!fileRead_ || !keepKind_.empty())
        return;
    keepKind_ = kind;
    keepWhy_ = why;
}

std::string KeyFilePreferences::SavedText() const
{
    gsize length = 0;
    gchar* data = g_key_file_to_data(file_, &length, nullptr);
    const std::string text(data, length);
    g_free(data);
    if (semicolonComments_.empty())
        return text;
    std::string out;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        out += semicolonComments_.count(line) ? line.substr(1) : line;
        out += end < text.size() ? "\n" : "";
        start = end + 1;
    }
    return out;
}

bool KeyFilePreferences::KeepCopy(std::string* copy)
{
    if (keepKind_.empty())
        return true;
    std::string why;
    if (KeepNumberedCopy(path_, keepKind_, copy, &why))
        return true;
    saveError_ = "cannot keep a copy of the old file: " + why;
    return false;
}

bool KeyFilePreferences::Synchronize()
{
    if (unreadable_) {
        saveError_ = "cannot read " + path_ + " (" + problem_ + "), so it is left as it is";
        return false;
    }
    gchar* folder = g_path_get_dirname(path_.c_str());
    const bool made = g_mkdir_with_parents(folder, 0700) == 0;
    const int mkdirError = errno;
    saveError_ = made ? "" : std::string("cannot make the folder ") + folder + " (" + g_strerror(mkdirError) + ")";
    g_free(folder);
    if (!made)
        return false;
    // A file that will not be replaced needs no copy.
    std::string copy;
    if (!MayReplaceUserFile(path_, &saveError_) || !KeepCopy(&copy))
        return false;
    if (!ReplaceUserFile(path_, SavedText(), &saveError_)) {
        // The old file is still there; its copy would only be in the way.
        if (!copy.empty())
            g_unlink(copy.c_str());
        return false;
    }
    if (!copy.empty())
        Say(path_ + " " + keepWhy_ + "; the old file is kept as " + copy);
    keepKind_.clear();
    fileRead_ = true;
    return true;
}

std::string PreferencesPath(const char* module)
{
    // Read the variable each time: GLib caches its own answer for the process.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/')
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && home[0])
        folder = std::string(home) + "/.config";
    else
        folder = g_get_user_config_dir();
    return folder + "/larkspur/" + module + ".ini";
}

std::unique_ptr<KeyFilePreferences> OpenModulePreferences(const char* module, PreferencesUse use)
{
    auto store = std::make_unique<KeyFilePreferences>(PreferencesPath(module), module);
    const std::string& why = store->problem();
    // A screensaver opens the store once per view; one message is enough.
    static std::set<std::string> told;
    if (why.empty() || (store->unreadable() && use == PreferencesUse::Change) || !told.insert(store->path()).second)
        return store;
    const std::string what = store->unreadable() ? "cannot read " + store->path() + " (" + why + ")"
                                                 : store->path() + " is not a settings file (" + why + ")";
    if (use == PreferencesUse::Look)
        Say(what + "; showing the default settings, and nothing was changed");
    else if (store->unreadable())
        Say(what + "; using the default settings and leaving the file as it is");
    else
        Say(what + "; using the default settings");
    return store;
}

std::unique_ptr<PreferencesStore> OpenViewPreferences(const char* module, bool savedSettings)
{
    if (!savedSettings)
        return std::make_unique<NoPreferences>();
    return OpenModulePreferences(module);
}
