// larkspur-config: the Larkspur screensaver's settings, in a window (GTK 3)
// or, with --get, --set and --list, from the command line.
//
// The window edits the settings as a screensaver view would use them: opening
// it reads the store and writes nothing, whatever the file holds. Save writes
// the store and closes the window; Cancel and the window's close button close
// it without writing.
//
// Exit status: 0 on success, 1 when the store cannot be written (by --set, or
// by the window's last Save) or the window cannot be shown, 2 for a bad
// command line, key or value.
#include "GtkSheet.h"
#include "KeyCommands.h"

#include "platform/prefs/KeyFilePreferences.h"
#include "view/ConfigureSheet.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int Usage(const std::string& why)
{
    std::fprintf(stderr, "larkspur-config: %s\nTry 'larkspur-config --help' for the options.\n", why.c_str());
    return 2;
}

void PrintHelp()
{
    std::printf(
        "usage: larkspur-config [--list | --get KEY | --set KEY=VALUE...]\n"
        "Changes the settings of the Larkspur screensaver. Without options it opens the settings window.\n"
        "\n"
        "  --list             print every setting as KEY=VALUE\n"
        "  --get KEY          print the value of one setting\n"
        "  --set KEY=VALUE    change a setting; give --set again for more (all are checked before any is saved)\n"
        "  --help             show this help\n"
        "  --version          print the program's version\n"
        "\n"
        "Keys (case does not matter):\n"
        "  NumDogs            number of creatures, %lld to %lld\n"
        "  DogSize            creature size in percent, %lld to %lld\n"
        "  NumFootprints      footprints kept on the ground, %lld to %lld\n"
        "  BGType             background: 0 snapshot of the desktop, 1 desktop picture, 2 picture from a folder\n"
        "  BGRes              background resolution: 0 512 x 512, 1 1024 x 1024, 2 the picture's own size\n"
        "  BGPath             folder of background pictures (for BGType 2)\n"
        "  TileBG             true to repeat the background across the ground, false to show it once\n"
        "  ShowOverlay        true to show the title and caption now and then, false never\n"
        "  MainMonitorOnly    true to draw only on the main monitor\n"
        "  Monitors           names of the monitors to draw on, separated by commas (as xrandr or the\n"
        "                     compositor names them, e.g. HDMI-1,DP-2); empty for every monitor. When none\n"
        "                     of them is present, MainMonitorOnly decides; when one is, the list does\n"
        "  version            the settings format (read only)\n"
        "\n"
        "The settings are kept in %s.\n"
        "Where XScreenSaver runs Larkspur, they are not read: XScreenSaver's settings dialog sets it there.\n",
        (long long)kMinNumDogs, (long long)kMaxNumDogs, (long long)kMinDogSize, (long long)kMaxDogSize,
        (long long)kMinNumFootprints, (long long)kMaxNumFootprints, PreferencesPath(kPreferencesModule).c_str());
}

struct CommandLine {
    bool help = false;
    bool version = false;
    KeyCommand command;
    // Arguments left for GTK (such as --display) or found unknown.
    std::vector<std::string> rest;
};

// Options take one or two dashes and their value as the next argument or
// after "=".
bool Parse(const std::vector<std::string>& args, CommandLine* line, std::string* error)
{
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        std::string name = arg.substr(0, arg.find('='));
        name.erase(0, name.compare(0, 2, "--") == 0 ? 2 : name.compare(0, 1, "-") == 0 ? 1 : 0);
        const bool inlineValue = arg.find('=') != std::string::npos;
        const auto value = [&](std::string* out) {
            if (inlineValue) {
                *out = arg.substr(arg.find('=') + 1);
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = "--" + name + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        const auto command = [&](KeyCommand::Kind kind) {
            if (line->command.kind != KeyCommand::None && line->command.kind != kind) {
                *error = "choose one of --list, --get and --set";
                return false;
            }
            line->command.kind = kind;
            return true;
        };
        std::string text;
        if (name == "help" && !inlineValue) {
            line->help = true;
        } else if (name == "version" && !inlineValue) {
            line->version = true;
        } else if (name == "list" && !inlineValue) {
            if (!command(KeyCommand::List))
                return false;
        } else if (name == "get") {
            if (!command(KeyCommand::Get) || !value(&text))
                return false;
            if (!line->command.arguments.empty()) {
                *error = "--get takes one key";
                return false;
            }
            line->command.arguments.push_back(text);
        } else if (name == "set") {
            if (!command(KeyCommand::Set) || !value(&text))
                return false;
            line->command.arguments.push_back(text);
        } else {
            line->rest.push_back(arg);
        }
    }
    return true;
}

std::string ExecutableFolder()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    const std::string exe(self, size_t(length));
    return exe.substr(0, exe.rfind('/'));
}

// The source tree's file when running from the build tree, else the
// installed one.
std::string DataFile(const char* source, const char* installed)
{
    return ExecutableFolder() == LARKSPUR_BUILD_BIN_DIR ? source : installed;
}

// Reads the settings a starting screensaver view and idle watcher would use;
// only Save writes, so opening and cancelling leaves the file as it was.
void ReadViewSettings(SETTINGS* settings, bool* mainMonitorOnly, IdleSettings* idle)
{
    const auto store = OpenModulePreferences(kPreferencesModule, PreferencesUse::Look);
    ReadSettings(*store, settings, mainMonitorOnly);
    ReadIdleSettings(*store, idle);
}

// Where XScreenSaver runs Larkspur, the window says that these settings are
// not the ones it runs with there.
void ShowXScreenSaverNotice(const GtkSheetHost& host)
{
    GObject* notice = host.Find("xscreensaverNotice");
    if (!notice || !GTK_IS_LABEL(notice) || !XScreenSaverInCharge())
        return;
    gtk_label_set_text(GTK_LABEL(notice), kXScreenSaverNotice);
    gtk_widget_show(GTK_WIDGET(notice));
}

int RunWindow(const CommandLine& line, char* program)
{
    // GTK takes its own options (such as --display) out of the rest.
    std::vector<char*> gtkArgs = {program};
    for (const std::string& arg : line.rest)
        gtkArgs.push_back(const_cast<char*>(arg.c_str()));
    int gtkCount = int(gtkArgs.size());
    char** gtkArgv = gtkArgs.data();
    gtk_parse_args(&gtkCount, &gtkArgv);
    if (gtkCount > 1)
        return Usage("unknown option '" + std::string(gtkArgv[1]) + "'");
    if (!gtk_init_check(&gtkCount, &gtkArgv)) {
        std::fprintf(stderr, "larkspur-config: cannot open the display; --list, --get and --set work without one\n");
        return 1;
    }

    SETTINGS settings;
    bool mainMonitorOnly = false;
    IdleSettings idle;
    ReadViewSettings(&settings, &mainMonitorOnly, &idle);
    // The watcher the window starts where systemd does not is the larkspur
    // beside this program, else the one on the PATH.
    IdleServiceSetup idleService;
    idleService.autostartTemplate = DataFile(LARKSPUR_SOURCE_AUTOSTART, LARKSPUR_INSTALL_AUTOSTART);
    const std::string larkspur = ExecutableFolder() + "/larkspur";
    if (g_file_test(larkspur.c_str(), G_FILE_TEST_IS_EXECUTABLE))
        idleService.program = larkspur;
    GtkSheetHost host(DataFile(LARKSPUR_SOURCE_INTERFACE, LARKSPUR_INSTALL_INTERFACE),
                      DataFile(LARKSPUR_SOURCE_README, LARKSPUR_INSTALL_README),
                      DataFile(LARKSPUR_SOURCE_MANUALS, LARKSPUR_INSTALL_MANUALS), idleService);
    ConfigureSheet sheet(&host, &settings, &mainMonitorOnly, &idle);
    SheetWindow* window = sheet.configureSheet();
    if (!window) {
        std::fprintf(stderr, "larkspur-config: cannot load the settings window: %s\n", host.loadError().c_str());
        return 1;
    }
    ShowXScreenSaverNotice(host);
    gtk_window_present(window->window);
    gtk_main();
    if (!sheet.lastSaveFailed())
        return 0;
    std::fprintf(stderr, "larkspur-config: the settings were not saved\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine line;
    std::string error;
    if (!Parse(std::vector<std::string>(argv + 1, argv + argc), &line, &error))
        return Usage(error);
    if (line.help) {
        PrintHelp();
        return 0;
    }
    if (line.version) {
        std::puts("larkspur-config " LARKSPUR_VERSION);
        return 0;
    }
    if (line.command.kind != KeyCommand::None) {
        if (!line.rest.empty())
            return Usage("unknown option '" + line.rest[0] + "'");
        return RunKeyCommand(line.command);
    }
    return RunWindow(line, argv[0]);
}
