// GLText: lines of text in the program's 5x7 font drawn straight into the
// current OpenGL frame, for the frame-rate figures.
//
// Each font pixel is a filled square of scale x scale window pixels with a
// dark shadow below and to its right, so the text reads on any ground. The
// OpenGL state the scene relies on (matrices, enables, colour, viewport) is
// saved and restored around the drawing. Needs the view's context current.
#pragma once

#include <string>
#include <vector>

// Width in window pixels of a line drawn at the given scale.
int GLTextWidth(const std::string& line, int scale);
// Height in window pixels of one line with its spacing.
int GLTextLineHeight(int scale);

// Draws the lines from the bottom-left corner of a width x height view,
// margin pixels in from both edges, the last line lowest.
void DrawGLTextBottomLeft(const std::vector<std::string>& lines, int scale, int margin, int width, int height);
