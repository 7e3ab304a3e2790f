// TGALoader: the two accepted TGA variants and their refusals.
//
// Every read stays within the bytes the caller allows (a pack lump's size).
// Before allocating, the claimed image is checked against the bytes really
// left (when the stream can tell), so a 14-byte file cannot make us allocate
// gigabytes. Run-length packets are checked against the pixel count before
// every store, so no packet writes past the pixels.
#include "resources/TGALoader.h"

#include "maths/Misc.h"

#include <GL/gl.h>

#include <algorithm>
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

// Bytes between the read position and the end, or kTgaUnbounded when the
// stream cannot tell (it does not seek).
uint64_t RemainingBytes(std::istream* stream)
{
    const std::streampos here = stream->tellg();
    if (here == std::streampos(-1))
        return kTgaUnbounded;
    stream->seekg(0, std::ios::end);
    const std::streampos end = stream->tellg();
    stream->seekg(here);
    if (end == std::streampos(-1) || !*stream) {
        stream->clear();
        stream->seekg(here);
        return kTgaUnbounded;
    }
    return end > here ? uint64_t(end - here) : 0;
}

// The stream as one image may use it: at most `left` more bytes.
struct Source {
    std::istream* in;
    uint64_t left;

    bool Read(void* out, size_t size)
    {
        if (size > left || !in->read(static_cast<char*>(out), std::streamsize(size)))
            return false;
        left -= size;
        return true;
    }
    // Whether the bytes still to be had are known to fall short of `needed`.
    bool Lacks(uint64_t needed)
    {
        const uint64_t remaining = std::min(RemainingBytes(in), left);
        return remaining != kTgaUnbounded && remaining < needed;
    }
};

// Reads and checks the image spec both decoders share.
bool ReadSpec(Texture* texture, Source& source)
{
    if (!source.Read(tga.header, sizeof tga.header))
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
    tga.imageSize = tga.bytesPerPixel * size_t(tga.Width) * tga.Height;
    return true;
}

bool AllocatePixels(Texture* texture)
{
    // A record handed in with pixels must not leak them.
    std::free(texture->imageData);
    texture->imageData = static_cast<unsigned char*>(std::malloc(tga.imageSize));
    if (!texture->imageData)
        return Refuse("Could not allocate memory for image");
    return true;
}

// The smallest run-length data for this many pixels: all runs of 128.
uint64_t CompressedBytes(size_t pixels, size_t bytesPerPixel)
{
    return (uint64_t(pixels) + 127) / 128 * (1 + bytesPerPixel);
}

// Reads run-length packets until they cover pixelCount pixels, storing each
// pixel as R, G, B(, A) into out, or nowhere when out is null. Returns the
// alert of the first fault, or null. The pixel-count check comes before every
// store, so no packet writes past the pixels.
const char* ReadPackets(Source& source, size_t pixelCount, unsigned char* out)
{
    const size_t step = tga.bytesPerPixel;
    unsigned char colour[4];
    auto store = [&]() {
        if (!out)
            return;
        out[0] = colour[2];
        out[1] = colour[1];
        out[2] = colour[0];
        if (step == 4)
            out[3] = colour[3];
        out += step;
    };

    size_t currentPixel = 0;
    while (currentPixel < pixelCount) {
        unsigned char header;
        if (!source.Read(&header, 1))
            return "Could not read RLE header";
        const bool raw = header < 128;
        const size_t count = raw ? size_t(header) + 1 : size_t(header) - 127;
        if (!raw && !source.Read(colour, step))
            return "Could not read from file";
        for (size_t i = 0; i < count; i++) {
            if (raw && !source.Read(colour, step))
                return "Could not read image data";
            if (currentPixel + i + 1 > pixelCount)
                return "Too many pixels read";
            store();
        }
        currentPixel += count;
    }
    return nullptr;
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

bool LoadTGA2(Texture* texture, std::istream* stream, uint64_t size)
{
    if (!texture || Unusable(stream))
        return Refuse("Could not open texture file");
    Source source{stream, size};
    if (!source.Read(tgaheader.Header, sizeof tgaheader.Header))
        return Refuse("Could not read file header");
    if (std::memcmp(tgaheader.Header, uTGAcompare, sizeof uTGAcompare) == 0)
        return LoadUncompressedTGA2(texture, stream, source.left);
    if (std::memcmp(tgaheader.Header, cTGAcompare, sizeof cTGAcompare) == 0)
        return LoadCompressedTGA2(texture, stream, source.left);
    return Refuse("TGA file be type 2 or type 10", "Invalid Image");
}

bool LoadUncompressedTGA2(Texture* texture, std::istream* stream, uint64_t size)
{
    if (!texture || !stream)
        return Refuse("Could not open texture file");
    Source source{stream, size};
    if (!ReadSpec(texture, source))
        return false;
    // An image the stream cannot hold is refused before anything is allocated.
    if (source.Lacks(tga.imageSize))
        return Refuse("Could not read image data");
    if (!AllocatePixels(texture))
        return false;
    unsigned char* pixels = texture->imageData;
    if (!source.Read(pixels, tga.imageSize))
        return RefuseAndDrop(texture, "Could not read image data");
    // B, G, R(, A) to R, G, B(, A).
    for (size_t i = 0; i < tga.imageSize; i += tga.bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    return true;
}

bool LoadCompressedTGA2(Texture* texture, std::istream* stream, uint64_t size)
{
    if (!texture || !stream)
        return Refuse("Could not open texture file");
    Source source{stream, size};
    if (!ReadSpec(texture, source))
        return false;
    const size_t pixelCount = size_t(tga.Width) * tga.Height;
    // Data too short for even the tightest packets cannot hold the image: it
    // is refused before anything is allocated, yet with the alert of the place
    // where it ends, found by reading the packets without storing them.
    if (source.Lacks(CompressedBytes(pixelCount, tga.bytesPerPixel))) {
        const char* alert = ReadPackets(source, pixelCount, nullptr);
        return Refuse(alert ? alert : "Could not read image data");
    }
    if (!AllocatePixels(texture))
        return false;
    if (const char* alert = ReadPackets(source, pixelCount, texture->imageData))
        return RefuseAndDrop(texture, alert);
    return true;
}
