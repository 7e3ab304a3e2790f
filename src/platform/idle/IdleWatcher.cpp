// IdleWatcher: a GLib main loop holding the idle source, the saver's and the
// lock command's child watches, the lock timer and the quit signals.
#include "platform/idle/IdleWatcher.h"

#include "platform/idle/IdleService.h"
#include "platform/idle/MutterIdle.h"
#include "platform/idle/SessionHolds.h"
#include "platform/idle/WaylandIdle.h"
#include "platform/idle/XssIdle.h"
#include "platform/x11/X11Errors.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A lock command still running after this long is a locker that stays in the
// foreground (swaylock without -f): it is showing, so the saver ends.
constexpr guint kLockGraceMilliseconds = 2000;
// How long a saver may take to end on SIGTERM before it is killed.
constexpr guint kSaverEndMilliseconds = 5000;

guint Milliseconds(double seconds)
{
    return guint(std::fmin(std::ceil(seconds * 1000.0), 4e9));
}

// What a wait status says, as a phrase.
std::string Ending(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return "status " + std::to_string(WEXITSTATUS(waitStatus));
    if (WIFSIGNALED(waitStatus))
        return std::string("signal ") + strsignal(WTERMSIG(waitStatus));
    return "an unknown status";
}

std::string JoinTried(const std::vector<std::string>& tried)
{
    std::string text;
    for (size_t i = 0; i < tried.size(); i++)
        text += (i == 0 ? "" : i + 1 == tried.size() ? " and " : ", ") + tried[i];
    return text;
}

// One watcher per user and display: a second one (the unit and the autostart
// entry both enabled, say) would start a second saver over the first. The
// lock file is held until the process ends and names this process, so that
// the settings window can stop it; false when another watcher holds it.
bool TakeWatcherLock(const IdleRun& run)
{
    const std::string path = WatcherLockPath(run.wayland);
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        const std::string pid = std::to_string(getpid()) + "\n";
        if (ftruncate(fd, 0) != 0 || write(fd, pid.data(), pid.size()) != ssize_t(pid.size()))
            std::fprintf(stderr, "larkspur: cannot note this watcher in %s\n", path.c_str());
        return true;
    }
    close(fd);
    std::fprintf(stderr, "larkspur: an idle watcher already runs on display '%s'; this one ends\n",
                 std::getenv(run.wayland ? "WAYLAND_DISPLAY" : "DISPLAY"));
    return false;
}

// The session's idle source, or null with the reason printed.
std::unique_ptr<IdleSource> OpenSource(const IdleRun& run)
{
    std::vector<std::string> tried(1);
    std::unique_ptr<IdleSource> source;
    Display* display = nullptr;
    if (run.wayland) {
        source = OpenWaylandIdle(run.startAfter, &tried.back());
    } else {
        InstallX11ErrorHandlers();
        display = XOpenDisplay(nullptr);
        if (!display) {
            const char* name = std::getenv("DISPLAY");
            if (name && name[0])
                std::fprintf(stderr, "larkspur: cannot open the display '%s'\n", name);
            else
                std::fprintf(stderr, "larkspur: cannot open a display: $DISPLAY is not set\n");
            return nullptr;
        }
        if (XScreenSaverDaemonRuns(display)) {
            std::fprintf(stderr,
                         "larkspur: XScreenSaver is in charge of display '%s' and starts its savers itself; "
                         "to have it show Larkspur, run 'larkspur --register' instead of --idle\n",
                         DisplayString(display));
            XCloseDisplay(display);
            return nullptr;
        }
        tried.pop_back();
    }
    if (!source) {
        tried.emplace_back();
        source = OpenMutterIdle(run.startAfter, &tried.back());
    }
    if (display && source)
        XCloseDisplay(display);
    else if (display) {
        tried.emplace_back();
        source = OpenXssIdle(display, run.startAfter, &tried.back());
    }
    if (!source)
        std::fprintf(stderr, "larkspur: no idle source answered; tried %s\n", JoinTried(tried).c_str());
    return source;
}

class Watcher {
public:
    Watcher(const IdleRun& run, std::unique_ptr<IdleSource> source);
    ~Watcher();

    int Run();

private:
    void Say(const std::string& text) const;
    void OnIdle();
    void StartSaver();
    void SaverEnded(int waitStatus);
    // A one-shot timer's callback: forgets the timer, then runs Then.
    template <guint Watcher::*Timer, void (Watcher::*Then)()>
    static gboolean Fire(gpointer data)
    {
        auto* self = static_cast<Watcher*>(data);
        self->*Timer = 0;
        (self->*Then)();
        return G_SOURCE_REMOVE;
    }
    void EndSaver();
    void KillSaver();
    void LockTime();
    void LockEnded(int waitStatus);
    void Quit(int status);
    void ClearTimer(guint* timer);
    // Starts a child and watches it; 0 when it could not be started.
    GPid Spawn(const std::vector<std::string>& argv, GChildWatchFunc ended);

    const IdleRun& run_;
    std::unique_ptr<IdleSource> source_;
    GMainLoop* loop_ = g_main_loop_new(nullptr, FALSE);
    GPid saver_ = 0;
    GPid lock_ = 0;
    guint lockTimer_ = 0;
    guint graceTimer_ = 0;
    guint killTimer_ = 0;
    guint signals_[2] = {0, 0};
    bool lockFailureSaid_ = false;
    bool quitting_ = false;
    int status_ = 0;
};

Watcher::Watcher(const IdleRun& run, std::unique_ptr<IdleSource> source) : run_(run), source_(std::move(source))
{
    source_->onIdle = [this] { OnIdle(); };
    source_->onLost = [this](const std::string& why) {
        std::fprintf(stderr, "larkspur: %s; the idle watcher ends\n", why.c_str());
        Quit(1);
    };
    int i = 0;
    for (int signal : {SIGTERM, SIGINT})
        signals_[i++] = g_unix_signal_add(
            signal,
            [](gpointer data) {
                static_cast<Watcher*>(data)->Quit(0);
                return gboolean(G_SOURCE_CONTINUE);
            },
            this);
}

Watcher::~Watcher()
{
    for (guint* timer : {&lockTimer_, &graceTimer_, &killTimer_, &signals_[0], &signals_[1]})
        ClearTimer(timer);
    source_.reset();
    g_main_loop_unref(loop_);
}

void Watcher::ClearTimer(guint* timer)
{
    if (*timer)
        g_source_remove(*timer);
    *timer = 0;
}

void Watcher::Say(const std::string& text) const
{
    if (run_.verbose)
        std::fprintf(stderr, "larkspur: %s\n", text.c_str());
}

int Watcher::Run()
{
    char delays[128];
    std::snprintf(delays, sizeof delays, "the saver after %g s without input, the lock after %g s of saver",
                  run_.startAfter, run_.lockAfter);
    Say("watching for idleness through " + source_->Name() + ": " + delays);
    source_->Restart();
    if (!quitting_)
        g_main_loop_run(loop_);
    return status_;
}

void Watcher::OnIdle()
{
    if (quitting_ || saver_)
        return;
    const std::string hold = SessionHold();
    if (!hold.empty()) {
        // The next chance is a whole delay away, as if the hold were input.
        Say("idle, but the saver waits: " + hold);
        source_->Restart();
        return;
    }
    StartSaver();
}

GPid Watcher::Spawn(const std::vector<std::string>& argv, GChildWatchFunc ended)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    GPid pid = 0;
    GError* error = nullptr;
    // The child ends with the watcher, whatever ends the watcher.
    const GSpawnChildSetupFunc setup = [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); };
    if (!g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, setup, nullptr, &pid, &error)) {
        std::fprintf(stderr, "larkspur: cannot run %s: %s\n", argv[0].c_str(), error->message);
        g_error_free(error);
        return 0;
    }
    g_child_watch_add(pid, ended, this);
    return pid;
}

void Watcher::StartSaver()
{
    Say("idle: starting the saver");
    saver_ = Spawn(run_.saver, [](GPid pid, int waitStatus, gpointer data) {
        g_spawn_close_pid(pid);
        static_cast<Watcher*>(data)->SaverEnded(waitStatus);
    });
    if (!saver_) {
        source_->Restart();
        return;
    }
    if (run_.lockAfter > 0)
        lockTimer_ = g_timeout_add(Milliseconds(run_.lockAfter), Fire<&Watcher::lockTimer_, &Watcher::LockTime>, this);
}

void Watcher::SaverEnded(int waitStatus)
{
    saver_ = 0;
    // A saver asked to end may still have been starting, before it had
    // taken over SIGTERM: that is no failure either.
    const bool asked = killTimer_ != 0;
    for (guint* timer : {&lockTimer_, &graceTimer_, &killTimer_})
        ClearTimer(timer);
    if (asked || (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0))
        Say("the saver ended");
    else
        std::fprintf(stderr, "larkspur: the saver ended with %s\n", Ending(waitStatus).c_str());
    if (quitting_) {
        g_main_loop_quit(loop_);
        return;
    }
    // Counting afresh also keeps a saver that fails at once from being
    // started again at once.
    source_->Restart();
}

void Watcher::EndSaver()
{
    if (!saver_ || killTimer_)
        return;
    kill(saver_, SIGTERM);
    killTimer_ = g_timeout_add(kSaverEndMilliseconds, Fire<&Watcher::killTimer_, &Watcher::KillSaver>, this);
}

void Watcher::KillSaver()
{
    if (saver_)
        kill(saver_, SIGKILL);
}

void Watcher::LockTime()
{
    if (lock_) {
        // The last lock command still runs (a locker in the foreground).
        EndSaver();
        return;
    }
    Say("the saver has shown long enough: running the lock command");
    lock_ = Spawn({"/bin/sh", "-c", run_.lockCommand}, [](GPid pid, int waitStatus, gpointer data) {
        g_spawn_close_pid(pid);
        static_cast<Watcher*>(data)->LockEnded(waitStatus);
    });
    if (lock_)
        graceTimer_ = g_timeout_add(kLockGraceMilliseconds, Fire<&Watcher::graceTimer_, &Watcher::EndSaver>, this);
}

void Watcher::LockEnded(int waitStatus)
{
    lock_ = 0;
    ClearTimer(&graceTimer_);
    if (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0) {
        EndSaver();
        return;
    }
    // The saver goes on: ending it would show the unlocked desktop.
    if (!lockFailureSaid_)
        std::fprintf(stderr, "larkspur: the lock command '%s' failed with %s%s\n", run_.lockCommand.c_str(),
                     Ending(waitStatus).c_str(), saver_ ? "; the saver goes on until input" : "");
    lockFailureSaid_ = true;
}

void Watcher::Quit(int status)
{
    if (status != 0)
        status_ = status;
    quitting_ = true;
    if (saver_)
        EndSaver();
    else
        g_main_loop_quit(loop_);
}

} // namespace

int RunIdleWatcher(const IdleRun& run)
{
    if (!TakeWatcherLock(run))
        return 0;
    std::unique_ptr<IdleSource> source = OpenSource(run);
    if (!source)
        return 1;
    return Watcher(run, std::move(source)).Run();
}
