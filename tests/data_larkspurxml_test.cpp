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
    GError* error = nullptr;
    const bool parsed = text && g_markup_parse_context_parse(context, text, gssize(size), &error) &&
                        g_markup_parse_context_end_parse(context, &error);
    EXPECT_TRUE(parsed) << (error ? error->message : "no file");
    g_clear_error(&error);
    g_markup_parse_context_free(context);
    g_free(text);
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements[0][""], "screensaver");
    EXPECT_EQ(elements[0]["name"], "larkspur");
    // The command line XScreenSaver would build with every number at its low,
    // high or default value and every switch on; the options are checked
    // before --help answers.
    for (const char* which : {"low", "high", "default"}) {
        std::string line;
        for (Element& e : elements) {
            std::string arg = e["arg"];
            if (const size_t percent = arg.find('%'); percent != std::string::npos)
                arg.replace(percent, 1, e[""] == "number" ? e[which] : std::string("/tmp"));
            for (const std::string& one : {arg, e["arg-set"], e["arg-unset"]})
                if (!one.empty())
                    line += " " + one;
        }
        std::string err;
        EXPECT_EQ(RunCommand(std::string(LARKSPUR_PROGRAM) + line + " --help", nullptr, &err), 0)
            << which << ":" << line << "\n" << err;
        for (const char* option : {"--num-dogs", "--dog-size", "--num-footprints", "--bg-type 1", "--bg-type 2",
                                   "--bg-res 0", "--bg-res 2", "--bg-path", "--no-tile-bg", "--main-monitor-only"})
            EXPECT_NE(line.find(option), std::string::npos) << option;
    }

    const auto range = [](int64_t low, int64_t high, int64_t normal) {
        return std::to_string(low) + " " + std::to_string(high) + " " + std::to_string(normal);
    };
    const std::map<std::string, std::string> limits = {
        {"--num-dogs %", range(kMinNumDogs, kMaxNumDogs, kDefaultNumDogs)},
        {"--dog-size %", range(kMinDogSize, kMaxDogSize, kDefaultDogSize)},
        {"--num-footprints %", range(kMinNumFootprints, kMaxNumFootprints, kDefaultNumFootprints)},
    };
    int checked = 0;
    for (Element& e : elements)
        if (const auto limit = limits.find(e["arg"]); limit != limits.end()) {
            EXPECT_EQ(e["low"] + " " + e["high"] + " " + e["default"], limit->second);
            checked++;
        }
    EXPECT_EQ(checked, 3);
}

} // namespace
