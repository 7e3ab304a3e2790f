// PngWriter: writes 8-bit RGB or RGBA pixels as a PNG file with GdkPixbuf,
// through a temporary file and a rename, so a failed write leaves nothing
// half-written.
#pragma once

#include <string>

// pixels: height rows of width * channels bytes (3 or 4), top row first.
// On failure *error says why.
bool WritePngFile(const std::string& path, const unsigned char* pixels, int width, int height, int channels,
                  std::string* error);
