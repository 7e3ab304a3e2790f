// Tests of the X11 host's frames in its own process, under its own Xvfb:
// what the window shows when only the changed parts of the kept back buffer
// are shown.
// GoogleTest goes before Xlib, whose None and Bool macros it would trip on.
#include <gtest/gtest.h>

#include "fixtures/ChangingScene.h"
#include "fixtures/Herd.h"
#include "fixtures/TempDir.h"
#include "fixtures/Xvfb.h"
#include "platform/x11/X11Host.h"

#include <GL/gl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;

// The back buffer as the window would show it: top-down RGB.
std::vector<unsigned char> BackBufferShot(int width, int height)
{
    std::vector<unsigned char> bottomUp(size_t(width) * size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<unsigned char> topDown;
    topDown.reserve(bottomUp.size());
    const size_t row = size_t(width) * 3;
    for (int y = height - 1; y >= 0; y--)
        topDown.insert(topDown.end(), bottomUp.begin() + long(size_t(y) * row),
                       bottomUp.begin() + long(size_t(y + 1) * row));
    return topDown;
}

// The same fixed-seed run twice in one window: once shown in parts, as the
// view shows a buffer that keeps its pixels, and read back from the window;
// once repainted whole and read from the back buffer, never shown. What the
// window showed must be, frame by frame and byte for byte, the whole repaint.
TEST(X11Host, FramesShownInPartsLookAsTheWholeRepaintAtHomeRoamingAndUnderTheOverlay)
{
    XvfbServer x(kWidth + 64, kHeight + 64);
    ASSERT_TRUE(x.ok());
    TempDir dir;
    const std::string picture = dir.File("ground.png");
    WriteChangingGround(picture);
    SETTINGS settings;
    ChangingSceneSettings(&settings);

    X11Shared shared;
    shared.display = x.display();
    std::string error;
    std::unique_ptr<GlxSurface> surface = GlxSurface::NewWindow(x.display(), 0, 0, kWidth, kHeight, false, &error);
    ASSERT_TRUE(surface) << error;
    const Window window = surface->window();
    surface->Map();
    XSync(x.display(), False);
    X11Host host(&shared, std::move(surface), kWidth, kHeight, false);
    host.MakeCurrent();
    ASSERT_TRUE(host.KeepsPixels()) << "no GLX_MESA_copy_sub_buffer under Xvfb";
    SetViewState();

    const auto run = [&](bool inParts) {
        return RunChangingScene(&settings, picture, kWidth, kHeight, inParts, [&](SSMAIN& scene, int) {
            if (!inParts)
                return BackBufferShot(kWidth, kHeight);
            host.FlushDamage(scene.damage.Rects());
            XSync(x.display(), False);
            return TakeShot(x.display(), window).rgb;
        });
    };
    const FrameRun parts = run(true);
    const FrameRun whole = run(false);
    ExpectSameFramesThroughEverything(parts, whole);
}

} // namespace
