// Tests of texture uploads (in a headless GL context) and of loading a scene
// pack into a texture array.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"
#include "resources/Texture.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Bytes = std::vector<unsigned char>;

// A decoded record holding a copy of the pixels, as the decoders leave it.
void Fill(Texture* t, uint32_t width, uint32_t height, GLenum type, const Bytes& pixels)
{
    t->imageData = static_cast<unsigned char*>(std::malloc(pixels.size()));
    std::memcpy(t->imageData, pixels.data(), pixels.size());
    t->width = width;
    t->height = height;
    t->type = type;
}

Bytes Alphas(const Bytes& rgba)
{
    Bytes alphas;
    for (size_t i = 3; i < rgba.size(); i += 4)
        alphas.push_back(rgba[i]);
    return alphas;
}

Bytes Tga24(unsigned char width, unsigned char height, unsigned char value)
{
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, width, 0, height, 0, 24, 0};
    b.resize(b.size() + width * height * 3u, value);
    return b;
}

} // namespace

class TextureTest : public GLContextTest {};

TEST_F(TextureTest, BuildTextureDerivesAlphaFromTheOptionButThirtyTwoBitSourcesKeepTheirs)
{
    // The first pixel (dark red) is the colour key.
    const Bytes rgb = {100, 0, 0, 0, 0, 0, 255, 255, 255, 100, 0, 0, 10, 200, 30, 100, 0, 1};
    const Bytes alphas[] = {{255, 255, 255, 255, 255, 255}, {0, 255, 255, 0, 255, 255}, {100, 0, 255, 100, 200, 100}};
    const Bytes rgba = {0, 0, 0, 10, 255, 255, 255, 20, 0, 0, 0, 30, 5, 6, 7, 40};
    for (int option : {TEXTURE_OPAQUE, TEXTURE_COLOUR_KEY, TEXTURE_ALPHA_FROM_BRIGHTNESS}) {
        Texture t, withAlpha;
        Fill(&t, 3, 2, GL_RGB, rgb);
        ASSERT_TRUE(BuildTexture(&t, option));
        EXPECT_EQ(t.imageData, nullptr);
        EXPECT_NE(t.texID, 0u);
        const Bytes read = ReadTexture(t.texID);
        EXPECT_EQ(Alphas(read), alphas[option]) << "option " << option;
        EXPECT_EQ(read[8], 255);
        EXPECT_EQ(read[17], 200);

        Fill(&withAlpha, 2, 2, GL_RGBA, rgba);
        ASSERT_TRUE(BuildTexture(&withAlpha, option));
        EXPECT_EQ(ReadTexture(withAlpha.texID), rgba) << "option " << option;
    }
}

TEST_F(TextureTest, OddSizedImagesUploadAtTheirOwnSize)
{
    // Rows of 3 RGB pixels are 9 bytes: only tight unpacking reads them right.
    Bytes rgb, rgba;
    for (int i = 0; i < 3 * 5 * 3; i++) {
        rgb.push_back(static_cast<unsigned char>(i * 5));
        rgba.push_back(static_cast<unsigned char>(i * 5));
        if (i % 3 == 2)
            rgba.push_back(255);
    }
    for (bool noTran : {false, true}) {
        Texture t;
        Fill(&t, 3, 5, GL_RGB, rgb);
        ASSERT_TRUE(noTran ? BuildTextureNoTran(&t) : BuildTexture(&t, TEXTURE_OPAQUE));
        int w = 0, h = 0;
        EXPECT_EQ(ReadTexture(t.texID, &w, &h), rgba) << noTran;
        EXPECT_EQ(w, 3);
        EXPECT_EQ(h, 5);
    }
}

TEST_F(TextureTest, RefusedUploadsLeaveNothingAndDestroyingARecordDeletesItsName)
{
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    Texture t;
    Fill(&t, uint32_t(maxSide) + 1, 1, GL_RGB, Bytes(size_t(maxSide + 1) * 3, 9));
    EXPECT_FALSE(BuildTexture(&t, TEXTURE_OPAQUE));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_EQ(t.imageData, nullptr);
    Texture empty;
    EXPECT_FALSE(BuildTexture(&empty, TEXTURE_OPAQUE));
    EXPECT_FALSE(BuildTextureNoTran(&empty));
    EXPECT_EQ(empty.texID, 0u);

    GLuint name = 0;
    {
        Texture built;
        Fill(&built, 1, 1, GL_RGB, {1, 2, 3});
        ASSERT_TRUE(BuildTextureNoTran(&built));
        name = built.texID;
        EXPECT_TRUE(glIsTexture(name));
    }
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureTest, LoadsEveryLumpOfAPackByType)
{
    TempDir dir;
    PackWriter pack;
    // A one-colour image under the colour key is fully transparent.
    pack.AddLump(Tga24(2, 2, 77), 1, TEXTURE_COLOUR_KEY);
    pack.AddLump({1, 2, 3}, 0, 0);
    pack.AddLump(QuadrantPictureBytes("jpeg", 16, 8), 3, 1);
    pack.AddLump(Tga24(3, 1, 200), 1, TEXTURE_OPAQUE);
    ASSERT_TRUE(pack.Write(dir.File("scene.pack")));

    Texture* textures = nullptr;
    int count = -1;
    ASSERT_TRUE(LoadTexturesFromDataFile(dir.File("scene.pack").c_str(), &textures, &count));
    const std::unique_ptr<Texture[]> owned(textures);
    ASSERT_EQ(count, 4);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_EQ(Alphas(ReadTexture(textures[0].texID)), Bytes(4, 0));
    // An unknown lump type leaves its texture empty and loading goes on.
    EXPECT_EQ(textures[1].texID, 0u);
    EXPECT_NE(textures[2].texID, 0u);
    EXPECT_EQ(textures[2].width, 16u);
    EXPECT_EQ(textures[2].height, 8u);
    EXPECT_EQ(textures[3].width, 3u);
    for (int i = 0; i < count; i++)
        EXPECT_EQ(textures[i].imageData, nullptr) << i;
}

TEST_F(TextureTest, EmptyPacksLoadAndBadLumpsStopTheLoad)
{
    TempDir dir;
    ASSERT_TRUE(PackWriter().Write(dir.File("empty.pack")));
    Texture* textures = nullptr;
    int count = -1;
    ASSERT_TRUE(LoadTexturesFromDataFile(dir.File("empty.pack").c_str(), &textures, &count));
    EXPECT_EQ(count, 0);
    delete[] textures;

    PackWriter bad;
    bad.AddLump(Tga24(1, 1, 5), 1, 0);
    bad.AddLump({0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 0}, 1, 0);
    bad.AddLump(Tga24(1, 1, 5), 1, 0);
    ASSERT_TRUE(bad.Write(dir.File("bad.pack")));
    textures = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("bad.pack").c_str(), &textures, &count));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Invalid Image: TGA file be type 2 or type 10\n");
    // The caller owns what was built before the failure.
    ASSERT_NE(textures, nullptr);
    const std::unique_ptr<Texture[]> owned(textures);
    EXPECT_EQ(count, 3);
    EXPECT_NE(textures[0].texID, 0u);
    EXPECT_EQ(textures[2].texID, 0u);

    // Image lumps cut short, each followed by a lump that holds the rest of
    // its bytes: the decoders stop at the lump's end instead of reading on.
    const Bytes tga = Tga24(2, 2, 9), jpeg = QuadrantPictureBytes("jpeg", 16, 16);
    const size_t jpegCut = jpeg.size() / 2;
    const struct {
        uint32_t type;
        Bytes cut, rest;
        const char* alert;
    } shortLumps[] = {
        {LUMP_TGA, Bytes(tga.begin(), tga.begin() + 18 + 6), Bytes(tga.begin() + 18 + 6, tga.end()),
         "ERROR: Could not read image data\n"},
        {LUMP_TGA, Bytes(tga.begin(), tga.begin() + 10), Bytes(tga.begin() + 10, tga.end()),
         "ERROR: Could not read file header\n"},
        {LUMP_JPEG, Bytes(jpeg.begin(), jpeg.begin() + long(jpegCut)), Bytes(jpeg.begin() + long(jpegCut), jpeg.end()),
         ""},
    };
    for (const auto& c : shortLumps) {
        PackWriter cut;
        cut.AddLump(c.cut, c.type, 0);
        cut.AddLump(c.rest, 0, 0);
        ASSERT_TRUE(cut.Write(dir.File("cut.pack")));
        Texture* partial = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("cut.pack").c_str(), &partial, &count)) << c.alert;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.alert);
        ASSERT_NE(partial, nullptr);
        EXPECT_EQ(partial[0].texID, 0u);
        EXPECT_EQ(partial[0].imageData, nullptr);
        delete[] partial;
    }

    PackWriter corrupt;
    corrupt.AddLump({0xFF, 0xD8, 0xFF, 0xE0, 1, 2}, 3, 0);
    ASSERT_TRUE(corrupt.Write(dir.File("corrupt.pack")));
    Texture* more = nullptr;
    EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("corrupt.pack").c_str(), &more, &count));
    delete[] more;
    EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("missing.pack").c_str(), &more, &count));
}
