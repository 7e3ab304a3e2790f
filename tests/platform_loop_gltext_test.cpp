// Tests of the glyph table and of text drawn into an OpenGL frame.
#include "fixtures/GLContext.h"
#include "platform/loop/GLText.h"
#include "scene/Glyphs.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

namespace {

TEST(Glyphs, LowerCaseIsDrawnAsCapitalsUnknownCharactersAreBlankAndWidthsAdd)
{
    for (int row = 0; row < kGlyphHeight; row++)
        for (int col = 0; col < kGlyphWidth; col++) {
            EXPECT_EQ(GlyphInk('a', col, row), GlyphInk('A', col, row));
            EXPECT_FALSE(GlyphInk('~', col, row) || GlyphInk(' ', col, row));
        }
    EXPECT_FALSE(GlyphInk('A', -1, 3) || GlyphInk('A', 0, kGlyphHeight));
    // One blank column between letters.
    EXPECT_EQ(GLTextWidth("AB", 2), 22);
}

class GLText : public GLContextTest {};

TEST_F(GLText, InkIsWhiteWithAShadowLaterLinesGoBelowAndTheScenesStateIsKept)
{
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    // "1": its bottom row is " ### ", its top row "  #  "; beside the top
    // row's ink there is ground, below its right edge shadow. "-" has ink
    // only in row 3: below the blank second line (y 2..8) it is at
    // 2 + 9 + 7 - 4 = 14.
    const struct {
        std::vector<std::string> lines;
        int scale, margin, x, y, channel, value;
    } pixels[] = {{{"1"}, 2, 4, 6, 4, 0, 255},
                  {{"1"}, 2, 4, 8, 17, 1, 255},
                  {{"1"}, 2, 4, 4, 17, 0, 128},
                  {{"1"}, 2, 4, 10, 15, 0, 0},
                  {{"-", " "}, 1, 2, 3, 14, 0, 255}};
    for (const auto& p : pixels) {
        glClear(GL_COLOR_BUFFER_BIT);
        DrawGLTextBottomLeft(p.lines, p.scale, p.margin, 64, 64);
        // y counts from the bottom, as ReadPixels does.
        EXPECT_EQ(gl.ReadPixels()[(size_t(p.y) * 64 + size_t(p.x)) * 4 + size_t(p.channel)], p.value)
            << p.lines[0] << " at " << p.x << "," << p.y;
    }

    // Every matrix pushed is popped (no stack error) and the state is kept.
    glViewport(1, 2, 30, 40);
    glEnable(GL_DEPTH_TEST);
    DrawGLTextBottomLeft({"FPS: 10.0", "LOAD: 5.0%"}, 2, 8, 64, 64);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[0] == 1 && viewport[3] == 40 && glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
