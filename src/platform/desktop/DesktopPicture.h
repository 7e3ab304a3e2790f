// DesktopPicture: which picture file is the desktop picture (wallpaper) of a
// screen, looked up the way the desktops store it.
//
// In order, the first candidate that is a picture GdkPixbuf can read: the
// picture given on the command line; the desktop's own setting, the running
// desktop ($XDG_CURRENT_DESKTOP) first and then the others: GNOME's
// org.gnome.desktop.background picture-uri (picture-uri-dark under a dark
// colour scheme; a GNOME background XML stands for the first picture it
// names), MATE's org.mate.background picture-filename, Cinnamon's
// org.cinnamon.desktop.background picture-uri, each read only when its schema
// is installed, and XFCE's last-image in its xfce4-desktop channel file (the
// screen's own monitor first); then Debian's default wallpaper. No candidate:
// an empty path. A picture is a candidate when its header shows a format and
// size the picture decoder accepts. A skipped picture that the user chose (the
// given one, or the running desktop's) is reported once per process, with
// what the ground shows instead.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct _GSettingsSchemaSource;
struct _GSettingsBackend;

// String keys of the desktop's settings.
class DesktopSettings {
public:
    virtual ~DesktopSettings() = default;
    // Nothing when the schema is not installed or has no such string key.
    virtual std::optional<std::string> ReadString(const char* schema, const char* key) = 0;
};

// DesktopSettings through GSettings. By default the installed schemas and the
// session's settings backend; a test passes its own.
class GioDesktopSettings : public DesktopSettings {
public:
    explicit GioDesktopSettings(_GSettingsSchemaSource* source = nullptr, _GSettingsBackend* backend = nullptr);
    std::optional<std::string> ReadString(const char* schema, const char* key) override;

private:
    _GSettingsSchemaSource* source_;
    _GSettingsBackend* backend_;
};

struct DesktopPictureSources {
    // --desktop-picture; empty when not given.
    std::string given;
    // $XDG_CURRENT_DESKTOP, a colon-separated list such as "ubuntu:GNOME".
    std::string currentDesktop;
    // XFCE's xfce4-desktop.xml.
    std::string xfceChannelFile;
    // The XRandR name of the screen's monitor, for XFCE's per-monitor setting.
    std::string monitorName;
    std::string systemDefault;
    // Where skipped pictures are reported; null for silence.
    std::FILE* notices = nullptr;
};

extern const char* const kDebianDefaultWallpaper;

// The sources of this session: the environment's desktop and configuration
// folder, and Debian's default wallpaper; skipped pictures are told on stderr.
DesktopPictureSources SessionSources(const std::string& given, const std::string& monitorName);

std::string FindDesktopPicture(const DesktopPictureSources& sources, DesktopSettings* settings);

// True when the file's header shows a picture the decoder accepts.
bool PictureLoads(const std::string& path);
// The first picture a GNOME background XML names, made absolute against the
// XML's folder; empty when it names none or cannot be read.
std::string PictureOfGnomeXml(const std::string& xmlPath);
// The last-image values of an XFCE desktop channel file, those of the given
// monitor first, each group in file order.
std::vector<std::string> XfceLastImages(const std::string& channelFile, const std::string& monitorName);
