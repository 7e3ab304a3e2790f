// PngRows: a plain (not interlaced) PNG decoded row by row with libpng, each
// row handed over as 8-bit R, G, B the moment it is decoded, so that a
// picture of any size is read in the memory of a row. GdkPixbuf's PNG loader
// fills a whole picture before its first row arrives and cannot decode to a
// smaller size, which makes a large PNG cost its full size in memory.
//
// The pixels are those GdkPixbuf gives: 16-bit samples cut to 8 bits,
// palettes and greys expanded, no gamma applied; the alpha channel is
// dropped. The bytes come in chunks of any size; a picture that stops before
// its end chunk, or whose data is corrupt, is an error.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class PngRows {
public:
    // Called once with the picture's size; false (with a reason) stops it.
    using Header = std::function<bool(int width, int height, std::string* why)>;
    // Called for every row from the top: y and width * 3 bytes.
    using Row = std::function<void(int y, const unsigned char* rgb)>;

    PngRows(Header header, Row row);
    ~PngRows();
    PngRows(const PngRows&) = delete;
    PngRows& operator=(const PngRows&) = delete;

    // False once the picture is refused or broken.
    bool Feed(const unsigned char* bytes, size_t size);
    // True when every row and the end chunk arrived; else *why says why.
    bool Finish(std::string* why);

    // What libpng's callbacks work on.
    struct State;

private:
    std::unique_ptr<State> state_;
};

// Whether the bytes open a PNG that is not interlaced.
bool IsPlainPng(const unsigned char* bytes, size_t size);
