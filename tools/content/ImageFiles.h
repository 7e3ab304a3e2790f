// ImageFiles: encoders for the picture lumps of the generated packs.
//
// TGA files are written bottom row first (the order TGA files normally use and
// the order our decoder hands to OpenGL), with no ID and no colour map, which is
// the only header our decoder accepts.
#pragma once

#include "Canvas.h"

#include <string>
#include <vector>

enum class TgaKind { Raw24, Raw32, Rle24, Rle32 };

std::vector<unsigned char> EncodeTga(const Canvas& canvas, TgaKind kind);
// JPEG through GdkPixbuf; the alpha channel is dropped. Throws on failure.
std::vector<unsigned char> EncodeJpeg(const Canvas& canvas, int quality);
// Writes the canvas as an RGBA PNG file; false on failure.
bool SavePng(const Canvas& canvas, const std::string& path);
