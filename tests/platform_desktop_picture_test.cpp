// Tests of the desktop picture lookup: the order of the sources, GNOME's dark
// scheme and background XML, XFCE's channel file, the notices about skipped
// pictures, and GSettings itself on a schema made here.
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "platform/desktop/DesktopPicture.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <gtest/gtest.h>

#include <map>

namespace {

// The desktop's settings are the test's own map, keyed "schema key".
class DesktopPictureTest : public ::testing::Test, public DesktopSettings {
protected:
    std::optional<std::string> ReadString(const char* schema, const char* key) override
    {
        const auto found = values.find(std::string(schema) + " " + key);
        return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::string Picture(const std::string& name) { return dir.Write(name, QuadrantPictureBytes("png", 8, 8)); }
    std::string Text(const std::string& name, const std::string& t) { return dir.Write(name, {t.begin(), t.end()}); }
    std::string Find() { return FindDesktopPicture(sources, this); }

    TempDir dir;
    std::map<std::string, std::string> values;
    DesktopPictureSources sources;
};

const std::string kGnome = "org.gnome.desktop.background picture-uri";
const std::string kMate = "org.mate.background picture-filename";
const std::string kCinnamon = "org.cinnamon.desktop.background picture-uri";

TEST_F(DesktopPictureTest, TheGivenPictureComesFirstThenEachDesktopsSettingTheRunningOneFirst)
{
    sources.given = Picture("given.png");
    values[kMate] = Picture("mate.png");
    EXPECT_EQ(Find(), sources.given);

    // A GNOME background XML stands for the first picture it names, relative
    // to its folder or absolute; text outside a <file> names none.
    sources.given = "";
    Picture("gnome.png");
    values[kGnome] = "file://" + Text("day.xml", "<background><starttime><year>2011</year></starttime>\n"
                                                 "<static><file>\n   gnome.png\n </file></static>\n<static><file>" +
                                                     Picture("night.png") + "</file></static></background>\n");
    values[kCinnamon] = "file://" + Picture("cinnamon.png");
    const std::string channel = "<channel name=\"xfce4-desktop\"><property name=\"backdrop\">"
                                "<property name=\"last-image\" type=\"string\" value=\"" +
                                Picture("left.png") +
                                "\"/>"
                                "<property name=\"monitorHDMI-1\"><property name=\"last-image\" value=\"" +
                                Picture("right.png") + "\"/></property></property></channel>";
    sources.xfceChannelFile = Text("xfce4-desktop.xml", channel);
    // XFCE prefers the screen's own monitor.
    const struct {
        const char *desktop, *monitor, *own;
    } order[] = {{"", "", "gnome.png"},           {"MATE", "", "mate.png"}, {"X-Cinnamon", "", "cinnamon.png"},
                 {"XFCE", "HDMI-1", "right.png"}, {"XFCE", "", "left.png"}, {"ubuntu:GNOME", "", "gnome.png"}};
    for (const auto& row : order) {
        sources.currentDesktop = row.desktop;
        sources.monitorName = row.monitor;
        EXPECT_EQ(Find(), dir.File(row.own)) << row.desktop << " " << row.monitor;
    }

    // A dark scheme uses the dark picture when it loads.
    const std::string dark = "<background><static><file>" + Picture("dark.png") + "</file></static></background>";
    values[kGnome + "-dark"] = "file://" + Text("dark.xml", dark);
    EXPECT_EQ(Find(), dir.File("gnome.png"));
    values["org.gnome.desktop.interface color-scheme"] = "prefer-dark";
    EXPECT_EQ(Find(), dir.File("dark.png"));
    values[kGnome + "-dark"] = "file://" + dir.File("nothing.png");
    EXPECT_EQ(Find(), dir.File("gnome.png"));
}

// A skipped picture the user chose is told once, with what shows instead.
TEST_F(DesktopPictureTest, PicturesThatDoNotLoadAreSkippedAndTheUsersChoicesAreToldOnce)
{
    char* text = nullptr;
    size_t size = 0;
    sources.notices = open_memstream(&text, &size);
    sources.given = dir.File("missing.png");
    sources.currentDesktop = "GNOME";
    values[kGnome] = "file://" + dir.File("gone.png");
    // A desktop that is not running may keep a stale setting: tried, not told.
    values[kMate] = dir.File("stale.png");
    sources.systemDefault = Picture("default.png");
    EXPECT_EQ(Find(), sources.systemDefault);
    // Every view asks; the lines come once.
    EXPECT_EQ(Find(), sources.systemDefault);
    sources.systemDefault = dir.File("missing.svg");
    EXPECT_EQ(Find(), "");
    std::fclose(sources.notices);
    const std::string told(text, size);
    std::free(text);
    const std::string missing = "larkspur: the desktop picture " + dir.File("missing.png") +
                                " given with --desktop-picture is skipped (no such file or directory)";
    const std::string gone =
        "larkspur: GNOME's desktop picture " + dir.File("gone.png") + " is skipped (no such file or directory)";
    const std::string instead = "; the ground shows " + dir.File("default.png") + " instead\n";
    const std::string none = "; no other desktop picture is found, so the ground shows Larkspur's own picture\n";
    EXPECT_EQ(told, missing + instead + gone + instead + missing + none + gone + none);
}

// GSettings through a schema folder made here; schemas that are not installed
// and keys they lack read as nothing, never abort.
TEST_F(DesktopPictureTest, GSettingsAreReadOnlyFromInstalledSchemas)
{
    Text("org.mate.background.gschema.xml",
         "<schemalist><schema id=\"org.mate.background\" path=\"/org/mate/background/\">"
         "<key name=\"picture-filename\" type=\"s\"><default>'/p/mate.png'</default></key></schema></schemalist>");
    ASSERT_EQ(RunCommand("glib-compile-schemas '" + dir.path() + "'"), 0);
    GSettingsSchemaSource* source =
        g_settings_schema_source_new_from_directory(dir.path().c_str(), nullptr, TRUE, nullptr);
    GSettingsBackend* backend = g_memory_settings_backend_new();
    GioDesktopSettings gio(source, backend);
    EXPECT_EQ(gio.ReadString("org.mate.background", "picture-filename"), "/p/mate.png");
    EXPECT_EQ(gio.ReadString("org.mate.background", "no-such-key"), std::nullopt);
    EXPECT_EQ(gio.ReadString("org.gnome.desktop.background", "picture-uri"), std::nullopt);
    g_object_unref(backend);
    g_settings_schema_source_unref(source);
}

} // namespace
