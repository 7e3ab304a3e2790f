// Tests of the idle watcher (larkspur --idle), each under a real compositor or
// X server of its own: sway (org_kde_kwin_idle, two outputs, a key through a
// virtual keyboard, an idle inhibitor, the lock hand-off), KWin
// (ext-idle-notify-v1), Mutter (GNOME's idle monitor) and Xvfb (the
// screen-saver extension, and XScreenSaver's daemon in charge). The watcher
// runs with a delay of a second, its saver with --verbose so that each start
// shows.
#include <gtest/gtest.h>

#include "fixtures/FakeBusService.h"
#include "fixtures/IdleInhibitor.h"
#include "fixtures/SessionCompositor.h"
#include "fixtures/Sway.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr const char* kStarts = "idle: starting the saver\n";
constexpr const char* kEnds = "the saver ended\n";

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        n++;
    return n;
}

// Waits until the program's stderr holds the text n times.
bool SaysTimes(ChildProgram& program, const std::string& text, size_t n, double seconds)
{
    return WaitFor([&] { return Count(program.Stderr(), text) >= n; }, seconds);
}

class IdleWatcher : public ::testing::Test {
protected:
    std::unique_ptr<ChildProgram> Watch(const std::string& environment, const std::string& arguments = "")
    {
        return scratch.Run(environment, "--idle --idle-seconds 1 --verbose --resources '" + scratch.resources + "' " +
                                            scratch.showQuadrants + " " + arguments);
    }

    // SIGTERM ends the watcher, and a showing saver first, with status 0.
    void ExpectCleanEnd(ChildProgram& watcher)
    {
        watcher.Signal(SIGTERM);
        ExpectExit(watcher, 6.0, 0);
        EXPECT_EQ(Count(watcher.Stderr(), kStarts), Count(watcher.Stderr(), kEnds)) << watcher.Stderr();
    }

    LarkspurScratch scratch;
};

// sway 1.7 offers org_kde_kwin_idle. The saver covers both outputs; a key
// ends it and the watcher starts it again a delay after the last key.
TEST_F(IdleWatcher, OnSwayStartsTheSaverOnEveryOutputAndAgainAfterAKeyEndsIt)
{
    SwayServer sway(640, 480);
    ASSERT_TRUE(sway.ok()) << "sway did not start\n" << sway.Log();
    ASSERT_TRUE(sway.Command("create_output"));
    auto watcher = Watch(sway.Environment());
    ASSERT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
    EXPECT_NE(watcher->Stderr().find("through org_kde_kwin_idle"), std::string::npos) << watcher->Stderr();
    EXPECT_TRUE(Says(*watcher, "output 'HEADLESS-2' 640x480 pixels at scale 1")) << watcher->Stderr();
    EXPECT_NE(watcher->Stderr().find("output 'HEADLESS-1' 640x480 pixels at scale 1, main"), std::string::npos);
    ASSERT_TRUE(sway.PressKey("x"));
    EXPECT_TRUE(SaysTimes(*watcher, kEnds, 1, 5.0)) << watcher->Stderr();
    EXPECT_NE(watcher->Stderr().find("woken by a key"), std::string::npos) << watcher->Stderr();
    EXPECT_TRUE(SaysTimes(*watcher, kStarts, 2, 10.0)) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
}

// A window holding an idle inhibitor keeps the saver off for as long as it
// is there; once it goes, the saver starts after the delay.
TEST_F(IdleWatcher, OnSwayAnIdleInhibitorKeepsTheSaverOff)
{
    SwayServer sway(640, 480);
    ASSERT_TRUE(sway.ok()) << "sway did not start\n" << sway.Log();
    auto inhibitor = std::make_unique<IdleInhibitor>(sway.SocketPath());
    ASSERT_TRUE(inhibitor->ok()) << inhibitor->error();
    auto watcher = Watch(sway.Environment());
    ASSERT_TRUE(Says(*watcher, "watching for idleness")) << watcher->Stderr();
    EXPECT_FALSE(Says(*watcher, kStarts, 4.0)) << watcher->Stderr();
    inhibitor.reset();
    EXPECT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
}

// After the lock delay the lock command (the saved LockCommand) runs and the
// saver ends. A lock command that fails is said once, and the saver goes on
// until input.
TEST_F(IdleWatcher, OnSwayLockAfterRunsTheLockCommandAndEndsTheSaver)
{
    SwayServer sway(640, 480);
    ASSERT_TRUE(sway.ok()) << "sway did not start\n" << sway.Log();
    const std::string mark = scratch.dir.File("locked");
    std::filesystem::create_directories(scratch.dir.File("config/larkspur"));
    std::ofstream(scratch.dir.File("config/larkspur/LarkspurSS.ini"))
        << "[LarkspurSS]\nversion=1.1\nLockCommand=echo locked >> " << mark << "\n";
    auto watcher = Watch(sway.Environment(), "--lock-seconds 1");
    ASSERT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
    EXPECT_TRUE(Says(*watcher, kEnds, 10.0)) << watcher->Stderr();
    EXPECT_EQ(TextOfFile(mark).substr(0, 7), "locked\n");
    EXPECT_EQ(watcher->Stderr().find("woken"), std::string::npos) << watcher->Stderr();
    ExpectCleanEnd(*watcher);

    watcher = Watch(sway.Environment(), "--lock-seconds 1 --lock-command 'exit 3'");
    ASSERT_TRUE(Says(*watcher, "failed with status 3; the saver goes on until input\n", 10.0)) << watcher->Stderr();
    EXPECT_FALSE(Says(*watcher, kEnds, 2.0)) << watcher->Stderr();
    ASSERT_TRUE(sway.PressKey("x"));
    EXPECT_TRUE(SaysTimes(*watcher, kStarts, 2, 10.0)) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
    EXPECT_EQ(Count(watcher->Stderr(), "failed with status 3"), 1u) << watcher->Stderr();
}

// The read-me's swayidle line: with -w swayidle waits for each command, so
// the saver runs in the background ('&'); else the lock would wait for the
// saver to end, and come when the user returns. Here the lock comes while the
// saver shows, and not again when a key ends the saver.
TEST_F(IdleWatcher, SwayidleLineOfTheReadmeLocksWhileTheSaverShows)
{
    SwayServer sway(640, 480);
    ASSERT_TRUE(sway.ok()) << "sway did not start\n" << sway.Log();
    const std::string bin = scratch.dir.File("bin"), locks = scratch.dir.File("locks");
    // A stand-in swaylock that notes its arguments.
    RunCommand("mkdir -p '" + bin + "' && ln -s " LARKSPUR_PROGRAM " '" + bin +
               "/larkspur' && printf '#!/bin/sh\\necho \"$*\" >> %s\\n' '" + locks + "' > '" + bin +
               "/swaylock' && chmod +x '" + bin + "/swaylock'");
    ChildProgram swayidle("env XDG_CONFIG_HOME='" + scratch.dir.File("config") + "' LARKSPUR_RESOURCES='" +
                          scratch.resources + "' PATH='" + bin + "':$PATH " + sway.Environment() +
                          " swayidle -w timeout 1 'larkspur --fullscreen --verbose " + scratch.showQuadrants +
                          " &' timeout 3 'swaylock -f'");
    ASSERT_TRUE(WaitFor([&] { return !TextOfFile(locks).empty(); }, 10.0)) << swayidle.Stderr();
    EXPECT_EQ(TextOfFile(locks), "-f\n");
    EXPECT_NE(swayidle.Stderr().find("pixels at scale 1, main"), std::string::npos) << swayidle.Stderr();
    EXPECT_EQ(swayidle.Stderr().find("woken"), std::string::npos) << swayidle.Stderr();
    ASSERT_TRUE(sway.PressKey("x"));
    EXPECT_TRUE(Says(swayidle, "woken by a key")) << swayidle.Stderr();
    EXPECT_EQ(TextOfFile(locks), "-f\n");
}

// KWin 5.27 offers ext-idle-notify-v1, which the watcher takes first, and
// honours idle inhibitors.
TEST_F(IdleWatcher, OnKwinStartsTheSaverThroughExtIdleNotifyUnlessInhibited)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "KWin's virtual backend runs here only as root";
    SessionCompositor kwin(SessionCompositor::Kind::Kwin, 1280, 720);
    ASSERT_TRUE(kwin.ok()) << "kwin_wayland did not start\n" << kwin.Log();
    auto inhibitor = std::make_unique<IdleInhibitor>(kwin.SocketPath());
    ASSERT_TRUE(inhibitor->ok()) << inhibitor->error();
    auto watcher = Watch(kwin.Environment());
    ASSERT_TRUE(Says(*watcher, "watching for idleness through ext-idle-notify-v1")) << watcher->Stderr();
    EXPECT_FALSE(Says(*watcher, kStarts, 4.0)) << watcher->Stderr();
    inhibitor.reset();
    EXPECT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
    EXPECT_TRUE(Says(*watcher, "pixels at scale 1, main")) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
}

// Mutter offers neither Wayland idle protocol; its idle monitor on the
// session bus starts the saver.
TEST_F(IdleWatcher, OnMutterStartsTheSaverThroughGnomesIdleMonitor)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "Mutter's headless backend runs here only as root";
    SessionCompositor mutter(SessionCompositor::Kind::Mutter, 1280, 720);
    ASSERT_TRUE(mutter.ok()) << "mutter did not start\n" << mutter.Log();
    auto watcher = Watch(mutter.Environment());
    ASSERT_TRUE(Says(*watcher, kStarts, 15.0)) << watcher->Stderr();
    EXPECT_NE(watcher->Stderr().find("through org.gnome.Mutter.IdleMonitor"), std::string::npos) << watcher->Stderr();
    EXPECT_TRUE(Says(*watcher, "pixels at scale 1, main")) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
}

// Without an XScreenSaver daemon the server's screen-saver extension counts
// the idle time: the saver starts, a key (through the XTEST
// extension) ends it, and it starts again a delay later. A second watcher on
// the display stands aside.
TEST_F(IdleWatcher, OnX11StartsAndEndsTheSaverThroughTheScreenSaverExtension)
{
    XvfbServer xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok()) << "Xvfb did not start";
    TempDir runtime;
    const std::string display =
        "env -u WAYLAND_DISPLAY DISPLAY=" + xvfb.name() + " XDG_RUNTIME_DIR='" + runtime.path() + "'";
    auto watcher = Watch(display);
    ASSERT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
    EXPECT_NE(watcher->Stderr().find("through the X screen-saver extension"), std::string::npos);
    auto second = Watch(display);
    ExpectExit(*second, 5.0, 0,
               "larkspur: an idle watcher already runs on display '" + xvfb.name() + "'; this one ends\n");
    ASSERT_TRUE(Says(*watcher, "monitor 0 at 640x480+0+0")) << watcher->Stderr();
    // It shows until input comes.
    EXPECT_FALSE(Says(*watcher, kEnds, 1.0)) << watcher->Stderr();
    ASSERT_EQ(RunCommand(display + " xdotool key x"), 0);
    EXPECT_TRUE(Says(*watcher, kEnds, 5.0)) << watcher->Stderr();
    EXPECT_TRUE(SaysTimes(*watcher, kStarts, 2, 10.0)) << watcher->Stderr();
    ExpectCleanEnd(*watcher);
}

// The session's services are asked before each start: while one says that
// the session is locked or inhibited, the saver waits (a whole delay each
// time), and it starts once the answer changes. Stand-ins answer here on a
// bus of their own, for the system bus (logind) or the session bus.
TEST_F(IdleWatcher, OnX11TheSessionsHoldsKeepTheSaverOff)
{
    XvfbServer xvfb(320, 240);
    ASSERT_TRUE(xvfb.ok()) << "Xvfb did not start";
    const struct {
        const char *name, *path, *interface, *member;
        bool property;
        const char* says;
    } holds[] = {
        {"org.freedesktop.login1", "/org/freedesktop/login1/session/auto", "org.freedesktop.login1.Session",
         "LockedHint", true, "the saver waits: the session is locked\n"},
        {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", "IsInhibited", false,
         "the saver waits: an application asked GNOME to keep the session awake\n"},
        {"org.kde.Solid.PowerManagement.PolicyAgent", "/org/kde/Solid/PowerManagement/PolicyAgent",
         "org.kde.Solid.PowerManagement.PolicyAgent", "HasInhibition", false,
         "the saver waits: an application asked KDE to keep the screen on\n"},
    };
    for (const auto& h : holds) {
        FakeBusService service(h.name, h.path, h.interface, h.member, h.property);
        ASSERT_TRUE(service.ok()) << h.name;
        service.Answer(true);
        auto watcher = Watch("env -u WAYLAND_DISPLAY DISPLAY=" + xvfb.name() + " DBUS_SESSION_BUS_ADDRESS='" +
                             service.address() + "' DBUS_SYSTEM_BUS_ADDRESS='" + service.address() + "'");
        EXPECT_TRUE(SaysTimes(*watcher, h.says, 2, 10.0)) << watcher->Stderr();
        EXPECT_EQ(watcher->Stderr().find(kStarts), std::string::npos) << watcher->Stderr();
        service.Answer(false);
        EXPECT_TRUE(Says(*watcher, kStarts, 10.0)) << watcher->Stderr();
        ExpectCleanEnd(*watcher);
    }
}

// Where XScreenSaver's daemon runs (as an ordinary user, as it insists), it
// is in charge: the watcher refuses and points to --register.
TEST_F(IdleWatcher, OnX11StandsAsideForARunningXScreenSaver)
{
    XvfbServer xvfb(640, 480);
    ASSERT_TRUE(xvfb.ok()) << "Xvfb did not start";
    const std::string display = "env -u WAYLAND_DISPLAY DISPLAY=" + xvfb.name();
    TempDir home;
    std::string user;
    if (geteuid() == 0) {
        ASSERT_EQ(chown(home.path().c_str(), 65534, 65534), 0);
        user = "setpriv --reuid=65534 --regid=65534 --clear-groups --pdeathsig KILL ";
    }
    ChildProgram daemon("env -i PATH=/usr/bin:/bin HOME='" + home.path() + "' DISPLAY=" + xvfb.name() + " " + user +
                        "xscreensaver -no-splash");
    ASSERT_TRUE(WaitFor([&] { return RunCommand(display + " xscreensaver-command -version") == 0; }, 15.0))
        << "xscreensaver did not start\n"
        << daemon.Stderr();
    auto watcher = Watch(display);
    ExpectExit(*watcher, 5.0, 1,
               "larkspur: XScreenSaver is in charge of display '" + xvfb.name() +
                   "' and starts its savers itself; to have it show Larkspur, run 'larkspur --register' instead "
                   "of --idle\n");
}

} // namespace
