// Tests of the installation: everything lands in its place under DESTDIR and
// the prefix, and the MATE entry runs the saver the way MATE expects.
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

TEST(Install, EveryFileLandsInItsPlaceUnderDestdirAndPrefix)
{
    TempDir stage;
    std::string out, err;
    ASSERT_EQ(RunCommand("DESTDIR='" + stage.path() + "' cmake --install '" LARKSPUR_BUILD_DIR "' --prefix /opt/lk",
                         &out, &err),
              0)
        << out << err;
    for (const char* file :
         {"bin/larkspur", "share/larkspur/pellmore.works", "share/larkspur/b.oak", "share/man/man6/larkspur.6",
          "share/xscreensaver/config/larkspur.xml", "share/applications/screensavers/larkspur.desktop"})
        EXPECT_EQ(RunCommand("test -s '" + stage.File(std::string("opt/lk/") + file) + "'"), 0) << file;
    EXPECT_EQ(RunCommand("test -x '" + stage.File("opt/lk/bin/larkspur") + "'"), 0);

    std::ifstream entry(stage.File("opt/lk/share/applications/screensavers/larkspur.desktop"));
    const std::string text((std::istreambuf_iterator<char>(entry)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nExec=larkspur --root\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=Screensaver;\n"), std::string::npos) << text;
}

} // namespace
