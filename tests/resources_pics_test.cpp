// Tests of background pictures: folder listing rules, the random choice,
// texture sizes, orientation and refusals.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/Pics.h"

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

void WriteQuadrantPng(const std::string& path, int width, int height)
{
    WritePixbufPicture(path, "png", width, height, 3, QuadrantPixels(width, height, 3));
}

} // namespace

TEST(Pics, FolderRulesKeepCaseAndNeedANameBeforeTheExtension)
{
    TempDir dir;
    for (const char* name : {"A.JPG", "b.png", "notes.txt", ".jpg", "c.jpeg", "d.Gif"})
        dir.Write(name, {1});
    const std::pair<const char*, int> counts[] = {{".jpg", 1}, {".gif", 1}, {".png", 1}, {".bmp", 0}};
    for (const auto& count : counts)
        EXPECT_EQ(CountFiles(dir.path().c_str(), count.first), count.second) << count.first;
    EXPECT_EQ(CountFiles((dir.path() + "/missing").c_str(), ".jpg"), 0);

    char name[kPicPathBytes] = "";
    ASSERT_TRUE(FindNthFile(dir.path().c_str(), name, ".jpg", 0));
    EXPECT_STREQ(name, "A.JPG");
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".jpg", 1));
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".jpg", -1));
    EXPECT_FALSE(FindNthFile(dir.path().c_str(), name, ".tif", 0));
}

TEST(Pics, RandomChoiceReachesEveryPictureAndNothingElse)
{
    TempDir dir;
    for (const char* name : {"a.jpg", "b.gif", "c.png", "d.PNG", "e.txt"})
        dir.Write(name, {1});
    std::set<std::string> chosen;
    std::srand(7);
    char name[kPicPathBytes] = "";
    for (int i = 0; i < 200; i++) {
        ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name));
        chosen.insert(name);
    }
    EXPECT_EQ(chosen, (std::set<std::string>{"a.jpg", "b.gif", "c.png", "d.PNG"}));
    TempDir empty;
    EXPECT_FALSE(ChooseRandomImageFile(empty.path().c_str(), name));
}

class PicsTest : public GLContextTest {};

TEST_F(PicsTest, ResolutionSetsTheTextureSizeAndTheRecordKeepsThePictures)
{
    TempDir dir;
    // Picture size, resolution and texture size.
    const struct {
        unsigned pictureWidth, pictureHeight;
        int resolution, width, height;
    } cases[] = {{6, 4, 0, 512, 512},   {6, 4, 1, 1024, 1024},  {1, 1, 2, 1, 1},
                 {1500, 2, 2, 2048, 2}, {1400, 3, 7, 1024, 4}, {6, 4, 2, 8, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pictureWidth) + " at " + std::to_string(c.resolution));
        WriteQuadrantPng(dir.File("p.png"), int(c.pictureWidth), int(c.pictureHeight));
        Texture t;
        ASSERT_TRUE(loadPicFile(dir.File("p.png").c_str(), &t, c.resolution));
        int w = 0, h = 0;
        ReadTexture(t.texID, &w, &h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(t.width, c.pictureWidth);
        EXPECT_EQ(t.height, c.pictureHeight);
    }
}

TEST_F(PicsTest, PicturesAreUprightAndOpaque)
{
    TempDir dir;
    WritePixbufPicture(dir.File("q.png"), "png", 20, 10, 4, QuadrantPixels(20, 10, 4));
    Texture t;
    ASSERT_TRUE(loadPicFile(dir.File("q.png").c_str(), &t, 0));
    const std::vector<unsigned char> read = ReadTexture(t.texID);
    auto texel = [&](int x, int y) { return &read[(size_t(y) * 512 + x) * 4]; };
    // The top-left quarter of the picture is red: last rows, left columns.
    EXPECT_TRUE(Near(texel(0, 511), kRed, 0));
    EXPECT_TRUE(Near(texel(100, 300), kRed, 0));
    EXPECT_TRUE(Near(texel(511, 511), kGreen, 0));
    EXPECT_TRUE(Near(texel(0, 0), kBlue, 0));
    EXPECT_TRUE(Near(texel(511, 0), kWhite, 0));
    EXPECT_EQ(texel(3, 3)[3], 255);
    // Nearest neighbour with truncation: 20 / 512 per texel, so texel 255 is
    // source column 9 (red) and texel 256 source column 10 (green).
    EXPECT_TRUE(Near(texel(255, 511), kRed, 0));
    EXPECT_TRUE(Near(texel(256, 511), kGreen, 0));
}

TEST_F(PicsTest, BrokenPicturesLeaveTheTextureUntouched)
{
    TempDir dir;
    const std::vector<unsigned char> bytes = QuadrantPictureBytes("png", 32, 32);
    dir.Write("cut.png", std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
    dir.Write("text.jpg", {'n', 'o', 'p', 'e'});
    for (const char* name : {"cut.png", "text.jpg", "missing.png"}) {
        Texture t;
        EXPECT_FALSE(loadPicFile(dir.File(name).c_str(), &t, 0)) << name;
        EXPECT_EQ(t.texID, 0u);
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(t.width, 0u);
    }
}

TEST_F(PicsTest, LoadPictureJoinsFolderAndNameByTheRulesAndRefusesWhatDoesNotFit)
{
    TempDir dir;
    Texture t;
    EXPECT_FALSE(LoadPicture(dir.File("nothing-here").c_str(), &t, 0));
    ASSERT_EQ(mkdir(dir.File("d").c_str(), 0700), 0);
    WriteQuadrantPng(dir.File("d/x.png"), 4, 2);
    // With and without a trailing slash.
    ASSERT_TRUE(LoadPicture(dir.File("d").c_str(), &t, 2));
    EXPECT_EQ(t.width, 4u);
    Texture again;
    ASSERT_TRUE(LoadPicture((dir.File("d") + "/").c_str(), &again, 2));

    // A folder path under 3 characters gets no "/": "d" and "x.png" make
    // "dx.png", here a picture of a different size.
    WriteQuadrantPng(dir.File("dx.png"), 2, 2);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    Texture shortPath;
    const bool loaded = LoadPicture("d", &shortPath, 2);
    ASSERT_EQ(chdir(previous), 0);
    std::free(previous);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(shortPath.width, 2u);

    // Nested folders make a folder path of about 1000 bytes; with the name
    // it no longer fits in 1024.
    std::string folder = dir.path();
    while (folder.size() < 1000 - 100) {
        folder += "/" + std::string(90, 'f');
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    const std::string name(1024 - folder.size() - 1 + 4, 'n');
    WriteQuadrantPng(folder + "/" + name + ".png", 2, 2);
    Texture tooLong;
    EXPECT_FALSE(LoadPicture(folder.c_str(), &tooLong, 0));
    EXPECT_EQ(tooLong.texID, 0u);

    // One that just fits loads.
    const std::string shorter(1024 - folder.size() - 1 - 4 - 1, 's');
    std::remove((folder + "/" + name + ".png").c_str());
    WriteQuadrantPng(folder + "/" + shorter + ".png", 2, 2);
    EXPECT_EQ(folder.size() + 1 + shorter.size() + 4 + 1, 1024u);
    EXPECT_TRUE(LoadPicture(folder.c_str(), &tooLong, 0));
}

TEST_F(PicsTest, FolderBackgroundFallsBackInOrderToTheFirstFileThatLoads)
{
    // Each picture has its own width, so the width tells which one loaded.
    TempDir dir;
    for (const char* folder : {"pictures", "empty", "broken"})
        ASSERT_EQ(mkdir(dir.File(folder).c_str(), 0700), 0);
    WriteQuadrantPng(dir.File("pictures/only.png"), 4, 2);
    dir.Write("broken/cut.png", {0x89, 'P', 'N', 'G'});
    WriteQuadrantPng(dir.File("first.png"), 6, 2);
    WriteQuadrantPng(dir.File("second.png"), 8, 2);
    dir.Write("bad.png", {'n', 'o'});
    const std::string first = dir.File("first.png"), second = dir.File("second.png"), bad = dir.File("bad.png"),
                      missing = dir.File("missing.png");

    // Besides the texture, the reason the folder gave nothing and the file
    // shown instead, for the one line the user is told.
    const struct {
        const char* folder;
        std::vector<std::string> fallbacks;
        unsigned width; // 0: nothing loads
        const char* why;
        const char* shown;
    } cases[] = {
        {"pictures", {first, second}, 4, "", ""},
        {"empty", {first, second}, 6, "it holds no .jpg, .gif or .png picture", "first.png"},
        {"missing", {first, second}, 6, "no such file or directory", "first.png"},
        {"broken", {first, second}, 6, "its picture cut.png cannot be used (", "first.png"},
        {"empty", {missing, second}, 8, "holds no", "second.png"},
        {"empty", {bad, second}, 8, "holds no", "second.png"},
        {"empty", {missing, bad}, 0, "holds no", ""},
        {"empty", {}, 0, "holds no", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " then " + std::to_string(c.fallbacks.size()) + " fallbacks");
        std::vector<const char*> list;
        for (const std::string& file : c.fallbacks)
            list.push_back(file.c_str());
        list.push_back(nullptr);
        Texture t;
        std::string why = "stale", shown = "stale";
        EXPECT_EQ(LoadFolderBackground(dir.File(c.folder).c_str(), list.data(), &t, 2, &why, &shown), c.width != 0);
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(t.texID != 0, c.width != 0);
        EXPECT_EQ(why.empty(), !c.why[0]) << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_EQ(shown, c.shown[0] ? dir.File(c.shown) : "");
    }
}
