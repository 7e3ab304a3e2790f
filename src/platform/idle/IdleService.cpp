// IdleService: systemctl is run without a shell; the autostart entry is a
// copy of the installed one.
#include "platform/idle/IdleService.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kUnit = "larkspur-idle.service";
constexpr const char* kEntry = "larkspur-idle.desktop";

// Runs systemctl --user with the arguments; its status, with what it said on
// stderr in *said.
int Systemctl(std::vector<const char*> args, std::string* said = nullptr)
{
    args.insert(args.begin(), {"systemctl", "--user"});
    args.push_back(nullptr);
    gchar* err = nullptr;
    int status = -1;
    if (!g_spawn_sync(nullptr, const_cast<gchar**>(args.data()), nullptr,
                      GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr, nullptr, nullptr, &err,
                      &status, nullptr))
        return -1;
    if (said)
        *said = err ? g_strstrip(err) : "";
    g_free(err);
    return g_spawn_check_wait_status(status, nullptr) ? 0 : 1;
}

// systemd's user manager runs the graphical session (the unit starts with
// that target; sway, for one, does not start it by default) and has the unit
// installed.
bool SystemdHasUnit()
{
    return Systemctl({"is-active", "--quiet", "graphical-session.target"}) == 0 && Systemctl({"cat", kUnit}) == 0;
}

std::string AutostartFile()
{
    return std::string(g_get_user_config_dir()) + "/autostart/" + kEntry;
}

// Ends the watcher that holds a lock file, if one does: the file names it.
void StopRunningWatcher(const std::string& lockPath)
{
    if (lockPath.empty())
        return;
    const int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    // A lock that can be taken is held by nobody: its number is stale.
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        char text[32] = {};
        const ssize_t got = read(fd, text, sizeof text - 1);
        const long pid = got > 0 ? std::strtol(text, nullptr, 10) : 0;
        if (pid > 1)
            kill(pid_t(pid), SIGTERM);
    }
    close(fd);
}

void StopRunningWatchers()
{
    StopRunningWatcher(WatcherLockPath(true));
    StopRunningWatcher(WatcherLockPath(false));
}

bool Fail(std::string* error, const std::string& why)
{
    *error = why;
    return false;
}

bool SetThroughSystemd(bool on, std::string* error)
{
    std::string said;
    if (on && (Systemctl({"enable", kUnit}, &said) != 0 || Systemctl({"restart", kUnit}, &said) != 0))
        return Fail(error, "systemctl --user could not enable and start " + std::string(kUnit) + ": " + said);
    if (!on && Systemctl({"disable", "--now", kUnit}, &said) != 0)
        return Fail(error, "systemctl --user could not stop and disable " + std::string(kUnit) + ": " + said);
    return true;
}

bool SetThroughAutostart(bool on, const IdleServiceSetup& setup, std::string* error)
{
    const std::string entry = AutostartFile();
    StopRunningWatchers();
    if (!on) {
        if (g_remove(entry.c_str()) != 0 && g_file_test(entry.c_str(), G_FILE_TEST_EXISTS))
            return Fail(error, "cannot remove " + entry);
        return true;
    }
    gchar* text = nullptr;
    gsize length = 0;
    GError* problem = nullptr;
    gchar* folder = g_path_get_dirname(entry.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    const bool copied = g_file_get_contents(setup.autostartTemplate.c_str(), &text, &length, &problem) &&
                        g_file_set_contents(entry.c_str(), text, gssize(length), &problem);
    g_free(text);
    if (!copied) {
        const std::string why = problem->message;
        g_error_free(problem);
        return Fail(error, "cannot write the autostart entry " + entry + ": " + why);
    }
    // The entry counts from the next login; this session gets its watcher now.
    const gchar* argv[] = {setup.program.c_str(), "--idle", nullptr};
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                       &problem)) {
        const std::string why = problem->message;
        g_error_free(problem);
        return Fail(error, "cannot start " + setup.program + " --idle: " + why);
    }
    return true;
}

} // namespace

std::string WatcherLockPath(bool wayland)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv(wayland ? "WAYLAND_DISPLAY" : "DISPLAY");
    if (!runtime || !runtime[0] || !display || !display[0])
        return "";
    std::string name = display;
    for (char& c : name)
        if (c == '/')
            c = '_';
    return std::string(runtime) + "/larkspur-idle-" + name + ".lock";
}

bool IdleWatcherEnabled()
{
    return (SystemdHasUnit() && Systemctl({"is-enabled", "--quiet", kUnit}) == 0) ||
           g_file_test(AutostartFile().c_str(), G_FILE_TEST_EXISTS);
}

bool SetIdleWatcher(bool on, const IdleServiceSetup& setup, std::string* error)
{
    if (!SystemdHasUnit())
        return SetThroughAutostart(on, setup, error);
    // An entry left from a session without systemd would start a second
    // watcher beside the unit's.
    if (!SetThroughAutostart(false, setup, error))
        return false;
    return SetThroughSystemd(on, error);
}
