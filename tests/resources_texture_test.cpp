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

struct Lump {
    uint32_t type;
    Bytes bytes;
    uint32_t option = 0;
};

} // namespace

class TextureTest : public GLContextTest {};

TEST_F(TextureTest, UploadsReadOddRowsDeriveAlphaFromTheOptionUnlessTheSourceHasItsOwnAndOnlyLiveWithTheirRecord)
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

    // A refused upload keeps no name; destroying a record deletes its name.
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    Texture t, empty;
    Fill(&t, uint32_t(maxSide) + 1, 1, GL_RGB, Bytes(size_t(maxSide + 1) * 3, 9));
    EXPECT_FALSE(BuildTexture(&t, TEXTURE_OPAQUE));
    EXPECT_EQ(t.texID, 0u);
    EXPECT_FALSE(BuildTexture(&empty, TEXTURE_OPAQUE) || BuildTextureNoTran(&empty));

    auto built = std::make_unique<Texture>();
    Fill(built.get(), 1, 1, GL_RGB, {1, 2, 3});
    ASSERT_TRUE(BuildTextureNoTran(built.get()));
    const GLuint name = built->texID;
    built.reset();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureTest, PacksLoadEachLumpByItsTypeAndABadLumpStopsTheLoadWithItsAlert)
{
    TempDir dir;
    // A 2x2 TGA of one colour.
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    tga.resize(tga.size() + 12, 9);
    const Bytes cut(tga.begin(), tga.begin() + 24), rest(tga.begin() + 24, tga.end());
    // bad: the lump that stops the load, or the count when none does; the
    // caller owns what was built before it. A lump of unknown type stays
    // empty and loading goes on. A TGA lump cut short is followed by a lump
    // that holds the rest of its bytes: the decoder stops at the lump's end
    // instead of reading on.
    const struct {
        std::vector<Lump> lumps;
        size_t bad;
        const char* alert;
    } cases[] = {
        {{{LUMP_TGA, tga, TEXTURE_COLOUR_KEY}, {0, {1, 2, 3}}, {LUMP_JPEG, QuadrantPictureBytes("jpeg", 8, 8)}}, 3, ""},
        {{{LUMP_TGA, tga, TEXTURE_COLOUR_KEY}, {LUMP_TGA, cut}, {0, rest}, {LUMP_TGA, tga}},
         1,
         "ERROR: Could not read image data\n"},
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
        // A one-colour image under the colour key is fully transparent.
        EXPECT_EQ(Split(ReadTexture(textures[0].texID), true), Bytes(4, 0));
    }
    EXPECT_FALSE(LoadTexturesFromDataFile(dir.File("missing.pack").c_str(), &raw, &count));
}
