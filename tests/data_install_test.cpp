// Tests of the installation: everything lands in its place under DESTDIR and
// the prefix, the MATE entry runs the saver the way MATE expects, the idle
// watcher's unit runs the installed program, and the
// man pages of larkspur and larkspur-pack name every option and command their
// help lists.
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Every "--option" (or every match of another pattern) in a text; a man
// page's "\-" counts as a dash.
std::set<std::string> Mentioned(std::string text, const std::string& pattern = "--[a-z][a-z0-9-]*")
{
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    std::set<std::string> found;
    const std::regex word(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

void ExpectAllIn(const std::set<std::string>& names, const std::set<std::string>& in, const std::string& where)
{
    for (const std::string& name : names)
        EXPECT_TRUE(in.count(name)) << name << " is missing from " << where;
}

TEST(Install, EveryFileLandsInItsPlaceAndTheDocsAgreeWithEachProgramsHelp)
{
    TempDir stage;
    std::string out, err, help;
    const std::string install = "cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk";
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' " + install, &out, &err), 0) << out << err;
    const std::string prefix = stage.File("opt/lk/");
    // The other man pages and the screensaver entry are read below.
    for (const char* file : {"bin/larkspur", "bin/larkspur-config", "bin/larkspur-pack", "share/larkspur/b.oak",
                             "share/larkspur/pellmore.works", "share/larkspur/meadow.jpg", "share/xscreensaver/config/larkspur.xml",
                             "share/applications/larkspur-config.desktop", "share/man/man1/larkspur-config.1"})
        EXPECT_EQ(RunCommand((std::strncmp(file, "bin/", 4) ? "test -s '" : "test -x '") + prefix + file + "'"), 0)
            << file;
    const std::string entry = Slurp(prefix + "share/applications/screensavers/larkspur.desktop");
    EXPECT_NE(entry.find("\nExec=larkspur --root\n"), std::string::npos) << entry;
    // The idle watcher's unit runs the installed program with the session;
    // its autostart entry waits in the data folder for the settings window.
    const std::string unit = Slurp(prefix + "lib/systemd/user/larkspur-idle.service");
    EXPECT_NE(unit.find("\nExecStart=/opt/lk/bin/larkspur --idle\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nWantedBy=graphical-session.target\n"), std::string::npos) << unit;
    EXPECT_NE(Slurp(prefix + "share/larkspur/larkspur-idle.desktop").find("\nExec=larkspur --idle\n"),
              std::string::npos);

    ASSERT_EQ(RunCommand(LARKSPUR_PROGRAM " --help", &help), 0);
    const std::set<std::string> options = Mentioned(help);
    ASSERT_GT(options.size(), 30u) << help;
    ExpectAllIn(options, Mentioned(Slurp(prefix + "share/man/man6/larkspur.6")), "larkspur(6)");

    ASSERT_EQ(RunCommand(LARKSPUR_PACK_TOOL " --help", &help), 0);
    const std::string command = "larkspur-pack [a-z-]+";
    const std::set<std::string> commands = Mentioned(help, command);
    ASSERT_EQ(commands.size(), 8u) << help;
    ExpectAllIn(commands, Mentioned(Slurp(prefix + "share/man/man1/larkspur-pack.1"), command), "larkspur-pack(1)");
}

} // namespace
