// Tests of the desktop capture: texture sizes, the black test, row order.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "host/DesktopCapture.h"

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
    GLuint texture = name;
    glDeleteTextures(1, &texture);
}

} // namespace
