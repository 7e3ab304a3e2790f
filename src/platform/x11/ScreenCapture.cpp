// ScreenCapture: reading pixmaps and the root window into RGB rows.
#include "platform/x11/ScreenCapture.h"

#include "platform/x11/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

namespace {

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// The colour masks of the default visual, for images of pixmaps, which carry
// none of their own.
bool DefaultMasks(Display* display, unsigned long masks[3])
{
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return false;
    masks[0] = visual->red_mask;
    masks[1] = visual->green_mask;
    masks[2] = visual->blue_mask;
    return true;
}

bool ImageToRgb(Display* display, XImage* image, std::vector<unsigned char>* rgb)
{
    unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
    if ((masks[0] == 0 || masks[1] == 0 || masks[2] == 0) &&
        (image->depth != DefaultDepth(display, DefaultScreen(display)) || !DefaultMasks(display, masks)))
        return false;
    rgb->resize(size_t(image->width) * size_t(image->height) * 3);
    unsigned char* out = rgb->data();
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++, out += 3) {
            const unsigned long pixel = XGetPixel(image, x, y);
            out[0] = ChannelByte(pixel, masks[0]);
            out[1] = ChannelByte(pixel, masks[1]);
            out[2] = ChannelByte(pixel, masks[2]);
        }
    return true;
}

bool ReadDrawable(Display* display, Drawable drawable, int x, int y, int width, int height,
                  std::vector<unsigned char>* rgb, int* outWidth, int* outHeight)
{
    ImagePtr image;
    {
        X11ErrorTrap trap(display);
        image.reset(XGetImage(display, drawable, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap));
        if (trap.Failed())
            return false;
    }
    if (!image || !ImageToRgb(display, image.get(), rgb))
        return false;
    *outWidth = image->width;
    *outHeight = image->height;
    return true;
}

} // namespace

uint8_t ChannelByte(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        shift++;
    const unsigned long top = mask >> shift;
    int bits = 0;
    while ((top >> bits) & 1)
        bits++;
    const unsigned long value = (pixel & mask) >> shift;
    if (bits >= 8)
        return uint8_t(value >> (bits - 8));
    // Fewer than 8 bits: stretch so the largest value becomes 255.
    return uint8_t((value * 255 + top / 2) / top);
}

bool CaptureScreenshotProperty(Display* display, Window window, std::vector<unsigned char>* rgb, int* width,
                               int* height)
{
    const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", True);
    if (property == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    {
        X11ErrorTrap trap(display);
        const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                                              &after, &data);
        if (!trap.Failed() && status == Success && type == XA_PIXMAP && format == 32 && count == 1 && data)
            pixmap = Pixmap(*reinterpret_cast<unsigned long*>(data));
    }
    if (data)
        XFree(data);
    if (pixmap == None)
        return false;

    Window root;
    int x, y;
    unsigned int w = 0, h = 0, border, depth;
    {
        X11ErrorTrap trap(display);
        const Status got = XGetGeometry(display, pixmap, &root, &x, &y, &w, &h, &border, &depth);
        if (trap.Failed() || !got || w == 0 || h == 0)
            return false;
    }
    return ReadDrawable(display, pixmap, 0, 0, int(w), int(h), rgb, width, height);
}

bool CaptureRootArea(Display* display, int x, int y, int width, int height, std::vector<unsigned char>* rgb,
                     int* outWidth, int* outHeight)
{
    const int screen = DefaultScreen(display);
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = std::min(x + width, DisplayWidth(display, screen));
    const int bottom = std::min(y + height, DisplayHeight(display, screen));
    if (right <= left || bottom <= top)
        return false;
    return ReadDrawable(display, RootWindow(display, screen), left, top, right - left, bottom - top, rgb, outWidth,
                        outHeight);
}
