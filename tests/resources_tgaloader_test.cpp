// Tests of the TGA decoder: accepted variants, every refusal and its alert,
// and the run-length and size bounds.
#include "resources/TGALoader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using uchar = unsigned char;

// A TGA header of the given image type and size, followed by the data.
Bytes Tga(uchar type, int width, int height, int bpp, const Bytes& data, uchar descriptor = 0)
{
    Bytes b = {0,
               0,
               type,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               uchar(width & 0xff),
               uchar(width >> 8),
               uchar(height & 0xff),
               uchar(height >> 8),
               uchar(bpp),
               descriptor};
    for (uchar d : data)
        b.push_back(d);
    return b;
}

std::istringstream stream;

// Decodes from memory, taking at most size bytes; returns the alert written
// on stderr, or "failed" after a silent failure.
std::string Decode(const Bytes& bytes, Texture* texture, uint64_t size = kTgaUnbounded)
{
    stream.clear();
    stream.str(std::string(bytes.begin(), bytes.end()));
    testing::internal::CaptureStderr();
    const bool ok = LoadTGA2(texture, &stream, size);
    const std::string alert = testing::internal::GetCapturedStderr();
    return ok ? alert : alert.empty() ? "failed" : alert;
}

Bytes Pixels(const Texture& t)
{
    return Bytes(t.imageData, t.imageData + size_t(t.width) * t.height * (t.bpp / 8));
}

} // namespace

TEST(TgaLoader, DecodesBothVariantsToRgbInFileOrderAndStopsAtTheLastPixel)
{
    // bounded: allowed exactly the image's bytes, as a pack lump is.
    const struct {
        Bytes image;
        bool bounded;
        Bytes pixels;
    } cases[] = {
        // The descriptor's origin and alpha bits, which writers set, change nothing.
        {Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0x20),
         true,
         {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
        {Tga(2, 2, 1, 32, {1, 2, 3, 40, 5, 6, 7, 80}, 0x08), false, {3, 2, 1, 40, 7, 6, 5, 80}},
        // A run of two, then a raw packet of one.
        {Tga(10, 3, 1, 32, {0x81, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}), false, {3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8}},
        // A run of 4 crosses the row boundary, then a raw packet of 2 ends the image.
        {Tga(10, 3, 2, 24, {0x83, 9, 8, 7, 0x01, 1, 2, 3, 4, 5, 6}),
         true,
         {7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9, 3, 2, 1, 6, 5, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.image));
        // The next lump's bytes follow, and must not be read.
        Bytes followed = c.image;
        followed.insert(followed.end(), {0x85, 0xEE, 0xEE, 0xEE});
        Texture t;
        ASSERT_EQ(Decode(followed, &t, c.bounded ? c.image.size() : kTgaUnbounded), "");
        EXPECT_EQ(std::make_tuple(t.width, t.height, t.bpp),
                  std::make_tuple(c.image[12] + 0u, c.image[14] + 0u, c.image[16] + 0u));
        EXPECT_EQ(t.type, unsigned(t.bpp == 24 ? GL_RGB : GL_RGBA));
        EXPECT_EQ(Pixels(t), c.pixels);
        EXPECT_EQ(stream.tellg(), std::streampos(c.image.size()));
    }
}

TEST(TgaLoader, RefusesBadFilesWithTheirAlertWithoutWritingPastThePixels)
{
    const std::string type = "Invalid Image: TGA file be type 2 or type 10\n",
                      info = "ERROR: Invalid texture information\n", data = "ERROR: Could not read image data\n",
                      rle = "ERROR: Could not read RLE header\n";
    struct Refusal {
        Bytes bytes;
        std::string alert;
        uint64_t size;
    };
    const uint64_t any = kTgaUnbounded;
    std::vector<Refusal> cases = {
        {Tga(2, 1, 1, 16, {0, 0}), info, any},
        {Tga(2, 0, 4, 24, {}), info, any},
        {Tga(10, 4, 0, 32, {}), info, any},
        // A run that would write a third pixel into a 2x1 image; under
        // AddressSanitizer a store past the buffer would be caught.
        {Tga(10, 2, 1, 24, {0x82, 1, 2, 3}), "ERROR: Too many pixels read\n", any},
        {{0, 0, 2, 0, 0}, "ERROR: Could not read file header\n", any},
        {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, "ERROR: Could not read info header\n", any},
        {Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), data, any},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3}), rle, any},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3, 0x01, 1, 2, 3, 4}), data, any},
        // A tiny file claiming a 65535 x 65535 image is refused before the
        // 17 GB buffer is allocated; a run-length one still gets the alert of
        // the place where its data ends.
        {Tga(2, 65535, 65535, 32, {1, 2, 3, 4}), data, any},
        {Tga(10, 65535, 65535, 32, {0xFF, 1, 2, 3, 4}), rle, any},
        // Whole files allowed fewer bytes, as pack lumps cut short: what lies
        // beyond belongs to the next lump and is never read as pixels.
        {Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), data, 18 + 11},
        {Tga(10, 3, 1, 24, {0x00, 1, 2, 3, 0x81, 4, 5, 6}), "ERROR: Could not read from file\n", 18 + 7},
        {Tga(3, 1, 1, 24, {0, 0, 0}), type, any},
        // Colour-mapped types 1 and 9, refused even when the rest of the
        // header and the data would read as true colour (type 2 and 10)...
        {Tga(1, 1, 1, 24, {0, 0, 0}), type, any},
        {Tga(9, 1, 1, 24, {0x00, 1, 2, 3}), type, any},
        // ...and as they really come: a map of two 24-bit entries, 8-bit indices.
        {{0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 1, 2, 3, 4, 5, 6, 1}, type, any},
        {{0, 1, 9, 0, 0, 2, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0, 1, 2, 3, 4, 5, 6, 0x81, 1}, type, any},
    };
    // Image ID, colour map type and fields (its first entry, length and entry
    // size), origins: a non-zero byte in any of them.
    for (int byte : {0, 1, 3, 5, 7, 11}) {
        cases.push_back({Tga(2, 1, 1, 24, {0, 0, 0}), type, any});
        cases.back().bytes[size_t(byte)] = 1;
    }
    for (const Refusal& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes) + " within " + std::to_string(c.size));
        Texture t;
        EXPECT_EQ(Decode(c.bytes, &t, c.size), c.alert);
        EXPECT_EQ(t.imageData, nullptr);
    }
    Texture none;
    testing::internal::CaptureStderr();
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&none, nullptr) || LoadTGA2(&none, &closed));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: Could not open texture file\nERROR: Could not open texture file\n");
}
