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
    // The frame-rate text needs its percent sign.
    EXPECT_TRUE(GlyphInk('%', 0, 0));
    // The contact sheet's "3/4" columns need a slash rising to the right.
    EXPECT_TRUE(GlyphInk('/', 4, 1) && GlyphInk('/', 0, 5) && !GlyphInk('/', 0, 1));
    EXPECT_FALSE(GlyphInk('A', -1, 3) || GlyphInk('A', 0, kGlyphHeight));
    // One blank column between letters.
    EXPECT_EQ(GLTextWidth("", 2), 0);
    EXPECT_EQ(GLTextWidth("A", 1), 5);
    EXPECT_EQ(GLTextWidth("AB", 2), 22);
    EXPECT_EQ(GLTextLineHeight(2), 18);
}

class GLText : public GLContextTest {};

TEST_F(GLText, InkIsWhiteWithAShadowLaterLinesGoBelowAndTheScenesStateIsKept)
{
    // Channel c of the frame at (x, y), y counted from the bottom.
    auto pixel = [&](int x, int y, int c = 0) {
        return gl.ReadPixels()[(size_t(y) * size_t(gl.width()) + size_t(x)) * 4 + size_t(c)];
    };
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // "1": its bottom row is " ### ", its top row "  #  ".
    DrawGLTextBottomLeft({"1"}, 2, 4, 64, 64);
    glFinish();
    EXPECT_EQ(pixel(6, 4), 255);
    EXPECT_EQ(pixel(8, 17, 1), 255);
    // Beside the top row's ink there is ground, below its right edge shadow.
    EXPECT_EQ(pixel(4, 17), 128);
    EXPECT_EQ(pixel(10, 15), 0);
    EXPECT_EQ(pixel(8, 30, 2), 128) << "nothing above the text";

    glClear(GL_COLOR_BUFFER_BIT);
    // "-" has ink only in row 3: below the blank second line (y 2..8) it is
    // at 2 + 9 + 7 - 4 = 14.
    DrawGLTextBottomLeft({"-", " "}, 1, 2, 64, 64);
    glFinish();
    EXPECT_EQ(pixel(3, 14), 255);
    EXPECT_EQ(pixel(3, 5), 128);

    glViewport(1, 2, 30, 40);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 3, 4);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(0.25f, 0.5f, 0.75f);
    DrawGLTextBottomLeft({"FPS: 10.0", "LOAD: 5.0%"}, 2, 8, 64, 64);
    GLint viewport[4], mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[0] == 1 && viewport[3] == 40);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat projection[16], colour[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[5], 3);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
