// KeyFilePreferences: the GLib key-file preferences store.
#include "platform/prefs/KeyFilePreferences.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Reads the file unless it is missing; on a problem returns its description.
std::string LoadKeyFile(GKeyFile* file, const std::string& path, bool* exists)
{
    GStatBuf info;
    *exists = g_stat(path.c_str(), &info) == 0;
    if (!*exists)
        return "";
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    if (info.st_size > kMaxPreferencesFileBytes)
        return "larger than " + std::to_string(kMaxPreferencesFileBytes) + " bytes";
    GError* error = nullptr;
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error))
        return "";
    std::string why = error->message;
    g_error_free(error);
    return why;
}

} // namespace

KeyFilePreferences::KeyFilePreferences(std::string path, std::string group)
    : path_(std::move(path)), group_(std::move(group)), file_(g_key_file_new())
{
    bool exists = false;
    problem_ = LoadKeyFile(file_, path_, &exists);
    if (!problem_.empty()) {
        // A failed load may have left part of the file behind; start clean.
        g_key_file_free(file_);
        file_ = g_key_file_new();
        // Only a file is set aside; anything else at the path is left alone
        // and simply cannot be replaced.
        keepOldFile_ = g_file_test(path_.c_str(), G_FILE_TEST_IS_REGULAR);
    }
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
    gchar* folder = g_path_get_dirname(path_.c_str());
    const bool made = g_mkdir_with_parents(folder, 0700) == 0;
    g_free(folder);
    if (!made)
        return false;
    if (keepOldFile_) {
        const std::string kept = path_ + ".bad";
        if (g_rename(path_.c_str(), kept.c_str()) != 0)
            return false;
        keepOldFile_ = false;
    }
    // Saving goes through a temporary file and a rename.
    return g_key_file_save_to_file(file_, path_.c_str(), nullptr);
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

std::unique_ptr<PreferencesStore> OpenModulePreferences(const char* module)
{
    auto store = std::make_unique<KeyFilePreferences>(PreferencesPath(module), module);
    if (!store->problem().empty())
        std::fprintf(stderr, "larkspur: %s: %s; using the defaults (the file is kept as %s.bad)\n",
                     store->path().c_str(), store->problem().c_str(), store->path().c_str());
    return store;
}
