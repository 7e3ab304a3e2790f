// WaylandSurface: one xdg-shell toplevel with the EGL window surface and the
// OpenGL context a view draws with.
//
// An ordinary window is titled "Larkspur" with app id "larkspur" and asks
// for server-side decorations where the compositor offers them; a full-screen
// one asks to cover a given output. The surface follows the compositor's
// configure events: its size in pixels is the configured (logical) size
// times the buffer scale, so drawing is sharp on HiDPI outputs. Nothing is
// drawn before the first configure. Each swap asks the compositor for a frame
// callback, and frameDue() stays false until it comes, so a hidden surface is
// not drawn at all. The swap itself never waits (swap interval 0). The
// surface is opaque: its opaque region covers it, and every buffer shown has
// alpha 1 throughout, whatever was drawn.
//
// Where the compositor takes buffer damage and EGL offers no buffer age (as
// with Mesa's software renderer), the view draws off screen and a frame is
// shown in parts through buffers of our own (ShmPresenter): the context is
// then current without a window surface.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ShmPresenter;
struct ViewRect;

struct wl_callback;
struct wl_compositor;
struct wl_egl_window;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zxdg_decoration_manager_v1;
struct zxdg_toplevel_decoration_v1;

// What a surface needs of the session; the pointers stay valid while it lives.
struct WaylandGlobals {
    wl_compositor* compositor = nullptr;
    xdg_wm_base* wmBase = nullptr;
    // Null when the compositor has no decoration protocol.
    zxdg_decoration_manager_v1* decorations = nullptr;
    // An initialised EGL display on the Wayland connection.
    void* eglDisplay = nullptr;
    // Null where every frame is to be shown whole through EGL.
    wl_shm* shm = nullptr;
};

class WaylandSurface {
public:
    // fullscreenOn null makes an ordinary window; width and height are the
    // logical size to use until the compositor chooses one. Null with *error
    // set when the EGL surface or context cannot be made.
    static std::unique_ptr<WaylandSurface> Create(const WaylandGlobals& globals, wl_output* fullscreenOn, int width,
                                                  int height, int scale, std::string* error);
    ~WaylandSurface();
    WaylandSurface(const WaylandSurface&) = delete;
    WaylandSurface& operator=(const WaylandSurface&) = delete;

    bool MakeCurrent();
    // Asks for the next frame callback and shows the drawn buffer.
    void Swap();
    // Whether the buffer drawn into keeps its pixels, so that a frame can be
    // shown in parts.
    bool KeepsPixels() const { return presenter_ != nullptr; }
    // Shows only those rectangles of the view (pixels, bottom-up) as
    // changed; without anything new, nothing is committed and the next frame
    // is due at once. Swap where the buffer does not keep its pixels.
    void ShowParts(const std::vector<ViewRect>& rects);
    // Null where frames are shown whole through EGL.
    const ShmPresenter* presenter() const { return presenter_.get(); }
    // Buffer scale of the output(s) the surface is on.
    void SetScale(int scale);

    bool configured() const { return configured_; }
    bool frameDue() const { return frameDue_; }
    bool closeRequested() const { return closeRequested_; }
    // True once after the size in pixels has changed.
    bool TakeResize();
    int pixelWidth() const { return width_ * scale_; }
    int pixelHeight() const { return height_ * scale_; }
    wl_surface* surface() const { return surface_; }

private:
    WaylandSurface() = default;
    // The view drawn off screen and shown through our own buffers; false
    // (and nothing changed) where that cannot be.
    bool StartPresenter(wl_shm* shm);
    void AskForFrame();
    void ApplySize(int width, int height, int scale);
    // Sets every pixel's alpha to 1 in the buffer about to be shown.
    void MakeOpaque();

    static void OnConfigure(void* data, xdg_surface* surface, unsigned serial);
    static void OnToplevelConfigure(void* data, xdg_toplevel* toplevel, int width, int height, struct wl_array*);
    static void OnClose(void* data, xdg_toplevel* toplevel);
    static void OnFrameDone(void* data, wl_callback* callback, unsigned time);

    void* eglDisplay_ = nullptr;
    void* eglContext_ = nullptr;
    void* eglSurface_ = nullptr;
    wl_surface* surface_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    zxdg_toplevel_decoration_v1* decoration_ = nullptr;
    wl_egl_window* window_ = nullptr;
    wl_callback* frameCallback_ = nullptr;
    std::unique_ptr<ShmPresenter> presenter_;
    int width_ = 0, height_ = 0, scale_ = 1;
    // The toplevel's suggested size, applied at the configure that follows.
    int pendingWidth_ = 0, pendingHeight_ = 0;
    bool configured_ = false;
    bool frameDue_ = true;
    bool resized_ = false;
    bool closeRequested_ = false;
};
