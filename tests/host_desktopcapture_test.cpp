// Tests of the desktop capture: texture sizes by detail and in the preview,
// the black test, row order.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "host/DesktopCapture.h"
#include "host/LarkspurView.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

namespace {

class DesktopCaptureTest : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        host.gl = &gl;
    }
    // A w x h capture, top-down RGB, every byte the same, cut to `bytes`.
    void Capture(int w, int h, unsigned char value, size_t bytes = SIZE_MAX)
    {
        host.capture.assign(std::min(bytes, size_t(w) * h * 3), value);
        host.captureWidth = w;
        host.captureHeight = h;
    }
    static std::pair<int, int> SizeOf(uint32_t name)
    {
        GLint w = 0, h = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        return {w, h};
    }
    FakeHost host;
};

// Sides go to the nearest power of two, held to 512, 1024 or the largest
// texture by detail. An all-black, missing or short capture is none: the
// texture it would replace is freed.
TEST_F(DesktopCaptureTest, DetailSetsTheLimitNoUsableCaptureFreesTheTextureAndThePreviewHas512)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GE(largest, 2048);
    // A display wider than the largest texture rounds past it and is held to it.
    const int wide = largest + largest / 2;
    const struct {
        int w, h, detail, width, height;
        unsigned char value = 90;
        size_t bytes = SIZE_MAX;
    } cases[] = {
        {2560, 1600, 0, 512, 512},   {2560, 1600, 1, 1024, 1024}, {2560, 1600, 2, 2048, 2048},
        {1920, 1080, 2, 2048, 1024}, {300, 200, 0, 256, 256},     {wide, 1, 2, largest, 1},
        {wide, 1, 7, largest, 1},    {wide, 1, -1, largest, 1},   {wide, 1, 1, 1024, 1},
        {900, 1440, 2, 1024, 1024},  {4, 2, 2, 4, 2},             {8, 8, 1, 0, 0, 0},
        {8, 8, 1, 0, 0, 90, 0},      {8, 8, 1, 0, 0, 255, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.detail));
        Capture(c.w, c.h, c.value, c.bytes);
        GLuint existing = 0;
        glGenTextures(1, &existing);
        glBindTexture(GL_TEXTURE_2D, existing);
        uint32_t name = existing;
        captureDesktop(&host, &name, c.detail);
        EXPECT_EQ(name, c.width ? existing : 0u);
        EXPECT_EQ(bool(glIsTexture(existing)), c.width != 0);
        if (c.width) {
            EXPECT_EQ(SizeOf(name), std::make_pair(c.width, c.height));
        }
        glDeleteTextures(1, &existing);
    }

    // The view captures at its creation: at the stored detail, but at detail
    // 0 in the preview whatever the setting says.
    TempDir dir;
    host.preferencesFile = dir.File("LarkspurSS.ini");
    SettingsOverrides finest;
    finest.bgType = 0;
    finest.bgRes = 2;
    Capture(2560, 1600, 90);
    for (bool preview : {false, true}) {
        host.preview = preview;
        LarkspurView view(&host, finest);
        ASSERT_NE(view.DeskTex.texID, 0u) << preview;
        EXPECT_EQ(SizeOf(view.DeskTex.texID), std::make_pair(preview ? 512 : 2048, preview ? 512 : 2048));
    }
}

// One blue byte in the display's bottom-right corner: enough to make the
// capture usable, and it lands in memory row 0 (the display's bottom row).
TEST_F(DesktopCaptureTest, OneColouredByteIsUsableAndMemoryRowZeroIsTheDisplaysBottomRow)
{
    Capture(2, 2, 0);
    host.capture[3 * 3 + 2] = 1;
    uint32_t name = 0;
    captureDesktop(&host, &name, 0);
    ASSERT_NE(name, 0u);
    // Opaque: the alpha reaches the view's buffer, where a compositor may
    // keep it.
    EXPECT_EQ(ReadTexture(name), (std::vector<unsigned char>{0, 0, 0, 255, 0, 0, 1, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
    GLuint texture = name;
    glDeleteTextures(1, &texture);
}

} // namespace
