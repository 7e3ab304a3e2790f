// BitmapFont: text on a canvas in the program's own 5x7 font (scene/Glyphs),
// for the overlay pictures. Lower-case letters are drawn as capitals;
// characters without a glyph are drawn as blanks.
#pragma once

#include "Canvas.h"
#include "scene/Glyphs.h"

#include <string>

enum { GLYPH_W = kGlyphWidth, GLYPH_H = kGlyphHeight };

// Width in pixels of text drawn at the given scale (one blank column between letters).
int TextWidth(const std::string& text, int scale);

// Draws text with its top-left corner at (x, y), each font pixel a scale x scale
// block with slightly softened corners, plus a drop shadow when shadow.a > 0.
void DrawText(Canvas& canvas, const std::string& text, int x, int y, int scale, Colour colour,
              Colour shadow = {0, 0, 0, 0});
