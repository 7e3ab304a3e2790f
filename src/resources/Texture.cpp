// Texture: the record's lifetime, the two uploads and the scene pack loader.
//
// Uploads set GL_UNPACK_ALIGNMENT to 1 for their own call, since decoded rows
// are tightly packed and an RGB picture of odd width would otherwise be read
// past its end. No mipmaps are built and sizes are not rounded.
#include "resources/Texture.h"

#include "maths/Misc.h"
#include "resources/JPGLoader.h"
#include "resources/ResFile.h"
#include "resources/TGALoader.h"

#include <GL/gl.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>

Texture::~Texture()
{
    std::free(imageData);
    imageData = nullptr;
    if (texID != 0) {
        const GLuint name = texID;
        glDeleteTextures(1, &name);
        texID = 0;
    }
}

namespace {

bool Fail(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

// Forgets any name the record held, so a rebuilt record does not leak one.
void ReleaseName(Texture* texture)
{
    if (texture->texID != 0) {
        const GLuint name = texture->texID;
        glDeleteTextures(1, &name);
        texture->texID = 0;
    }
}

// Creates a texture name for the record, uploads the pixels with the common
// parameters and drops the pixels. A refused upload (for example a side over
// GL_MAX_TEXTURE_SIZE) empties the record rather than pass for success.
bool Upload(Texture* texture, GLenum format, const unsigned char* pixels)
{
    ReleaseName(texture);
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    texture->texID = name;
    glBindTexture(GL_TEXTURE_2D, name);

    GLint oldAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(texture->width), GLsizei(texture->height), 0, format, GL_UNSIGNED_BYTE,
                 pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
    const bool uploaded = glGetError() == GL_NO_ERROR && name != 0;

    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    std::free(texture->imageData);
    texture->imageData = nullptr;
    if (!uploaded)
        ReleaseName(texture);
    return uploaded;
}

// The alpha a pixel without its own gets under a texture option.
unsigned char DerivedAlpha(const unsigned char* pixel, const unsigned char* key, int option)
{
    if (option == TEXTURE_ALPHA_FROM_BRIGHTNESS) {
        unsigned char brightest = pixel[0];
        if (pixel[1] > brightest)
            brightest = pixel[1];
        if (pixel[2] > brightest)
            brightest = pixel[2];
        return brightest;
    }
    if (option == TEXTURE_COLOUR_KEY && pixel[0] == key[0] && pixel[1] == key[1] && pixel[2] == key[2])
        return 0;
    return 255;
}

} // namespace

bool BuildTexture(Texture* texture, int option)
{
    if (!texture || !texture->imageData)
        return false;
    const size_t pixelCount = size_t(texture->width) * texture->height;
    std::unique_ptr<unsigned char[]> rgba(new (std::nothrow) unsigned char[pixelCount * 4]);
    if (!rgba)
        return false;

    // The first pixel's colour is the key of colour-key transparency.
    const unsigned char* source = texture->imageData;
    const unsigned char key[3] = {source[0], source[1], source[2]};
    const bool ownAlpha = texture->type == GL_RGBA;
    const size_t sourceStride = ownAlpha ? 4 : 3;
    unsigned char* out = rgba.get();
    for (size_t i = 0; i < pixelCount; i++, source += sourceStride, out += 4) {
        out[0] = source[0];
        out[1] = source[1];
        out[2] = source[2];
        out[3] = ownAlpha ? source[3] : DerivedAlpha(source, key, option);
    }
    return Upload(texture, GL_RGBA, rgba.get());
}

bool BuildTextureNoTran(Texture* texture)
{
    if (!texture || !texture->imageData)
        return false;
    const GLenum format = texture->type == GL_RGBA ? GL_RGBA : GL_RGB;
    return Upload(texture, format, texture->imageData);
}

namespace {

// Decodes and uploads one lump into its texture; lumps of other types are
// left empty and count as success.
bool LoadLump(RESFILE* pack, int lump, Texture* texture, std::string* why)
{
    const RESLUMP& entry = pack->lumps[lump];
    const int option = int(entry.option);
    if (entry.type == LUMP_JPEG) {
        unsigned char* raw = nullptr;
        if (!pack->LoadData(lump, &raw))
            return Fail(why, pack->failure);
        const std::unique_ptr<unsigned char[]> bytes(raw);
        return BuildJPGTexture(texture, bytes.get(), long(entry.size), option, why);
    }
    if (entry.type != LUMP_TGA)
        return true;
    if (!pack->SeekLump(lump))
        return Fail(why, pack->failure);
    // The TGA decoder says why in its alert.
    std::optional<AlertCapture> alert;
    if (why)
        alert.emplace();
    if (!LoadTGA2(texture, &pack->stream, entry.size))
        return Fail(why, alert ? alert->text() : "");
    return BuildTexture(texture, option) || Fail(why, "OpenGL cannot make a texture of it");
}

// LoadLump, with a reason that names the lump.
bool LoadNamedLump(RESFILE* pack, int lump, Texture* texture, std::string* why)
{
    if (LoadLump(pack, lump, texture, why))
        return true;
    if (why)
        *why = "lump " + std::to_string(lump) + ": " + (why->empty() ? "it cannot be decoded" : *why);
    return false;
}

} // namespace

bool LoadTexturesFromDataFile(const char* path, Texture** textures, int* count, std::string* why)
{
    if (!path || !textures || !count)
        return Fail(why, "no pack given");
    // The pack closes itself on every way out of this function.
    RESFILE pack;
    if (!pack.Open(path))
        return Fail(why, pack.failure);
    // Open has checked that the table fits in the file; the count must also
    // fit the int the caller receives.
    if (pack.header.numLumps > uint32_t(INT_MAX))
        return Fail(why, "it holds too many lumps");
    const int lumpCount = int(pack.header.numLumps);
    Texture* array = new (std::nothrow) Texture[lumpCount];
    if (!array) {
        ERRORCLOSE("Unable to allocate memory!");
        return Fail(why, "out of memory");
    }
    *count = lumpCount;
    *textures = array;
    for (int i = 0; i < lumpCount; i++) {
        if (!LoadNamedLump(&pack, i, &array[i], why))
            return false;
    }
    return true;
}

bool LoadTextureLump(RESFILE* pack, int lump, Texture* texture, std::string* why)
{
    return LoadNamedLump(pack, lump, texture, why);
}
