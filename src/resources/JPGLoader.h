// JPGLoader: textures from compressed picture bytes held in memory (the JPEG
// lumps of the packs). Any format the picture decoder accepts works, since it
// recognises pictures by content.
#pragma once

#include "resources/Texture.h"

#include <string>

// Decodes the bytes, flips the rows so the picture shows upright, and uploads
// it with BuildTextureNoTran. The option is accepted for the callers' sake and
// not used: a picture with alpha keeps its own, one without is opaque.
// On a decoding failure the record is left as it was and *why, when given,
// says why.
bool BuildJPGTexture(Texture* texture, const unsigned char* bytes, long size, int option, std::string* why = nullptr);
