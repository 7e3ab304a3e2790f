// Tests of the larkspur-config program: --list, --get and --set on a store in
// a temporary folder, and its window under Xvfb, driven with synthetic keys
// or, to read its About dialog, opened in the test's own process.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "GtkSheet.h"
#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "resources/AtomicFile.h"
#include "view/Settings.h"

#include <gdk/gdkx.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>

namespace {

const std::string kConfig = LARKSPUR_CONFIG_PROGRAM;

std::string Environment(const TempDir& dir)
{
    return "XDG_CONFIG_HOME='" + dir.File("config") + "' ";
}

// Runs as an ordinary user would, so that a file made unreadable stays so.
int Config(const TempDir& dir, const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr,
           const std::string& environment = "")
{
    return RunCommand(Environment(dir) + environment + PermissionBitsHoldPrefix() + kConfig + " " + arguments, out,
                      err);
}

std::string StoreFile(const TempDir& dir)
{
    return dir.File("config") + "/larkspur/LarkspurSS.ini";
}

void WriteStore(const TempDir& dir, const std::string& keys)
{
    std::filesystem::create_directories(dir.File("config") + "/larkspur");
    const std::string text = "[LarkspurSS]\n" + keys;
    ASSERT_TRUE(WriteFileAtomically(StoreFile(dir), std::vector<unsigned char>(text.begin(), text.end())));
}

std::string StoreText(const TempDir& dir)
{
    return TextOfFile(StoreFile(dir));
}

const char* const kStoredKeys = "version=1.1\nMainMonitorOnly=true\nMonitors=DP-2\nDogSize=150\nNumDogs=40\n"
                                "NumFootprints=300\n"
                                "BGType=2\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=false\n";
// The idle watcher's keys at their defaults, shown after the others.
const std::string kIdleDefaults = "StartAfter=10\nLockAfter=0\nLockCommand=loginctl lock-session\n";

// Looking never writes the store; a file that is not a key file, or that
// cannot be read, shows the defaults and is neither replaced nor set aside,
// and a change to an unreadable file is refused.
TEST(LarkspurConfigKeys, ListAndGetShowTheValuesInUseAndAStoreThatCannotBeUsedIsLeftAsItIs)
{
    TempDir dir;
    const std::string store = StoreFile(dir), unread = "larkspur-config: cannot read " + store + " (Permission denied)";
    const struct {
        const char* keys;
        bool unreadable;
        const char* arguments;
        int status;
        std::string out, err; // err: what stderr starts with
    } cases[] = {
        // A file made before the idle watcher's keys shows their defaults.
        {kStoredKeys, false, "--list", 0, kStoredKeys + std::string("ShowOverlay=true\n") + kIdleDefaults, ""},
        // Keys match whatever their case; one or two dashes, value after "=".
        {kStoredKeys, false, "-get=bgpath", 0, "/srv/pictures/\n", ""},
        // A store of another version shows the values that carry over;
        // out-of-range values show as the screensaver brings them in.
        {"version=0.9\nNumDogs=7\nDogSize=big\n", false, "--list", 0,
         "version=1.1\nMainMonitorOnly=false\nMonitors=\nDogSize=100\nNumDogs=7\nNumFootprints=2000\nBGType=0\n"
         "BGRes=1\n"
         "BGPath=" +
             DefaultBGPath() + "\nTileBG=true\nShowOverlay=true\n" + kIdleDefaults,
         ""},
        {"version=1.1\nNumDogs=99999\n", false, "--get NumDogs", 0, "500\n", ""},
        // A list of monitors the screensaver would not use shows as empty.
        {"version=1.1\nMonitors=HDMI-1,,DP-2\n", false, "--get monitors", 0, "\n", ""},
        // Control characters, stored raw or escaped, are shown escaped.
        {"version=1.1\nBGPath=/srv/\x1b]0;title\x07\\n\\\\x\n", false, "--get BGPath", 0,
         "/srv/\\x1b]0;title\\x07\\n\\\\x\n", ""},
        {"not a \x1b[31mkey file\n", false, "--get NumDogs", 0, "25\n",
         "larkspur-config: " + store + " is not a settings file (Key file contains line \u201cnot a \\x1b[31mkey file"},
        {kStoredKeys, true, "--get NumDogs", 0, "25\n",
         unread + "; showing the default settings, and nothing was changed\n"},
        {kStoredKeys, true, "--set DogSize=50", 1, "", unread + "; nothing was changed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        WriteStore(dir, c.keys);
        ASSERT_TRUE(!c.unreadable || chmod(store.c_str(), 0) == 0);
        std::string out, err;
        EXPECT_EQ(Config(dir, c.arguments, &out, &err), c.status);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err.substr(0, c.err.size()), c.err);
        ASSERT_EQ(chmod(store.c_str(), 0600), 0);
        EXPECT_EQ(StoreText(dir), std::string("[LarkspurSS]\n") + c.keys);
        EXPECT_FALSE(std::filesystem::exists(store + ".bad") || std::filesystem::exists(store + ".old"));
        EXPECT_EQ((out + err).find('\x1b'), std::string::npos);
    }
}

TEST(LarkspurConfigKeys, TheDefaultFolderIsTheXdgPicturesFolderElsePicturesElseTheSystemOne)
{
    const struct {
        const char* make;     // in the home folder
        const char* expected; // under the home folder, or absolute
    } cases[] = {
        {"mkdir Bilder Pictures && echo 'XDG_PICTURES_DIR=\"$HOME/Bilder\"' > config/user-dirs.dirs", "Bilder/"},
        // A named folder that is missing is passed over.
        {"mkdir Pictures && echo 'XDG_PICTURES_DIR=\"$HOME/Bilder\"' > config/user-dirs.dirs", "Pictures/"},
        {"mkdir Pictures", "Pictures/"},
        {"true", "/usr/share/backgrounds/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.make);
        TempDir dir;
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && mkdir config && (" + c.make + ")"), 0);
        std::string out;
        ASSERT_EQ(RunCommand("HOME='" + dir.path() + "' " + Environment(dir) + kConfig + " --get BGPath", &out), 0);
        EXPECT_EQ(out, (c.expected[0] == '/' ? "" : dir.path() + "/") + c.expected + "\n");
    }
}

// Without a store the defaults are written first, as a starting screensaver
// would write them, so the file is current and the values set are used.
TEST(LarkspurConfigKeys, SetWritesCheckedValuesThatTheScreensaverThenReads)
{
    TempDir dir;
    ASSERT_EQ(
        Config(dir, "--set NumDogs=60 --set tilebg=off --set DogSize=250 --set BGPath=/home/me/Pictures "
                    "--set MainMonitorOnly=yes --set showoverlay=no --set StartAfter=5 --set 'LockCommand=swaylock -f' "
                    "--set 'Monitors=HDMI-1, DP-2'"),
        0);
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nMonitors=HDMI-1, DP-2\n"
                              "DogSize=250\nNumDogs=60\n"
                              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=/home/me/Pictures\nTileBG=false\n"
                              "ShowOverlay=false\nStartAfter=5\nLockCommand=swaylock -f\n");
    std::string out;
    ASSERT_EQ(Config(dir, "--get LockCommand", &out), 0);
    EXPECT_EQ(out, "swaylock -f\n");
}

// Where XScreenSaver runs Larkspur (an enabled entry in ~/.xscreensaver),
// --set says in one line that XScreenSaver's dialog is in charge there; a
// disabled entry, or no file, says nothing. The change is saved either way.
TEST(LarkspurConfigKeys, SetSaysSoWhenXScreenSaverRunsLarkspur)
{
    const struct {
        const char* xscreensaver; // null: no file
        bool told;
    } rows[] = {
        {"programs: \\\n  maze -root \\n\\\n  GL: larkspur --root \\n\n", true},
        {"programs: \\\n  maze -root \\n\\\n- GL: larkspur --root \\n\n", false},
        {nullptr, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.xscreensaver ? r.xscreensaver : "no file");
        TempDir dir;
        if (r.xscreensaver)
            dir.Write(".xscreensaver",
                      std::vector<unsigned char>(r.xscreensaver, r.xscreensaver + strlen(r.xscreensaver)));
        std::string err;
        ASSERT_EQ(Config(dir, "--set NumDogs=60", nullptr, &err, "HOME='" + dir.path() + "' "), 0);
        EXPECT_EQ(err, r.told ? "larkspur-config: XScreenSaver runs Larkspur (enabled in ~/.xscreensaver) with the "
                                "settings of its own dialog, xscreensaver-settings; these settings apply when "
                                "Larkspur runs by itself (its window, full screen, the idle watcher).\n"
                              : "");
        EXPECT_NE(StoreText(dir).find("NumDogs=60"), std::string::npos);
    }
}

// An outdated file is brought up to date with the values that carry over,
// and kept as ".old", before the change goes in.
TEST(LarkspurConfigKeys, SetOverAnOutdatedStoreKeepsItAsOldAndCarriesItsValuesOver)
{
    TempDir dir;
    WriteStore(dir, "version=1.0\nNumDogs=7\nDogSize=big\n");
    std::string err;
    ASSERT_EQ(Config(dir, "--set TileBG=false", nullptr, &err), 0);
    EXPECT_EQ(err, "larkspur-config: " + StoreFile(dir) +
                       " held settings of version '1.0' (now 1.1), whose values that still read as valid are carried "
                       "over; the old file is kept as " +
                       StoreFile(dir) + ".old\n");
    EXPECT_EQ(TextOfFile(StoreFile(dir) + ".old"), "[LarkspurSS]\nversion=1.0\nNumDogs=7\nDogSize=big\n");
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nNumDogs=7\nDogSize=100\nMainMonitorOnly=false\nMonitors=\n"
                              "NumFootprints=2000\nBGType=0\nBGRes=1\nBGPath=" +
                                  DefaultBGPath() +
                                  "\nTileBG=false\n"
                                  "ShowOverlay=true\n");
}

// A folder that is not there (yet), or a relative path, may be meant: it is
// saved, with a warning.
TEST(LarkspurConfigKeys, SetWarnsOfAFolderThatIsNotThereOrIsRelativeAndSavesIt)
{
    TempDir dir;
    const struct {
        std::string folder;
        std::string warning;
    } rows[] = {
        {dir.path(), ""},
        {dir.File("later\x1b"), "larkspur-config: warning: BGPath '" + dir.File("later\\x1b") +
                                    "' is not a folder (yet); until it is, the screensaver shows a fallback picture "
                                    "instead of one from it\n"},
        {"Pictures/", "larkspur-config: warning: BGPath 'Pictures/' is a relative path, which the screensaver takes "
                      "from whatever folder it starts in; give the whole path, from /\n"},
    };
    for (const auto& row : rows) {
        std::string err;
        EXPECT_EQ(Config(dir, "--set 'BGPath=" + row.folder + "'", nullptr, &err), 0);
        EXPECT_EQ(err, row.warning);
        EXPECT_NE(StoreText(dir).find("BGPath=" + row.folder + "\n"), std::string::npos);
    }
}

TEST(LarkspurConfigKeys, BadKeysAndValuesExitTwoAndLoseNothingAndAnUnwritableStoreExitsOne)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    const std::string before = StoreText(dir);
    const struct {
        const char* arguments;
        const char* reason;
    } cases[] = {
        {"--set NumDogs=501", "NumDogs needs a whole number from 0 to 500, not '501'"},
        {"--set NumDogs=12abc", "not '12abc'"},
        {"--set DogSize=5", "DogSize needs a whole number from 10 to 1000"},
        {"--set TileBG=maybe", "TileBG needs true or false, not 'maybe'"},
        {"--set BGPath=", "BGPath needs a folder path of 1 to 1023 bytes of UTF-8 text"},
        {"--set StartAfter=0", "StartAfter needs a whole number from 1 to 120, not '0'"},
        {"--set 'LockCommand= '", "LockCommand needs a command of 1 to 4096 bytes of UTF-8 text"},
        {"--set version=2.0", "version cannot be set: it marks the format of the settings"},
        {"--set Herd=5", "unknown key 'Herd'; the keys are version, MainMonitorOnly, Monitors, DogSize, NumDogs"},
        {"--set Monitors=HDMI-1,,DP-2", "Monitors needs monitor names separated by commas (or nothing, for every "
                                        "monitor); 'HDMI-1,,DP-2' has an empty name between commas"},
        {"--set \"Monitors=$(printf 'HDMI-1\\nDP-2')\"", "'HDMI-1\\nDP-2' holds characters that are not printable"},
        {"--set Monitors=$(head -c 1025 /dev/zero | tr '\\0' M)", "is longer than 1024 bytes"},
        {"--set NumDogs", "--set needs KEY=VALUE, not 'NumDogs'"},
        {"--get Herd", "unknown key 'Herd'"},
        {"--get", "--get needs a value"},
        {"--get a --get b", "--get takes one key"},
        {"--list --set NumDogs=3", "choose one of --list, --get and --set"},
        {"--list stray", "unknown option 'stray'\nTry 'larkspur-config --help' for the options."},
        // One bad value keeps the good ones from being written too.
        {"--set NumDogs=30 --set DogSize=0", "DogSize needs"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Config(dir, c.arguments, nullptr, &err), 2) << c.arguments;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.arguments << ": " << err;
    }
    EXPECT_EQ(StoreText(dir), before);

    // The settings folder is a file.
    TempDir blocked;
    blocked.Write("config", {});
    std::string err;
    EXPECT_EQ(Config(blocked, "--set NumDogs=3", nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-config: cannot save the settings: cannot make the folder " + blocked.File("config") +
                       "/larkspur (Not a directory)\n");

    // A read-only file is left as it is, even for root.
    ASSERT_EQ(chmod(StoreFile(dir).c_str(), 0444), 0);
    EXPECT_EQ(Config(dir, "--set NumDogs=3", nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-config: cannot save the settings: " + StoreFile(dir) +
                       " is read-only (mode 0444); give yourself write permission (chmod u+w) to change it\n");
    EXPECT_EQ(StoreText(dir), before);
}

// The window on an Xvfb server of its own, driven from outside with the
// keyboard as a person would (xdotool's synthetic input; there is no window
// manager, so the test gives the window the focus). Leak reports are off for
// the window alone: GTK, fontconfig and D-Bus keep caches for the life of the
// process; memory errors are still caught.
class ConfigWindow {
public:
    // environment: more assignments for the program, before its name.
    ConfigWindow(const XvfbServer& server, const TempDir& dir, const std::string& environment = "")
        : program_("env DISPLAY=" + server.name() + " GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 " +
                   "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" " + Environment(dir) + environment + kConfig),
          xdotool_("DISPLAY=" + server.name() + " timeout 60 xdotool ")
    {
    }

    // The visible windows of the title the window and its message boxes
    // have; the main window first.
    std::vector<Window> Windows()
    {
        std::istringstream ids(Named("^Larkspur Settings$"));
        std::vector<Window> windows{std::istream_iterator<Window>(ids), std::istream_iterator<Window>()};
        std::stable_partition(windows.begin(), windows.end(), [&](Window w) { return w == main_; });
        if (main_ == 0 && windows.size() == 1)
            main_ = windows[0];
        return windows;
    }

    // The ids of the visible windows whose title matches; with wait, once
    // there is one.
    std::string Named(const std::string& title, bool wait = true)
    {
        std::string found;
        RunCommand(xdotool_ + "search " + (wait ? "--sync " : "") + "--onlyvisible --name '" + title + "'", &found);
        return found;
    }

    // Gives a window the focus and types the keys; zero on success.
    int Keys(Window window, const std::string& keys)
    {
        return RunCommand(xdotool_ + "windowfocus --sync " + std::to_string(window) + " key " + keys);
    }

    ChildProgram& program() { return program_; }

private:
    ChildProgram program_;
    std::string xdotool_;
    Window main_ = 0;
};

// Drawn: not one flat colour.
bool NotOneColour(const Shot& shot)
{
    return std::any_of(shot.rgb.begin(), shot.rgb.end(), [&](unsigned char c) { return c != shot.rgb[0]; });
}

TEST(LarkspurConfigWindow, ShowsTheStoredValuesAndAboutAndSaveWritesThem)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    ConfigWindow config(server, dir);
    const std::vector<Window> windows = config.Windows();
    ASSERT_EQ(windows.size(), 1u) << config.program().Stderr();
    const Window window = windows[0];

    // Mapped and laid out: a window of its full size showing its controls,
    // not one flat colour.
    EXPECT_TRUE(WaitFor(
        [&] {
            const Shot shot = TakeShot(server.display(), window);
            return shot.width > 300 && shot.height > 300 && NotOneColour(shot);
        },
        60.0));

    // About, pressed by its letter, shows GTK's About dialog over the window
    // (launching nothing); Escape closes it and the window stays.
    ASSERT_EQ(config.Keys(window, "alt+a"), 0);
    const Window about = Window(std::atol(config.Named("^About Larkspur$").c_str()));
    ASSERT_NE(about, 0u) << config.program().Stderr();
    EXPECT_TRUE(WaitFor([&] { return NotOneColour(TakeShot(server.display(), about)); }, 60.0));
    ASSERT_EQ(config.Keys(about, "Escape"), 0);
    EXPECT_TRUE(WaitFor([&] { return config.Named("^About Larkspur$", false).empty(); }, 60.0));

    // Each label's letter with Alt focuses its control: the number and the
    // size are typed over, letters typed over the footprints (the box takes
    // none, so its text is left empty) keep its value, the picture goes to its
    // first item, the two check boxes flip and Save is pressed. The other controls
    // are left as they were.
    // The monitors' entry gets a new list.
    ASSERT_EQ(config.Keys(window, "alt+n ctrl+a 4 2 alt+z ctrl+a 8 0 alt+f ctrl+a x y alt+p Home alt+r "
                                  "alt+h ctrl+a e D P minus 1 comma space H D M I minus 1 alt+w alt+s"),
              0);
    ExpectExit(config.program(), 60.0, 0);
    // Nor does GTK complain on the way out, of the dialog it destroyed or else.
    EXPECT_EQ(config.program().Stderr(), "");
    // The untouched controls kept the stored values (a window showing the
    // defaults would have saved those), and the version is kept, so the next
    // screensaver run takes the store as it is.
    EXPECT_EQ(StoreText(dir), "[LarkspurSS]\nversion=1.1\nMainMonitorOnly=true\nMonitors=eDP-1, HDMI-1\n"
                              "DogSize=80\nNumDogs=42\n"
                              "NumFootprints=300\nBGType=0\nBGRes=0\nBGPath=/srv/pictures/\nTileBG=true\n"
                              "ShowOverlay=false\nStartAfter=10\nLockAfter=0\nLockCommand=loginctl lock-session\n");
}

// A process that runs (not one that ended and awaits its reaping, as an
// orphan may where nothing reaps them).
bool Alive(pid_t pid)
{
    const std::string stat = TextOfFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t end = stat.rfind(')');
    return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
}

// Without systemd's user manager (a stand-in systemctl that fails), ticking
// "Start Larkspur after ... minutes of inactivity" and saving puts the
// autostart entry in place and starts a watcher at once; the box then shows
// ticked, and unticking it removes the entry and stops the watcher.
TEST(LarkspurConfigWindow, TheIdleBoxStartsTheWatcherAndUntickingStopsIt)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    const std::string bin = dir.File("bin"), runtime = dir.File("run");
    ASSERT_EQ(RunCommand("mkdir -m 700 '" + runtime + "' '" + bin + "' && printf '#!/bin/sh\\nexit 1\\n' > '" + bin +
                         "/systemctl' && chmod +x '" + bin + "/systemctl'"),
              0);
    const std::string environment = "WAYLAND_DISPLAY= DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent PATH='" + bin +
                                    "':$PATH XDG_RUNTIME_DIR='" + runtime + "' ";
    const std::string entry = dir.File("config/autostart/larkspur-idle.desktop");
    const std::string lock = runtime + "/larkspur-idle-" + server.name() + ".lock";
    pid_t watcher = 0;
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "ticking" : "unticking");
        ConfigWindow config(server, dir, environment);
        const std::vector<Window> windows = config.Windows();
        ASSERT_EQ(windows.size(), 1u) << config.program().Stderr();
        ASSERT_EQ(config.Keys(windows[0], "alt+l alt+s"), 0);
        ExpectExit(config.program(), 60.0, 0);
        EXPECT_EQ(std::filesystem::exists(entry), on);
        if (on) {
            EXPECT_NE(TextOfFile(entry).find("\nExec=larkspur --idle\n"), std::string::npos);
            ASSERT_TRUE(WaitFor([&] { return (watcher = pid_t(std::atoi(TextOfFile(lock).c_str()))) > 0; }, 10.0))
                << config.program().Stderr();
            EXPECT_TRUE(Alive(watcher));
        } else {
            EXPECT_TRUE(WaitFor([&] { return !Alive(watcher); }, 10.0)) << config.program().Stderr();
        }
    }
}

// Where XScreenSaver runs Larkspur, the window shows a line above its
// settings saying so, which makes it taller; elsewhere it does not. Either
// way it fits the screen.
TEST(LarkspurConfigWindow, SaysSoWhenXScreenSaverRunsLarkspur)
{
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    int heights[2] = {};
    for (const bool registered : {false, true}) {
        SCOPED_TRACE(registered ? "registered" : "not registered");
        TempDir dir;
        const std::string entry = "programs: \\\n  GL: larkspur --root \\n\n";
        if (registered)
            dir.Write(".xscreensaver", std::vector<unsigned char>(entry.begin(), entry.end()));
        ConfigWindow config(server, dir, "HOME='" + dir.path() + "' ");
        const std::vector<Window> windows = config.Windows();
        ASSERT_EQ(windows.size(), 1u) << config.program().Stderr();
        // Laid out: showing its controls, not one flat colour.
        EXPECT_TRUE(WaitFor(
            [&] {
                const Shot shot = TakeShot(server.display(), windows[0]);
                heights[registered] = shot.height;
                return shot.height > 300 &&
                       std::any_of(shot.rgb.begin(), shot.rgb.end(), [&](unsigned char c) { return c != shot.rgb[0]; });
            },
            60.0));
        ASSERT_EQ(config.Keys(windows[0], "alt+c"), 0);
        ExpectExit(config.program(), 60.0, 0);
    }
    // Two lines of text at the least, and still all on a 768-pixel screen,
    // the buttons included: the settings scroll instead.
    EXPECT_GT(heights[1], heights[0] + 20) << heights[0] << " " << heights[1];
    EXPECT_LE(heights[1], 768);
}

// Whatever the file holds, or when there is none, opening the window and
// pressing Cancel leaves the settings folder as it was: no file made,
// nothing set aside, nothing brought up to date.
TEST(LarkspurConfigWindow, OpeningAndCancellingChangesNothingOnDisk)
{
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    for (const char* keys : {static_cast<const char*>(nullptr), "version=1.0\nNumDogs=7\n", "[[[ junk\n"}) {
        SCOPED_TRACE(keys ? keys : "no file");
        TempDir dir;
        if (keys)
            WriteStore(dir, keys);
        ConfigWindow config(server, dir);
        const std::vector<Window> windows = config.Windows();
        ASSERT_EQ(windows.size(), 1u) << config.program().Stderr();
        ASSERT_EQ(config.Keys(windows[0], "alt+c"), 0);
        ExpectExit(config.program(), 60.0, 0);
        EXPECT_EQ(StoreText(dir), keys ? std::string("[LarkspurSS]\n") + keys : "");
        const std::string folder = dir.File("config") + "/larkspur";
        EXPECT_EQ(std::filesystem::exists(folder) ? std::distance(std::filesystem::directory_iterator(folder), {}) : 0,
                  keys ? 1 : 0);
    }
}

// A Save that fails says why and keeps the window open; leaving it then with
// Cancel exits with status 1, since nothing was saved.
TEST(LarkspurConfigWindow, CancelAfterAFailedSaveExitsOne)
{
    TempDir dir;
    WriteStore(dir, kStoredKeys);
    ASSERT_EQ(chmod(StoreFile(dir).c_str(), 0444), 0);
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    ConfigWindow config(server, dir);
    std::vector<Window> windows = config.Windows();
    ASSERT_EQ(windows.size(), 1u) << config.program().Stderr();
    ASSERT_EQ(config.Keys(windows[0], "alt+s"), 0);
    const std::string why = "larkspur-config: The settings could not be saved: " + StoreFile(dir) +
                            " is read-only (mode 0444); give yourself write permission (chmod u+w) to change it.";
    ASSERT_TRUE(Says(config.program(), why, 60.0)) << config.program().Stderr();
    // The message box is closed, then the window is cancelled.
    ASSERT_TRUE(WaitFor([&] { return (windows = config.Windows()).size() == 2; }, 60.0));
    ASSERT_EQ(config.Keys(windows[1], "Escape"), 0);
    ASSERT_EQ(config.Keys(windows[0], "alt+c"), 0);
    ExpectExit(config.program(), 60.0, 1, "larkspur-config: the settings were not saved\n");
    EXPECT_EQ(StoreText(dir), std::string("[LarkspurSS]\n") + kStoredKeys);
}

gchar* StringProperty(GObject* object, const char* name)
{
    gchar* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    return value;
}

void RunPendingEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

// The About dialog as GTK holds it, on the display of that name: the name,
// the build's version, the MIT licence, the description and where the
// read-me and the manual page are, each time About is pressed, whether the
// dialog was closed by its button or by Escape before.
void CheckTheAboutDialog(const std::string& displayName, const std::string& readMe)
{
    GdkDisplay* display = gdk_display_open(displayName.c_str());
    ASSERT_NE(display, nullptr);
    gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    GtkSheetHost host(LARKSPUR_CONFIG_INTERFACE, readMe, "/opt/lk/share/man/man6", IdleServiceSetup());
    SETTINGS settings;
    bool mainMonitorOnly = false;
    IdleSettings idle;
    ConfigureSheet sheet(&host, &settings, &mainMonitorOnly, &idle);
    SheetWindow* window = sheet.configureSheet();
    ASSERT_NE(window, nullptr) << host.loadError();
    gtk_widget_show(GTK_WIDGET(window->window));
    GObject* button = host.Find("aboutButton");
    ASSERT_TRUE(button && GTK_IS_BUTTON(button));
    GtkAboutDialog* first = nullptr;
    for (int press = 0; press < 3; press++) {
        SCOPED_TRACE(press);
        gtk_button_clicked(GTK_BUTTON(button));
        RunPendingEvents();
        GtkAboutDialog* about = host.aboutDialog();
        ASSERT_NE(about, nullptr);
        if (press == 0)
            first = about;
        if (press == 1) {
            EXPECT_EQ(about, first);
        }
        GObject* object = G_OBJECT(about);
        EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(about)));
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(about)), window->window);
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(about)), "About Larkspur");
        const struct {
            const char* property;
            std::string value;
        } rows[] = {
            {"program-name", "Larkspur"},
            {"version", LARKSPUR_VERSION},
            {"comments", "A herd of animated creatures wandering over your desktop\n\nRead-me: " + readMe +
                             "\nManual page: larkspur(6), in /opt/lk/share/man/man6"},
            {"copyright", "Copyright \u00a9 2026 the Larkspur developers"},
        };
        for (const auto& row : rows) {
            gchar* value = StringProperty(object, row.property);
            EXPECT_EQ(value ? std::string(value) : "(none)", row.value) << row.property;
            g_free(value);
        }
        GtkLicense licence = GTK_LICENSE_UNKNOWN;
        g_object_get(object, "license-type", &licence, nullptr);
        EXPECT_EQ(licence, GTK_LICENSE_MIT_X11);
        const Window xid = gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(about)));
        EXPECT_TRUE(WaitFor(
            [&] {
                RunPendingEvents();
                return NotOneColour(TakeShot(gdk_x11_display_get_xdisplay(display), xid));
            },
            30.0));
        // First its Close button, which hides it, then Escape, after which
        // GTK destroys it; the host must forget it then, not show it again.
        if (press == 0) {
            gtk_dialog_response(GTK_DIALOG(about), GTK_RESPONSE_CLOSE);
            RunPendingEvents();
            EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(about)));
        } else if (press == 1) {
            g_signal_emit_by_name(about, "close");
            RunPendingEvents();
            EXPECT_EQ(host.aboutDialog(), nullptr);
        }
    }
}

// GTK keeps its display open for the rest of its process (closing the
// default one trips over GTK's own settings), so the dialog is read in a
// child process, which reports its failures as they come and sums them up in
// its exit status.
TEST(LarkspurConfigWindow, TheAboutDialogGivesTheVersionTheLicenceAndWhereTheDocumentsAre)
{
    XvfbServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    TempDir dir;
    const std::string readMe = dir.Write("README.md", {'#'});
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(120);
        CheckTheAboutDialog(server.name(), readMe);
        std::fflush(stdout);
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

} // namespace
