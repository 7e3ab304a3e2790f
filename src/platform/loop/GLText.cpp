// GLText: font pixels as quads in window coordinates.
#include "platform/loop/GLText.h"

#include "scene/Glyphs.h"

#include <GL/gl.h>

namespace {

// Quads of the ink of one line whose top-left corner is at (x, top), y growing
// upward as OpenGL's window coordinates do.
void LineQuads(const std::string& line, int x, int top, int scale)
{
    for (size_t i = 0; i < line.size(); i++) {
        const int left = x + int(i) * (kGlyphWidth + 1) * scale;
        for (int row = 0; row < kGlyphHeight; row++)
            for (int col = 0; col < kGlyphWidth; col++) {
                if (!GlyphInk(line[i], col, row))
                    continue;
                const float x0 = float(left + col * scale);
                const float y1 = float(top - row * scale);
                glVertex2f(x0, y1 - float(scale));
                glVertex2f(x0 + float(scale), y1 - float(scale));
                glVertex2f(x0 + float(scale), y1);
                glVertex2f(x0, y1);
            }
    }
}

void AllQuads(const std::vector<std::string>& lines, int x, int bottom, int scale)
{
    const int lineHeight = GLTextLineHeight(scale);
    int top = bottom + int(lines.size()) * lineHeight - (lineHeight - kGlyphHeight * scale);
    for (const std::string& line : lines) {
        LineQuads(line, x, top, scale);
        top -= lineHeight;
    }
}

} // namespace

int GLTextWidth(const std::string& line, int scale)
{
    return line.empty() ? 0 : (int(line.size()) * (kGlyphWidth + 1) - 1) * scale;
}

int GLTextLineHeight(int scale)
{
    return (kGlyphHeight + 2) * scale;
}

void DrawGLTextBottomLeft(const std::vector<std::string>& lines, int scale, int margin, int width, int height)
{
    if (lines.empty() || width < 1 || height < 1 || scale < 1)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // The shadow sits a font pixel's worth below and right of the ink.
    const int shadow = scale > 1 ? scale / 2 : 1;
    glBegin(GL_QUADS);
    glColor3f(0, 0, 0);
    AllQuads(lines, margin + shadow, margin - shadow, scale);
    glColor3f(1, 1, 1);
    AllQuads(lines, margin, margin, scale);
    glEnd();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}
