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

// Every "--option" (or every match of another pattern) in a text; a man
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

TEST(Install, EveryFileLandsInItsPlaceAndTheDocsAgreeWithEachProgramsHelp)
{
    TempDir stage;
    std::string out, err, help;
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk",
                         &out, &err),
              0)
        << out << err;
    const std::string prefix = stage.File("opt/lk/");
    for (const char* file :
         {"bin/larkspur", "bin/larkspur-config", "bin/larkspur-pack", "share/larkspur/pellmore.works",
          "share/larkspur/b.oak", "share/man/man6/larkspur.6", "share/man/man1/larkspur-config.1",
          "share/man/man1/larkspur-pack.1", "share/xscreensaver/config/larkspur.xml",
          "share/applications/screensavers/larkspur.desktop", "share/applications/larkspur-config.desktop"})
        EXPECT_EQ(RunCommand("test -s '" + prefix + file + "'"), 0) << file;
    for (const char* program : {"larkspur", "larkspur-config", "larkspur-pack"})
        EXPECT_EQ(RunCommand("test -x '" + prefix + "bin/" + program + "'"), 0) << program;
    const std::string entry = Slurp(prefix + "share/applications/screensavers/larkspur.desktop");
    EXPECT_NE(entry.find("\nExec=larkspur --root\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nCategories=Screensaver;\n"), std::string::npos) << entry;

    const std::string readmeText = Slurp(prefix + "share/doc/larkspur/README.md");
    const std::set<std::string> readme = Mentioned(readmeText);
    ASSERT_EQ(RunCommand(LARKSPUR_PROGRAM " --help", &help), 0);
    const std::set<std::string> options = Mentioned(help);
    ASSERT_GT(options.size(), 30u) << help;
    const std::string page = Slurp(prefix + "share/man/man6/larkspur.6");
    ExpectAllIn(options, Mentioned(page), "larkspur(6)");
    ExpectAllIn(Mentioned(page), options, "larkspur --help");
    ExpectAllIn(options, readme, "the read-me");
    // Where larkspur(6) sends its readers exists.
    EXPECT_NE(page.find(".BR larkspur\\-config (1)"), std::string::npos);

    ASSERT_EQ(RunCommand("env -u DISPLAY " LARKSPUR_CONFIG_PROGRAM " --help", &help), 0);
    ExpectAllIn(Mentioned(help), Mentioned(Slurp(prefix + "share/man/man1/larkspur-config.1")), "larkspur-config(1)");
    ExpectAllIn(Mentioned(help), readme, "the read-me");

    ASSERT_EQ(RunCommand(LARKSPUR_PACK_TOOL " --help", &help), 0);
    const std::string command = "larkspur-pack [a-z-]+";
    const std::set<std::string> commands = Mentioned(help, command);
    ASSERT_EQ(commands.size(), 6u) << help;
    ExpectAllIn(commands, Mentioned(Slurp(prefix + "share/man/man1/larkspur-pack.1"), command), "larkspur-pack(1)");
    ExpectAllIn(commands, Mentioned(readmeText, command), "the read-me");
}

} // namespace
