// Tests of the larkspur-pack tool, run as a program in a scratch folder:
// build, list, extract, decode, model-info, contact-sheet, and what each
// says and returns when it is given something it cannot use.
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "fixtures/TestPictures.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

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
    TempDir dir;
    std::string err;
};

// A 2x2 quadrant TGA stored bottom-up, as TGA files usually are: the first
// stored row (blue, white) is the bottom of the picture.
const Bytes kBottomUpTga = {0, 0,  2, 0,   0, 0, 0,   0,   0,   0, 0, 0,   2, 0,   2,
                            0, 24, 0, 255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};

// Pictures, TGA files and pack lumps decode to PNGs that show the picture
// upright.
TEST_F(LarkspurPackTool, BuildListExtractAndDecodeRoundTrip)
{
    dir.Write("coat.TGA", kBottomUpTga);
    dir.Write("empty", {});
    // A colon in a file name must not confuse the FILE:TYPE:OPTION split.
    dir.Write("odd:name", {'z'});
    const Bytes jpeg = QuadrantPictureBytes("jpeg", 32, 32);
    dir.Write("q.jpg", jpeg);
    ASSERT_EQ(Run("build b.oak coat.TGA:1:1 empty:0:0 'odd:name:0:2' q.jpg:3:0"), 0) << err;
    std::string out;
    ASSERT_EQ(Run("list b.oak", &out), 0);
    EXPECT_EQ(out, "0 offset=24 size=30 type=1 option=1\n"
                   "1 offset=54 size=0 type=0 option=0\n"
                   "2 offset=54 size=1 type=0 option=2\n"
                   "3 offset=55 size=" +
                       std::to_string(jpeg.size()) + " type=3 option=0\n");
    ASSERT_EQ(Run("extract b.oak 0 x.out"), 0) << err;
    EXPECT_EQ(RunCommand("cmp '" + dir.File("coat.TGA") + "' '" + dir.File("x.out") + "'"), 0);
    for (const char* in : {"coat.TGA", "q.jpg", "b.oak:0", "b.oak:3"}) {
        SCOPED_TRACE(in);
        ASSERT_EQ(Run(std::string("decode ") + in + " o.png"), 0) << err;
        Picture p;
        ASSERT_TRUE(DecodePictureFile(dir.File("o.png").c_str(), &p));
        // Red top-left and white bottom-right: neither flipped nor mirrored.
        EXPECT_TRUE(Near(p.Row(0), kRed));
        EXPECT_TRUE(Near(p.Row(p.height() - 1) + size_t(p.width() - 1) * p.channels(), kWhite));
    }
}

// Usage errors exit 2, files that cannot be used 1; a picture lump that does
// not decode as its type is only warned about, since the program shows it as
// an empty texture.
TEST_F(LarkspurPackTool, RefusalsAndWarningsSayWhyWithTheirExitStatus)
{
    dir.Write("f", {'z'});
    dir.Write("junk", {'n', 'o', 'p', 'e'});
    dir.Write("a.png", QuadrantPictureBytes("png", 8, 8));
    dir.Write("a.jpg", QuadrantPictureBytes("jpeg", 8, 8));
    dir.Write("a.tga", kBottomUpTga);
    dir.Write("bad.tga", {'z'});
    dir.Write("m", {'M', 'S', '3', 'D'});
    ASSERT_EQ(Run("build one.pack f:0:0") + Run("build m.oak m:0:0"), 0) << err;
    const std::string warning = "larkspur-pack: warning: ";
    const struct {
        std::string args;
        int status;
        // Found in stderr, as all of it when it ends a line; empty means
        // nothing at all.
        std::string says;
    } cases[] = {
        {"", 2, "usage:"},
        {"frobnicate x", 2, "larkspur-pack: unknown command or wrong arguments: frobnicate\nusage:"},
        {"build p f:x:1", 2, "expected FILE:TYPE:OPTION"},
        // Only what the program reads: types 0 (data), 1 (TGA), 3 (JPEG); options 0 to 2.
        {"build p f:2:0", 2, "reads no lump type 2"},
        {"build p f:0:3", 2, "knows no texture option 3"},
        {"build p missing:1:0", 1, "larkspur-pack: missing: cannot read file\n"},
        // An empty pack would only fail in the program.
        {"build w.pack", 2, "larkspur-pack: build needs at least one lump FILE:TYPE:OPTION\nusage:"},
        {"build --force", 2, "unknown command or wrong arguments: build"},
        {"build one.pack f:0:0", 1, "larkspur-pack: one.pack: already exists; give --force to replace it\n"},
        {"build --force w.pack f:0:0", 0, ""},
        {"build w.pack a.jpg:3:0 f:3:0", 0, warning + "f (lump 1, type 3) does not decode as a picture ("},
        {"build w.pack a.jpg:3:0 a.png:3:0", 0, warning + "a.png (lump 1, type 3) is a png picture, not JPEG\n"},
        {"build w.pack a.jpg:3:0 a.jpg:1:0", 0, warning + "a.jpg (lump 1, type 1) is not a TGA the program reads ("},
        {"build w.pack a.jpg:3:0 a.tga:1:2 f:0:0", 0, ""},
        {"extract p -1 o", 2, "the lump number -1 is out of range"},
        {"list junk", 1, "larkspur-pack: junk: file too short for a pack header\n"},
        {"extract one.pack 1 o", 1, "no such lump: the pack holds 1 (0 to 0)"},
        {"decode bad.tga o.png", 1, "bad.tga: not a TGA the program accepts"},
        {"decode junk o.png", 1, "larkspur-pack: junk: "},
        {"decode one.pack:1 o.png", 1, "no such lump"},
        {"decode one.pack:0 o.png", 1,
         "larkspur-pack: one.pack lump 0: not a picture lump (type 0; pictures are types 1, TGA, and 3, JPEG)\n"},
        {"decode one.pack:x o.png", 2, "must be a whole number, not 'x'"},
        {"model-info junk", 1, "larkspur-pack: junk: the model ends early\n"},
        {"model-info m.oak", 1, "lump 0: the model ends early"},
        {"model-info missing", 1, "larkspur-pack: missing: "},
        {"contact-sheet junk o.png", 1, "larkspur-pack: contact-sheet: junk: file too short for a pack header\n"},
        {"check junk", 1, "larkspur-pack: junk: file too short for a pack header\n"},
        {"check a.png", 1, "larkspur-pack: a.png: not a pack (bad magic)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        RunCommand("rm -f '" + dir.File("w.pack") + "'");
        EXPECT_EQ(Run(c.args), c.status);
        if (c.says.empty() || c.says.back() == '\n')
            EXPECT_EQ(err, c.says);
        else
            EXPECT_NE(err.find(c.says), std::string::npos) << err;
        // A warning is no failure: the pack is written all the same.
        EXPECT_EQ(RunCommand("test -e '" + dir.File("w.pack") + "'") == 0, c.status == 0);
    }
    // A pack that is there is replaced only with --force, wherever it stands.
    const std::string before = TextOfFile(dir.File("one.pack"));
    EXPECT_EQ(Run("build one.pack a.jpg:3:0"), 1);
    EXPECT_EQ(TextOfFile(dir.File("one.pack")), before);
    EXPECT_EQ(Run("build one.pack a.jpg:3:0 --force"), 0) << err;
    std::string listed;
    ASSERT_EQ(Run("list one.pack", &listed), 0) << err;
    EXPECT_NE(listed.find("type=3"), std::string::npos) << listed;
}

TEST_F(LarkspurPackTool, ModelInfoPrintsCountsAndJointTreeOfABareModelOrAPack)
{
    const std::string counts = "vertices 4\ntriangles 2\ngroups 1\nmaterials 1\njoints 2\n"
                               "keys 4 rotation, 2 translation\nframe rate 24\ntotal frames 30\ntotal time 1250 ms\n"
                               "joint tree:\n";
    const std::string lower = "    1 lower  parent 0  rotation keys 2  translation keys 0\n";
    dir.Write("arm.ms3d", ModelBytes(ArmModel()));
    // Joints in a parent cycle have no root above them, yet are shown.
    MS3D looped = ArmModel();
    SetName(looped.joints[0].parentName, "lower");
    dir.Write("looped", ModelBytes(looped, 3));
    ASSERT_EQ(Run("build b.oak looped:0:0 arm.ms3d:0:0"), 0) << err;
    std::string out;
    // Last, the herd's verdict on the model.
    const std::string refused = "as the creature: refused: the model has 2 joints, and the creatures need at least 27";
    ASSERT_EQ(Run("model-info arm.ms3d", &out), 0);
    EXPECT_EQ(out, "version 4\n" + counts + "  0 upper  parent -1  rotation keys 2  translation keys 2\n" + lower +
                       refused + " (joint 0 carries the walk; joints 12, 16, 25 and 26 are the feet)\n");
    ASSERT_EQ(Run("model-info b.oak", &out), 0);
    EXPECT_EQ(out.rfind("version 3\n" + counts +
                            "  0 upper  parent 1  rotation keys 2  translation keys 2  (in a parent cycle)\n" + lower +
                            refused,
                        0),
              0u)
        << out;
    ASSERT_EQ(Run("model-info '" LARKSPUR_RESOURCES_DIR "/b.oak'", &out), 0);
    EXPECT_NE(out.find("\nas the creature: usable\n"), std::string::npos) << out;
}

// check loads a pack as the program does and says why it would refuse it:
// the herd's own reasons for a creature pack (lump 0 data), the scene's for
// any other; contact-sheet refuses the same packs with the same reasons.
TEST_F(LarkspurPackTool, CheckTakesWhatTheProgramTakesAndSaysWhyItRefusesTheRest)
{
    dir.Write("arm.ms3d", ModelBytes(ArmModel()));
    dir.Write("bad.tga", {'z'});
    dir.Write("q.png", QuadrantPictureBytes("png", 8, 8));
    ASSERT_EQ(Run("build arm.oak arm.ms3d:0:0"), 0) << err;
    ASSERT_EQ(Run("build short.works q.png:3:0 q.png:3:0"), 0) << err;
    ASSERT_EQ(Run("build broken.works q.png:3:0 bad.tga:1:0"), 0) << err;
    const std::string shipped = "'" LARKSPUR_RESOURCES_DIR "/";
    const struct {
        std::string args;
        int status;
        std::string says; // on stdout when it succeeds, else on stderr
    } cases[] = {
        {"check " + shipped + "b.oak'", 0,
         "a creature pack the program takes: 28 joints, 193 frames at 30 a second, "
         "15 coats\n"},
        {"check " + shipped + "pellmore.works'", 0, "a scene pack the program takes: 8 pictures\n"},
        {"check arm.oak", 1, "larkspur-pack: arm.oak: the model has 2 joints, and the creatures need at least 27"},
        {"contact-sheet arm.oak o.png", 1, "contact-sheet: arm.oak: the model has 2 joints, and the creatures need"},
        {"check short.works", 1, "larkspur-pack: short.works: it holds 2 lumps, and the scene needs 8\n"},
        {"check broken.works", 1, "larkspur-pack: broken.works: lump 1: ERROR: Could not read file header\n"},
        {"check missing", 1, "larkspur-pack: missing: no such file or directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out;
        EXPECT_EQ(Run(c.args, &out), c.status);
        const std::string& said = c.status == 0 ? out : err;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(c.status == 0 ? err : out, "");
    }
}

TEST_F(LarkspurPackTool, ContactSheetDrawsEveryAnimationRowAndEveryCoat)
{
    ASSERT_EQ(Run("contact-sheet '" LARKSPUR_RESOURCES_DIR "/b.oak' rows.png coats.png portraits.png"), 0) << err;
    Picture rows, coats, portraits;
    ASSERT_TRUE(DecodePictureFile(dir.File("rows.png").c_str(), &rows));
    ASSERT_TRUE(DecodePictureFile(dir.File("coats.png").c_str(), &coats));
    // Portraits: a label column and three views of 300 across, a coat a row.
    ASSERT_TRUE(DecodePictureFile(dir.File("portraits.png").c_str(), &portraits));
    EXPECT_EQ(std::make_pair(portraits.width(), portraits.height()), std::make_pair(170 + 3 * 300, 15 * 300));
    // A label column and six cells of 200 across; a heading and 13 rows down.
    ASSERT_EQ(std::make_pair(rows.width(), rows.height()), std::make_pair(170 + 6 * 200, 28 + 13 * 200));
    // An empty cell is sky and ground only, a drawn creature adds its shaded coat.
    const int ch = rows.channels();
    for (int row = 0; row < 13; row++) {
        std::set<unsigned> colours;
        for (int y = 28 + row * 200; y < 28 + (row + 1) * 200; y++)
            for (const unsigned char* px = rows.Row(y) + 170 * ch; px < rows.Row(y) + 370 * ch; px += ch)
                colours.insert(px[0] << 16 | px[1] << 8 | px[2]);
        EXPECT_GT(colours.size(), 200u) << "row " << row << " shows no creature";
    }
}

} // namespace
