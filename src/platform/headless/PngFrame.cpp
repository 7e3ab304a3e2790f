// PngFrame: flipping the rows and encoding them as PNG.
#include "platform/headless/PngFrame.h"

#include "resources/PackWriter.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>

bool WritePngFrame(const std::string& path, const std::vector<unsigned char>& rgb, int width, int height,
                   std::vector<unsigned char>* rows, std::string* error)
{
    const size_t stride = size_t(width) * 3;
    if (width < 1 || height < 1 || rgb.size() < stride * size_t(height)) {
        *error = "frame has no pixels";
        return false;
    }
    rows->resize(stride * size_t(height));
    for (int y = 0; y < height; y++)
        std::memcpy(rows->data() + size_t(y) * stride, rgb.data() + size_t(height - 1 - y) * stride, stride);

    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(rows->data(), GDK_COLORSPACE_RGB, FALSE, 8, width, height,
                                                 int(stride), nullptr, nullptr);
    gchar* png = nullptr;
    gsize size = 0;
    GError* failure = nullptr;
    const bool encoded = gdk_pixbuf_save_to_buffer(pixbuf, &png, &size, "png", &failure, nullptr);
    g_object_unref(pixbuf);
    if (!encoded) {
        *error = failure ? failure->message : "cannot encode PNG";
        if (failure)
            g_error_free(failure);
        return false;
    }
    const std::vector<unsigned char> bytes(png, png + size);
    g_free(png);
    return WriteFileAtomically(path, bytes, error);
}
