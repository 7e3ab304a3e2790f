// Tests of turning the idle watcher on and off through systemd's user
// manager, with a stand-in systemctl that notes its arguments. (Without
// systemd, the settings window's test turns it on and off through the
// autostart entry, with a real watcher.)
#include "fixtures/TempDir.h"
#include "platform/idle/IdleService.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The stand-in answers every question with the given status, and "enable"
// with enableStatus, saying "refused" then.
class StandInSystemctl {
public:
    StandInSystemctl(int status, int enableStatus) : oldPath_(std::getenv("PATH"))
    {
        RunCommand("mkdir -p '" + dir_.File("bin") +
                   "' && printf '#!/bin/sh\\necho \"$*\" >> %s\\n"
                   "[ \"$2\" = enable ] && { echo refused >&2; exit %d; }\\nexit %d\\n' '" +
                   dir_.File("calls") + "' " + std::to_string(enableStatus) + " " + std::to_string(status) + " > '" +
                   dir_.File("bin/systemctl") + "' && chmod +x '" + dir_.File("bin/systemctl") + "'");
        setenv("PATH", (dir_.File("bin") + ":" + oldPath_).c_str(), 1);
    }
    ~StandInSystemctl() { setenv("PATH", oldPath_.c_str(), 1); }
    std::string Calls() const { return TextOfFile(dir_.File("calls")); }

private:
    TempDir dir_;
    std::string oldPath_;
};

TEST(IdleService, WithSystemdTheUnitIsEnabledAndStartedAfreshOrDisabledAndStopped)
{
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    // GLib reads the folder once per process.
    if (g_get_user_config_dir() != config.path())
        GTEST_SKIP() << "this process already read another configuration folder";
    IdleServiceSetup setup;
    std::string error;
    const std::string asked = "--user is-active --quiet graphical-session.target\n--user cat larkspur-idle.service\n";
    {
        StandInSystemctl systemctl(0, 0);
        EXPECT_TRUE(IdleWatcherEnabled());
        ASSERT_TRUE(SetIdleWatcher(true, setup, &error)) << error;
        ASSERT_TRUE(SetIdleWatcher(false, setup, &error)) << error;
        EXPECT_EQ(systemctl.Calls(), asked + "--user is-enabled --quiet larkspur-idle.service\n" + asked +
                                         "--user enable larkspur-idle.service\n--user restart larkspur-idle.service\n" +
                                         asked + "--user disable --now larkspur-idle.service\n");
    }
    {
        StandInSystemctl systemctl(0, 1);
        EXPECT_FALSE(SetIdleWatcher(true, setup, &error));
        EXPECT_EQ(error, "systemctl --user could not enable and start larkspur-idle.service: refused");
    }
    // Without a graphical session's target, and with no autostart entry, it is off.
    StandInSystemctl systemctl(1, 1);
    EXPECT_FALSE(IdleWatcherEnabled());
}

} // namespace
