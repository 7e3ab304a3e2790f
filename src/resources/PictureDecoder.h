// PictureDecoder: turns picture files and in-memory picture bytes into 8-bit
// RGB or RGBA rows, through GdkPixbuf.
//
// The format is told from the first bytes, never from the name, before any
// decoder sees them: only JPEG, PNG, GIF, WebP and SVG are accepted, and a
// GdkPixbuf loader is created for that one format alone, so nothing is ever
// decoded by a format we refuse (a QuickTime wrapper around a GIF, say).
// Greyscale, paletted, 16-bit, interlaced and CMYK pictures arrive as 8-bit
// RGB(A); an animated GIF gives its first frame; a photograph's embedded
// orientation is applied. The size is read from the header first, and a
// picture over kMaxPictureSide pixels on a side is refused before anything is
// decoded. A truncated or corrupt picture is an error, not a partial picture.
// GdkPixbuf's own warnings while we decode are dropped: our reasons are the
// ones users see. Files are opened as RegularFile does, so a named pipe in a
// picture's place is refused rather than waited on.
//
// A background is decoded straight to the size it is shown at: JPEG, WebP and
// SVG are scaled down by their loaders while they load, a PNG is resampled
// row by row as its rows arrive and its decoded rows are given back to the
// system, so no picture costs memory for more than what it is shown at.
// Formats that can do neither (GIF, interlaced PNG) are refused over
// kMostWholePixels pixels.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

struct _GdkPixbuf;

constexpr int kMaxPictureSide = 16384;
// Pictures decoded whole at their own size for a background, 4 bytes a pixel.
constexpr long long kMostWholePixels = 8192LL * 8192;

// One decoded picture: rows from the top, `stride` bytes apart, of `channels`
// bytes per pixel (3 for R, G, B; 4 with alpha). Only width * channels bytes of
// each row are pixels, and the last row may be no longer than that.
class Picture {
public:
    int width() const { return width_; }
    int height() const { return height_; }
    int channels() const { return channels_; }
    size_t stride() const { return stride_; }
    const unsigned char* pixels() const { return pixels_; }
    // GdkPixbuf's name of the format it was decoded from: "jpeg", "png", ...
    const std::string& format() const { return format_; }
    // A row from the top, 0 <= y < height.
    const unsigned char* Row(int y) const { return pixels_ + size_t(y) * stride_; }

private:
    friend class PictureLoad;
    struct Unref {
        void operator()(_GdkPixbuf* pixbuf) const;
    };
    std::unique_ptr<_GdkPixbuf, Unref> pixbuf_;
    int width_ = 0;
    int height_ = 0;
    int channels_ = 0;
    size_t stride_ = 0;
    const unsigned char* pixels_ = nullptr;
    std::string format_;
};

// The side a picture is shown at for a side of the upright picture (at least
// 1 both). Asked once for the width and once for the height.
using PictureSideRule = std::function<int(int side)>;

// An opaque picture resampled to the sides the rule gave: width * height
// pixels of R, G, B, tightly packed, the picture's bottom row first (OpenGL's
// order). Each pixel is the picture's pixel at int(x * scale) of the decoded
// picture, per axis, in single precision: nearest neighbour with truncation.
class ResampledPicture {
public:
    ResampledPicture() = default;
    ~ResampledPicture();
    ResampledPicture(const ResampledPicture&) = delete;
    ResampledPicture& operator=(const ResampledPicture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // The upright picture's own size.
    int pictureWidth() const { return pictureWidth_; }
    int pictureHeight() const { return pictureHeight_; }
    const std::string& format() const { return format_; }
    const unsigned char* pixels() const { return pixels_; }
    // Hands the pixels (from malloc) over to the caller, who frees them.
    unsigned char* TakePixels();

private:
    friend class PictureLoad;
    unsigned char* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    std::string format_;
};

// Decode a file or bytes into *picture. On failure *picture is unchanged and
// *why, when given, says what went wrong.
bool DecodePictureFile(const char* path, Picture* picture, std::string* why = nullptr);
bool DecodePictureBytes(const unsigned char* bytes, size_t size, Picture* picture, std::string* why = nullptr);
// Decodes a file straight to the size the rule gives, for a background. On
// failure *picture is unchanged and *why says what went wrong.
bool DecodePictureFileResampled(const char* path, const PictureSideRule& side, ResampledPicture* picture,
                                std::string* why = nullptr);
// Whether a file looks usable as a background from its header alone: it
// opens, and is a picture of an accepted format and size. Nothing is
// decoded, so a picture that is broken further on still passes. On failure
// *why says what is wrong.
bool ProbePictureFile(const char* path, std::string* why = nullptr);
