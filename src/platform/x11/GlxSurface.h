// GlxSurface: an X window with the GLX context a view draws with.
//
// Either a window someone else made (the XScreenSaver window, a window id,
// the root) or a window of our own. A view needs a double-buffered RGBA
// visual with a depth buffer of at least 16 bits; without depth, creatures
// draw through each other and through the ground. A given window whose own
// visual has all that is drawn into directly; otherwise the view draws into
// a child window of a suitable visual that covers the given one and follows
// its size, as other X screensavers do. Each surface has its own context.
// The root window shows its own background again when the surface goes.
// Once the window is known to be gone nothing is sent for it any more:
// making the surface current then releases any current context, so stray
// OpenGL calls do nothing.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

struct ViewRect;

class GlxSurface {
public:
    // A context for an existing window, drawing through a child window when
    // the window's visual does not suit a view; null with *error set when the
    // window does not exist or its screen has no suitable visual.
    static std::unique_ptr<GlxSurface> ForWindow(Display* display, Window window, std::string* error);
    // A new, unmapped window at the given place on the default screen, taking
    // key presses. Full screen windows have no decorations, ask the window
    // manager for the full-screen state and take buttons and pointer motion
    // too; others are ordinary windows titled "Larkspur".
    static std::unique_ptr<GlxSurface> NewWindow(Display* display, int x, int y, int width, int height, bool fullscreen,
                                                 std::string* error);
    ~GlxSurface();
    GlxSurface(const GlxSurface&) = delete;
    GlxSurface& operator=(const GlxSurface&) = delete;

    bool MakeCurrent();
    void Swap();
    // Whether parts of the back buffer can be shown without swapping it
    // (GLX_MESA_copy_sub_buffer): a back buffer never swapped keeps its
    // pixels from frame to frame.
    bool CanShowParts() const { return copySubBuffer_ != nullptr; }
    // Shows those rectangles of the back buffer (bottom-up pixels), which
    // stays as it is; only when CanShowParts.
    void ShowParts(const std::vector<ViewRect>& rects);
    // Maps our own window, or the child drawn into.
    void Map();
    // Follows a new size of the window: the child drawn into takes it too.
    void Resize(int width, int height);
    // The window was destroyed by someone else.
    void MarkGone() { gone_ = true; }

    // The window the view is for (its events and size); the window drawn
    // into is this one or a child of it.
    Window window() const { return window_; }
    Window drawable() const { return drawable_; }
    // The window is ours or the child drawn into is.
    bool Uses(Window window) const { return window == window_ || window == drawable_; }
    bool ownWindow() const { return own_; }
    bool throughChild() const { return drawable_ != window_; }
    bool gone() const { return gone_; }

private:
    GlxSurface(Display* display, Window window, bool own)
        : display_(display), window_(window), drawable_(window), own_(own)
    {
    }
    bool AddChild(const XWindowAttributes& attributes, std::string* error);
    bool CreateContext(XVisualInfo* visual, std::string* error);

    Display* display_;
    Window window_;
    Window drawable_;
    bool own_;
    // The window is its screen's root.
    bool root_ = false;
    Colormap colormap_ = None;
    GLXContext context_ = nullptr;
    bool gone_ = false;
    // glXCopySubBufferMESA where the screen offers it.
    void (*copySubBuffer_)(Display*, GLXDrawable, int, int, int, int) = nullptr;
};

// Mesa unloads its driver when the display is closed; what the driver still
// holds then looks leaked to leak checkers, with no names to tell. Keeping
// the driver loaded until the process ends leaves it plainly reachable. For
// any process that has used GLX, once the driver is loaded.
void KeepDriverLoaded();

// The atom of WM_DELETE_WINDOW, which our own windows take part in.
Atom DeleteWindowAtom(Display* display);
