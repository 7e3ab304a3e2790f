// JPGLoader: decoding picture bytes from memory into an upright texture.
#include "resources/JPGLoader.h"

#include "resources/PictureDecoder.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

bool BuildJPGTexture(Texture* texture, const unsigned char* bytes, long size, int /*option*/, std::string* why)
{
    if (!texture || !bytes || size < 0)
        return false;
    Picture picture;
    if (!DecodePictureBytes(bytes, size_t(size), &picture, why))
        return false;

    const size_t channels = size_t(picture.channels());
    const size_t rowBytes = size_t(picture.width()) * channels;
    const int height = picture.height();
    auto* pixels = static_cast<unsigned char*>(std::malloc(rowBytes * size_t(height)));
    if (!pixels)
        return false;
    // Pictures run top-down and OpenGL textures bottom-up. Whole pixels are
    // copied, so a picture with alpha keeps it.
    for (int y = 0; y < height; y++)
        std::memcpy(pixels + size_t(height - 1 - y) * rowBytes, picture.Row(y), rowBytes);

    std::free(texture->imageData);
    texture->imageData = pixels;
    texture->type = channels == 4 ? GL_RGBA : GL_RGB;
    texture->width = uint32_t(picture.width());
    texture->height = uint32_t(height);
    return BuildTextureNoTran(texture);
}
