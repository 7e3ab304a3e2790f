// TGALoader: the two accepted TGA variants and their refusals.
//
// Before allocating, the claimed image is checked against the bytes the stream
// really has left (when the stream can tell), so a 14-byte file cannot make us
// allocate gigabytes. Run-length packets are checked against the pixel count
// before every store, so no packet writes past the pixels.
#include "resources/TGALoader.h"

#include "maths/Misc.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

const unsigned char uTGAcompare[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const unsigned char cTGAcompare[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Scratch state of the decode in progress, overwritten by the next one.
struct TGAHeader {
    unsigned char Header[12];
};
struct TGA {
    unsigned char header[6];
    uint32_t bytesPerPixel;
    size_t imageSize;
    uint32_t Height;
    uint32_t Width;
    uint32_t Bpp;
};
TGAHeader tgaheader;
TGA tga;

// Every refusal is one alert and a false result.
bool Refuse(const char* text, const char* caption = "ERROR")
{
    MessageBox(nullptr, text, caption, 0);
    return false;
}

// Drops the record's pixels after a failed decode, then refuses.
bool RefuseAndDrop(Texture* texture, const char* text)
{
    std::free(texture->imageData);
    texture->imageData = nullptr;
    return Refuse(text);
}

bool ReadBytes(std::istream* stream, void* out, size_t size)
{
    return bool(stream->read(static_cast<char*>(out), std::streamsize(size)));
}

// Bytes between the read position and the end, or -1 when the stream cannot
// tell (it does not seek).
long long RemainingBytes(std::istream* stream)
{
    const std::streampos here = stream->tellg();
    if (here == std::streampos(-1))
        return -1;
    stream->seekg(0, std::ios::end);
    const std::streampos end = stream->tellg();
    stream->seekg(here);
    if (end == std::streampos(-1) || !*stream) {
        stream->clear();
        stream->seekg(here);
        return -1;
    }
    return (long long)(end - here);
}

// The start both decoders share: image spec, checks, and the pixel buffer.
// minimumBytes says how many bytes the pixel data needs at the least, so that
// an image the stream cannot hold is refused before anything is allocated.
bool ReadSpecAndAllocate(Texture* texture, std::istream* stream, size_t (*minimumBytes)(size_t pixels, size_t bytesPerPixel))
{
    if (!ReadBytes(stream, tga.header, sizeof tga.header))
        return Refuse("Could not read info header");
    texture->width = tga.header[0] + 256u * tga.header[1];
    texture->height = tga.header[2] + 256u * tga.header[3];
    texture->bpp = tga.header[4];
    tga.Width = texture->width;
    tga.Height = texture->height;
    tga.Bpp = texture->bpp;
    if (tga.Width == 0 || tga.Height == 0 || (tga.Bpp != 24 && tga.Bpp != 32))
        return Refuse("Invalid texture information");

    texture->type = tga.Bpp == 24 ? GL_RGB : GL_RGBA;
    tga.bytesPerPixel = tga.Bpp / 8;
    const size_t pixels = size_t(tga.Width) * tga.Height;
    tga.imageSize = tga.bytesPerPixel * pixels;

    const long long remaining = RemainingBytes(stream);
    if (remaining >= 0 && (unsigned long long)remaining < minimumBytes(pixels, tga.bytesPerPixel))
        return Refuse("Could not read image data");

    // A record handed in with pixels must not leak them.
    std::free(texture->imageData);
    texture->imageData = static_cast<unsigned char*>(std::malloc(tga.imageSize));
    if (!texture->imageData)
        return Refuse("Could not allocate memory for image");
    return true;
}

size_t UncompressedBytes(size_t pixels, size_t bytesPerPixel)
{
    return pixels * bytesPerPixel;
}

// The smallest run-length data for this many pixels: all runs of 128.
size_t CompressedBytes(size_t pixels, size_t bytesPerPixel)
{
    return (pixels + 127) / 128 * (1 + bytesPerPixel);
}

// A stream with nothing to read: missing, failed, or a file never opened.
bool Unusable(std::istream* stream)
{
    if (!stream || !*stream)
        return true;
    const auto* file = dynamic_cast<std::filebuf*>(stream->rdbuf());
    return file && !file->is_open();
}

} // namespace

bool LoadTGA2(Texture* texture, std::istream* stream)
{
    if (!texture || Unusable(stream))
        return Refuse("Could not open texture file");
    if (!ReadBytes(stream, tgaheader.Header, sizeof tgaheader.Header))
        return Refuse("Could not read file header");
    if (std::memcmp(tgaheader.Header, uTGAcompare, sizeof uTGAcompare) == 0)
        return LoadUncompressedTGA2(texture, stream);
    if (std::memcmp(tgaheader.Header, cTGAcompare, sizeof cTGAcompare) == 0)
        return LoadCompressedTGA2(texture, stream);
    return Refuse("TGA file be type 2 or type 10", "Invalid Image");
}

bool LoadUncompressedTGA2(Texture* texture, std::istream* stream)
{
    if (!texture || !stream)
        return Refuse("Could not open texture file");
    if (!ReadSpecAndAllocate(texture, stream, UncompressedBytes))
        return false;
    unsigned char* pixels = texture->imageData;
    if (!ReadBytes(stream, pixels, tga.imageSize))
        return RefuseAndDrop(texture, "Could not read image data");
    // B, G, R(, A) to R, G, B(, A).
    for (size_t i = 0; i < tga.imageSize; i += tga.bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    return true;
}

bool LoadCompressedTGA2(Texture* texture, std::istream* stream)
{
    if (!texture || !stream)
        return Refuse("Could not open texture file");
    if (!ReadSpecAndAllocate(texture, stream, CompressedBytes))
        return false;

    const size_t pixelCount = size_t(tga.Width) * tga.Height;
    const size_t step = tga.bytesPerPixel;
    const bool alpha = step == 4;
    unsigned char colour[4];
    size_t currentPixel = 0;
    unsigned char* out = texture->imageData;
    // Stores one pixel, B, G, R(, A) to R, G, B(, A).
    auto store = [&]() {
        out[0] = colour[2];
        out[1] = colour[1];
        out[2] = colour[0];
        if (alpha)
            out[3] = colour[3];
        out += step;
    };

    while (currentPixel < pixelCount) {
        unsigned char header;
        if (!ReadBytes(stream, &header, 1))
            return RefuseAndDrop(texture, "Could not read RLE header");
        if (header < 128) {
            const size_t count = size_t(header) + 1;
            for (size_t i = 0; i < count; i++) {
                if (!ReadBytes(stream, colour, step))
                    return RefuseAndDrop(texture, "Could not read image data");
                if (currentPixel + i + 1 > pixelCount)
                    return RefuseAndDrop(texture, "Too many pixels read");
                store();
            }
            currentPixel += count;
        } else {
            const size_t count = size_t(header) - 127;
            if (!ReadBytes(stream, colour, step))
                return RefuseAndDrop(texture, "Could not read from file");
            for (size_t i = 0; i < count; i++) {
                if (currentPixel + i + 1 > pixelCount)
                    return RefuseAndDrop(texture, "Too many pixels read");
                store();
            }
            currentPixel += count;
        }
    }
    return true;
}
