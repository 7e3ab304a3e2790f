// GlxSurface: an X window with the GLX context a view draws with.
//
// Either a window someone else made (the XScreenSaver window, a window id,
// the root), drawn with that window's own visual, which must support OpenGL,
// or a window of our own with a double-buffered visual of at least 8 bits
// per colour and a 16-bit depth buffer. Each surface has its own context. A
// single-buffered visual is flushed instead of swapped. Once the window is
// known to be gone nothing is sent for it any more: making the surface
// current then releases any current context, so stray OpenGL calls do
// nothing.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <memory>
#include <string>

class GlxSurface {
public:
    // A context for an existing window; null with *error set when the window
    // does not exist or its visual has no OpenGL.
    static std::unique_ptr<GlxSurface> ForWindow(Display* display, Window window, std::string* error);
    // A new, unmapped window at the given place on the default screen. Full
    // screen windows have no decorations and ask the window manager for the
    // full-screen state; others are ordinary windows titled "Larkspur".
    static std::unique_ptr<GlxSurface> NewWindow(Display* display, int x, int y, int width, int height,
                                                 bool fullscreen, std::string* error);
    ~GlxSurface();
    GlxSurface(const GlxSurface&) = delete;
    GlxSurface& operator=(const GlxSurface&) = delete;

    bool MakeCurrent();
    void Swap();
    void Map();
    // The window was destroyed by someone else.
    void MarkGone() { gone_ = true; }

    Window window() const { return window_; }
    bool ownWindow() const { return own_; }
    bool gone() const { return gone_; }

private:
    GlxSurface(Display* display, Window window, bool own) : display_(display), window_(window), own_(own) {}
    bool CreateContext(XVisualInfo* visual, std::string* error);

    Display* display_;
    Window window_;
    bool own_;
    Colormap colormap_ = None;
    GLXContext context_ = nullptr;
    bool doubleBuffered_ = true;
    bool gone_ = false;
};

// The atom of WM_DELETE_WINDOW, which our own windows take part in.
Atom DeleteWindowAtom(Display* display);
