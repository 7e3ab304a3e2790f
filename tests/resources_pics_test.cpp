// Tests of background pictures: folder listing rules, the random choice,
// texture sizes, orientation, the folder's fallbacks and the path limit.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/Pics.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

// Pictures of every extension the decoder takes, in any case, in the folder
// and one level down; not an entry that is all extension, not a hidden
// subfolder's thumbnails, nothing two levels down.
TEST(Pics, RandomChoiceTakesEveryPictureByItsExtensionInAnyCaseAndNothingElse)
{
    TempDir dir;
    for (const char* folder : {"sub", "sub/deeper", ".thumbnails"})
        ASSERT_EQ(mkdir(dir.File(folder).c_str(), 0700), 0);
    for (const char* name : {"A.JPG", "b.png", "d.PNG", "notes.txt", ".jpg", "c.jpeg", "e.Gif", "f.WEBP", "g.JPEG",
                             "sub/h.png", "sub/deeper/i.png", ".thumbnails/j.png"})
        dir.Write(name, {1});
    char name[kPicPathBytes] = "";
    std::set<std::string> chosen;
    std::srand(7);
    for (int i = 0; i < 400; i++) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        chosen.insert(name);
    }
    EXPECT_EQ(chosen,
              (std::set<std::string>{"A.JPG", "b.png", "c.jpeg", "d.PNG", "e.Gif", "f.WEBP", "g.JPEG", "sub/h.png"}));
}

// A folder of only .jpg, .gif and .png pictures is chosen from as it always
// was, so a seeded run shows the same picture: one rand() draw over the
// .jpg entries, then the .gif, then the .png, each in listing order.
TEST(Pics, AFolderOfTheFirstThreeExtensionsIsChosenFromAsItAlwaysWas)
{
    TempDir dir;
    for (const char* name : {"p1.png", "j1.jpg", "g1.gif", "p2.PNG", "j2.JPG", "j3.jpg", "g2.gif"})
        dir.Write(name, {1});
    const char* folder = dir.path().c_str();
    const int jpgs = CountFiles(folder, ".jpg"), gifs = CountFiles(folder, ".gif"), pngs = CountFiles(folder, ".png");
    for (unsigned seed = 1; seed <= 30; seed++) {
        std::srand(seed);
        int r = std::rand() % (jpgs + gifs + pngs);
        char expected[kPicPathBytes] = "", name[kPicPathBytes] = "";
        if (r < jpgs)
            ASSERT_TRUE(FindNthFile(folder, expected, ".jpg", r));
        else if ((r -= jpgs) < gifs)
            ASSERT_TRUE(FindNthFile(folder, expected, ".gif", r));
        else
            ASSERT_TRUE(FindNthFile(folder, expected, ".png", r - gifs));
        std::srand(seed);
        ASSERT_TRUE(ChooseRandomImageFile(folder, name));
        EXPECT_STREQ(name, expected) << "seed " << seed;
    }
}

class PicsTest : public GLContextTest {};

TEST_F(PicsTest, PicturesComeOutUprightAtTheTextureSizeTheResolutionSets)
{
    TempDir dir;
    // Picture size and channels, resolution and texture size: resolutions 0
    // and 1 give fixed sizes, others each side's power of two nearest on a
    // log scale (1500 rounds up, 5 down).
    const struct {
        int pw, ph, channels, resolution, width, height;
    } cases[] = {{6, 4, 3, 1, 1024, 1024},
                 {1500, 5, 3, 2, 2048, 4},
                 // 6000 rounds to 8192, more than a background texture gets.
                 {6000, 4, 3, 2, 4096, 4},
                 {20, 10, 4, 0, 512, 512}};
    std::vector<unsigned char> read;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pw) + " at " + std::to_string(c.resolution));
        WritePixbufPicture(dir.File("p.png"), "png", c.pw, c.ph, c.channels, QuadrantPixels(c.pw, c.ph, c.channels));
        Texture t;
        ASSERT_TRUE(loadPicFile(dir.File("p.png").c_str(), &t, c.resolution));
        int w = 0, h = 0;
        read = ReadTexture(t.texID, &w, &h);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height));
        // The picture's top-left corner lands in the texture's last row, its
        // bottom-right in the first.
        EXPECT_TRUE(Near(&read[size_t(h - 1) * w * 4], QuadrantColour(0, 0, c.pw, c.ph), 0));
        EXPECT_TRUE(Near(&read[size_t(w - 1) * 4], QuadrantColour(c.pw - 1, c.ph - 1, c.pw, c.ph), 0));
        EXPECT_EQ(read[(size_t(h / 2) * w + w / 2) * 4 + 3], 255);
    }
    // Nearest neighbour with truncation: 20 / 512 per texel, so texel 255 is
    // source column 9 (red) and texel 256 source column 10 (green).
    EXPECT_TRUE(Near(&read[(511 * 512 + 255) * 4], kRed, 0));
    EXPECT_TRUE(Near(&read[(511 * 512 + 256) * 4], kGreen, 0));
}

TEST_F(PicsTest, FolderBackgroundFallsBackInOrderAndAPathThatDoesNotFitIsRefusedAtItsExactByte)
{
    // The width tells which picture loaded; a record keeps its picture's own
    // width, 6 where the texture is 8 wide.
    TempDir dir;
    for (const char* folder : {"empty", "broken", "d"})
        ASSERT_EQ(mkdir(dir.File(folder).c_str(), 0700), 0);
    dir.Write("d/x.png", {1});
    dir.Write("dx.png", QuadrantPictureBytes("png", 2, 2));
    dir.Write("broken/cut.png", {0x89, 'P', 'N', 'G'});
    dir.Write("first.png", QuadrantPictureBytes("png", 6, 2));
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);

    // Besides the texture, the reason the folder gave nothing and the file
    // shown instead, for the one line the user is told.
    const struct {
        const char* folder;
        std::vector<const char*> fallbacks;
        unsigned width; // 0: nothing loads
        const char* why;
        const char* shown;
    } cases[] = {
        // A folder path under 3 characters gets no "/": "d" and "x.png" make "dx.png".
        {"d", {}, 2, "", ""},
        {"empty", {"missing.png", "first.png"}, 6, "it holds no .jpg, .jpeg, .png, .gif or .webp picture", "first.png"},
        {"missing", {"first.png"}, 6, "no such file or directory", "first.png"},
        {"broken", {"first.png"}, 6, "its picture cut.png cannot be used (", "first.png"},
        {"empty", {"missing.png"}, 0, "holds no", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " then " + std::to_string(c.fallbacks.size()) + " fallbacks");
        std::vector<const char*> list = c.fallbacks;
        list.push_back(nullptr);
        Texture t;
        std::string why = "stale", shown = "stale";
        EXPECT_EQ(LoadFolderBackground(c.folder, list.data(), &t, 2, &why, &shown), c.width != 0);
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(why.empty(), !c.why[0]) << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_EQ(shown, c.shown);
    }
    ASSERT_EQ(chdir(previous), 0);
    std::free(previous);

    // Nested folders make a folder path of about 1000 bytes; with a name one
    // byte too long the path no longer fits in 1024 with its terminator.
    std::string folder = dir.path();
    while (folder.size() < 1000 - 100) {
        folder += "/" + std::string(90, 'f');
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    for (size_t over : {1, 0}) {
        const std::string picture = folder + "/" + std::string(1024 - folder.size() - 6 + over, 'n') + ".png";
        WritePixbufPicture(picture, "png", 2, 2, 3, QuadrantPixels(2, 2, 3));
        Texture t;
        std::string why;
        EXPECT_EQ(LoadPicture(folder.c_str(), &t, 0, &why), over == 0) << picture.size();
        EXPECT_EQ(why.find("is too long") != std::string::npos, over == 1) << why;
        std::remove(picture.c_str());
    }
}

// A picture chosen at random that cannot be used is followed by others, in
// random order, before the fallback: with six broken pictures and a good one
// in a subfolder, every seed finds the good one. With more broken pictures
// than are tried, the reason names the first and counts the rest.
TEST_F(PicsTest, ABrokenPictureIsFollowedByOthersBeforeTheFallback)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0700), 0);
    for (int i = 0; i < 12; i++)
        dir.Write("broken" + std::to_string(i) + ".jpg", {0xFF, 0xD8, 0xFF});
    dir.Write("sub/good.png", QuadrantPictureBytes("png", 6, 2));
    TempDir elsewhere;
    const std::string fallback = elsewhere.Write("fallback.png", QuadrantPictureBytes("png", 3, 2));
    const char* const fallbacks[] = {fallback.c_str(), nullptr};
    for (unsigned seed = 1; seed <= 24; seed++) {
        SCOPED_TRACE(seed);
        for (int i = 6; i < 12; i++)
            std::remove(dir.File("broken" + std::to_string(i) + ".jpg").c_str());
        std::srand(seed);
        Texture t;
        std::string why, shown;
        ASSERT_TRUE(LoadFolderBackground(dir.path().c_str(), fallbacks, &t, 0, &why, &shown));
        EXPECT_EQ(t.width, 6u) << why;
        EXPECT_EQ(shown, "");
        for (int i = 6; i < 12; i++)
            dir.Write("broken" + std::to_string(i) + ".jpg", {0xFF, 0xD8, 0xFF});
    }
    std::remove(dir.File("sub/good.png").c_str());
    Texture t;
    std::string why, shown;
    ASSERT_TRUE(LoadFolderBackground(dir.path().c_str(), fallbacks, &t, 0, &why, &shown));
    EXPECT_EQ(shown, fallback);
    EXPECT_EQ(why.rfind("its picture broken", 0), 0u) << why;
    EXPECT_NE(why.find("), nor can the 8 others tried"), std::string::npos) << why;
}
