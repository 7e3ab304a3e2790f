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

#include <cstdint>
#include <istream>

// No bound besides the end of the stream.
constexpr uint64_t kTgaUnbounded = UINT64_MAX;

// Reads the 12-byte header and hands over to one of the two decoders below.
// The image may take at most size bytes from the stream: a pack passes its
// lump's size, so that a lump cut short fails instead of reading the next
// lump's bytes as pixels.
bool LoadTGA2(Texture* texture, std::istream* stream, uint64_t size = kTgaUnbounded);
// Both continue from just after the 12-byte header, with size counted from
// there.
bool LoadUncompressedTGA2(Texture* texture, std::istream* stream, uint64_t size = kTgaUnbounded);
bool LoadCompressedTGA2(Texture* texture, std::istream* stream, uint64_t size = kTgaUnbounded);
