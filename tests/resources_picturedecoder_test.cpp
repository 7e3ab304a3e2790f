// Tests of the picture decoder: the formats and variants users' folders hold,
// the size limit checked before decoding, and broken files.
#include "fixtures/TempDir.h"
#include "fixtures/TestPictures.h"
#include "resources/PackWriter.h"
#include "resources/PictureDecoder.h"

#include <gtest/gtest.h>

#include <functional>

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

TEST(PictureDecoder, EveryAcceptedFormatArrivesAsUprightEightBitRgb)
{
    constexpr int w = 48, h = 40;
    using Path = const std::string&;
    const struct {
        const char* name;
        std::function<void(Path path)> write;
    } variants[] = {
        {"plain.png", [](Path p) { WritePixbufPicture(p, "png", w, h, 3, QuadrantPixels(w, h, 3)); }},
        {"alpha.png", [](Path p) { WritePixbufPicture(p, "png", w, h, 4, QuadrantPixels(w, h, 4)); }},
        {"plain.jpg", [](Path p) { WritePixbufPicture(p, "jpeg", w, h, 3, QuadrantPixels(w, h, 3)); }},
        // An animated GIF gives its first frame.
        {"animated.gif", [](Path p) { WriteQuadrantGif(p, w, h, false, 3); }},
        // Wallpapers load through the SVG loader.
        {"wall.svg", [](Path p) { WriteFileAtomically(p, Text(kSvg), nullptr); }},
    };
    TempDir dir;
    for (const auto& v : variants) {
        SCOPED_TRACE(v.name);
        // Names say nothing: the decoder must go by content.
        const std::string path = dir.File(std::string(v.name) + ".bin");
        v.write(path);
        Picture picture;
        std::string why;
        ASSERT_TRUE(DecodePictureFile(path.c_str(), &picture, &why)) << why;
        EXPECT_EQ(std::make_pair(picture.width(), picture.height()), std::make_pair(w, h));
        ExpectQuadrants(picture);

        Bytes bytes;
        ASSERT_TRUE(ReadWholeFile(path, &bytes));
        Picture fromMemory;
        ASSERT_TRUE(DecodePictureBytes(bytes.data(), bytes.size(), &fromMemory, &why)) << why;
        ExpectQuadrants(fromMemory);
    }
}

TEST(PictureDecoder, BrokenHugeAndForeignFilesAreRefusedInOurWords)
{
    // Just over the size limit on one side is refused from the header.
    TempDir dir;
    const Bytes png = QuadrantPictureBytes("png", 32, 32);
    Bytes wide;
    WriteQuadrantGif(dir.File("wide.gif"), 8, 8, false);
    ASSERT_TRUE(ReadWholeFile(dir.File("wide.gif"), &wide));
    wide[6] = (kMaxPictureSide + 1) & 0xff;
    wide[7] = (kMaxPictureSide + 1) >> 8;
    // GdkPixbuf's TGA loader complains on stderr when stopped at a grey
    // picture's header; users see our reason alone.
    Bytes greyTga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 8, 0};
    greyTga.resize(greyTga.size() + 64 * 64, 0x80);

    // probe: the header probe's reason (nullptr: usable); decode: decoding's
    // (nullptr: decodes, "": any reason).
    const struct {
        const char* name;
        Bytes bytes;
        const char* probe;
        const char* decode;
    } cases[] = {
        {"wide.gif", wide, "16385x8", "16385x8"},
        {"cut.png", Bytes(png.begin(), png.end() - 12), nullptr, "the PNG picture is truncated"},
        {"text.png", Text("hello\n"), "not a picture", ""},
        {"grey.tga", greyTga, "unsupported picture format tga", "unsupported picture format tga"},
        {"good.png", png, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write(c.name, c.bytes);
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
        EXPECT_EQ(fromFile.format(), c.decode ? "" : "png");
        EXPECT_EQ(fromBytes.pixels() == nullptr, c.decode != nullptr);
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
