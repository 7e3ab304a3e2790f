// PictureDecoder: turns picture files and in-memory picture bytes into 8-bit
// RGB or RGBA rows, through GdkPixbuf.
//
// The format is recognised by content, never by name. Only JPEG, PNG, GIF,
// and SVG or WebP where their loaders are installed, are accepted; other
// formats GdkPixbuf happens to know are refused. Greyscale, paletted, 16-bit,
// interlaced and CMYK pictures arrive as 8-bit RGB(A); an animated GIF gives
// its first frame; a photograph's embedded orientation is applied. The size is
// read from the header first, and a picture over kMaxPictureSide pixels on a
// side is refused before anything is decoded. A truncated or corrupt picture
// is an error, not a partial picture. GdkPixbuf's own warnings while we decode
// are dropped: our reasons are the ones users see.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct _GdkPixbuf;

constexpr int kMaxPictureSide = 16384;

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

// Decode a file or bytes into *picture. On failure *picture is unchanged and
// *why, when given, says what went wrong.
bool DecodePictureFile(const char* path, Picture* picture, std::string* why = nullptr);
bool DecodePictureBytes(const unsigned char* bytes, size_t size, Picture* picture, std::string* why = nullptr);
// Whether a file looks usable from its header alone: it opens, and is a
// picture of an accepted format and size. Nothing is decoded, so a picture
// that is broken further on still passes. On failure *why says what is wrong.
bool ProbePictureFile(const char* path, std::string* why = nullptr);
