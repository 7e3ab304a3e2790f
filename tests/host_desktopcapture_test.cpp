// Tests of the desktop capture: texture sizes by detail and in the preview,
// the black test, row order.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "host/DesktopCapture.h"
#include "host/LarkspurView.h"

#include <GL/gl.h>

namespace {

TEST(DesktopCaptureSide, NearestPowerOfTwoUpToTheLimit)
{
    EXPECT_EQ(CaptureTextureSide(1920, 4096), 2048u);
    EXPECT_EQ(CaptureTextureSide(1080, 4096), 1024u);
    EXPECT_EQ(CaptureTextureSide(1920, 512), 512u);
    EXPECT_EQ(CaptureTextureSide(1440, 1024), 1024u);
    EXPECT_EQ(CaptureTextureSide(900, 4096), 1024u);
    EXPECT_EQ(CaptureTextureSide(2560, 4096), 2048u);
    EXPECT_EQ(CaptureTextureSide(1600, 4096), 2048u);
    EXPECT_EQ(CaptureTextureSide(1, 512), 1u);
}

class DesktopCaptureTest : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        host.gl = &gl;
    }
    // A black capture of w x h, top-down RGB.
    void Black(int w, int h)
    {
        host.capture.assign(size_t(w) * h * 3, 0);
        host.captureWidth = w;
        host.captureHeight = h;
    }
    // A grey capture of w x h.
    void Grey(int w, int h)
    {
        Black(w, h);
        host.capture.assign(host.capture.size(), 90);
    }
    static void ExpectSize(uint32_t name, int width, int height)
    {
        GLint w = 0, h = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
    FakeHost host;
};

TEST_F(DesktopCaptureTest, OneColouredByteMakesACaptureUsable)
{
    Black(4, 2);
    host.capture[3 * 5 + 2] = 1;
    uint32_t name = 0;
    captureDesktop(&host, &name, 2);
    ASSERT_NE(name, 0u);
    int w = 0, h = 0;
    ReadTexture(name, &w, &h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    GLuint texture = name;
    glDeleteTextures(1, &texture);
}

TEST_F(DesktopCaptureTest, DetailSetsTheLimitAndThePreviewAlwaysHas512)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GE(largest, 2048);
    // A display wider than the largest texture rounds past it and is held to it.
    const int wide = largest + largest / 2;
    const struct {
        int w, h, detail, width, height;
    } cases[] = {
        {2560, 1600, 0, 512, 512},   {2560, 1600, 1, 1024, 1024}, {2560, 1600, 2, 2048, 2048},
        {1920, 1080, 2, 2048, 1024}, {300, 200, 0, 256, 256},     {wide, 1, 2, largest, 1},
        {wide, 1, 7, largest, 1},    {wide, 1, -1, largest, 1},   {wide, 1, 1, 1024, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.detail));
        Grey(c.w, c.h);
        uint32_t name = 0;
        captureDesktop(&host, &name, c.detail);
        ASSERT_NE(name, 0u);
        ExpectSize(name, c.width, c.height);
        GLuint texture = name;
        glDeleteTextures(1, &texture);
    }

    // The view captures at its creation: at the stored detail, but at detail
    // 0 in the preview whatever the setting says.
    TempDir dir;
    host.preferencesFile = dir.File("LarkspurSS.ini");
    SettingsOverrides finest;
    finest.bgType = 0;
    finest.bgRes = 2;
    Grey(2560, 1600);
    for (bool preview : {false, true}) {
        host.preview = preview;
        LarkspurView view(&host, finest);
        ASSERT_NE(view.DeskTex.texID, 0u) << preview;
        ExpectSize(view.DeskTex.texID, preview ? 512 : 2048, preview ? 512 : 2048);
    }
}

TEST_F(DesktopCaptureTest, AllBlackOrNoCaptureYieldsNoTexture)
{
    GLuint existing = 0;
    glGenTextures(1, &existing);
    glBindTexture(GL_TEXTURE_2D, existing);
    uint32_t name = existing;
    Black(8, 8);
    captureDesktop(&host, &name, 1);
    EXPECT_EQ(name, 0u);
    EXPECT_FALSE(glIsTexture(existing));

    host.capture.clear();
    captureDesktop(&host, &name, 1);
    EXPECT_EQ(name, 0u);
    // A capture shorter than its stated size is no capture.
    Black(8, 8);
    host.capture.resize(10, 255);
    captureDesktop(&host, &name, 1);
    EXPECT_EQ(name, 0u);
}

TEST_F(DesktopCaptureTest, MemoryRowZeroIsTheDisplaysBottomRow)
{
    Black(2, 2);
    // Top row red, bottom row blue.
    host.capture = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    uint32_t name = 0;
    captureDesktop(&host, &name, 0);
    ASSERT_NE(name, 0u);
    const std::vector<unsigned char> texels = ReadTexture(name);
    ASSERT_EQ(texels.size(), 16u);
    EXPECT_EQ(texels[2], 255);
    EXPECT_EQ(texels[0], 0);
    EXPECT_EQ(texels[8], 255);
    EXPECT_EQ(texels[10], 0);
    // Opaque: the alpha reaches the view's buffer, where a compositor may
    // keep it.
    EXPECT_EQ(texels[3], 255);
    EXPECT_EQ(texels[15], 255);
    GLuint texture = name;
    glDeleteTextures(1, &texture);
}

} // namespace
