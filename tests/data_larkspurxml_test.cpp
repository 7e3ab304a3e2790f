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

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
};

void Start(GMarkupParseContext*, const char* name, const char** keys, const char** values, gpointer data, GError**)
{
    Element element{name, {}};
    for (int i = 0; keys[i]; i++)
        element.attributes[keys[i]] = values[i];
    static_cast<std::vector<Element>*>(data)->push_back(element);
}

std::vector<Element> ReadDescription()
{
    std::vector<Element> elements;
    gchar* text = nullptr;
    gsize size = 0;
    EXPECT_TRUE(g_file_get_contents(LARKSPUR_XSCREENSAVER_XML, &text, &size, nullptr));
    GMarkupParser parser = {Start, nullptr, nullptr, nullptr, nullptr};
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &elements, nullptr);
    GError* error = nullptr;
    const bool parsed = text && g_markup_parse_context_parse(context, text, gssize(size), &error) &&
                        g_markup_parse_context_end_parse(context, &error);
    EXPECT_TRUE(parsed) << (error ? error->message : "no file");
    if (error)
        g_error_free(error);
    g_markup_parse_context_free(context);
    g_free(text);
    return elements;
}

std::string Attribute(const Element& e, const char* name)
{
    const auto found = e.attributes.find(name);
    return found == e.attributes.end() ? "" : found->second;
}

// The command line XScreenSaver would build with every number at the value
// picked by `which` ("low", "high" or "default") and every switch on.
std::string CommandLine(const std::vector<Element>& elements, const char* which)
{
    std::string line;
    for (const Element& e : elements) {
        std::string arg = Attribute(e, "arg");
        const size_t percent = arg.find('%');
        if (percent != std::string::npos)
            arg.replace(percent, 1, e.name == "number" ? Attribute(e, which) : std::string("/tmp"));
        for (const std::string& one : {arg, Attribute(e, "arg-set"), Attribute(e, "arg-unset")})
            if (!one.empty())
                line += " " + one;
    }
    return line;
}

std::string Range(int64_t low, int64_t high, int64_t normal)
{
    return std::to_string(low) + " " + std::to_string(high) + " " + std::to_string(normal);
}

TEST(XScreenSaverDescription, EveryOptionIsOneLarkspurTakesAndTheRangesAreTheSettingsLimits)
{
    const std::vector<Element> elements = ReadDescription();
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements[0].name, "screensaver");
    EXPECT_EQ(Attribute(elements[0], "name"), "larkspur");
    for (const char* which : {"low", "high", "default"}) {
        const std::string line = CommandLine(elements, which);
        std::string err;
        // The options are checked before --help answers.
        EXPECT_EQ(RunCommand(std::string(LARKSPUR_PROGRAM) + line + " --help", nullptr, &err), 0)
            << which << ":" << line << "\n" << err;
    }
    const std::string line = CommandLine(elements, "default");
    for (const char* option : {"--num-dogs", "--dog-size", "--num-footprints", "--bg-type 1", "--bg-type 2",
                               "--bg-res 0", "--bg-res 2", "--bg-path", "--no-tile-bg", "--main-monitor-only"})
        EXPECT_NE(line.find(option), std::string::npos) << option;

    const std::map<std::string, std::string> limits = {
        {"--num-dogs %", Range(kMinNumDogs, kMaxNumDogs, kDefaultNumDogs)},
        {"--dog-size %", Range(kMinDogSize, kMaxDogSize, kDefaultDogSize)},
        {"--num-footprints %", Range(kMinNumFootprints, kMaxNumFootprints, kDefaultNumFootprints)},
    };
    int checked = 0;
    for (const Element& e : elements) {
        const auto limit = limits.find(Attribute(e, "arg"));
        if (limit == limits.end())
            continue;
        EXPECT_EQ(Attribute(e, "low") + " " + Attribute(e, "high") + " " + Attribute(e, "default"), limit->second);
        checked++;
    }
    EXPECT_EQ(checked, 3);
}

} // namespace
