// Tests of the monitor choice: splitting and checking a list of names, and
// which monitor shows the herd with and without MainMonitorOnly.
#include "view/MonitorChoice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(MonitorChoice, ListsSplitOnCommasWithSpacesAndEmptyNamesDropped)
{
    EXPECT_EQ(SplitMonitorNames(""), Names{});
    EXPECT_EQ(SplitMonitorNames(" HDMI-1 ,DP-2\t"), (Names{"HDMI-1", "DP-2"}));
    EXPECT_EQ(SplitMonitorNames(",,a,"), Names{"a"});
    EXPECT_EQ(SplitMonitorNames("Dell U2720Q"), Names{"Dell U2720Q"});
}

TEST(MonitorChoice, OnlyPrintableListsOfNonEmptyNamesWithinTheLimitAreValid)
{
    const struct {
        std::string list;
        bool valid;
        const char* why;
    } rows[] = {
        {"", true, ""},
        {"HDMI-1", true, ""},
        {"HDMI-1, DP-2", true, ""},
        {"écran-1", true, ""},
        {std::string(kMaxMonitorNamesBytes, 'a'), true, ""},
        {std::string(kMaxMonitorNamesBytes + 1, 'a'), false, "is longer than 1024 bytes"},
        {"HDMI-1,", false, "has an empty name between commas"},
        {",HDMI-1", false, "has an empty name between commas"},
        {"a, ,b", false, "has an empty name between commas"},
        {"  ", false, "holds only spaces (leave it empty for every monitor)"},
        {"HDMI-1\nDP-2", false, "holds characters that are not printable text"},
        {"DP\x7f", false, "holds characters that are not printable text"},
        {"\xff\xfe", false, "holds characters that are not printable text"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.list.substr(0, 40));
        std::string why;
        EXPECT_EQ(ValidMonitorNames(row.list, &why), row.valid);
        EXPECT_EQ(why, row.why);
    }
}

// Two monitors present, "HDMI-1" the main one and "DP-2" the other; each row
// says which of them shows the herd.
TEST(MonitorChoice, ANamedMonitorPresentDecidesElseMainMonitorOnlyDoes)
{
    const Names present = {"HDMI-1", "DP-2"};
    const struct {
        const char* list;
        bool mainMonitorOnly;
        bool mainShows;
        bool otherShows;
    } rows[] = {
        {"", false, true, true},
        {"", true, true, false},
        {"DP-2", false, false, true},
        // The list wins over MainMonitorOnly.
        {"DP-2", true, false, true},
        {"dp-2", false, false, true},
        {" hdmi-1 , DP-2", true, true, true},
        {"HDMI-1,VGA-9", false, true, false},
        // None present: as if there were no list.
        {"VGA-9", false, true, true},
        {"VGA-9", true, true, false},
        // A name matches whole, not in part.
        {"DP", false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.list) + (row.mainMonitorOnly ? " main only" : ""));
        const Names listed = SplitMonitorNames(row.list);
        EXPECT_EQ(MonitorShowsHerd(listed, row.mainMonitorOnly, "HDMI-1", true, present), row.mainShows);
        EXPECT_EQ(MonitorShowsHerd(listed, row.mainMonitorOnly, "DP-2", false, present), row.otherShows);
    }
}

// Screens without names (no XRandR, a made-up layout) never match a list,
// not even one whose names are empty.
TEST(MonitorChoice, NamelessScreensFollowMainMonitorOnly)
{
    const Names present = {"", ""};
    EXPECT_FALSE(AnyMonitorPresent(Names{""}, present));
    EXPECT_TRUE(MonitorShowsHerd(Names{"HDMI-1"}, false, "", false, present));
    EXPECT_FALSE(MonitorShowsHerd(Names{"HDMI-1"}, true, "", false, present));
}

} // namespace
