// DesktopCapture: scaling, black test and upload of the display capture.
#include "view/DesktopCapture.h"

#include "resources/Pics.h"
#include "view/HostServices.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

uint32_t SideLimit(int detail)
{
    if (detail == 0)
        return 512;
    if (detail == 1)
        return 1024;
    // The own-size detail is held to what background pictures get.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return largest > 0 ? std::min(uint32_t(largest), uint32_t(kLargestBackgroundSide)) : 512;
}

// Scales the top-down RGB capture into width x height RGBA, bottom row first.
// The ground is drawn without blending, but the texture's alpha still lands
// in the view's buffer; weston carries that byte through even from a buffer
// without alpha, and a zero there shows as a hole: the capture is opaque.
std::vector<unsigned char> ScaleCapture(const std::vector<unsigned char>& rgb, int w, int h, uint32_t width,
                                        uint32_t height)
{
    std::vector<unsigned char> image(size_t(width) * height * 4, 0);
    for (uint32_t row = 0; row < height; row++) {
        const uint64_t sy = uint64_t(height - 1 - row) * uint64_t(h) / height;
        const unsigned char* source = rgb.data() + sy * uint64_t(w) * 3;
        unsigned char* out = image.data() + size_t(row) * width * 4;
        for (uint32_t x = 0; x < width; x++, out += 4) {
            const unsigned char* in = source + uint64_t(x) * uint64_t(w) / width * 3;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
        }
    }
    return image;
}

bool AnyColour(const std::vector<unsigned char>& image)
{
    for (size_t i = 0; i < image.size(); i += 4)
        if (image[i] != 0 || image[i + 1] != 0 || image[i + 2] != 0)
            return true;
    return false;
}

void Forget(uint32_t* name)
{
    if (*name != 0) {
        const GLuint texture = *name;
        glDeleteTextures(1, &texture);
    }
    *name = 0;
}

} // namespace

uint32_t CaptureTextureSide(int side, uint32_t limit)
{
    if (side < 1)
        return 1;
    const double exponent = std::floor(std::log(double(side)) / std::log(2.0) + 0.5);
    const uint32_t power = exponent >= 31 ? 0x80000000u : 1u << unsigned(exponent);
    return std::min(power, limit);
}

void captureDesktop(HostServices* host, uint32_t* name, int detail)
{
    std::vector<unsigned char> rgb;
    int w = 0, h = 0;
    const bool captured =
        host->CaptureMainDisplay(&rgb, &w, &h) && w > 0 && h > 0 && rgb.size() >= size_t(w) * size_t(h) * 3;
    host->MakeCurrent();
    if (!captured) {
        Forget(name);
        return;
    }
    const uint32_t limit = SideLimit(detail);
    const uint32_t width = CaptureTextureSide(w, limit);
    const uint32_t height = CaptureTextureSide(h, limit);
    const std::vector<unsigned char> image = ScaleCapture(rgb, w, h, width, height);
    if (!AnyColour(image)) {
        Forget(name);
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (*name == 0) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        *name = texture;
    }
    glBindTexture(GL_TEXTURE_2D, *name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.data());
}
