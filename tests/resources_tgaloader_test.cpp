// Tests of the TGA decoder: accepted variants, every refusal and its alert,
// and the run-length bounds.
#include "resources/TGALoader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A TGA header of the given image type and size, followed by the data.
Bytes Tga(unsigned char type, int width, int height, int bpp, const Bytes& data, unsigned char descriptor = 0)
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
               static_cast<unsigned char>(width & 0xff),
               static_cast<unsigned char>(width >> 8),
               static_cast<unsigned char>(height & 0xff),
               static_cast<unsigned char>(height >> 8),
               static_cast<unsigned char>(bpp),
               descriptor};
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

struct Decode {
    bool ok;
    std::string alert;
};

// Decodes from memory and captures the alert written on stderr.
Decode DecodeBytes(const Bytes& bytes, Texture* texture, std::istream** streamOut = nullptr)
{
    static std::istringstream stream;
    stream.clear();
    stream.str(std::string(bytes.begin(), bytes.end()));
    testing::internal::CaptureStderr();
    const bool ok = LoadTGA2(texture, &stream);
    const std::string alert = testing::internal::GetCapturedStderr();
    if (streamOut)
        *streamOut = &stream;
    return {ok, alert};
}

Bytes Pixels(const Texture& t)
{
    const size_t size = size_t(t.width) * t.height * (t.bpp / 8);
    return Bytes(t.imageData, t.imageData + size);
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

    Texture one;
    ASSERT_TRUE(DecodeBytes(Tga(2, 1, 1, 24, {10, 20, 30}), &one).ok);
    EXPECT_EQ(Pixels(one), (Bytes{30, 20, 10}));
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
    std::istream* stream = nullptr;
    const Decode d = DecodeBytes(Tga(10, 3, 2, 24, data), &t, &stream);
    ASSERT_TRUE(d.ok) << d.alert;
    EXPECT_EQ(Pixels(t), (Bytes{7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9, 3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(stream->tellg(), std::streampos(18 + 11));
}

TEST(TgaLoader, RefusesEveryOtherHeaderWithTheTypeAlert)
{
    std::vector<Bytes> headers;
    for (unsigned char type : {1, 3, 9, 11, 0, 32, 33})
        headers.push_back(Tga(type, 1, 1, 24, {0, 0, 0}));
    for (int byte : {0, 1, 3, 5, 7, 8, 9, 10, 11}) {
        // Image ID, colour map fields and origins: any non-zero byte.
        Bytes b = Tga(2, 1, 1, 24, {0, 0, 0});
        b[size_t(byte)] = 1;
        headers.push_back(b);
    }
    for (const Bytes& header : headers) {
        Texture t;
        const Decode d = DecodeBytes(header, &t);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.alert, "Invalid Image: TGA file be type 2 or type 10\n");
        EXPECT_EQ(t.imageData, nullptr);
    }
}

TEST(TgaLoader, RefusesBadImageInformation)
{
    const Bytes cases[] = {Tga(2, 1, 1, 16, {0, 0}), Tga(2, 1, 1, 8, {0}), Tga(10, 1, 1, 15, {0}),
                           Tga(2, 0, 4, 24, {}), Tga(10, 4, 0, 32, {})};
    for (const Bytes& bytes : cases) {
        Texture t;
        const Decode d = DecodeBytes(bytes, &t);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.alert, "ERROR: Invalid texture information\n");
        EXPECT_EQ(t.imageData, nullptr);
    }
}

TEST(TgaLoader, OvershootingPacketsFailWithoutWritingPastThePixels)
{
    // 2x1 image: a run of 3, then a raw packet of 3 (which would write a third
    // pixel). Under AddressSanitizer a store past the buffer would be caught.
    for (const Bytes& data : {Bytes{0x82, 1, 2, 3}, Bytes{0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                              Bytes{0x80, 1, 2, 3, 0x81, 4, 5, 6}}) {
        Texture t;
        const Decode d = DecodeBytes(Tga(10, 2, 1, 24, data), &t);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.alert, "ERROR: Too many pixels read\n");
        EXPECT_EQ(t.imageData, nullptr);
    }
}

TEST(TgaLoader, TruncatedFilesFailWithTheirAlertAndLeaveNoPixels)
{
    struct Case {
        Bytes bytes;
        const char* alert;
    };
    const Case cases[] = {
        {{0, 0, 2, 0, 0}, "ERROR: Could not read file header\n"},
        {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, "ERROR: Could not read info header\n"},
        {Tga(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), "ERROR: Could not read image data\n"},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3}), "ERROR: Could not read RLE header\n"},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3, 0x81, 1, 2}), "ERROR: Could not read from file\n"},
        {Tga(10, 4, 1, 24, {0x81, 1, 2, 3, 0x01, 1, 2, 3, 4}), "ERROR: Could not read image data\n"},
        // A tiny file claiming a 65535 x 65535 image is refused before the
        // 17 GB buffer is allocated.
        {Tga(2, 65535, 65535, 32, {1, 2, 3, 4}), "ERROR: Could not read image data\n"},
        {Tga(10, 65535, 65535, 32, {0xFF, 1, 2, 3, 4}), "ERROR: Could not read image data\n"},
    };
    for (const Case& c : cases) {
        Texture t;
        const Decode d = DecodeBytes(c.bytes, &t);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.alert, c.alert);
        EXPECT_EQ(t.imageData, nullptr);
    }
}

TEST(TgaLoader, RefusesMissingOrClosedStreams)
{
    Texture t;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadTGA2(&t, nullptr));
    std::ifstream closed;
    EXPECT_FALSE(LoadTGA2(&t, &closed));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: Could not open texture file\nERROR: Could not open texture file\n");
}

TEST(TgaLoader, ReadsFromAFileStreamAtAnOffset)
{
    // As the packs use it: the stream is positioned at the image by a seek.
    const std::string path = testing::TempDir() + "/larkspur-offset.tga";
    Bytes bytes = {'x', 'y', 'z'};
    const Bytes tga = Tga(2, 1, 1, 24, {1, 2, 3});
    bytes.insert(bytes.end(), tga.begin(), tga.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    std::ifstream file(path, std::ios::binary);
    file.seekg(3);
    Texture t;
    ASSERT_TRUE(LoadTGA2(&t, &file));
    EXPECT_EQ(Pixels(t), (Bytes{3, 2, 1}));
    std::remove(path.c_str());
}
