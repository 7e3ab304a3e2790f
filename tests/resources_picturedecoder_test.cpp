// Tests of the picture decoder: the accepted formats, recognised by content,
// the size limit checked before decoding, and broken files.
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

Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }

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
    // The quadrants at 2x2: a 4-colour table and uncompressed LZW data.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0xF1, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255,
                       255, 0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x40, 2, 3, 0x44, 0xA8, 0x15, 0, 0x3B};
    // Just over the size limit on one side is refused from the header.
    Bytes wide = gif;
    wide[6] = (kMaxPictureSide + 1) & 0xff;
    wide[7] = (kMaxPictureSide + 1) >> 8;
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
        // Wallpapers load through the SVG loader.
        {"svg", Text(kSvg), nullptr, nullptr},
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
        EXPECT_FALSE(ProbePictureFile(u.first.c_str(), &probeWhy) || DecodePictureFile(u.first.c_str(), &picture, &fileWhy));
        EXPECT_NE(probeWhy.find(u.second), std::string::npos) << probeWhy;
        EXPECT_EQ(fileWhy, probeWhy);
    }
}
