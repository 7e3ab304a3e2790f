// Tests of the larkspur-pack tool, run as a program.
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::string kTool = LARKSPUR_PACK_TOOL;

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
    return bytes;
}

TEST(LarkspurPackTool, BuildListExtractRoundTripsBytes)
{
    TempDir dir;
    std::vector<unsigned char> binary(1000);
    for (size_t i = 0; i < binary.size(); i++)
        binary[i] = static_cast<unsigned char>(255 - i % 256);
    dir.Write("a.bin", binary);
    dir.Write("empty", {});
    // A colon in a file name must not confuse the FILE:TYPE:OPTION split.
    dir.Write("odd:name", {'z'});

    const std::string pack = dir.File("out.pack");
    ASSERT_EQ(RunCommand(kTool + " build " + pack + " " + dir.File("a.bin") + ":3:1 " + dir.File("empty") + ":0:0 '" +
                         dir.File("odd:name") + ":1:2'"),
              0);

    std::string out;
    ASSERT_EQ(RunCommand(kTool + " list " + pack, &out), 0);
    EXPECT_EQ(out, "0 offset=24 size=1000 type=3 option=1\n"
                   "1 offset=1024 size=0 type=0 option=0\n"
                   "2 offset=1024 size=1 type=1 option=2\n");

    ASSERT_EQ(RunCommand(kTool + " extract " + pack + " 0 " + dir.File("a.out")), 0);
    EXPECT_EQ(ReadBytes(dir.File("a.out")), binary);
    ASSERT_EQ(RunCommand(kTool + " extract " + pack + " 1 " + dir.File("e.out")), 0);
    EXPECT_TRUE(ReadBytes(dir.File("e.out")).empty());
    ASSERT_EQ(RunCommand(kTool + " extract " + pack + " 2 " + dir.File("z.out")), 0);
    EXPECT_EQ(ReadBytes(dir.File("z.out")), std::vector<unsigned char>{'z'});
}

TEST(LarkspurPackTool, UsageErrorsExitTwoAndBadPacksExitOne)
{
    TempDir dir;
    std::string err;
    EXPECT_EQ(RunCommand(kTool, nullptr, &err), 2);
    EXPECT_NE(err.find("usage:"), std::string::npos);
    EXPECT_EQ(RunCommand(kTool + " frobnicate x"), 2);
    EXPECT_EQ(RunCommand(kTool + " build " + dir.File("p") + " nocolons"), 2);
    // Only what the program reads: types 0 (data), 1 (TGA), 3 (JPEG); options 0 to 2.
    dir.Write("f", {'z'});
    const struct {
        std::string lump;
        const char* reason;
    } refused[] = {
        {"f:x:1", "expected FILE:TYPE:OPTION"},
        {dir.File("f") + ":9:0", "reads no lump type 9"},
        {dir.File("f") + ":2:0", "reads no lump type 2"},
        {dir.File("f") + ":0:7", "knows no texture option 7"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(RunCommand(kTool + " build " + dir.File("p") + " " + r.lump, nullptr, &err), 2) << r.lump;
        EXPECT_NE(err.find(r.reason), std::string::npos) << err;
    }
    EXPECT_EQ(RunCommand(kTool + " extract p -1 o", nullptr, &err), 2);
    EXPECT_NE(err.find("the lump number -1 is out of range"), std::string::npos) << err;
    EXPECT_EQ(RunCommand(kTool + " extract p 1x o", nullptr, &err), 2);
    EXPECT_NE(err.find("must be a whole number, not '1x'"), std::string::npos) << err;

    dir.Write("junk", {'n', 'o', 'p', 'e'});
    EXPECT_EQ(RunCommand(kTool + " list " + dir.File("junk"), nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-pack: " + dir.File("junk") + ": file too short for a pack header\n");
    EXPECT_EQ(RunCommand(kTool + " build " + dir.File("p") + " " + dir.File("missing") + ":1:0", nullptr, &err), 1);
    EXPECT_FALSE(std::ifstream(dir.File("p")).good()) << "no pack is left behind after a failed build";

    PackWriter w;
    w.AddLump({'a'});
    ASSERT_TRUE(w.Write(dir.File("one.pack")));
    EXPECT_EQ(RunCommand(kTool + " extract " + dir.File("one.pack") + " 1 " + dir.File("o"), nullptr, &err), 1);
    EXPECT_NE(err.find("no such lump: the pack holds 1 (0 to 0)"), std::string::npos) << err;
}

TEST(LarkspurPackTool, PictureLumpsThatDoNotDecodeAsTheirTypeAreWarnedAbout)
{
    TempDir dir;
    dir.Write("text", {'h', 'i', '\n'});
    dir.Write("a.png", QuadrantPictureBytes("png", 8, 8));
    dir.Write("a.jpg", QuadrantPictureBytes("jpeg", 8, 8));
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    tga.resize(tga.size() + 2 * 2 * 3, 0x40);
    dir.Write("a.tga", tga);
    const struct {
        const char* lump;
        const char* warning; // nullptr: none
    } cases[] = {
        {"text:3:0", "does not decode as a picture"},
        {"a.png:3:0", "is a png picture, not JPEG"},
        {"a.jpg:1:0", "is not a TGA the program reads"},
        {"text:1:1", "is not a TGA the program reads"},
        {"a.jpg:3:0", nullptr},
        {"a.tga:1:2", nullptr},
        {"text:0:0", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lump);
        std::string err;
        // A warning is no failure: the pack is written all the same.
        ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && " + kTool + " build p.pack a.jpg:3:0 " + c.lump, nullptr,
                             &err),
                  0);
        EXPECT_TRUE(std::ifstream(dir.File("p.pack")).good());
        const std::string file = std::string(c.lump).substr(0, std::string(c.lump).find(':'));
        if (c.warning)
            EXPECT_EQ(err.find("larkspur-pack: warning: " + file + " (lump 1, type " + c.lump[file.size() + 1] +
                               ") " + c.warning),
                      0u)
                << err;
        else
            EXPECT_EQ(err, "");
    }
}

} // namespace
