// Tests of textures decoded from picture bytes in memory.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/JPGLoader.h"
#include "resources/PackWriter.h"

#include <GL/gl.h>

class JpgLoaderTest : public GLContextTest {};

TEST_F(JpgLoaderTest, PicturesComeOutUprightKeepOnlyTheirOwnAlphaAndBadBytesChangeNothing)
{
    TempDir dir;
    std::vector<unsigned char> rgba = QuadrantPixels(64, 32, 4), png;
    rgba[3] = 17;
    WritePixbufPicture(dir.File("a.png"), "png", 64, 32, 4, rgba);
    ASSERT_TRUE(ReadWholeFile(dir.File("a.png"), &png));
    const std::vector<unsigned char> jpeg = QuadrantPictureBytes("jpeg", 64, 32);
    for (bool alpha : {false, true}) {
        const std::vector<unsigned char>& bytes = alpha ? png : jpeg;
        SCOPED_TRACE(alpha ? "png" : "jpeg");
        // The option asks for alpha from brightness, which neither gets.
        Texture t;
        ASSERT_TRUE(BuildJPGTexture(&t, bytes.data(), long(bytes.size()), TEXTURE_ALPHA_FROM_BRIGHTNESS));
        EXPECT_EQ(t.type, unsigned(alpha ? GL_RGBA : GL_RGB));
        int w = 0, h = 0;
        const std::vector<unsigned char> read = ReadTexture(t.texID, &w, &h);
        ASSERT_EQ(std::make_pair(w, h), std::make_pair(64, 32));
        auto texel = [&read](int x, int y) { return &read[(size_t(y) * 64 + x) * 4]; };
        // The picture's top-left quarter is red: the last rows, left columns.
        EXPECT_TRUE(Near(texel(8, 28), kRed));
        EXPECT_TRUE(Near(texel(56, 3), kWhite));
        EXPECT_EQ(texel(0, 31)[3], alpha ? 17 : 255);
        EXPECT_EQ(texel(1, 31)[3], 255);
    }
    // Undecodable bytes leave the record as it was.
    const std::vector<unsigned char> cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2));
    for (const auto& bytes : {cut, std::vector<unsigned char>()}) {
        Texture t;
        EXPECT_FALSE(BuildJPGTexture(&t, bytes.data(), long(bytes.size()), 0));
        EXPECT_TRUE(t.imageData == nullptr && t.texID == 0 && t.width == 0);
    }
}
