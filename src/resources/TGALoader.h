// TGALoader: decodes TGA images from a stream (a pack positioned at a lump, or
// a file) into a Texture's pixels.
//
// Accepted: true-colour images, uncompressed (type 2) or run-length encoded
// (type 10), at 24 or 32 bits, with no image ID, no colour map and origin 0.
// Pixels come out as R, G, B(, A) with rows in file order; the descriptor's
// origin bit is not applied, since the usual bottom-up order is what OpenGL
// wants. Every refusal shows an alert (MessageBox) and leaves no pixels in the
// record. The decoder keeps module-level scratch state: one decode at a time,
// on one thread.
#pragma once

#include "resources/Texture.h"

#include <istream>

// Reads the 12-byte header and hands over to one of the two decoders below.
bool LoadTGA2(Texture* texture, std::istream* stream);
// Both continue from just after the 12-byte header.
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream);
