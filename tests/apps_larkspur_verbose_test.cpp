// Tests of larkspur --verbose: a long headless run reports births, camera
// mode changes and the herd's counts once per simulated minute on stderr.
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

TEST(LarkspurVerbose, ReportsBirthsCameraModesAndMinuteCounts)
{
    TempDir dir;
    std::string out, err;
    const std::string command = "XDG_CONFIG_HOME='" + dir.File("config") + "' " + LARKSPUR_PROGRAM +
                                " --headless --size 160x90 --seconds 300 --step 0.1 --seed 7 --verbose";
    ASSERT_EQ(RunCommand(command, &out, &err), 0) << err;
    EXPECT_GE(Occurrences(err, "larkspur: "), 5u) << err;
    EXPECT_GE(Occurrences(err, ": birth at ("), 1u) << err;
    EXPECT_GE(Occurrences(err, ": camera home -> "), 1u) << err;
    EXPECT_EQ(Occurrences(err, " slots, "), 4u) << "one count per simulated minute after the first: " << err;
    EXPECT_NE(err.find("herd: 25 slots"), std::string::npos) << err;

    // Without --verbose nothing of the herd is reported.
    ASSERT_EQ(RunCommand("XDG_CONFIG_HOME='" + dir.File("config") + "' " + LARKSPUR_PROGRAM +
                             " --headless --size 160x90 --seconds 30 --step 0.1 --seed 7",
                         &out, &err),
              0);
    EXPECT_EQ(err.find("camera"), std::string::npos) << err;
}

} // namespace
