// Tests of the larkspur-pack tool, run as a program in a scratch folder:
// build, list, extract, decode, model-info, contact-sheet, and what each
// says and returns when it is given something it cannot use.
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using Bytes = std::vector<unsigned char>;

class LarkspurPackTool : public ::testing::Test {
protected:
    // Runs the tool in the test's folder, so file names are relative to it
    // and show so in its messages; stderr lands in err.
    int Run(const std::string& args, std::string* out = nullptr)
    {
        return RunCommand("cd '" + dir.path() + "' && " LARKSPUR_PACK_TOOL " " + args, out, &err);
    }
    bool Exists(const std::string& name) { return RunCommand("test -e '" + dir.File(name) + "'") == 0; }
    void WritePack(const std::string& name, const std::vector<std::pair<Bytes, uint32_t>>& lumps)
    {
        PackWriter w;
        for (const auto& [bytes, type] : lumps)
            w.AddLump(bytes, type, 0);
        ASSERT_TRUE(w.Write(dir.File(name)));
    }
    TempDir dir;
    std::string err;
};

// A 2x2 quadrant TGA stored bottom-up, as TGA files usually are: the first
// stored row (blue, white) is the bottom of the picture. Type 10 holds the
// pixels as one raw packet.
Bytes BottomUpTga(unsigned char type)
{
    Bytes b = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    if (type == 10)
        b.push_back(0x03);
    for (unsigned char c : {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0})
        b.push_back(c);
    return b;
}

TEST_F(LarkspurPackTool, BuildListExtractRoundTripsBytes)
{
    Bytes binary(1000);
    for (size_t i = 0; i < binary.size(); i++)
        binary[i] = static_cast<unsigned char>(255 - i % 256);
    dir.Write("a.bin", binary);
    dir.Write("empty", {});
    // A colon in a file name must not confuse the FILE:TYPE:OPTION split.
    dir.Write("odd:name", {'z'});
    ASSERT_EQ(Run("build out.pack a.bin:3:1 empty:0:0 'odd:name:1:2'"), 0) << err;
    std::string out;
    ASSERT_EQ(Run("list out.pack", &out), 0);
    EXPECT_EQ(out, "0 offset=24 size=1000 type=3 option=1\n"
                   "1 offset=1024 size=0 type=0 option=0\n"
                   "2 offset=1024 size=1 type=1 option=2\n");
    const Bytes expected[] = {binary, {}, {'z'}};
    for (int lump = 0; lump < 3; lump++) {
        Bytes bytes;
        ASSERT_EQ(Run("extract out.pack " + std::to_string(lump) + " x.out"), 0) << lump;
        ASSERT_TRUE(ReadWholeFile(dir.File("x.out"), &bytes));
        EXPECT_EQ(bytes, expected[lump]) << lump;
    }
}

// Usage errors exit 2, files that cannot be used 1, and a failed command
// leaves no output behind; a picture lump that does not decode as its type is
// only warned about, since the program shows it as an empty texture.
TEST_F(LarkspurPackTool, RefusalsAndWarningsSayWhyWithTheirExitStatus)
{
    dir.Write("f", {'z'});
    dir.Write("junk", {'n', 'o', 'p', 'e'});
    dir.Write("a.png", QuadrantPictureBytes("png", 8, 8));
    dir.Write("a.jpg", QuadrantPictureBytes("jpeg", 8, 8));
    dir.Write("a.tga", BottomUpTga(2));
    Bytes paletted = BottomUpTga(2);
    paletted[2] = 1;
    dir.Write("bad.tga", paletted);
    dir.Write("cut.jpg", {0xFF, 0xD8, 0xFF});
    Bytes model = ModelBytes(ArmModel());
    model.resize(100);
    dir.Write("cut.ms3d", model);
    WritePack("one.pack", {{{'a'}, 0}});
    WritePack("m.oak", {{{'M', 'S', '3', 'D'}, 0}});
    const std::string warning = "larkspur-pack: warning: ";
    const struct {
        std::string args;
        int status;
        // Found in stderr: at its start when it names the tool, as all of it
        // when it ends a line; empty means nothing at all.
        std::string says;
    } cases[] = {
        {"", 2, "usage:"},
        {"frobnicate x", 2, "usage:"},
        {"build p nocolons", 2, "expected FILE:TYPE:OPTION"},
        {"build p f:x:1", 2, "expected FILE:TYPE:OPTION"},
        // Only what the program reads: types 0 (data), 1 (TGA), 3 (JPEG); options 0 to 2.
        {"build p f:9:0", 2, "reads no lump type 9"},
        {"build p f:2:0", 2, "reads no lump type 2"},
        {"build p f:0:7", 2, "knows no texture option 7"},
        {"build p missing:1:0", 1, "larkspur-pack: missing: cannot read file\n"},
        {"build w.pack a.jpg:3:0 f:3:0", 0, warning + "f (lump 1, type 3) does not decode as a picture ("},
        {"build w.pack a.jpg:3:0 a.png:3:0", 0, warning + "a.png (lump 1, type 3) is a png picture, not JPEG\n"},
        {"build w.pack a.jpg:3:0 a.jpg:1:0", 0, warning + "a.jpg (lump 1, type 1) is not a TGA the program reads ("},
        {"build w.pack a.jpg:3:0 f:1:1", 0, warning + "f (lump 1, type 1) is not a TGA the program reads ("},
        {"build w.pack a.jpg:3:0 a.tga:1:2 f:0:0", 0, ""},
        {"extract p -1 o", 2, "the lump number -1 is out of range"},
        {"extract p 1x o", 2, "must be a whole number, not '1x'"},
        {"list junk", 1, "larkspur-pack: junk: file too short for a pack header\n"},
        {"extract one.pack 1 o", 1, "no such lump: the pack holds 1 (0 to 0)"},
        {"decode bad.tga o.png", 1, "Invalid Image: TGA file be type 2 or type 10"},
        {"decode cut.jpg o.png", 1, "larkspur-pack: cut.jpg: "},
        {"decode one.pack:5 o.png", 1, "no such lump"},
        {"decode one.pack:x o.png", 2, "must be a whole number, not 'x'"},
        {"decode missing.png o.png", 1, "larkspur-pack: missing.png: "},
        {"model-info cut.ms3d", 1, "larkspur-pack: cut.ms3d: the triangle count runs past the end of the model\n"},
        {"model-info m.oak", 1, "lump 0: the model ends early"},
        {"model-info missing", 1, "larkspur-pack: missing: "},
        {"model-info", 2, "usage:"},
        {"contact-sheet junk o.png", 1, "not a creature pack"},
        {"contact-sheet only-one-argument", 2, "usage:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        RunCommand("rm -f '" + dir.File("w.pack") + "'");
        EXPECT_EQ(Run(c.args), c.status);
        if (c.says.empty() || c.says.back() == '\n')
            EXPECT_EQ(err, c.says);
        else if (c.says.rfind("larkspur-pack:", 0) == 0)
            EXPECT_EQ(err.find(c.says), 0u) << err;
        else
            EXPECT_NE(err.find(c.says), std::string::npos) << err;
        // A warning is no failure: the pack is written all the same.
        EXPECT_EQ(Exists("w.pack"), c.status == 0);
    }
    for (const char* left : {"p", "o", "o.png"})
        EXPECT_FALSE(Exists(left)) << left;
}

// Pictures, TGA files and pack lumps come out as PNGs that show the picture
// upright.
TEST_F(LarkspurPackTool, DecodeWritesEveryKindOfPictureUpright)
{
    dir.Write("coat.TGA", BottomUpTga(2));
    WriteQuadrantGif(dir.File("q.gif"), 16, 16, true);
    WritePack("b.oak", {{BottomUpTga(10), 1}, {QuadrantPictureBytes("jpeg", 32, 32), 3}});
    const struct {
        const char* in;
        int tolerance;
    } cases[] = {{"coat.TGA", 0}, {"q.gif", 0}, {"b.oak:0", 0}, {"b.oak:1", 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        ASSERT_EQ(Run(std::string("decode ") + c.in + " o.png"), 0) << err;
        Picture p;
        std::string why;
        ASSERT_TRUE(DecodePictureFile(dir.File("o.png").c_str(), &p, &why)) << why;
        const size_t last = size_t(p.width() - 1) * p.channels();
        EXPECT_TRUE(Near(p.Row(0), kRed, c.tolerance));
        EXPECT_TRUE(Near(p.Row(0) + last, kGreen, c.tolerance));
        EXPECT_TRUE(Near(p.Row(p.height() - 1), kBlue, c.tolerance));
        EXPECT_TRUE(Near(p.Row(p.height() - 1) + last, kWhite, c.tolerance));
    }
}

TEST_F(LarkspurPackTool, ModelInfoPrintsCountsAndJointTreeOfABareModelOrAPack)
{
    const std::string arm = "vertices 4\ntriangles 2\ngroups 1\nmaterials 1\njoints 2\n"
                            "keys 4 rotation, 2 translation\nframe rate 24\ntotal frames 30\ntotal time 1250 ms\n"
                            "joint tree:\n"
                            "  0 upper  parent -1  rotation keys 2  translation keys 2\n"
                            "    1 lower  parent 0  rotation keys 2  translation keys 0\n";
    dir.Write("arm.ms3d", ModelBytes(ArmModel()));
    WritePack("b.oak", {{ModelBytes(ArmModel(), 3), 0}, {{'x'}, 1}});
    std::string out;
    ASSERT_EQ(Run("model-info arm.ms3d", &out), 0);
    EXPECT_EQ(out, "version 4\n" + arm);
    ASSERT_EQ(Run("model-info b.oak", &out), 0);
    EXPECT_EQ(out, "version 3\n" + arm);

    // What hangs from a parent cycle is shown under the joint that closes it.
    MS3D m = ArmModel();
    m.joints.push_back(m.joints[1]);
    SetName(m.joints[2].name, "hand");
    SetName(m.joints[2].parentName, "lower");
    SetName(m.joints[0].parentName, "lower");
    dir.Write("loop.ms3d", ModelBytes(m));
    ASSERT_EQ(Run("model-info loop.ms3d", &out), 0);
    EXPECT_NE(out.find("joint tree:\n"
                       "  0 upper  parent 1  rotation keys 2  translation keys 2  (in a parent cycle)\n"
                       "    1 lower  parent 0  rotation keys 2  translation keys 0\n"
                       "      2 hand  parent 1  rotation keys 2  translation keys 0\n"),
              std::string::npos)
        << out;
}

TEST_F(LarkspurPackTool, ContactSheetDrawsEveryAnimationRowAndEveryCoat)
{
    ASSERT_EQ(Run("contact-sheet '" LARKSPUR_RESOURCES_DIR "/b.oak' rows.png coats.png"), 0) << err;
    Picture rows, coats;
    ASSERT_TRUE(DecodePictureFile(dir.File("rows.png").c_str(), &rows));
    // A label column and six cells of 200 across; a heading and 13 rows down.
    EXPECT_EQ(rows.width(), 170 + 6 * 200);
    EXPECT_EQ(rows.height(), 28 + 13 * 200);
    // An empty cell is sky and ground only, a drawn creature adds its shaded coat.
    for (int row = 0; row < 13; row++) {
        std::set<unsigned> colours;
        for (int y = 28 + row * 200; y < 28 + (row + 1) * 200; y++)
            for (int x = 170; x < 370; x++) {
                const unsigned char* px = rows.Row(y) + x * rows.channels();
                colours.insert(px[0] << 16 | px[1] << 8 | px[2]);
            }
        EXPECT_GT(colours.size(), 200u) << "row " << row << " shows no creature";
    }
    ASSERT_TRUE(DecodePictureFile(dir.File("coats.png").c_str(), &coats));
    EXPECT_EQ(coats.width(), 4 * 200);
    EXPECT_EQ(coats.height(), 4 * 224);
}

} // namespace
