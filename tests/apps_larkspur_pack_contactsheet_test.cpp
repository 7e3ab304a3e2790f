// Tests of `larkspur-pack contact-sheet`, run as a program on the shipped
// creature pack.
#include "fixtures/TempDir.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::string kTool = LARKSPUR_PACK_TOOL;
const std::string kCreaturePack = std::string(LARKSPUR_RESOURCES_DIR) + "/b.oak";

// How many distinct colours a cell of the sheet holds: an empty cell is sky
// and ground only, a drawn creature adds its shaded coat.
size_t ColoursIn(const Picture& p, int x0, int y0, int size)
{
    std::set<unsigned> colours;
    for (int y = y0; y < y0 + size; y++)
        for (int x = x0; x < x0 + size; x++) {
            const unsigned char* px = p.Row(y) + x * p.channels();
            colours.insert(px[0] << 16 | px[1] << 8 | px[2]);
        }
    return colours.size();
}

TEST(LarkspurPackContactSheet, DrawsEveryAnimationRowAndEveryCoat)
{
    TempDir dir;
    std::string err;
    ASSERT_EQ(RunCommand(kTool + " contact-sheet " + kCreaturePack + " " + dir.File("rows.png") + " " +
                             dir.File("coats.png"),
                         nullptr, &err),
              0)
        << err;

    Picture rows;
    ASSERT_TRUE(DecodePictureFile(dir.File("rows.png").c_str(), &rows));
    // A label column and six cells of 200 across; a heading and 13 rows down.
    EXPECT_EQ(rows.width(), 170 + 6 * 200);
    EXPECT_EQ(rows.height(), 28 + 13 * 200);
    for (int row = 0; row < 13; row++)
        EXPECT_GT(ColoursIn(rows, 170, 28 + row * 200, 200), 200u) << "row " << row << " shows no creature";

    Picture coats;
    ASSERT_TRUE(DecodePictureFile(dir.File("coats.png").c_str(), &coats));
    EXPECT_EQ(coats.width(), 4 * 200);
    EXPECT_EQ(coats.height(), 4 * 224);
}

TEST(LarkspurPackContactSheet, RefusesSomethingThatIsNotACreaturePack)
{
    TempDir dir;
    dir.Write("junk", {'n', 'o'});
    std::string err;
    EXPECT_EQ(RunCommand(kTool + " contact-sheet " + dir.File("junk") + " " + dir.File("o.png"), nullptr, &err), 1);
    EXPECT_NE(err.find("not a creature pack"), std::string::npos) << err;
    EXPECT_EQ(RunCommand(kTool + " contact-sheet only-one-argument"), 2);
}

} // namespace
