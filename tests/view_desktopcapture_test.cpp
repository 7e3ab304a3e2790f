// Tests of the desktop capture: texture sizes by detail and in the preview,
// the black test, row order.
#include "fixtures/FakeHost.h"
#include "fixtures/GLContext.h"
#include "view/DesktopCapture.h"
#include "view/LarkspurView.h"

#include <algorithm>
#include <cstdint>

namespace {

class DesktopCaptureTest : public GLContextTest {
protected:
    // A w x h capture of the display of this test's context, top-down RGB,
    // every byte the same, cut to `bytes`.
    void Capture(int w, int h, unsigned char value, size_t bytes = SIZE_MAX)
    {
        host.gl = &gl;
        host.capture.assign(std::min(bytes, size_t(w) * h * 3), value);
        host.captureWidth = w;
        host.captureHeight = h;
    }
    FakeHost host;
};

// The view captures at its creation. Sides go to the nearest power of two,
// held to 512, 1024 or the largest background texture by the stored detail, and to 512
// in the preview whatever the setting says. An all-black or short capture
// makes no texture.
TEST_F(DesktopCaptureTest, DetailAndPreviewSetTheLimitAndNoUsableCaptureMakesNoTexture)
{
    const struct {
        int w, h, detail;
        bool preview;
        int width, height;
        unsigned char value = 90;
        size_t bytes = SIZE_MAX;
    } cases[] = {
        {2560, 1600, 0, false, 512, 512},
        {2560, 1600, 1, false, 1024, 1024},
        {1920, 1080, 2, false, 2048, 1024},
        // An 8192 side is held to the largest background texture.
        {6000, 8, 2, false, 4096, 8},
        {2560, 1600, 2, true, 512, 512},
        {8, 8, 1, false, 0, 0, 0},
        {8, 8, 1, false, 0, 0, 255, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.detail));
        Capture(c.w, c.h, c.value, c.bytes);
        host.preview = c.preview;
        SettingsOverrides captured;
        captured.bgType = 0;
        captured.bgRes = c.detail;
        LarkspurView view(&host, captured);
        // Texture 0 has no picture: no texture reads as 0 x 0.
        int width = 0, height = 0;
        ReadTexture(view.DeskTex.texID, &width, &height);
        EXPECT_EQ(std::make_pair(width, height), std::make_pair(c.width, c.height));
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
    // Opaque: the alpha reaches the view's buffer, where a compositor may
    // keep it.
    EXPECT_EQ(ReadTexture(name), (std::vector<unsigned char>{0, 0, 0, 255, 0, 0, 1, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

} // namespace
