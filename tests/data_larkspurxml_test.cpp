// Tests of data/larkspur.xml, XScreenSaver's description of larkspur's
// settings: it is well-formed, every option it passes is one larkspur takes
// at each end of its range, the ranges are the settings' own limits, and
// every default is larkspur's own.
#include "fixtures/TempDir.h"
#include "platform/loop/HostRun.h"
#include "view/Settings.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// An element's attributes, with its own name under "".
using Element = std::map<std::string, std::string>;

// The description's elements in order; empty when it is not well-formed.
std::vector<Element> Elements()
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
    return elements;
}

TEST(XScreenSaverDescription, EveryOptionIsOneLarkspurTakesAndTheRangesAreTheSettingsLimits)
{
    std::vector<Element> elements = Elements();
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
    for (const char* option :
         {"--num-dogs", "--dog-size", "--num-footprints", "--bg-type 1", "--bg-type 2", "--bg-res 0", "--bg-res 2",
          "--bg-path", "--no-tile-bg", "--main-monitor-only", "--monitor-names", "--no-overlay"})
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

// XScreenSaver passes nothing for a setting left at its default, and
// larkspur then takes its built-in default without reading its settings file:
// the dialog's default must be that value, or what it shows would not run.
// Every setting of the dialog is checked, so one added without its default
// here fails.
TEST(XScreenSaverDescription, EveryDefaultIsLarkspursBuiltInOne)
{
    const std::vector<Element> elements = Elements();
    ASSERT_FALSE(elements.empty());
    // By id: a number's default, a check box's state (ticked: 1), a list's
    // value when its unlisted item is chosen; a folder has none (-1).
    const std::map<std::string, int64_t> builtIn = {{"numdogs", kDefaultNumDogs},
                                                    {"dogsize", kDefaultDogSize},
                                                    {"numfootprints", kDefaultNumFootprints},
                                                    {"delay", kDefaultDelayMicroseconds},
                                                    {"showfps", 0},
                                                    {"bgtype", kDefaultBGType},
                                                    {"bgpath", -1},
                                                    {"bgres", kDefaultBGRes},
                                                    {"tilebg", kDefaultTileBG},
                                                    {"mainmonitoronly", kDefaultMainMonitorOnly},
                                                    {"monitornames", -1},
                                                    {"showoverlay", kDefaultShowOverlay}};
    std::map<std::string, int64_t> shown;
    std::string select;
    std::vector<int64_t> listed; // the values a list's items pass
    const auto endSelect = [&] {
        // The item that passes nothing stands for the one value of 0..N no
        // other item passes.
        for (int64_t v = 0; !select.empty() && v <= int64_t(listed.size()); v++)
            if (std::find(listed.begin(), listed.end(), v) == listed.end())
                shown[select] = v;
        select.clear();
        listed.clear();
    };
    for (Element e : elements) {
        const std::string kind = e[""];
        if (kind != "option")
            endSelect();
        if (kind == "number")
            shown[e["id"]] = std::stoll(e["default"]);
        else if (kind == "boolean")
            shown[e["id"]] = e["arg-unset"].empty() ? 0 : 1;
        else if (kind == "string")
            shown[e["id"]] = e["default"].empty() ? -1 : 0;
        else if (kind == "select")
            select = e["id"];
        else if (kind == "option" && !e["arg-set"].empty())
            listed.push_back(std::stoll(e["arg-set"].substr(e["arg-set"].rfind(' ') + 1)));
    }
    endSelect();
    EXPECT_EQ(shown, builtIn);
}

} // namespace
