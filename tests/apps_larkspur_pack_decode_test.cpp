// Tests of `larkspur-pack decode`: pictures, TGA files and pack lumps come
// out as PNGs that show the picture upright.
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::string kTool = LARKSPUR_PACK_TOOL;

// A 2x2 TGA whose rows are stored bottom-up, as TGA files usually are: the
// first stored row (blue, white) is the bottom of the picture.
std::vector<unsigned char> BottomUpTga(unsigned char type)
{
    std::vector<unsigned char> b = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    const std::vector<unsigned char> raw = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};
    if (type == 2) {
        b.insert(b.end(), raw.begin(), raw.end());
    } else {
        // One raw packet of four pixels.
        b.push_back(0x03);
        b.insert(b.end(), raw.begin(), raw.end());
    }
    return b;
}

void ExpectUprightQuadrants(const std::string& png, int tolerance)
{
    Picture p;
    std::string why;
    ASSERT_TRUE(DecodePictureFile(png.c_str(), &p, &why)) << why;
    const int w = p.width(), h = p.height();
    EXPECT_TRUE(Near(p.Row(0), kRed, tolerance));
    EXPECT_TRUE(Near(p.Row(0) + size_t(w - 1) * p.channels(), kGreen, tolerance));
    EXPECT_TRUE(Near(p.Row(h - 1), kBlue, tolerance));
    EXPECT_TRUE(Near(p.Row(h - 1) + size_t(w - 1) * p.channels(), kWhite, tolerance));
}

} // namespace

TEST(LarkspurPackDecode, TgaFilesAndLumpsComeOutUpright)
{
    TempDir dir;
    dir.Write("coat.TGA", BottomUpTga(2));
    std::string err;
    ASSERT_EQ(RunCommand(kTool + " decode " + dir.File("coat.TGA") + " " + dir.File("a.png"), nullptr, &err), 0)
        << err;
    ExpectUprightQuadrants(dir.File("a.png"), 0);

    PackWriter pack;
    pack.AddLump(BottomUpTga(10), 1, 0);
    pack.AddLump(QuadrantPictureBytes("jpeg", 32, 32), 3, 0);
    ASSERT_TRUE(pack.Write(dir.File("b.oak")));
    ASSERT_EQ(RunCommand(kTool + " decode " + dir.File("b.oak") + ":0 " + dir.File("b.png"), nullptr, &err), 0)
        << err;
    ExpectUprightQuadrants(dir.File("b.png"), 0);
    ASSERT_EQ(RunCommand(kTool + " decode " + dir.File("b.oak") + ":1 " + dir.File("c.png"), nullptr, &err), 0)
        << err;
    ExpectUprightQuadrants(dir.File("c.png"), 40);
}

TEST(LarkspurPackDecode, PictureFilesComeOutUpright)
{
    TempDir dir;
    WriteQuadrantGif(dir.File("q.gif"), 16, 16, true);
    std::string err;
    ASSERT_EQ(RunCommand(kTool + " decode " + dir.File("q.gif") + " " + dir.File("q.png"), nullptr, &err), 0) << err;
    ExpectUprightQuadrants(dir.File("q.png"), 0);
}

TEST(LarkspurPackDecode, FailuresSayWhyAndExitOne)
{
    TempDir dir;
    std::vector<unsigned char> paletted = BottomUpTga(2);
    paletted[2] = 1;
    dir.Write("bad.tga", paletted);
    std::string err;
    EXPECT_EQ(RunCommand(kTool + " decode " + dir.File("bad.tga") + " " + dir.File("o.png"), nullptr, &err), 1);
    EXPECT_NE(err.find("Invalid Image: TGA file be type 2 or type 10"), std::string::npos) << err;

    dir.Write("cut.jpg", {0xFF, 0xD8, 0xFF});
    EXPECT_EQ(RunCommand(kTool + " decode " + dir.File("cut.jpg") + " " + dir.File("o.png"), nullptr, &err), 1);
    EXPECT_NE(err.find("cut.jpg"), std::string::npos) << err;

    PackWriter pack;
    pack.AddLump({1}, 3, 0);
    ASSERT_TRUE(pack.Write(dir.File("p.pack")));
    EXPECT_EQ(RunCommand(kTool + " decode " + dir.File("p.pack") + ":5 " + dir.File("o.png"), nullptr, &err), 1);
    EXPECT_NE(err.find("no such lump"), std::string::npos) << err;
    EXPECT_EQ(RunCommand(kTool + " decode " + dir.File("p.pack") + ":x " + dir.File("o.png")), 2);
    EXPECT_EQ(RunCommand(kTool + " decode " + dir.File("missing.png") + " " + dir.File("o.png")), 1);
    EXPECT_FALSE(std::ifstream(dir.File("o.png")).is_open());
}
