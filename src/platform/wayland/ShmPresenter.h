// ShmPresenter: shows a view drawn off screen through wl_shm buffers of our
// own, so that a frame hands the compositor only the rectangles that changed.
//
// The view draws into a framebuffer object that keeps its pixels from frame
// to frame. Each present copies into a buffer the compositor has let go of
// only what that buffer lacks of the view (the damage of every frame since it
// was last filled; all of it for a new buffer), attaches it and damages only
// what changed since the buffer shown before it. A renderer without buffer
// age on Wayland (Mesa's software renderer) would otherwise repaint and hand
// over every pixel of every frame.
//
// Buffers are ARGB8888 with every alpha 255, whatever the scene left in its
// alpha channel, so the surface is opaque. At most kMostBuffers exist; while
// the compositor holds them all, what changed is kept for the next present.
// Every call needs the view's OpenGL context current.
#pragma once

#include "scene/Damage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_buffer;
struct wl_shm;
struct wl_surface;

class ShmPresenter {
public:
    static constexpr int kMostBuffers = 3;

    // A presenter for a surface of width x height pixels, its framebuffer
    // bound for drawing; null with *error set when none can be made.
    static std::unique_ptr<ShmPresenter> Create(wl_shm* shm, wl_surface* surface, int width, int height,
                                                std::string* error);
    ~ShmPresenter();
    ShmPresenter(const ShmPresenter&) = delete;
    ShmPresenter& operator=(const ShmPresenter&) = delete;

    // Binds the framebuffer for drawing and reading, first giving it the
    // size last asked for (what it held is then lost: the view repaints).
    void Bind();
    // The surface's new size in pixels; the next present is whole.
    void Resize(int width, int height);
    // Fills a free buffer with what changed (view pixels, bottom-up, inside
    // the view) and whatever it lacked, attaches it and damages the surface
    // where it differs from the buffer shown before. The caller commits
    // when this returns true; false when nothing is new or no buffer is
    // free (what changed is then shown with the next present).
    bool Attach(const std::vector<ViewRect>& rects);

    // Buffers made so far.
    size_t buffers() const { return buffers_.size(); }
    // The pixels of the buffer last attached (ARGB, rows from the top), which
    // the compositor may read anywhere at any time; null before the first.
    const uint32_t* shownPixels() const { return shown_; }

private:
    struct Buffer;
    struct Framebuffer;

    ShmPresenter() = default;
    Buffer* FreeBuffer();
    void Fill(Buffer& buffer);
    void CopyRect(const ViewRect& r, Buffer& buffer);
    void DropReleased();

    wl_shm* shm_ = nullptr;
    wl_surface* surface_ = nullptr;
    int width_ = 0, height_ = 0;
    bool resized_ = false;
    std::unique_ptr<Framebuffer> framebuffer_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    // Buffers of an old size, destroyed once the compositor lets go of them.
    std::vector<std::unique_ptr<Buffer>> retired_;
    // Where the surface still differs from the view: changes not yet attached.
    Damage unshown_;
    const uint32_t* shown_ = nullptr;
    // Rows read back from the framebuffer, bottom-up; kept between frames.
    std::vector<uint32_t> scratch_;
};
