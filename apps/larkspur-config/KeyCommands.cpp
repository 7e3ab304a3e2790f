// KeyCommands: the settings keys as text, checked and written for scripts.
#include "KeyCommands.h"

#include "maths/Misc.h"
#include "platform/desktop/XScreenSaverRegistration.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "view/MonitorChoice.h"
#include "view/Settings.h"

#include <glib.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>

const char* const kXScreenSaverNotice =
    "XScreenSaver runs Larkspur (enabled in ~/.xscreensaver) with the settings of its own dialog, "
    "xscreensaver-settings; these settings apply when Larkspur runs by itself (its window, full screen, the idle "
    "watcher).";

namespace {

// Text is a folder; Command a shell command line; Names a list of monitors.
enum class KeyKind { Version, Text, Command, Names, Bool, Integer };

// The values a screensaver started now would use.
struct Used {
    SETTINGS settings;
    bool mainMonitorOnly = false;
    IdleSettings idle;
};

struct KeyInfo {
    const char* name;
    KeyKind kind;
    int64_t low;
    int64_t high;
    // The value used, as text.
    std::string (*show)(const Used& used);
};

std::string ShowBool(bool value)
{
    return value ? "true" : "false";
}

// In the store's order.
const std::vector<KeyInfo>& Keys()
{
    static const std::vector<KeyInfo> keys = {
        {kKeyVersion, KeyKind::Version, 0, 0, [](const Used&) { return std::string(kSettingsVersion); }},
        {kKeyMainMonitorOnly, KeyKind::Bool, 0, 1, [](const Used& u) { return ShowBool(u.mainMonitorOnly); }},
        {kKeyMonitors, KeyKind::Names, 0, int64_t(kMaxMonitorNamesBytes),
         [](const Used& u) { return u.settings.MonitorNames; }},
        {kKeyDogSize, KeyKind::Integer, kMinDogSize, kMaxDogSize,
         [](const Used& u) { return std::to_string(u.settings.LDOGSIZE); }},
        {kKeyNumDogs, KeyKind::Integer, kMinNumDogs, kMaxNumDogs,
         [](const Used& u) { return std::to_string(u.settings.NUM_DOGS); }},
        {kKeyNumFootprints, KeyKind::Integer, kMinNumFootprints, kMaxNumFootprints,
         [](const Used& u) { return std::to_string(u.settings.NUM_FOOTPRINTS); }},
        {kKeyBGType, KeyKind::Integer, 0, 2, [](const Used& u) { return std::to_string(u.settings.BGTYPE); }},
        {kKeyBGRes, KeyKind::Integer, 0, 2, [](const Used& u) { return std::to_string(u.settings.BGRES); }},
        {kKeyBGPath, KeyKind::Text, 1, kBGPathBytes - 1, [](const Used& u) { return std::string(u.settings.BGPath); }},
        {kKeyTileBG, KeyKind::Bool, 0, 1, [](const Used& u) { return ShowBool(u.settings.TILEBG); }},
        {kKeyShowOverlay, KeyKind::Bool, 0, 1, [](const Used& u) { return ShowBool(u.settings.SHOWOVERLAY); }},
        {kKeyStartAfter, KeyKind::Integer, kMinStartAfter, kMaxStartAfter,
         [](const Used& u) { return std::to_string(u.idle.startAfter); }},
        {kKeyLockAfter, KeyKind::Integer, kMinLockAfter, kMaxLockAfter,
         [](const Used& u) { return std::to_string(u.idle.lockAfter); }},
        {kKeyLockCommand, KeyKind::Command, 1, int64_t(kMaxLockCommandBytes),
         [](const Used& u) { return u.idle.lockCommand; }},
    };
    return keys;
}

// Messages may quote values from the file or the command line.
void Tell(const std::string& message)
{
    std::fprintf(stderr, "larkspur-config: %s\n", PrintableText(message).c_str());
}

int Fail(const std::string& message, int status)
{
    Tell(message);
    return status;
}

std::string KeyNames()
{
    std::string names;
    for (const KeyInfo& key : Keys())
        names += std::string(names.empty() ? "" : ", ") + key.name;
    return names;
}

// Keys match whatever their case.
const KeyInfo* FindKey(const std::string& name, std::string* error)
{
    for (const KeyInfo& key : Keys())
        if (g_ascii_strcasecmp(key.name, name.c_str()) == 0)
            return &key;
    *error = "unknown key '" + name + "'; the keys are " + KeyNames();
    return nullptr;
}

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value)
{
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, *value);
    return !text.empty() && problem == std::errc() && stop == end && *value >= low && *value <= high;
}

// One checked assignment, written only once every other one is good too.
struct Assignment {
    const KeyInfo* key;
    std::string text;
    bool flag = false;
    int64_t number = 0;
};

bool ParseAssignment(const std::string& argument, Assignment* a, std::string* error)
{
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        *error = "--set needs KEY=VALUE, not '" + argument + "'";
        return false;
    }
    a->key = FindKey(argument.substr(0, equals), error);
    if (!a->key)
        return false;
    a->text = argument.substr(equals + 1);
    const std::string name = a->key->name;
    switch (a->key->kind) {
    case KeyKind::Version:
        *error = "version cannot be set: it marks the format of the settings";
        return false;
    case KeyKind::Bool:
        if (ParseBoolWord(a->text, &a->flag))
            return true;
        *error = name + " needs true or false, not '" + a->text + "'";
        return false;
    case KeyKind::Names: {
        std::string why;
        if (ValidMonitorNames(a->text, &why))
            return true;
        *error =
            name + " needs monitor names separated by commas (or nothing, for every monitor); '" + a->text + "' " + why;
        return false;
    }
    case KeyKind::Integer:
        if (ParseInteger(a->text, a->key->low, a->key->high, &a->number))
            return true;
        *error = name + " needs a whole number from " + std::to_string(a->key->low) + " to " +
                 std::to_string(a->key->high) + ", not '" + a->text + "'";
        return false;
    case KeyKind::Text:
    case KeyKind::Command: {
        const bool command = a->key->kind == KeyKind::Command;
        // A blank command would lock nothing.
        const bool blank = command && a->text.find_first_not_of(" \t") == std::string::npos;
        if (!a->text.empty() && !blank && a->text.size() <= size_t(a->key->high) &&
            g_utf8_validate(a->text.data(), a->text.size(), nullptr))
            return true;
        *error = name + " needs " + (command ? "a command" : "a folder path") + " of 1 to " +
                 std::to_string(a->key->high) + " bytes of UTF-8 text";
        return false;
    }
    }
    return false;
}

// A folder that is not there yet, or a relative path, may be what the user
// means (a folder still to be made or mounted); it is saved, with a word on
// what the screensaver will do with it.
void WarnAboutFolder(const Assignment& a)
{
    if (a.key->kind != KeyKind::Text)
        return;
    const std::string name = a.key->name;
    if (!g_path_is_absolute(a.text.c_str()))
        Tell("warning: " + name + " '" + a.text +
             "' is a relative path, which the screensaver takes from whatever "
             "folder it starts in; give the whole path, from /");
    else if (!g_file_test(a.text.c_str(), G_FILE_TEST_IS_DIR))
        Tell("warning: " + name + " '" + a.text +
             "' is not a folder (yet); until it is, the screensaver shows a "
             "fallback picture instead of one from it");
}

void Write(PreferencesStore* store, const Assignment& a)
{
    if (a.key->kind == KeyKind::Bool)
        store->WriteBool(a.key->name, a.flag);
    else if (a.key->kind == KeyKind::Integer)
        store->WriteInteger(a.key->name, a.number);
    else
        store->WriteString(a.key->name, a.text.c_str());
}

int Show(const KeyCommand& command)
{
    const KeyInfo* only = nullptr;
    std::string error;
    if (command.kind == KeyCommand::Get && !(only = FindKey(command.arguments.at(0), &error)))
        return Fail(error, 2);
    const auto store = OpenModulePreferences(kPreferencesModule, PreferencesUse::Look);
    Used used;
    ReadSettings(*store, &used.settings, &used.mainMonitorOnly);
    ReadIdleSettings(*store, &used.idle);
    for (const KeyInfo& key : Keys()) {
        if (only && only != &key)
            continue;
        const std::string value = PrintableText(key.show(used));
        if (only)
            std::printf("%s\n", value.c_str());
        else
            std::printf("%s=%s\n", key.name, value.c_str());
    }
    return 0;
}

int Set(const KeyCommand& command)
{
    std::vector<Assignment> assignments(command.arguments.size());
    for (size_t i = 0; i < assignments.size(); i++) {
        std::string error;
        if (!ParseAssignment(command.arguments[i], &assignments[i], &error))
            return Fail(error, 2);
    }
    const auto store = OpenModulePreferences(kPreferencesModule, PreferencesUse::Change);
    // The values of a file that cannot be read may be good: changing one key
    // would replace all the others with defaults.
    if (store->unreadable())
        return Fail("cannot read " + store->path() + " (" + store->problem() + "); nothing was changed", 1);
    // As a starting view does: a store of another version is brought to the
    // current one with the values that carry over, then the changes go in.
    SETTINGS settings;
    bool mainMonitorOnly = false;
    if (!ReadSettings(*store, &settings, &mainMonitorOnly))
        WriteSettings(store.get(), settings, mainMonitorOnly);
    for (const Assignment& a : assignments) {
        WarnAboutFolder(a);
        Write(store.get(), a);
    }
    if (!store->Synchronize())
        return Fail("cannot save the settings: " + store->SaveError(), 1);
    if (XScreenSaverInCharge())
        std::fprintf(stderr, "larkspur-config: %s\n", kXScreenSaverNotice);
    return 0;
}

} // namespace

bool XScreenSaverInCharge()
{
    const char* home = std::getenv("HOME");
    return home && home[0] && XScreenSaverRunsLarkspur(home);
}

int RunKeyCommand(const KeyCommand& command)
{
    return command.kind == KeyCommand::Set ? Set(command) : Show(command);
}
