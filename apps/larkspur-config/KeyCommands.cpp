// KeyCommands: the settings keys as text, checked and written for scripts.
#include "KeyCommands.h"

#include "host/Settings.h"
#include "maths/Misc.h"
#include "platform/prefs/KeyFilePreferences.h"

#include <glib.h>

#include <charconv>
#include <cstdio>
#include <memory>

namespace {

enum class KeyKind { Version, Text, Bool, Integer };

struct KeyInfo {
    const char* name;
    KeyKind kind;
    int64_t low;
    int64_t high;
    // The value a view uses, as text.
    std::string (*show)(const SETTINGS& settings, bool mainMonitorOnly);
};

std::string ShowBool(bool value)
{
    return value ? "true" : "false";
}

// In the store's order.
const std::vector<KeyInfo>& Keys()
{
    static const std::vector<KeyInfo> keys = {
        {kKeyVersion, KeyKind::Version, 0, 0, [](const SETTINGS&, bool) { return std::string(kSettingsVersion); }},
        {kKeyMainMonitorOnly, KeyKind::Bool, 0, 1, [](const SETTINGS&, bool m) { return ShowBool(m); }},
        {kKeyDogSize, KeyKind::Integer, kMinDogSize, kMaxDogSize,
         [](const SETTINGS& s, bool) { return std::to_string(s.LDOGSIZE); }},
        {kKeyNumDogs, KeyKind::Integer, kMinNumDogs, kMaxNumDogs,
         [](const SETTINGS& s, bool) { return std::to_string(s.NUM_DOGS); }},
        {kKeyNumFootprints, KeyKind::Integer, kMinNumFootprints, kMaxNumFootprints,
         [](const SETTINGS& s, bool) { return std::to_string(s.NUM_FOOTPRINTS); }},
        {kKeyBGType, KeyKind::Integer, 0, 2, [](const SETTINGS& s, bool) { return std::to_string(s.BGTYPE); }},
        {kKeyBGRes, KeyKind::Integer, 0, 2, [](const SETTINGS& s, bool) { return std::to_string(s.BGRES); }},
        {kKeyBGPath, KeyKind::Text, 1, kBGPathBytes - 1, [](const SETTINGS& s, bool) { return std::string(s.BGPath); }},
        {kKeyTileBG, KeyKind::Bool, 0, 1, [](const SETTINGS& s, bool) { return ShowBool(s.TILEBG); }},
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
    case KeyKind::Integer:
        if (ParseInteger(a->text, a->key->low, a->key->high, &a->number))
            return true;
        *error = name + " needs a whole number from " + std::to_string(a->key->low) + " to " +
                 std::to_string(a->key->high) + ", not '" + a->text + "'";
        return false;
    case KeyKind::Text:
        if (!a->text.empty() && a->text.size() <= size_t(a->key->high) &&
            g_utf8_validate(a->text.data(), a->text.size(), nullptr))
            return true;
        *error = name + " needs a folder path of 1 to " + std::to_string(a->key->high) + " bytes of UTF-8 text";
        return false;
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
        Tell("warning: " + name + " '" + a.text + "' is a relative path, which the screensaver takes from whatever "
             "folder it starts in; give the whole path, from /");
    else if (!g_file_test(a.text.c_str(), G_FILE_TEST_IS_DIR))
        Tell("warning: " + name + " '" + a.text + "' is not a folder (yet); until it is, the screensaver shows a "
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
    SETTINGS settings;
    bool mainMonitorOnly = false;
    ReadSettings(*store, &settings, &mainMonitorOnly);
    for (const KeyInfo& key : Keys()) {
        if (only && only != &key)
            continue;
        const std::string value = PrintableText(key.show(settings, mainMonitorOnly));
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
    return 0;
}

} // namespace

int RunKeyCommand(const KeyCommand& command)
{
    return command.kind == KeyCommand::Set ? Set(command) : Show(command);
}
