// Glyphs: the program's own 5x7 bitmap font, capitals, digits and a little
// punctuation. The content tool draws the overlay pictures with it and the
// frame-rate text is drawn from it in OpenGL.
//
// Lower-case letters map to capitals; characters without a glyph have no ink
// and take the room of a blank.
#pragma once

enum { kGlyphWidth = 5, kGlyphHeight = 7 };

// Whether the glyph of c has ink at column col and row row, row 0 at the top.
// Outside the 5x7 cell there is no ink.
bool GlyphInk(char c, int col, int row);
