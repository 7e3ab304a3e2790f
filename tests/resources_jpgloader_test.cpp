// Tests of textures decoded from picture bytes in memory.
#include "fixtures/GLContext.h"
#include "fixtures/TestPictures.h"
#include "resources/JPGLoader.h"
#include "resources/PackWriter.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The texel at (x, y) of an RGBA read-back, y counted in memory rows.
const unsigned char* Texel(const std::vector<unsigned char>& rgba, int width, int x, int y)
{
    return &rgba[(size_t(y) * width + x) * 4];
}

} // namespace

class JpgLoaderTest : public GLContextTest {};

TEST_F(JpgLoaderTest, PicturesComeOutUprightWithTheTopInTheLastRows)
{
    const std::vector<unsigned char> jpeg = QuadrantPictureBytes("jpeg", 64, 32);
    Texture t;
    ASSERT_TRUE(BuildJPGTexture(&t, jpeg.data(), long(jpeg.size()), 2));
    EXPECT_EQ(t.imageData, nullptr);
    EXPECT_EQ(t.type, unsigned(GL_RGB));
    EXPECT_EQ(t.width, 64u);
    EXPECT_EQ(t.height, 32u);
    int w = 0, h = 0;
    const std::vector<unsigned char> read = ReadTexture(t.texID, &w, &h);
    ASSERT_EQ(w, 64);
    ASSERT_EQ(h, 32);
    // The picture's top-left quarter is red: the last rows, left columns.
    EXPECT_TRUE(Near(Texel(read, w, 8, 28), kRed));
    EXPECT_TRUE(Near(Texel(read, w, 56, 28), kGreen));
    EXPECT_TRUE(Near(Texel(read, w, 8, 3), kBlue));
    EXPECT_TRUE(Near(Texel(read, w, 56, 3), kWhite));
    // JPEG has no alpha, and the option does not add any.
    EXPECT_EQ(Texel(read, w, 8, 28)[3], 255);
}

TEST_F(JpgLoaderTest, PicturesWithAlphaKeepIt)
{
    std::vector<unsigned char> rgba = QuadrantPixels(4, 2, 4);
    rgba[3] = 17;
    char name[] = "/tmp/larkspur-alpha-XXXXXX";
    close(mkstemp(name));
    WritePixbufPicture(name, "png", 4, 2, 4, rgba);
    std::vector<unsigned char> png;
    ASSERT_TRUE(ReadWholeFile(name, &png));
    std::remove(name);

    Texture t;
    ASSERT_TRUE(BuildJPGTexture(&t, png.data(), long(png.size()), 0));
    EXPECT_EQ(t.type, unsigned(GL_RGBA));
    const std::vector<unsigned char> read = ReadTexture(t.texID);
    // The picture's first pixel is now in the last row.
    EXPECT_EQ(Texel(read, 4, 0, 1)[3], 17);
    EXPECT_EQ(Texel(read, 4, 1, 1)[3], 255);
}

TEST_F(JpgLoaderTest, UndecodableBytesLeaveTheRecordAsItWas)
{
    std::vector<unsigned char> jpeg = QuadrantPictureBytes("jpeg", 32, 32);
    jpeg.resize(jpeg.size() / 2);
    const unsigned char garbage[] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto& bytes : {jpeg, std::vector<unsigned char>(garbage, garbage + 8), std::vector<unsigned char>()}) {
        Texture t;
        EXPECT_FALSE(BuildJPGTexture(&t, bytes.data(), long(bytes.size()), 0));
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_EQ(t.texID, 0u);
        EXPECT_EQ(t.width, 0u);
    }
}
