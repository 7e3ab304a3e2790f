// Tests of the picture decoder: the accepted formats, recognised by content,
// the size limit checked before decoding, broken files, named pipes, and
// backgrounds decoded straight to their texture size.
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;

// Checks the quadrant colours in the middle of each quarter.
void ExpectQuadrants(const Picture& p)
{
    for (int qy : {1, 3})
        for (int qx : {1, 3}) {
            const int x = qx * p.width() / 4, y = qy * p.height() / 4;
            const unsigned char* pixel = p.Row(y) + size_t(x) * p.channels();
            EXPECT_TRUE(Near(pixel, QuadrantColour(x, y, p.width(), p.height())))
                << x << "," << y << ": " << int(pixel[0]) << " " << int(pixel[1]) << " " << int(pixel[2]);
        }
}

Bytes Text(const std::string& s)
{
    return {s.begin(), s.end()};
}

const char kSvg[] = "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='40'>"
                    "<rect width='24' height='20' fill='#f00'/><rect x='24' width='24' height='20' fill='#0f0'/>"
                    "<rect y='20' width='24' height='20' fill='#00f'/>"
                    "<rect x='24' y='20' width='24' height='20' fill='#fff'/></svg>";

} // namespace

TEST(PictureDecoder, AcceptedFormatsDecodeUprightAndOthersAreRefusedInOurWords)
{
    constexpr int w = 48, h = 40;
    TempDir dir;
    Bytes alpha;
    WritePixbufPicture(dir.File("alpha"), "png", w, h, 4, QuadrantPixels(w, h, 4));
    ASSERT_TRUE(ReadWholeFile(dir.File("alpha"), &alpha));
    const Bytes gif = QuadrantGifBytes();
    // Just over the size limit on one side is refused from the header.
    const Bytes wide = QuadrantGifBytes(kMaxPictureSide + 1, 2);
    const Bytes png = QuadrantPictureBytes("png", w, h);
    // GdkPixbuf's TGA loader complains on stderr when stopped at a grey
    // picture's header; users see our reason alone.
    Bytes greyTga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 8, 0};
    greyTga.resize(greyTga.size() + 64 * 64, 0x80);

    // format: the one decoded; probe: the header probe's reason (nullptr:
    // usable); decode: decoding's (nullptr: decodes, "": any reason).
    const struct {
        const char* format;
        Bytes bytes;
        const char* probe;
        const char* decode;
    } cases[] = {
        {"png", png, nullptr, nullptr},
        {"png", alpha, nullptr, nullptr},
        {"jpeg", QuadrantPictureBytes("jpeg", w, h), nullptr, nullptr},
        {"gif", gif, nullptr, nullptr},
        {"png", InterlacedQuadrantPng(w, h), nullptr, nullptr},
        // Wallpapers load through the SVG and WebP loaders; an SVG may open
        // with a byte-order mark and a comment.
        {"svg", Text(kSvg), nullptr, nullptr},
        {"svg", Text("\xEF\xBB\xBF<!-- drawn by hand -->\n" + std::string(kSvg)), nullptr, nullptr},
        {"webp", QuadrantPictureBytes("webp", w, h), nullptr, nullptr},
        // A GIF in a QuickTime wrapper goes to no loader at all.
        {"", QuickTimeImage(gif), "unsupported picture format qtif", "unsupported picture format qtif"},
        {"", {}, "not a picture", "not a picture"},
        {"", wide, "16385x2", "16385x2"},
        // Cut before its end chunk, which GdkPixbuf does not miss.
        {"", Bytes(png.begin(), png.end() - 12), nullptr, "the PNG picture is truncated"},
        {"", Text("hello\n"), "not a picture", ""},
        {"", greyTga, "unsupported picture format tga", "unsupported picture format tga"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        // Names say nothing: the decoder must go by content.
        const std::string path = dir.Write("picture" + std::to_string(n++), c.bytes);
        testing::internal::CaptureStderr();
        std::string probeWhy, fileWhy, bytesWhy;
        Picture fromFile, fromBytes;
        EXPECT_EQ(ProbePictureFile(path.c_str(), &probeWhy), c.probe == nullptr) << probeWhy;
        EXPECT_EQ(DecodePictureFile(path.c_str(), &fromFile, &fileWhy), c.decode == nullptr);
        EXPECT_EQ(DecodePictureBytes(c.bytes.data(), c.bytes.size(), &fromBytes, &bytesWhy), c.decode == nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_NE(probeWhy.find(c.probe ? c.probe : ""), std::string::npos) << probeWhy;
        for (const std::string& why : {fileWhy, bytesWhy}) {
            EXPECT_EQ(why.empty(), c.decode == nullptr) << why;
            EXPECT_NE(why.find(c.decode ? c.decode : ""), std::string::npos) << why;
        }
        EXPECT_EQ(fromFile.format(), c.format);
        EXPECT_EQ(fromBytes.pixels() == nullptr, c.decode != nullptr);
        if (!c.decode) {
            ExpectQuadrants(fromFile);
            ExpectQuadrants(fromBytes);
        }
    }
    const std::pair<std::string, const char*> unreadable[] = {{dir.File("missing.png"), "no such file or directory"},
                                                              {dir.path(), "it is a folder"}};
    for (const auto& u : unreadable) {
        std::string probeWhy, fileWhy;
        Picture picture;
        EXPECT_FALSE(ProbePictureFile(u.first.c_str(), &probeWhy) ||
                     DecodePictureFile(u.first.c_str(), &picture, &fileWhy));
        EXPECT_NE(probeWhy.find(u.second), std::string::npos) << probeWhy;
        EXPECT_EQ(fileWhy, probeWhy);
    }
}

// A named pipe called like a picture would block an ordinary open until a
// writer came. A writer does come here, a moment later, with a picture: a
// decoder that waited would decode it; one that refuses at once never sees it.
TEST(PictureDecoder, ANamedPipeInAPicturesPlaceIsRefusedWithoutWaiting)
{
    TempDir dir;
    const std::string pipe = dir.File("wallpaper.png");
    std::string probeWhy, fileWhy, resampledWhy;
    {
        const LatePipeWriter writer(pipe, QuadrantPictureBytes("png", 8, 8));
        ASSERT_TRUE(writer.made());
        Picture picture;
        ResampledPicture resampled;
        EXPECT_FALSE(ProbePictureFile(pipe.c_str(), &probeWhy));
        EXPECT_FALSE(DecodePictureFile(pipe.c_str(), &picture, &fileWhy));
        EXPECT_FALSE(DecodePictureFileResampled(
            pipe.c_str(), [](int) { return 8; }, &resampled, &resampledWhy));
    }
    for (const std::string& why : {probeWhy, fileWhy, resampledWhy})
        EXPECT_EQ(why, "it is a named pipe, not a file");
}

// Backgrounds come out at the size the rule gives, bottom row first, with
// the picture's own size beside them. A picture smaller than its texture is
// enlarged by nearest neighbour with truncation; a larger one is scaled down
// while it loads (JPEG, WebP, SVG) or resampled as its rows come (a plain
// PNG). Pictures that must be decoded whole are refused over the limit.
TEST(PictureDecoder, BackgroundsAreDecodedStraightToTheirTextureSize)
{
    TempDir dir;
    const struct {
        const char* format;
        Bytes bytes;
        int side;          // every side of the texture
        int width, height; // the picture's own
        const char* refusal;
    } cases[] = {
        {"png", QuadrantPictureBytes("png", 20, 10), 512, 20, 10, nullptr},
        {"png", QuadrantPictureBytes("png", 300, 200), 16, 300, 200, nullptr},
        {"png", InterlacedQuadrantPng(60, 40), 16, 60, 40, nullptr},
        {"jpeg", QuadrantPictureBytes("jpeg", 400, 320), 32, 400, 320, nullptr},
        {"webp", QuadrantPictureBytes("webp", 200, 160), 32, 200, 160, nullptr},
        {"svg", Text(kSvg), 64, 48, 40, nullptr},
        {"gif", QuadrantGifBytes(), 4, 2, 2, nullptr},
        // At the limit of pixels decoded whole, and just past it.
        {"gif", QuadrantGifBytes(8192, 8193), 4, 0, 0, "over the limit of 67 million pixels for a GIF"},
        {"png", PngCutAfterHeader(8193, 8192, true), 4, 0, 0, "for an interlaced PNG"},
        // A plain PNG of any size is read row by row; this one ends early.
        {"png", PngCutAfterHeader(16384, 16384, false), 4, 0, 0, "truncated"},
        {"", QuickTimeImage(QuadrantGifBytes()), 4, 0, 0, "unsupported picture format qtif"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::string path = dir.Write("background" + std::to_string(n++), c.bytes);
        ResampledPicture p;
        std::string why, probeWhy;
        const PictureSideRule side = [&](int) { return c.side; };
        ASSERT_EQ(DecodePictureFileResampled(path.c_str(), side, &p, &why), c.refusal == nullptr) << why;
        if (c.refusal) {
            EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
            // The header probe refuses what a background would, but no more.
            EXPECT_EQ(ProbePictureFile(path.c_str(), &probeWhy), std::string(c.refusal) == "truncated") << probeWhy;
            continue;
        }
        EXPECT_TRUE(ProbePictureFile(path.c_str(), &probeWhy)) << probeWhy;
        EXPECT_EQ(p.format(), c.format);
        EXPECT_EQ(std::make_pair(p.width(), p.height()), std::make_pair(c.side, c.side));
        EXPECT_EQ(std::make_pair(p.pictureWidth(), p.pictureHeight()), std::make_pair(c.width, c.height));
        // Quarter points of the texture, whose row 0 is the picture's bottom.
        for (int qy : {1, 3})
            for (int qx : {1, 3}) {
                const int x = qx * c.side / 4, y = qy * c.side / 4;
                const unsigned char* pixel = p.pixels() + (size_t(c.side - 1 - y) * c.side + x) * 3;
                EXPECT_TRUE(Near(pixel, QuadrantColour(x, y, c.side, c.side)))
                    << x << "," << y << ": " << int(pixel[0]) << " " << int(pixel[1]) << " " << int(pixel[2]);
            }
    }
    // Enlarged by truncation: 20 columns over 512 texels put texel 255 on
    // column 9 (red) and texel 256 on column 10 (green), in the top row.
    ResampledPicture p;
    ASSERT_TRUE(DecodePictureFileResampled(
        dir.File("background0").c_str(), [](int) { return 512; }, &p));
    EXPECT_TRUE(Near(p.pixels() + (511 * 512 + 255) * 3, kRed, 0));
    EXPECT_TRUE(Near(p.pixels() + (511 * 512 + 256) * 3, kGreen, 0));
}
