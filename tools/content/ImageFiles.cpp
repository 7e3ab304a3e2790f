// ImageFiles: TGA (types 2 and 10) and JPEG encoding.
#include "ImageFiles.h"

#include "resources/PngWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// One pixel in file order: B, G, R(, A).
void FilePixel(const unsigned char* rgba, int bytes, unsigned char* out)
{
    out[0] = rgba[2];
    out[1] = rgba[1];
    out[2] = rgba[0];
    if (bytes == 4)
        out[3] = rgba[3];
}

// Pixels in file order, bottom row first.
std::vector<unsigned char> FilePixels(const Canvas& canvas, int bytes)
{
    const std::vector<unsigned char> rgba = canvas.Rgba8();
    const int w = canvas.width(), h = canvas.height();
    std::vector<unsigned char> out(size_t(w) * h * bytes);
    for (int row = 0; row < h; row++) {
        const unsigned char* src = &rgba[size_t(h - 1 - row) * w * 4];
        for (int x = 0; x < w; x++)
            FilePixel(src + x * 4, bytes, &out[(size_t(row) * w + x) * bytes]);
    }
    return out;
}

// Run-length packets of at most 128 pixels; runs of 2 or more identical
// pixels become run packets, everything else raw packets.
void AppendRle(std::vector<unsigned char>& out, const std::vector<unsigned char>& px, int bytes)
{
    const size_t count = px.size() / bytes;
    auto same = [&](size_t a, size_t b) { return std::memcmp(&px[a * bytes], &px[b * bytes], bytes) == 0; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            run++;
        if (run >= 2) {
            out.push_back(static_cast<unsigned char>(127 + run));
            out.insert(out.end(), &px[i * bytes], &px[i * bytes] + bytes);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
            raw++;
        out.push_back(static_cast<unsigned char>(raw - 1));
        out.insert(out.end(), &px[i * bytes], &px[(i + raw) * bytes]);
        i += raw;
    }
}

} // namespace

std::vector<unsigned char> EncodeTga(const Canvas& canvas, TgaKind kind)
{
    const bool rle = kind == TgaKind::Rle24 || kind == TgaKind::Rle32;
    const int bytes = kind == TgaKind::Raw32 || kind == TgaKind::Rle32 ? 4 : 3;
    std::vector<unsigned char> out(18, 0);
    out[2] = rle ? 10 : 2;
    out[12] = static_cast<unsigned char>(canvas.width());
    out[13] = static_cast<unsigned char>(canvas.width() >> 8);
    out[14] = static_cast<unsigned char>(canvas.height());
    out[15] = static_cast<unsigned char>(canvas.height() >> 8);
    out[16] = static_cast<unsigned char>(bytes * 8);
    out[17] = bytes == 4 ? 8 : 0; // alpha bits; origin bottom-left
    const std::vector<unsigned char> px = FilePixels(canvas, bytes);
    if (rle)
        AppendRle(out, px, bytes);
    else
        out.insert(out.end(), px.begin(), px.end());
    return out;
}

std::vector<unsigned char> EncodeJpeg(const Canvas& canvas, int quality)
{
    const std::vector<unsigned char> rgba = canvas.Rgba8();
    std::vector<unsigned char> rgb(size_t(canvas.width()) * canvas.height() * 3);
    for (size_t i = 0, n = rgb.size() / 3; i < n; i++)
        std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, canvas.width(),
                                                 canvas.height(), canvas.width() * 3, nullptr, nullptr);
    gchar* buffer = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    const std::string q = std::to_string(quality);
    const gboolean ok =
        gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", &error, "quality", q.c_str(), nullptr);
    g_object_unref(pixbuf);
    if (!ok) {
        const std::string why = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("JPEG encoding failed: " + why);
    }
    std::vector<unsigned char> out(buffer, buffer + size);
    g_free(buffer);
    return out;
}

bool SavePng(const Canvas& canvas, const std::string& path)
{
    const std::vector<unsigned char> rgba = canvas.Rgba8();
    std::string error;
    return WritePngFile(path, rgba.data(), canvas.width(), canvas.height(), 4, &error);
}
