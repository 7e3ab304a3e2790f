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

// The alphas of RGBA pixels, or their colours without the alphas.
Bytes Split(const Bytes& rgba, bool alphas)
{
    Bytes out;
    for (size_t i = 0; i < rgba.size(); i++)
        if ((i % 4 == 3) == alphas)
            out.push_back(rgba[i]);
    return out;
}

Bytes Tga24(unsigned char width, unsigned char height, unsigned char value)
{
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, width, 0, height, 0, 24, 0};
    b.resize(b.size() + width * height * 3u, value);
    return b;
}

struct Lump {
    uint32_t type;
    Bytes bytes;
    uint32_t option = 0;
};

} // namespace

class TextureTest : public GLContextTest {};

TEST_F(TextureTest, UploadsReadOddRowsAndDeriveAlphaFromTheOptionUnlessTheSourceHasItsOwn)
{
    // Rows of 3 RGB pixels are 9 bytes: only tight unpacking reads them right.
    // The first pixel (dark red) is the colour key.
    const Bytes rgb = {100, 0, 0, 0, 0, 0, 255, 255, 255, 100, 0, 0, 10, 200, 30, 100, 0, 1};
    const Bytes rgba = {0, 0, 0, 10, 255, 255, 255, 20, 0, 0, 0, 30, 5, 6, 7, 40};
    // The option (-1: BuildTextureNoTran) and the alphas it gives the RGB pixels.
    const std::pair<int, Bytes> cases[] = {{TEXTURE_OPAQUE, Bytes(6, 255)},
                                           {TEXTURE_COLOUR_KEY, {0, 255, 255, 0, 255, 255}},
                                           {TEXTURE_ALPHA_FROM_BRIGHTNESS, {100, 0, 255, 100, 200, 100}},
                                           {-1, Bytes(6, 255)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto build = [&c](Texture* t) { return c.first < 0 ? BuildTextureNoTran(t) : BuildTexture(t, c.first); };
        Texture t, withAlpha;
        Fill(&t, 3, 2, GL_RGB, rgb);
        ASSERT_TRUE(build(&t));
        const Bytes read = ReadTexture(t.texID);
        EXPECT_EQ(Split(read, false), rgb);
        EXPECT_EQ(Split(read, true), c.second);

        Fill(&withAlpha, 2, 2, GL_RGBA, rgba);
        ASSERT_TRUE(build(&withAlpha));
        EXPECT_EQ(ReadTexture(withAlpha.texID), rgba);
    }
}

TEST_F(TextureTest, RefusedUploadsLeaveNothingAndDestroyingARecordDeletesItsName)
{
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    Texture t, empty;
    Fill(&t, uint32_t(maxSide) + 1, 1, GL_RGB, Bytes(size_t(maxSide + 1) * 3, 9));
    EXPECT_FALSE(BuildTexture(&t, TEXTURE_OPAQUE));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_FALSE(BuildTexture(&empty, TEXTURE_OPAQUE) || BuildTextureNoTran(&empty));

    GLuint name = 0;
    {
        Texture built;
        Fill(&built, 1, 1, GL_RGB, {1, 2, 3});
        ASSERT_TRUE(BuildTextureNoTran(&built));
        name = built.texID;
    }
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureTest, PacksLoadEachLumpByItsTypeAndABadLumpStopsTheLoadWithItsAlert)
{
    TempDir dir;
    const Bytes tga = Tga24(2, 2, 9), jpeg = QuadrantPictureBytes("jpeg", 16, 8);
    auto part = [](const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + long(from), b.begin() + long(to)); };
    const Bytes greyTga = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 0};
    // bad: the lump that stops the load, or the count when none does; the
    // caller owns what was built before it. A lump of unknown type stays
    // empty and loading goes on. Image lumps cut short are followed by a lump
    // that holds the rest of their bytes: the decoders stop at the lump's end
    // instead of reading on.
    const struct {
        std::vector<Lump> lumps;
        size_t bad;
        const char* alert;
    } cases[] = {
        {{{LUMP_TGA, Tga24(2, 2, 77), TEXTURE_COLOUR_KEY}, {0, {1, 2, 3}}, {LUMP_JPEG, jpeg}}, 3, ""},
        {{{LUMP_TGA, Tga24(1, 1, 5)}, {LUMP_TGA, greyTga}, {LUMP_TGA, Tga24(1, 1, 5)}},
         1,
         "Invalid Image: TGA file be type 2 or type 10\n"},
        {{{LUMP_TGA, part(tga, 0, 24)}, {0, part(tga, 24, tga.size())}}, 0, "ERROR: Could not read image data\n"},
        {{{LUMP_JPEG, part(jpeg, 0, jpeg.size() / 2)}, {0, part(jpeg, jpeg.size() / 2, jpeg.size())}}, 0, ""},
    };
    Texture* raw = nullptr;
    int count = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bad);
        PackWriter pack;
        for (const Lump& lump : c.lumps)
            pack.AddLump(lump.bytes, lump.type, lump.option);
        ASSERT_TRUE(pack.Write(dir.File("p.pack")));
        raw = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadTexturesFromDataFile(dir.File("p.pack").c_str(), &raw, &count), c.bad == c.lumps.size());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.alert);
        const std::unique_ptr<Texture[]> textures(raw);
        ASSERT_EQ(count, int(c.lumps.size()));
        for (size_t i = 0; i < c.lumps.size(); i++)
            EXPECT_EQ(textures[i].texID != 0, i < c.bad && c.lumps[i].type != 0) << i;
        if (c.bad < c.lumps.size())
            continue;
        // A one-colour image under the colour key is fully transparent.
        EXPECT_EQ(Split(ReadTexture(textures[0].texID), true), Bytes(4, 0));
        EXPECT_EQ(std::make_pair(textures[2].width, textures[2].height), std::make_pair(16u, 8u));
    }
    EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("missing.pack").c_str(), &raw, &count));
}
