// Texture: one picture on its way to OpenGL, and the routines that upload it
// or fill a whole array of them from a resource pack.
//
// A record goes from empty (no pixels, texID 0) to decoded (pixels, texID 0) to
// uploaded (no pixels, texID set). Uploading needs a current OpenGL context;
// so does destroying an uploaded record. Everything here runs at setup on the
// context's thread, never per frame.
#pragma once

#include <cstdint>
#include <string>

// Per-lump texture options, for pictures without their own alpha channel.
enum { TEXTURE_OPAQUE = 0, TEXTURE_COLOUR_KEY = 1, TEXTURE_ALPHA_FROM_BRIGHTNESS = 2 };

class Texture {
public:
    Texture() = default;
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Tightly packed rows of R, G, B(, A) bytes from malloc; null once uploaded.
    unsigned char* imageData = nullptr;
    // Bits per pixel of a decoded TGA (24 or 32); nothing reads it.
    uint32_t bpp = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    // OpenGL texture name, 0 for none.
    uint32_t texID = 0;
    // GL_RGB or GL_RGBA: the layout of imageData.
    uint32_t type = 0;
};

// Uploads imageData as RGBA, deriving alpha from the option when the pixels
// have none (a 32-bit source keeps its own), and frees the pixels.
// False when there are no pixels or too little memory (the record is then
// unchanged) or when OpenGL refuses the upload (the record is then emptied).
bool BuildTexture(Texture* texture, int option);

// Uploads imageData in its own format, without adding alpha, and frees the
// pixels. Fails as BuildTexture does.
bool BuildTextureNoTran(Texture* texture);

// Loads one texture per lump of the pack: TGA lumps (type 1) and JPEG lumps
// (type 3) are decoded and uploaded, lumps of other types stay empty. The new
// array and its count are handed over at once, so that after a failure the
// caller still owns, and must delete[], the textures built so far. When why
// is given, a failure is told there ("lump 3: ..." with the decoder's own
// alert or reason) and the decoders' alerts are not shown.
bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count, std::string* why = nullptr);

class RESFILE;

// Decodes and uploads lump `lump` of an open pack into one texture, by the
// lump's type as LoadTexturesFromDataFile does; other types leave it empty
// and succeed. The creature pack's loader shares it. Reasons as above.
bool LoadTextureLump(RESFILE* pack, int lump, Texture* texture, std::string* why = nullptr);
