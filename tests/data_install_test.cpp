// Tests of the installation: everything lands in its place under DESTDIR and
// the prefix, the MATE entry runs the saver the way MATE expects, the menu
// entries validate, the idle watcher's unit runs the installed program, the
// man pages of larkspur and larkspur-pack name every option and command their
// help lists, and uninstalling takes it all away again.
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

// CMake's messages, which it wraps, on one line.
std::string OneLine(const std::string& text)
{
    return std::regex_replace(text, std::regex("\\s+"), " ");
}

// Uninstalling a staged install removes every file of it (a file of the
// user's stays, with its folder), and the folders that are Larkspur's own or
// held only savers' files, but not the prefix's standard folders; a DESTDIR
// other than the install's is refused and removes nothing.
void ExpectUninstallTakesItAway(const std::string& stage, const std::string& manifest)
{
    const std::string uninstall = "cmake -DMANIFEST='" + manifest + "' -P '" LARKSPUR_UNINSTALL_SCRIPT "'";
    const std::string prefix = stage + "/opt/lk/";
    std::string out, err;
    EXPECT_NE(RunCommand("DESTDIR=/elsewhere " + uninstall, &out, &err), 0);
    EXPECT_NE(OneLine(err).find("installed with DESTDIR='" + stage + "', not '/elsewhere'"), std::string::npos) << err;
    EXPECT_EQ(RunCommand("test -x '" + prefix + "bin/larkspur'"), 0);

    ASSERT_EQ(RunCommand("mkdir '" + prefix + "share/larkspur/mine' && touch '" + prefix + "share/larkspur/mine/keep'"),
              0);
    ASSERT_EQ(RunCommand("DESTDIR= " + uninstall, &out, &err), 0) << out << err;
    EXPECT_NE(out.find("-- Removed: " + prefix + "share/applications/larkspur.desktop\n"), std::string::npos) << out;
    ASSERT_EQ(RunCommand("(cd '" + stage + "' && find . ! -type d | sort)", &out), 0);
    EXPECT_EQ(out, "./opt/lk/share/larkspur/mine/keep\n");
    const struct {
        const char* folder;
        bool stays;
    } folders[] = {
        {"share/doc/larkspur", false},
        {"share/xscreensaver", false},
        {"share/applications/screensavers", false},
        {"share/applications", true},
        {"bin", true},
        {"share/man/man6", true},
        {"lib/systemd/user", true},
    };
    for (const auto& f : folders)
        EXPECT_EQ(RunCommand("test -d '" + prefix + f.folder + "'") == 0, f.stays) << f.folder;
    // Once done, there is nothing left to uninstall.
    EXPECT_NE(RunCommand(uninstall, &out, &err), 0);
    EXPECT_NE(OneLine(err).find("there is no " + manifest + ": nothing is installed from this build tree"),
              std::string::npos)
        << err;
}

TEST(Install, EveryFileLandsInItsPlaceTheDocsAgreeWithEachProgramsHelpAndUninstallTakesItAway)
{
    TempDir stage;
    std::string out, err, help;
    // As the component every rule belongs to, so that CMake's manifest of this
    // install is a file of its own, and the one of a real install from this
    // tree stays, for `make uninstall`.
    const std::string install = "cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk --component Unspecified";
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' " + install, &out, &err), 0) << out << err;
    const std::string prefix = stage.File("opt/lk/");
    // The other man pages and the screensaver entry are read below.
    for (const char* file :
         {"bin/larkspur", "bin/larkspur-config", "bin/larkspur-pack", "share/larkspur/b.oak",
          "share/larkspur/pellmore.works", "share/larkspur/meadow.jpg", "share/xscreensaver/config/larkspur.xml",
          "share/applications/larkspur-config.desktop", "share/man/man1/larkspur-config.1"})
        EXPECT_EQ(RunCommand((std::strncmp(file, "bin/", 4) ? "test -s '" : "test -x '") + prefix + file + "'"), 0)
            << file;
    const std::string entry = Slurp(prefix + "share/applications/screensavers/larkspur.desktop");
    EXPECT_NE(entry.find("\nExec=larkspur --root --saved-settings\n"), std::string::npos) << entry;
    // Larkspur in the menu, to try it; every entry is one desktops accept.
    const std::string menu = Slurp(prefix + "share/applications/larkspur.desktop");
    EXPECT_NE(menu.find("\nName=Larkspur\nGenericName=Screensaver\n"), std::string::npos) << menu;
    EXPECT_NE(menu.find("\nExec=larkspur --fullscreen\n"), std::string::npos) << menu;
    for (const char* file :
         {"share/applications/larkspur.desktop", "share/applications/larkspur-config.desktop",
          "share/applications/screensavers/larkspur.desktop", "share/larkspur/larkspur-idle.desktop"})
        EXPECT_EQ(RunCommand("desktop-file-validate '" + prefix + file + "'", &out), 0) << file << ": " << out;
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

    ExpectUninstallTakesItAway(stage.path(), LARKSPUR_BUILD_DIR "/install_manifest_Unspecified.txt");
}

} // namespace
