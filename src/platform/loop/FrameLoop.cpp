// FrameLoop: the steady timer, the poll between frames and the signals.
#include "platform/loop/FrameLoop.h"

#include "platform/loop/FpsMeter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

volatile sig_atomic_t gSignalFd = -1;
volatile sig_atomic_t gRaised = 0;
// The quit signal that arrived first, kept after the run for EndByQuitSignal.
volatile sig_atomic_t gQuitSignal = 0;
volatile sig_atomic_t gGraceEndsBySignal = 0;
unsigned gGraceSeconds = QuitSignals::kGraceSeconds;
// Made before any signal, since a handler cannot format text.
char gGraceMessage[160];
size_t gGraceMessageLength = 0;

void OnQuitSignal(int signal)
{
    const int saved = errno;
    if (!gRaised) {
        gRaised = 1;
        gQuitSignal = signal;
        alarm(gGraceSeconds);
    }
    const char byte = 1;
    const ssize_t ignored = write(gSignalFd, &byte, 1);
    (void)ignored;
    errno = saved;
}

void OnGraceOver(int)
{
    const ssize_t ignored = write(STDERR_FILENO, gGraceMessage, gGraceMessageLength);
    (void)ignored;
    if (gGraceEndsBySignal) {
        std::signal(gQuitSignal, SIG_DFL);
        std::raise(gQuitSignal);
    }
    _exit(0);
}

// Handles events until the time is up or the run ends. Every pass polls the
// signal pipe and the connection, without waiting when the next frame is
// already due: frames that take longer than the period must not hide a
// signal, nor starve a connection whose events are only read here.
void WaitUntil(FrameLoopClient* client, const QuitSignals& signals, double until)
{
    while (client->Running()) {
        client->HandleEvents();
        if (!client->Running())
            return;
        const double left = std::max(0.0, until - SteadyNow());
        pollfd fds[2] = {{client->WaitOn(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
        const int got = poll(fds, 2, int(std::ceil(left * 1000.0)));
        client->EndWait(got > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0);
        if (got > 0 && (fds[1].revents & POLLIN))
            client->Quit();
        if ((got < 0 && errno != EINTR) || left <= 0)
            return;
    }
}

} // namespace

double SteadyNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QuitSignals::QuitSignals(unsigned graceSeconds, bool endBySignal)
{
    if (pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0)
        fds_[0] = fds_[1] = -1;
    gSignalFd = fds_[1];
    gRaised = 0;
    gQuitSignal = 0;
    gGraceEndsBySignal = endBySignal;
    gGraceSeconds = std::max(1u, graceSeconds);
    const int length = std::snprintf(gGraceMessage, sizeof gGraceMessage,
                                     "larkspur: the run did not end within %u s of the signal (a display "
                                     "server that does not answer, or a very slow frame); ending at once\n",
                                     gGraceSeconds);
    gGraceMessageLength = std::min(sizeof gGraceMessage - 1, size_t(std::max(0, length)));
    struct sigaction action = {};
    action.sa_handler = OnGraceOver;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, &oldAlarm_);
    action.sa_handler = OnQuitSignal;
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGTERM, &action, &oldTerm_);
    sigaction(SIGINT, &action, &oldInt_);
}

QuitSignals::~QuitSignals()
{
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGINT, &oldInt_, nullptr);
    alarm(0);
    sigaction(SIGALRM, &oldAlarm_, nullptr);
    gSignalFd = -1;
    for (int fd : fds_)
        if (fd >= 0)
            close(fd);
}

bool QuitSignals::Raised() const
{
    return gRaised != 0;
}

void EndByQuitSignal()
{
    const int signal = gQuitSignal;
    if (signal == 0)
        return;
    // Dying by a signal flushes nothing.
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
}

void RunFrameLoop(FrameLoopClient* client, const QuitSignals& signals, double period)
{
    double next = SteadyNow();
    while (client->Running()) {
        client->Frame();
        next = std::max(next + period, SteadyNow());
        WaitUntil(client, signals, next);
    }
}

void ReportRunFigures(const std::vector<const FpsMeter*>& meters, const char* unit)
{
    for (size_t i = 0; i < meters.size(); i++) {
        // A view that stopped at once (not the main screen) has no figures.
        const std::string figures = meters[i]->RunFrames() > 0 ? meters[i]->Summary() : "no frames drawn";
        if (meters.size() > 1)
            std::fprintf(stderr, "larkspur: %s %zu: %s\n", unit, i, figures.c_str());
        else
            std::fprintf(stderr, "larkspur: %s\n", figures.c_str());
    }
}

bool CaptureOnce::Get(const Take& take, std::vector<unsigned char>* rgb, int* width, int* height)
{
    if (!taken_) {
        taken_ = true;
        captured_ = take(&rgb_, &width_, &height_);
    }
    if (!captured_)
        return false;
    *rgb = rgb_;
    *width = width_;
    *height = height_;
    return true;
}
