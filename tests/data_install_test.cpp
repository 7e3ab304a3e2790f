// Tests of the installation: everything lands in its place under DESTDIR and
// the prefix, the MATE entry runs the saver the way MATE expects, and the
// man pages and the read-me name every option the programs' help lists.
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

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

// Every "--option" (or, with a prefix, every "prefix word") in a text; a man
// page's "\-" counts as a dash.
std::set<std::string> Mentioned(std::string text, const std::string& pattern = "--[a-z][a-z0-9-]*")
{
    for (size_t at; (at = text.find("\\-")) != std::string::npos;)
        text.erase(at, 1);
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

TEST(Install, EveryFileLandsInItsPlaceUnderDestdirAndPrefix)
{
    TempDir stage;
    std::string out, err;
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk",
                         &out, &err),
              0)
        << out << err;
    for (const char* file :
         {"bin/larkspur", "bin/larkspur-config", "bin/larkspur-pack", "share/larkspur/pellmore.works",
          "share/larkspur/b.oak", "share/man/man6/larkspur.6", "share/man/man1/larkspur-config.1",
          "share/man/man1/larkspur-pack.1", "share/xscreensaver/config/larkspur.xml",
          "share/applications/screensavers/larkspur.desktop", "share/applications/larkspur-config.desktop"})
        EXPECT_EQ(RunCommand("test -s '" + stage.File(std::string("opt/lk/") + file) + "'"), 0) << file;
    for (const char* program : {"larkspur", "larkspur-config", "larkspur-pack"})
        EXPECT_EQ(RunCommand("test -x '" + stage.File(std::string("opt/lk/bin/") + program) + "'"), 0) << program;

    std::ifstream entry(stage.File("opt/lk/share/applications/screensavers/larkspur.desktop"));
    const std::string text((std::istreambuf_iterator<char>(entry)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nExec=larkspur --root\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=Screensaver;\n"), std::string::npos) << text;
}

TEST(Install, ManPagesAndReadMeAgreeWithEachProgramsHelp)
{
    TempDir stage;
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk"),
              0);
    const std::string share = stage.File("opt/lk/share/");
    const std::set<std::string> readme = Mentioned(Slurp(share + "doc/larkspur/README.md"));
    std::string help;
    ASSERT_EQ(RunCommand(LARKSPUR_PROGRAM " --help", &help), 0);
    const std::set<std::string> options = Mentioned(help);
    ASSERT_GT(options.size(), 30u) << help;
    const std::set<std::string> page = Mentioned(Slurp(share + "man/man6/larkspur.6"));
    ExpectAllIn(options, page, "larkspur(6)");
    ExpectAllIn(page, options, "larkspur --help");
    ExpectAllIn(options, readme, "the read-me");
    // Where larkspur(6) sends its readers exists.
    EXPECT_NE(Slurp(share + "man/man6/larkspur.6").find(".BR larkspur\\-config (1)"), std::string::npos);

    ASSERT_EQ(RunCommand("env -u DISPLAY " LARKSPUR_CONFIG_PROGRAM " --help", &help), 0);
    ExpectAllIn(Mentioned(help), Mentioned(Slurp(share + "man/man1/larkspur-config.1")), "larkspur-config(1)");
    ExpectAllIn(Mentioned(help), readme, "the read-me");

    ASSERT_EQ(RunCommand(LARKSPUR_PACK_TOOL " --help", &help), 0);
    const std::string command = "larkspur-pack [a-z-]+";
    const std::set<std::string> commands = Mentioned(help, command);
    ASSERT_EQ(commands.size(), 6u) << help;
    ExpectAllIn(commands, Mentioned(Slurp(share + "man/man1/larkspur-pack.1"), "larkspur-pack [a-z-]+"),
                "larkspur-pack(1)");
    ExpectAllIn(commands, Mentioned(Slurp(share + "doc/larkspur/README.md"), command), "the read-me");
}

} // namespace
