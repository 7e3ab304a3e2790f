// Tests of the glyph table and of text drawn into an OpenGL frame.
#include "fixtures/GLContext.h"
#include "scene/GLText.h"
#include "scene/Glyphs.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

namespace {

TEST(Glyphs, LowerCaseIsDrawnAsCapitalsUnknownCharactersAreBlankAndWidthsAdd)
{
    int inkA = 0;
    for (int row = 0; row < kGlyphHeight; row++)
        for (int col = 0; col < kGlyphWidth; col++) {
            EXPECT_EQ(GlyphInk('a', col, row), GlyphInk('A', col, row));
            inkA += GlyphInk('A', col, row);
            EXPECT_FALSE(GlyphInk('~', col, row) || GlyphInk(' ', col, row));
        }
    EXPECT_GT(inkA, 10);
    // The frame-rate text needs its percent sign; the contact sheet's "3/4"
    // columns a slash rising to the right.
    EXPECT_TRUE(GlyphInk('%', 0, 0) && GlyphInk('/', 4, 1) && GlyphInk('/', 0, 5) && !GlyphInk('/', 0, 1));
    EXPECT_FALSE(GlyphInk('A', -1, 3) || GlyphInk('A', 0, kGlyphHeight));
    // One blank column between letters.
    EXPECT_TRUE(GLTextWidth("", 2) == 0 && GLTextWidth("A", 1) == 5 && GLTextWidth("AB", 2) == 22) << GLTextWidth("AB", 2);
    EXPECT_EQ(GLTextLineHeight(2), 18);
}

class GLText : public GLContextTest {};

TEST_F(GLText, InkIsWhiteWithAShadowLaterLinesGoBelowAndTheScenesStateIsKept)
{
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    // "1": its bottom row is " ### ", its top row "  #  "; beside the top
    // row's ink there is ground, below its right edge shadow, nothing above.
    // "-" has ink only in row 3: below the blank second line (y 2..8) it is
    // at 2 + 9 + 7 - 4 = 14.
    const struct { std::vector<std::string> lines; int scale, margin, x, y, channel, value; } pixels[] = {
        {{"1"}, 2, 4, 6, 4, 0, 255}, {{"1"}, 2, 4, 8, 17, 1, 255}, {{"1"}, 2, 4, 4, 17, 0, 128},
        {{"1"}, 2, 4, 10, 15, 0, 0}, {{"1"}, 2, 4, 8, 30, 2, 128},
        {{"-", " "}, 1, 2, 3, 14, 0, 255}, {{"-", " "}, 1, 2, 3, 5, 0, 128}};
    for (const auto& p : pixels) {
        glClear(GL_COLOR_BUFFER_BIT);
        DrawGLTextBottomLeft(p.lines, p.scale, p.margin, 64, 64);
        // y counts from the bottom, as ReadPixels does.
        EXPECT_EQ(gl.ReadPixels()[(size_t(p.y) * 64 + size_t(p.x)) * 4 + size_t(p.channel)], p.value)
            << p.lines[0] << " at " << p.x << "," << p.y;
    }

    glViewport(1, 2, 30, 40);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glScalef(2, 3, 4);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(0.25f, 0.5f, 0.75f);
    DrawGLTextBottomLeft({"FPS: 10.0", "LOAD: 5.0%"}, 2, 8, 64, 64);
    GLint viewport[4], mode = 0;
    GLfloat projection[16], colour[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(viewport[0] == 1 && viewport[3] == 40 && mode == GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(projection[5] == 3.0f && colour[1] == 0.5f) << projection[5] << " " << colour[1];
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
