// PngFrame: writes a frame read back from OpenGL as a PNG file, with
// GdkPixbuf, through a temporary file and a rename.
#pragma once

#include <string>
#include <vector>

// rgb holds width x height pixels of R, G, B, bottom row first as OpenGL
// reads them; the file shows them upright. rows is scratch space the caller
// keeps between frames. On failure *error says why.
bool WritePngFrame(const std::string& path, const std::vector<unsigned char>& rgb, int width, int height,
                   std::vector<unsigned char>* rows, std::string* error);
