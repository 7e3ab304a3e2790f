// Tests of the desktop picture lookup: the order of the sources, GNOME's dark
// scheme and background XML, XFCE's channel file, and GSettings itself on
// schemas and a settings file made by the test.
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
    std::string Picture(const std::string& name)
    {
        WritePixbufPicture(dir.File(name), "png", 8, 8, 3, QuadrantPixels(8, 8, 3));
        return dir.File(name);
    }
    std::string Uri(const std::string& path) { return "file://" + path; }
    std::string Text(const std::string& name, const std::string& text)
    {
        return dir.Write(name, std::vector<unsigned char>(text.begin(), text.end()));
    }
    std::string Find() { return FindDesktopPicture(sources, this); }

    TempDir dir;
    std::map<std::string, std::string> values;
    DesktopPictureSources sources;
};

const std::string kGnome = "org.gnome.desktop.background picture-uri";
const std::string kMate = "org.mate.background picture-filename";
const std::string kCinnamon = "org.cinnamon.desktop.background picture-uri";

TEST_F(DesktopPictureTest, TheGivenPictureComesFirstAndMustLoadThenTheRunningDesktopIsAsked)
{
    sources.given = Picture("given.png");
    values[kMate] = Picture("mate.png");
    EXPECT_EQ(Find(), sources.given);
    sources.given = Text("notes.png", "not a picture");
    EXPECT_EQ(Find(), dir.File("mate.png"));

    // Then the running desktop is asked before the others.
    sources.given = "";
    values[kGnome] = Uri(Picture("gnome.png"));
    values[kCinnamon] = Uri(Picture("cinnamon.png"));
    const std::pair<const char*, const char*> order[] = {
        {"", "gnome.png"}, {"MATE", "mate.png"}, {"X-Cinnamon", "cinnamon.png"}, {"ubuntu:GNOME", "gnome.png"}};
    for (const auto& [desktop, own] : order) {
        sources.currentDesktop = desktop;
        EXPECT_EQ(Find(), dir.File(own)) << desktop;
    }

    // A dark scheme uses the dark picture when it loads.
    values[kGnome + "-dark"] = Uri(Picture("dark.png"));
    EXPECT_EQ(Find(), dir.File("gnome.png"));
    values["org.gnome.desktop.interface color-scheme"] = "prefer-dark";
    EXPECT_EQ(Find(), dir.File("dark.png"));
    values[kGnome + "-dark"] = Uri(dir.File("nothing.png"));
    EXPECT_EQ(Find(), dir.File("gnome.png"));
}

// A skipped picture the user chose is told once, with what shows instead.
TEST_F(DesktopPictureTest, PicturesThatDoNotLoadAreSkippedAndTheUsersChoicesAreToldOnce)
{
    char* text = nullptr;
    size_t size = 0;
    sources.notices = open_memstream(&text, &size);
    ASSERT_NE(sources.notices, nullptr);
    WritePixbufPicture(dir.File("old.bmp"), "bmp", 8, 8, 3, QuadrantPixels(8, 8, 3));
    sources.given = dir.File("missing.png");
    sources.currentDesktop = "GNOME";
    values[kGnome] = Uri(dir.File("old.bmp"));
    // A desktop that is not running may keep a stale setting: tried, not told.
    values[kMate] = dir.File("stale.png");
    values[kCinnamon] = "http://example.invalid/x.png";
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
    const std::string bmp =
        "larkspur: GNOME's desktop picture " + dir.File("old.bmp") + " is skipped (unsupported picture format bmp)";
    const std::string instead = "; the ground shows " + dir.File("default.png") + " instead\n";
    const std::string none = "; no other desktop picture is found, so the ground shows no picture\n";
    EXPECT_EQ(told, missing + instead + bmp + instead + missing + none + bmp + none);
}

TEST_F(DesktopPictureTest, AGnomeBackgroundXmlStandsForItsFirstPicture)
{
    RunCommand("mkdir -p '" + dir.File("slides") + "'");
    Picture("slides/morning.png");
    Picture("slides/night.png");
    const std::string xml = Text("slides/day.xml", "<background><starttime><year>2011</year></starttime>\n"
                                                   "<static><duration>60.0</duration>\n"
                                                   "<file>\n      morning.png\n    </file></static>\n<transition><from>" +
                                                       dir.File("slides/morning.png") + "</from><to>" +
                                                       dir.File("slides/night.png") + "</to></transition></background>\n");
    values[kGnome] = Uri(xml);
    EXPECT_EQ(Find(), dir.File("slides/morning.png"));

    const std::string sized = Text("sized.xml", "<background><static><file><size width=\"8\" height=\"8\">" +
                                                    dir.File("slides/night.png") +
                                                    "</size></file></static></background>");
    EXPECT_EQ(PictureOfGnomeXml(sized), dir.File("slides/night.png"));
    EXPECT_EQ(PictureOfGnomeXml(Text("broken.xml", "<background><static><dura")), "");
    EXPECT_EQ(PictureOfGnomeXml(dir.File("none.xml")), "");
}

TEST_F(DesktopPictureTest, XfcePrefersTheScreensOwnMonitor)
{
    auto monitor = [&](const std::string& name, const std::string& picture) {
        return "<property name=\"monitor" + name + "\" type=\"empty\"><property name=\"workspace0\" type=\"empty\">"
               "<property name=\"last-image\" type=\"string\" value=\"" + Picture(picture) + "\"/></property></property>\n";
    };
    sources.xfceChannelFile = Text("xfce4-desktop.xml",
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<channel name=\"xfce4-desktop\" version=\"1.0\">\n"
                                   "<property name=\"backdrop\" type=\"empty\"><property name=\"screen0\" type=\"empty\">\n" +
                                       monitor("DP-1", "left.png") + monitor("HDMI-1", "right.png") +
                                       "</property></property>\n</channel>\n");
    EXPECT_EQ(XfceLastImages(sources.xfceChannelFile, "HDMI-1"),
              (std::vector<std::string>{dir.File("right.png"), dir.File("left.png")}));
    sources.currentDesktop = "XFCE";
    sources.monitorName = "HDMI-1";
    EXPECT_EQ(Find(), dir.File("right.png"));
    sources.monitorName = "";
    EXPECT_EQ(Find(), dir.File("left.png"));
    EXPECT_TRUE(XfceLastImages(dir.File("absent.xml"), "").empty());
}

// GSettings through a schema folder and a key file made here, as the desktops
// store them; schemas that are not installed read as nothing, never abort.
TEST_F(DesktopPictureTest, GSettingsAreReadOnlyFromInstalledSchemas)
{
    RunCommand("mkdir -p '" + dir.File("schemas") + "'");
    Text("schemas/org.mate.background.gschema.xml",
         "<schemalist><schema id=\"org.mate.background\" path=\"/org/mate/background/\">"
         "<key name=\"picture-filename\" type=\"s\"><default>''</default></key>"
         "<key name=\"show-desktop-icons\" type=\"b\"><default>true</default></key>"
         "</schema></schemalist>");
    std::string err;
    ASSERT_EQ(RunCommand("glib-compile-schemas '" + dir.File("schemas") + "'", nullptr, &err), 0) << err;
    const std::string picture = Picture("mate.png");
    const std::string keyfile = Text("settings.ini", "[org/mate/background]\npicture-filename='" + picture + "'\n");

    GError* error = nullptr;
    GSettingsSchemaSource* source =
        g_settings_schema_source_new_from_directory(dir.File("schemas").c_str(), nullptr, TRUE, &error);
    ASSERT_NE(source, nullptr) << (error ? error->message : "");
    GSettingsBackend* backend = g_keyfile_settings_backend_new(keyfile.c_str(), "/", nullptr);
    {
        GioDesktopSettings gio(source, backend);
        EXPECT_EQ(gio.ReadString("org.mate.background", "picture-filename"), picture);
        EXPECT_EQ(gio.ReadString("org.mate.background", "show-desktop-icons"), std::nullopt);
        EXPECT_EQ(gio.ReadString("org.mate.background", "no-such-key"), std::nullopt);
        EXPECT_EQ(gio.ReadString("org.gnome.desktop.background", "picture-uri"), std::nullopt);
        sources.currentDesktop = "MATE";
        EXPECT_EQ(FindDesktopPicture(sources, &gio), picture);
    }
    g_object_unref(backend);
    g_settings_schema_source_unref(source);
}

} // namespace
