// PngWriter: encoding with GdkPixbuf and writing atomically.
#include "resources/PngWriter.h"

#include "resources/AtomicFile.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <vector>

bool WritePngFile(const std::string& path, const unsigned char* pixels, int width, int height, int channels,
                  std::string* error)
{
    if (width < 1 || height < 1 || (channels != 3 && channels != 4)) {
        *error = "picture has no pixels";
        return false;
    }
    // GdkPixbuf only reads the pixels here, whatever its signature says.
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(const_cast<unsigned char*>(pixels), GDK_COLORSPACE_RGB, channels == 4,
                                                 8, width, height, width * channels, nullptr, nullptr);
    if (!pixbuf) {
        *error = "out of memory";
        return false;
    }
    gchar* png = nullptr;
    gsize size = 0;
    GError* failure = nullptr;
    const bool encoded = gdk_pixbuf_save_to_buffer(pixbuf, &png, &size, "png", &failure, nullptr);
    g_object_unref(pixbuf);
    if (!encoded) {
        *error = failure ? failure->message : "cannot encode PNG";
        g_clear_error(&failure);
        return false;
    }
    const std::vector<unsigned char> bytes(png, png + size);
    g_free(png);
    return WriteFileAtomically(path, bytes, error);
}
