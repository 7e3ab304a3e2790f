// Tests of the TGA decoder: accepted variants, every refusal and its alert,
// and the run-length bounds.
#include "resources/TGALoader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using uchar = unsigned char;

// A TGA header of the given image type and size, followed by the data.
Bytes Tga(uchar type, int width, int height, int bpp, const Bytes& data, uchar descriptor = 0)
{
    Bytes b = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uchar(width & 0xff), uchar(width >> 8), uchar(height & 0xff),
               uchar(height >> 8), uchar(bpp), descriptor};
    std::copy(data.begin(), data.end(), std::back_inserter(b));
    return b;
}

struct Decode {
    bool ok;
    std::string alert;
};

std::istringstream stream;

// Decodes from memory, taking at most size bytes, and captures the alert
// written on stderr.
Decode DecodeBytes(const Bytes& bytes, Texture* texture, uint64_t size = kTgaUnbounded)
{
    stream.clear();
    stream.str(std::string(bytes.begin(), bytes.end()));
    testing::internal::CaptureStderr();
    const bool ok = LoadTGA2(texture, &stream, size);
    const std::string alert = testing::internal::GetCapturedStderr();
    return {ok, alert};
}

Bytes Pixels(const Texture& t)
{
    return Bytes(t.imageData, t.imageData + size_t(t.width) * t.height * (t.bpp / 8));
}

// Each file fails with its alert and leaves no pixels.
void ExpectRefused(const std::vector<std::pair<Bytes, std::string>>& cases)
{
    for (size_t i = 0; i < cases.size(); i++) {
        Texture t;
        const Decode d = DecodeBytes(cases[i].first, &t);
        EXPECT_FALSE(d.ok) << i;
        EXPECT_EQ(d.alert, cases[i].second) << i;
        EXPECT_EQ(t.imageData, nullptr) << i;
    }
}

} // namespace

TEST(TgaLoader, DecodesUncompressedPixelsToRgbInFileOrder)
{
    Texture t;
    // Two rows of two pixels, B, G, R each; the descriptor's origin and alpha
    // bits, which writers set, change nothing.
    const Decode d = DecodeBytes(Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0x20), &t);
    ASSERT_TRUE(d.ok) << d.alert;
    EXPECT_EQ(d.alert, "");
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(t.height, 2u);
    EXPECT_EQ(t.bpp, 24u);
    EXPECT_EQ(t.type, unsigned(GL_RGB));
    EXPECT_EQ(Pixels(t), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST(TgaLoader, ThirtyTwoBitImagesKeepTheirAlpha)
{
    Texture raw;
    ASSERT_TRUE(DecodeBytes(Tga(2, 2, 1, 32, {1, 2, 3, 40, 5, 6, 7, 80}, 0x08), &raw).ok);
    EXPECT_EQ(raw.type, unsigned(GL_RGBA));
    EXPECT_EQ(Pixels(raw), (Bytes{3, 2, 1, 40, 7, 6, 5, 80}));

    Texture rle;
    // A run of two, then a raw packet of one.
    ASSERT_TRUE(DecodeBytes(Tga(10, 3, 1, 32, {0x81, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}), &rle).ok);
    EXPECT_EQ(Pixels(rle), (Bytes{3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST(TgaLoader, RunLengthPacketsCrossRowsAndStopAtTheLastPixel)
{
    // 3x2: a run of 4 crosses the row boundary, then a raw packet of 2 ends
    // the image; the packet after it must not be read.
    const Bytes data = {0x83, 9, 8, 7, 0x01, 1, 2, 3, 4, 5, 6, 0x85, 0xAA, 0xBB, 0xCC};
    Texture t;
    const Decode d = DecodeBytes(Tga(10, 3, 2, 24, data), &t);
    ASSERT_TRUE(d.ok) << d.alert;
    EXPECT_EQ(Pixels(t), (Bytes{7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9, 3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(stream.tellg(), std::streampos(18 + 11));
}

TEST(TgaLoader, RefusesBadHeadersWithTheirAlert)
{
    std::vector<std::pair<Bytes, std::string>> cases;
    const std::string type = "Invalid Image: TGA file be type 2 or type 10\n";
    for (uchar imageType : {1, 3, 9, 11, 0, 32, 33})
        cases.push_back({Tga(imageType, 1, 1, 24, {0, 0, 0}), type});
    for (int byte : {0, 1, 3, 5, 7, 8, 9, 10, 11}) {
        // Image ID, colour map fields and origins: any non-zero byte.
        cases.push_back({Tga(2, 1, 1, 24, {0, 0, 0}), type});
        cases.back().first[size_t(byte)] = 1;
    }
    for (const Bytes& bad : {Tga(2, 1, 1, 16, {0, 0}), Tga(2, 1, 1, 8, {0}), Tga(10, 1, 1, 15, {0}),
                             Tga(2, 0, 4, 24, {}), Tga(10, 4, 0, 32, {})})
        cases.push_back({bad, "ERROR: Invalid texture information\n"});
    ExpectRefused(cases);
}

TEST(TgaLoader, OvershootingAndTruncatedDataFailWithoutWritingPastThePixels)
{
    const std::string tooMany = "ERROR: Too many pixels read\n", data = "ERROR: Could not read image data\n";
    // 2x1 image: runs and raw packets that would write a third pixel. Under
    // AddressSanitizer a store past the buffer would be caught.
    ExpectRefused({
        {Tga(10, 2, 1, 24, {0x82, 1, 2, 3}), tooMany},
        {Tga(10, 2, 1, 24, {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}), tooMany},
        {Tga(10, 2, 1, 24, {0x80, 1, 2, 3, 0x81, 4, 5, 6}), tooMany},
        {{0, 0, 2, 0, 0}, "ERROR: Could not read file header\n"},
        {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, "ERROR: Could not read info header\n"},
        {Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), data},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header\n"},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file\n"},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3, 0x01, 1, 2, 3, 4}), data},
        // A tiny file claiming a 65535 x 65535 image is refused before the
        // 17 GB buffer is allocated; a run-length one still gets the alert of
        // the place where its data ends.
        {Tga(2, 65535, 65535, 32, {1, 2, 3, 4}), data},
        {Tga(10, 65535, 65535, 32, {0xFF, 1, 2, 3, 4}), "ERROR: Could not read RLE header\n"},
        {Tga(10, 65535, 65535, 32, {}), "ERROR: Could not read RLE header\n"},
        {Tga(10, 65535, 65535, 24, {0xFF, 1, 2, 3, 0x80, 1}), "ERROR: Could not read from file\n"},
        {Tga(10, 65535, 65535, 24, {0xFF, 1, 2, 3, 0x7F, 1, 2, 3, 4, 5}), data},
    });
}

TEST(TgaLoader, ReadsNoFurtherThanTheBytesItIsAllowed)
{
    // As a pack lump cut short: the bytes after the allowed size belong to the
    // next lump and must never be read as pixels.
    const Bytes raw = Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const Bytes rle = Tga(10, 3, 1, 24, {0x00, 1, 2, 3, 0x81, 4, 5, 6});
    const std::string data = "ERROR: Could not read image data\n";
    const struct {
        const Bytes& bytes;
        uint64_t size;
        std::string alert;
    } cases[] = {
        {raw, 5, "ERROR: Could not read file header\n"},
        {raw, 14, "ERROR: Could not read info header\n"},
        {raw, 18 + 6, data},
        {raw, 18 + 11, data},
        {rle, 18, "ERROR: Could not read RLE header\n"},
        {rle, 18 + 3, data},
        {rle, 18 + 4, "ERROR: Could not read RLE header\n"},
        {rle, 18 + 7, "ERROR: Could not read from file\n"},
    };
    for (const auto& c : cases) {
        Texture t;
        const Decode d = DecodeBytes(c.bytes, &t, c.size);
        EXPECT_FALSE(d.ok) << c.size;
        EXPECT_EQ(d.alert, c.alert) << c.size;
        EXPECT_EQ(t.imageData, nullptr) << c.size;
    }
    // Exactly enough decodes, and leaves the stream where the image ends.
    for (const Bytes& whole : {raw, rle}) {
        Bytes followed = whole;
        followed.insert(followed.end(), {0xEE, 0xEE, 0xEE});
        Texture t;
        ASSERT_TRUE(DecodeBytes(followed, &t, whole.size()).ok);
        EXPECT_EQ(stream.tellg(), std::streampos(whole.size()));
    }
}

TEST(TgaLoader, ReadsAtTheStreamsOffsetAndRefusesMissingOrClosedStreams)
{
    // As the packs use it: a file stream positioned at the image by a seek.
    const std::string path = testing::TempDir() + "/larkspur-offset.tga";
    const Bytes tga = Tga(2, 1, 1, 24, {1, 2, 3});
    std::ofstream(path, std::ios::binary) << "xyz" << std::string(tga.begin(), tga.end());
    std::ifstream file(path, std::ios::binary);
    file.seekg(3);
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &file));
    EXPECT_EQ(Pixels(t), (Bytes{3, 2, 1}));
    std::remove(path.c_str());

    Texture none;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadTGA2(&none, nullptr));
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&none, &closed));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: Could not open texture file\nERROR: Could not open texture file\n");
}
