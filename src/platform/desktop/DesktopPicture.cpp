// DesktopPicture: the lookup chain, GSettings reading and the two XML formats.
#include "platform/desktop/DesktopPicture.h"

#include "resources/PictureDecoder.h"
#include "resources/RegularFile.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>

const char* const kDebianDefaultWallpaper = "/usr/share/images/desktop-base/default";

namespace {

// Settings files are small; anything larger is not one.
constexpr uint64_t kMaxSettingsFileBytes = 4 << 20;

enum class Desktop { Gnome, Mate, Cinnamon, Xfce };
const Desktop kAllDesktops[] = {Desktop::Gnome, Desktop::Mate, Desktop::Cinnamon, Desktop::Xfce};

bool ReadSmallFile(const std::string& path, std::string* text)
{
    std::vector<unsigned char> bytes;
    if (!ReadRegularFile(path.c_str(), kMaxSettingsFileBytes, &bytes))
        return false;
    text->assign(bytes.begin(), bytes.end());
    return true;
}

bool ParseMarkup(const std::string& text, const GMarkupParser& parser, void* state)
{
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, GMarkupParseFlags(0), state, nullptr);
    const bool parsed = g_markup_parse_context_parse(context, text.data(), gssize(text.size()), nullptr) &&
                        g_markup_parse_context_end_parse(context, nullptr);
    g_markup_parse_context_free(context);
    return parsed;
}

std::string Trimmed(const char* text, gsize length)
{
    std::string s(text, length);
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool EndsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// A file URI or an absolute path as a path; empty for anything else.
std::string PathOfSetting(const std::string& value)
{
    if (!value.empty() && value[0] == '/')
        return value;
    gchar* path = g_filename_from_uri(value.c_str(), nullptr, nullptr);
    if (!path)
        return "";
    std::string result = path;
    g_free(path);
    return result;
}

// A setting's picture, with a GNOME background XML resolved to its picture.
std::string PictureOfSetting(const std::optional<std::string>& value)
{
    if (!value)
        return "";
    std::string path = PathOfSetting(*value);
    if (EndsWith(path, ".xml"))
        path = PictureOfGnomeXml(path);
    return path;
}

std::vector<std::string> GnomeCandidates(DesktopSettings* settings)
{
    const char* schema = "org.gnome.desktop.background";
    std::vector<std::string> found;
    const std::optional<std::string> scheme = settings->ReadString("org.gnome.desktop.interface", "color-scheme");
    if (scheme && *scheme == "prefer-dark")
        found.push_back(PictureOfSetting(settings->ReadString(schema, "picture-uri-dark")));
    found.push_back(PictureOfSetting(settings->ReadString(schema, "picture-uri")));
    return found;
}

std::vector<std::string> Candidates(Desktop desktop, const DesktopPictureSources& sources, DesktopSettings* settings)
{
    switch (desktop) {
    case Desktop::Gnome:
        return GnomeCandidates(settings);
    case Desktop::Mate:
        return {PictureOfSetting(settings->ReadString("org.mate.background", "picture-filename"))};
    case Desktop::Cinnamon:
        return {PictureOfSetting(settings->ReadString("org.cinnamon.desktop.background", "picture-uri"))};
    case Desktop::Xfce:
        return XfceLastImages(sources.xfceChannelFile, sources.monitorName);
    }
    return {};
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<Desktop> DesktopNamed(const std::string& name)
{
    const std::string n = Lower(name);
    if (n.find("gnome") != std::string::npos)
        return Desktop::Gnome;
    if (n.find("mate") != std::string::npos)
        return Desktop::Mate;
    if (n.find("cinnamon") != std::string::npos)
        return Desktop::Cinnamon;
    if (n.find("xfce") != std::string::npos)
        return Desktop::Xfce;
    return std::nullopt;
}

const char* DesktopLabel(Desktop desktop)
{
    switch (desktop) {
    case Desktop::Gnome:
        return "GNOME's";
    case Desktop::Mate:
        return "MATE's";
    case Desktop::Cinnamon:
        return "Cinnamon's";
    case Desktop::Xfce:
        return "XFCE's";
    }
    return "the desktop's";
}

// The desktops $XDG_CURRENT_DESKTOP names, in its order.
std::vector<Desktop> RunningDesktops(const std::string& current)
{
    std::vector<Desktop> running;
    gchar** names = g_strsplit(current.c_str(), ":", -1);
    for (gchar** name = names; *name; name++) {
        const std::optional<Desktop> desktop = DesktopNamed(*name);
        if (desktop && std::find(running.begin(), running.end(), *desktop) == running.end())
            running.push_back(*desktop);
    }
    g_strfreev(names);
    return running;
}

// The desktops to ask, the running one first.
std::vector<Desktop> DesktopOrder(const std::vector<Desktop>& running)
{
    std::vector<Desktop> order = running;
    for (Desktop desktop : kAllDesktops)
        if (std::find(order.begin(), order.end(), desktop) == order.end())
            order.push_back(desktop);
    return order;
}

struct GnomeXmlState {
    std::string folder;
    std::string picture;
    int inFile = 0;
};

void GnomeXmlStart(GMarkupParseContext*, const gchar* element, const gchar**, const gchar**, gpointer data, GError**)
{
    auto* state = static_cast<GnomeXmlState*>(data);
    if (std::strcmp(element, "file") == 0 || std::strcmp(element, "size") == 0)
        state->inFile++;
}

void GnomeXmlEnd(GMarkupParseContext*, const gchar* element, gpointer data, GError**)
{
    auto* state = static_cast<GnomeXmlState*>(data);
    if ((std::strcmp(element, "file") == 0 || std::strcmp(element, "size") == 0) && state->inFile > 0)
        state->inFile--;
}

void GnomeXmlText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**)
{
    auto* state = static_cast<GnomeXmlState*>(data);
    if (state->inFile == 0 || !state->picture.empty())
        return;
    const std::string name = Trimmed(text, length);
    if (name.empty())
        return;
    state->picture = name[0] == '/' ? name : state->folder + "/" + name;
}

struct XfceState {
    std::vector<std::string> path;
    std::string monitorKey;
    std::vector<std::string> ofMonitor;
    std::vector<std::string> others;
};

const char* Attribute(const gchar** names, const gchar** values, const char* wanted)
{
    for (; *names; names++, values++)
        if (std::strcmp(*names, wanted) == 0)
            return *values;
    return nullptr;
}

void XfceStart(GMarkupParseContext*, const gchar* element, const gchar** names, const gchar** values, gpointer data,
               GError**)
{
    auto* state = static_cast<XfceState*>(data);
    const char* name = Attribute(names, values, "name");
    state->path.push_back(name ? name : "");
    if (std::strcmp(element, "property") != 0 || !name || std::strcmp(name, "last-image") != 0)
        return;
    const char* value = Attribute(names, values, "value");
    if (!value || !value[0])
        return;
    const bool ofMonitor = !state->monitorKey.empty() &&
                           std::find(state->path.begin(), state->path.end(), state->monitorKey) != state->path.end();
    (ofMonitor ? state->ofMonitor : state->others).push_back(value);
}

void XfceEnd(GMarkupParseContext*, const gchar*, gpointer data, GError**)
{
    auto* state = static_cast<XfceState*>(data);
    if (!state->path.empty())
        state->path.pop_back();
}

} // namespace

GioDesktopSettings::GioDesktopSettings(_GSettingsSchemaSource* source, _GSettingsBackend* backend)
    : source_(source), backend_(backend)
{
}

std::optional<std::string> GioDesktopSettings::ReadString(const char* schemaId, const char* key)
{
    GSettingsSchemaSource* source = source_ ? source_ : g_settings_schema_source_get_default();
    if (!source)
        return std::nullopt;
    // Asking GSettings for a schema that is not installed would abort.
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (!schema)
        return std::nullopt;
    std::optional<std::string> result;
    if (g_settings_schema_has_key(schema, key)) {
        GSettings* settings = g_settings_new_full(schema, backend_, nullptr);
        GVariant* value = g_settings_get_value(settings, key);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
            result = g_variant_get_string(value, nullptr);
        g_variant_unref(value);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return result;
}

DesktopPictureSources SessionSources(const std::string& given, const std::string& monitorName)
{
    DesktopPictureSources sources;
    sources.given = given;
    if (const char* current = std::getenv("XDG_CURRENT_DESKTOP"))
        sources.currentDesktop = current;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0])
        config = std::string(home) + "/.config";
    if (!config.empty())
        sources.xfceChannelFile = config + "/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml";
    sources.monitorName = monitorName;
    sources.systemDefault = kDebianDefaultWallpaper;
    sources.notices = stderr;
    return sources;
}

namespace {

// The pictures that were asked for and skipped, with why.
struct Skips {
    std::vector<std::string> notes;

    // Whether the picture is usable; a picture the user chose (on the command
    // line or in the running desktop) that is not gets a note, which names it
    // between the two parts of `whose`.
    bool Usable(const std::string& path, const std::string& whose, const char* how = "")
    {
        std::string why;
        if (ProbePictureFile(path.c_str(), &why))
            return true;
        if (!path.empty() && !whose.empty())
            notes.push_back(whose + " " + path + how + " is skipped (" + why + ")");
        return false;
    }
};

std::string FirstUsable(const DesktopPictureSources& sources, DesktopSettings* settings, Skips* skips)
{
    if (skips->Usable(sources.given, "the desktop picture", " given with --desktop-picture"))
        return sources.given;
    // Settings of desktops that are not running may be long stale: they are
    // tried, but their pictures are not worth a word.
    const std::vector<Desktop> running = RunningDesktops(sources.currentDesktop);
    for (Desktop desktop : DesktopOrder(running)) {
        const bool chosen = std::find(running.begin(), running.end(), desktop) != running.end();
        const std::string whose = chosen ? std::string(DesktopLabel(desktop)) + " desktop picture" : "";
        for (const std::string& candidate : Candidates(desktop, sources, settings))
            if (skips->Usable(candidate, whose))
                return candidate;
    }
    return PictureLoads(sources.systemDefault) ? sources.systemDefault : std::string();
}

} // namespace

std::string FindDesktopPicture(const DesktopPictureSources& sources, DesktopSettings* settings)
{
    Skips skips;
    const std::string found = FirstUsable(sources, settings, &skips);
    if (!sources.notices)
        return found;
    // Every view asks; the user hears of each skipped picture once.
    static std::set<std::string> told;
    const std::string instead = found.empty()
                                    ? "no other desktop picture is found, so the ground shows Larkspur's own picture"
                                    : "the ground shows " + found + " instead";
    for (const std::string& note : skips.notes) {
        const std::string line = "larkspur: " + note + "; " + instead + "\n";
        if (told.insert(line).second)
            std::fputs(line.c_str(), sources.notices);
    }
    return found;
}

bool PictureLoads(const std::string& path)
{
    return ProbePictureFile(path.c_str());
}

std::string PictureOfGnomeXml(const std::string& xmlPath)
{
    std::string text;
    if (!ReadSmallFile(xmlPath, &text))
        return "";
    GnomeXmlState state;
    gchar* folder = g_path_get_dirname(xmlPath.c_str());
    state.folder = folder;
    g_free(folder);
    const GMarkupParser parser = {GnomeXmlStart, GnomeXmlEnd, GnomeXmlText, nullptr, nullptr};
    // A file broken after its first picture still names that picture.
    ParseMarkup(text, parser, &state);
    return state.picture;
}

std::vector<std::string> XfceLastImages(const std::string& channelFile, const std::string& monitorName)
{
    std::string text;
    if (!ReadSmallFile(channelFile, &text))
        return {};
    XfceState state;
    if (!monitorName.empty())
        state.monitorKey = "monitor" + monitorName;
    const GMarkupParser parser = {XfceStart, XfceEnd, nullptr, nullptr, nullptr};
    ParseMarkup(text, parser, &state);
    std::vector<std::string> images = state.ofMonitor;
    images.insert(images.end(), state.others.begin(), state.others.end());
    return images;
}
