// BitmapFont: text drawing on a canvas from the program's glyph table.
#include "BitmapFont.h"

#include "scene/Glyphs.h"

namespace {

void DrawGlyphs(Canvas& canvas, const std::string& text, int x, int y, int scale, Colour colour)
{
    for (size_t i = 0; i < text.size(); i++) {
        const char g = text[i];
        const int gx = x + int(i) * (GLYPH_W + 1) * scale;
        for (int row = 0; row < GLYPH_H; row++)
            for (int col = 0; col < GLYPH_W; col++) {
                if (!GlyphInk(g, col, row))
                    continue;
                for (int sy = 0; sy < scale; sy++)
                    for (int sx = 0; sx < scale; sx++) {
                        // Round off the outer corners of a block that has no
                        // neighbour there, so large letters look less blocky.
                        const bool left = sx == 0 && !GlyphInk(g, col - 1, row);
                        const bool right = sx == scale - 1 && !GlyphInk(g, col + 1, row);
                        const bool top = sy == 0 && !GlyphInk(g, col, row - 1);
                        const bool bottom = sy == scale - 1 && !GlyphInk(g, col, row + 1);
                        const bool corner = scale > 2 && ((left || right) && (top || bottom));
                        canvas.Blend(gx + col * scale + sx, y + row * scale + sy, colour, corner ? 0.45f : 1.0f);
                    }
            }
    }
}

} // namespace

int TextWidth(const std::string& text, int scale)
{
    return text.empty() ? 0 : (int(text.size()) * (GLYPH_W + 1) - 1) * scale;
}

void DrawText(Canvas& canvas, const std::string& text, int x, int y, int scale, Colour colour, Colour shadow)
{
    if (shadow.a > 0)
        DrawGlyphs(canvas, text, x + (scale + 1) / 2, y + (scale + 1) / 2, scale, shadow);
    DrawGlyphs(canvas, text, x, y, scale, colour);
}
