// ScreenCapture: the desktop as top-down R, G, B rows, for the
// captured-desktop background.
//
// Two sources: the pixmap XScreenSaver leaves in the _SCREENSAVER_SCREENSHOT
// property of the window it gives a saver (the desktop as it was before
// blanking), and an area of the root window, read before our own windows
// map. Only true-colour and direct-colour visuals are read; others count as
// no capture.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

// The colour byte of a pixel value for one channel mask, scaled to 0..255.
uint8_t ChannelByte(unsigned long pixel, unsigned long mask);

// False when the window carries no screenshot or it cannot be read.
bool CaptureScreenshotProperty(Display* display, Window window, std::vector<unsigned char>* rgb, int* width,
                               int* height);

// The part of the given rectangle that lies on the root window of the
// default screen; false when none does or it cannot be read.
bool CaptureRootArea(Display* display, int x, int y, int width, int height, std::vector<unsigned char>* rgb,
                     int* outWidth, int* outHeight);
