// KeyCommands: the settings keys as text, checked and written for scripts.
#include "KeyCommands.h"

#include "host/Settings.h"
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

// Reads through to a store and drops every write, so looking never changes
// the file.
class ReadOnlyPreferences : public PreferencesStore {
public:
    explicit ReadOnlyPreferences(const PreferencesStore& store) : store_(store) {}
    bool ReadString(const char* key, std::string* value) const override { return store_.ReadString(key, value); }
    bool ReadBool(const char* key, bool* value) const override { return store_.ReadBool(key, value); }
    bool ReadInteger(const char* key, int64_t* value) const override { return store_.ReadInteger(key, value); }
    void WriteString(const char*, const char*) override {}
    void WriteBool(const char*, bool) override {}
    void WriteInteger(const char*, int64_t) override {}
    bool Synchronize() override { return true; }

private:
    const PreferencesStore& store_;
};

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "larkspur-config: %s\n", message.c_str());
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

bool ParseBool(const std::string& text, bool* value)
{
    for (const char* yes : {"true", "yes", "on", "1"})
        if (g_ascii_strcasecmp(text.c_str(), yes) == 0)
            return *value = true;
    for (const char* no : {"false", "no", "off", "0"})
        if (g_ascii_strcasecmp(text.c_str(), no) == 0)
            return !(*value = false);
    return false;
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
        if (ParseBool(a->text, &a->flag))
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
    ReadOnlyPreferences looking(*store);
    SETTINGS settings;
    bool mainMonitorOnly = false;
    LoadSettings(&looking, &settings, &mainMonitorOnly);
    for (const KeyInfo& key : Keys()) {
        if (only && only != &key)
            continue;
        const std::string value = key.show(settings, mainMonitorOnly);
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
    // As a starting view does: a store of another version becomes the defaults.
    SETTINGS settings;
    bool mainMonitorOnly = false;
    LoadSettings(store.get(), &settings, &mainMonitorOnly);
    for (const Assignment& a : assignments)
        Write(store.get(), a);
    if (!store->Synchronize())
        return Fail("cannot save the settings: " + store->SaveError(), 1);
    return 0;
}

} // namespace

int RunKeyCommand(const KeyCommand& command)
{
    return command.kind == KeyCommand::Set ? Set(command) : Show(command);
}
