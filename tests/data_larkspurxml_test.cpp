// Tests of data/larkspur.xml, XScreenSaver's description of larkspur's
// settings: it is well-formed, every option it passes is one larkspur takes
// at each end of its range, and the ranges are the settings' own limits.
#include "fixtures/TempDir.h"
#include "host/Settings.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// An element's attributes, with its own name under "".
using Element = std::map<std::string, std::string>;

TEST(XScreenSaverDescription, EveryOptionIsOneLarkspurTakesAndTheRangesAreTheSettingsLimits)
{
    std::vector<Element> elements;
    gchar* text = nullptr;
    gsize size = 0;
    g_file_get_contents(LARKSPUR_XSCREENSAVER_XML, &text, &size, nullptr);
    GMarkupParser parser = {};
    parser.start_element = [](GMarkupParseContext*, const char* name, const char** keys, const char** values,
                              gpointer data, GError**) {
        Element element{{"", name}};
        for (int i = 0; keys[i]; i++)
            element[keys[i]] = values[i];
        static_cast<std::vector<Element>*>(data)->push_back(element);
    };
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &elements, nullptr);
    // XScreenSaver drops a description that is not well-formed.
    EXPECT_TRUE(text && g_markup_parse_context_parse(context, text, gssize(size), nullptr) &&
                g_markup_parse_context_end_parse(context, nullptr));
    g_markup_parse_context_free(context);
    g_free(text);
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements[0][""] + " " + elements[0]["name"], "screensaver larkspur");
    // The command line XScreenSaver would build with every number at its
    // high value and every switch on; the options are checked before --help
    // answers. The numbers' ranges are checked against the settings below.
    std::string line;
    for (Element& e : elements) {
        std::string arg = e["arg"];
        if (const size_t percent = arg.find('%'); percent != std::string::npos)
            arg.replace(percent, 1, e[""] == "number" ? e["high"] : std::string("/tmp"));
        for (const std::string& one : {arg, e["arg-set"], e["arg-unset"]})
            if (!one.empty())
                line += " " + one;
    }
    std::string err;
    EXPECT_EQ(RunCommand(std::string(LARKSPUR_PROGRAM) + line + " --help", nullptr, &err), 0) << line << "\n" << err;
    for (const char* option : {"--num-dogs", "--dog-size", "--num-footprints", "--bg-type 1", "--bg-type 2",
                               "--bg-res 0", "--bg-res 2", "--bg-path", "--no-tile-bg", "--main-monitor-only",
                               "--no-overlay"})
        EXPECT_NE(line.find(option), std::string::npos) << option;

    const std::map<std::string, std::vector<int64_t>> limits = {
        {"--num-dogs %", {kMinNumDogs, kMaxNumDogs, kDefaultNumDogs}},
        {"--dog-size %", {kMinDogSize, kMaxDogSize, kDefaultDogSize}},
        {"--num-footprints %", {kMinNumFootprints, kMaxNumFootprints, kDefaultNumFootprints}}};
    for (Element& e : elements) {
        if (const auto limit = limits.find(e["arg"]); limit != limits.end()) {
            EXPECT_EQ(std::vector<int64_t>({std::stoll(e["low"]), std::stoll(e["high"]), std::stoll(e["default"])}),
                      limit->second)
                << e["arg"];
        }
    }
}

} // namespace
