// KeyFilePreferences: the GLib key-file preferences store.
#include "platform/prefs/KeyFilePreferences.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

enum class Loaded { Read, Missing, Broken, Unreadable };

// Reads the file unless it is missing; on a problem says why.
Loaded LoadKeyFile(GKeyFile* file, const std::string& path, std::string* why)
{
    GStatBuf info;
    if (g_stat(path.c_str(), &info) != 0) {
        const int error = errno;
        // No file, or no folder for it: a first run.
        if (error == ENOENT || error == ENOTDIR)
            return Loaded::Missing;
        *why = g_strerror(error);
        return Loaded::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        *why = "not a regular file";
        return Loaded::Unreadable;
    }
    if (info.st_size > kMaxPreferencesFileBytes) {
        *why = "larger than " + std::to_string(kMaxPreferencesFileBytes) + " bytes";
        return Loaded::Broken;
    }
    GError* error = nullptr;
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error))
        return Loaded::Read;
    // GLib's file errors are failures to read; the others are about what the
    // file holds.
    const bool readFailed = error->domain == G_FILE_ERROR;
    *why = error->message;
    g_error_free(error);
    return readFailed ? Loaded::Unreadable : Loaded::Broken;
}

void Say(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
}

} // namespace

KeyFilePreferences::KeyFilePreferences(std::string path, std::string group)
    : path_(std::move(path)), group_(std::move(group)), file_(g_key_file_new())
{
    const Loaded loaded = LoadKeyFile(file_, path_, &problem_);
    if (loaded == Loaded::Broken || loaded == Loaded::Unreadable) {
        // A failed load may have left part of the file behind; start clean.
        g_key_file_free(file_);
        file_ = g_key_file_new();
    }
    unreadable_ = loaded == Loaded::Unreadable;
    keepOldFile_ = loaded == Loaded::Broken;
}

KeyFilePreferences::~KeyFilePreferences()
{
    g_key_file_free(file_);
}

bool KeyFilePreferences::ReadString(const char* key, std::string* value) const
{
    gchar* text = g_key_file_get_string(file_, group_.c_str(), key, nullptr);
    if (!text)
        return false;
    *value = text;
    g_free(text);
    return true;
}

bool KeyFilePreferences::ReadBool(const char* key, bool* value) const
{
    GError* error = nullptr;
    const gboolean read = g_key_file_get_boolean(file_, group_.c_str(), key, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    *value = read;
    return true;
}

bool KeyFilePreferences::ReadInteger(const char* key, int64_t* value) const
{
    GError* error = nullptr;
    const gint64 read = g_key_file_get_int64(file_, group_.c_str(), key, &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    *value = read;
    return true;
}

void KeyFilePreferences::WriteString(const char* key, const char* value)
{
    g_key_file_set_string(file_, group_.c_str(), key, value);
}

void KeyFilePreferences::WriteBool(const char* key, bool value)
{
    g_key_file_set_boolean(file_, group_.c_str(), key, value);
}

void KeyFilePreferences::WriteInteger(const char* key, int64_t value)
{
    g_key_file_set_int64(file_, group_.c_str(), key, value);
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
    if (keepOldFile_) {
        const std::string kept = path_ + ".bad";
        if (g_rename(path_.c_str(), kept.c_str()) != 0) {
            saveError_ = "cannot keep the old file as " + kept + " (" + g_strerror(errno) + ")";
            return false;
        }
        keepOldFile_ = false;
        Say("the old settings file is kept as " + kept);
    }
    // Saving goes through a temporary file and a rename.
    GError* error = nullptr;
    if (g_key_file_save_to_file(file_, path_.c_str(), &error))
        return true;
    saveError_ = error->message;
    g_error_free(error);
    return false;
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
