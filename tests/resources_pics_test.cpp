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

TEST(Pics, RandomChoiceTakesEveryPictureByItsExtensionInAnyCaseAndNothingElse)
{
    TempDir dir;
    for (const char* name : {"A.JPG", "b.png", "d.PNG", "notes.txt", ".jpg", "c.jpeg", "e.Gif"})
        dir.Write(name, {1});
    char name[kPicPathBytes] = "";
    std::set<std::string> chosen;
    std::srand(7);
    for (int i = 0; i < 200; i++) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        chosen.insert(name);
    }
    EXPECT_EQ(chosen, (std::set<std::string>{"A.JPG", "b.png", "d.PNG", "e.Gif"}));
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
    } cases[] = {{6, 4, 3, 1, 1024, 1024}, {1500, 5, 3, 2, 2048, 4}, {20, 10, 4, 0, 512, 512}};
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
        {"empty", {"missing.png", "first.png"}, 6, "it holds no .jpg, .gif or .png picture", "first.png"},
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
