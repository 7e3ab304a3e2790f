// GlxSurface: visuals, windows and contexts.
#include "platform/x11/GlxSurface.h"

#include "platform/x11/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

struct VisualInfoDeleter {
    void operator()(XVisualInfo* info) const { XFree(info); }
};
using VisualInfoPtr = std::unique_ptr<XVisualInfo, VisualInfoDeleter>;

VisualInfoPtr VisualOfWindow(Display* display, const XWindowAttributes& attributes)
{
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    return VisualInfoPtr(XGetVisualInfo(display, VisualIDMask, &wanted, &count));
}

void SetTitle(Display* display, Window window)
{
    const char* title = "Larkspur";
    XStoreName(display, window, title);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), 8);
    XClassHint hint;
    char name[] = "larkspur", className[] = "Larkspur";
    hint.res_name = name;
    hint.res_class = className;
    XSetClassHint(display, window, &hint);
}

void AskForFullscreen(Display* display, Window window)
{
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullscreen), 1);
    // Motif hints: flags = decorations given, decorations = none.
    const long motif[5] = {2, 0, 0, 0, 0};
    const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, hints, hints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
}

int PinDriver(dl_phdr_info* info, size_t, void*)
{
    const char* name = info->dlpi_name;
    const size_t length = name ? std::strlen(name) : 0;
    if (length > 7 && std::strcmp(name + length - 7, "_dri.so") == 0)
        dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

// Mesa unloads its driver when the display is closed; what the driver still
// holds then looks leaked to leak checkers, with no names to tell. Keeping
// the driver loaded until the process ends leaves it plainly reachable.
void KeepDriverLoaded()
{
    static bool pinned = false;
    if (!pinned)
        dl_iterate_phdr(PinDriver, nullptr);
    pinned = true;
}

} // namespace

Atom DeleteWindowAtom(Display* display)
{
    return XInternAtom(display, "WM_DELETE_WINDOW", False);
}

std::unique_ptr<GlxSurface> GlxSurface::ForWindow(Display* display, Window window, std::string* error)
{
    XWindowAttributes attributes;
    bool exists = false;
    {
        X11ErrorTrap trap(display);
        exists = XGetWindowAttributes(display, window, &attributes) != 0;
        exists = !trap.Failed() && exists;
    }
    if (!exists) {
        *error = "there is no such window";
        return nullptr;
    }
    if (attributes.c_class == InputOnly) {
        *error = "the window cannot be drawn into (InputOnly)";
        return nullptr;
    }
    VisualInfoPtr visual = VisualOfWindow(display, attributes);
    int usesGL = 0;
    if (!visual || glXGetConfig(display, visual.get(), GLX_USE_GL, &usesGL) != 0 || !usesGL) {
        *error = "the window's visual does not support OpenGL";
        return nullptr;
    }
    std::unique_ptr<GlxSurface> surface(new GlxSurface(display, window, false));
    if (!surface->CreateContext(visual.get(), error))
        return nullptr;
    return surface;
}

std::unique_ptr<GlxSurface> GlxSurface::NewWindow(Display* display, int x, int y, int width, int height,
                                                  bool fullscreen, std::string* error)
{
    int attributes[] = {GLX_RGBA,     GLX_DOUBLEBUFFER, GLX_RED_SIZE,   8, GLX_GREEN_SIZE, 8,
                        GLX_BLUE_SIZE, 8,               GLX_DEPTH_SIZE, 16, None};
    const int screen = DefaultScreen(display);
    VisualInfoPtr visual(glXChooseVisual(display, screen, attributes));
    if (!visual) {
        *error = "no double-buffered OpenGL visual with 8 bits per colour and a 16-bit depth buffer";
        return nullptr;
    }
    const Window root = RootWindow(display, screen);
    XSetWindowAttributes set = {};
    set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    set.background_pixel = BlackPixel(display, screen);
    set.border_pixel = 0;
    set.event_mask = StructureNotifyMask | KeyPressMask | ExposureMask;
    const Window window =
        XCreateWindow(display, root, x, y, unsigned(width), unsigned(height), 0, visual->depth, InputOutput,
                      visual->visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &set);
    std::unique_ptr<GlxSurface> surface(new GlxSurface(display, window, true));
    surface->colormap_ = set.colormap;

    SetTitle(display, window);
    XSizeHints size = {};
    size.flags = USPosition | USSize;
    size.x = x;
    size.y = y;
    size.width = width;
    size.height = height;
    XSetWMNormalHints(display, window, &size);
    Atom deleteWindow = DeleteWindowAtom(display);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    if (fullscreen)
        AskForFullscreen(display, window);

    if (!surface->CreateContext(visual.get(), error))
        return nullptr;
    return surface;
}

bool GlxSurface::CreateContext(XVisualInfo* visual, std::string* error)
{
    int doubleBuffered = 0;
    glXGetConfig(display_, visual, GLX_DOUBLEBUFFER, &doubleBuffered);
    doubleBuffered_ = doubleBuffered != 0;
    context_ = glXCreateContext(display_, visual, nullptr, True);
    if (!context_) {
        *error = "cannot create an OpenGL context (GLX)";
        return false;
    }
    KeepDriverLoaded();
    return true;
}

GlxSurface::~GlxSurface()
{
    if (context_) {
        if (glXGetCurrentContext() == context_)
            glXMakeCurrent(display_, None, nullptr);
        glXDestroyContext(display_, context_);
    }
    if (own_ && !gone_)
        XDestroyWindow(display_, window_);
    if (colormap_ != None)
        XFreeColormap(display_, colormap_);
}

bool GlxSurface::MakeCurrent()
{
    if (gone_) {
        if (glXGetCurrentContext())
            glXMakeCurrent(display_, None, nullptr);
        return false;
    }
    if (glXGetCurrentContext() == context_ && glXGetCurrentDrawable() == window_)
        return true;
    return glXMakeCurrent(display_, window_, context_) == True;
}

void GlxSurface::Swap()
{
    if (gone_)
        return;
    if (doubleBuffered_)
        glXSwapBuffers(display_, window_);
    else
        glFlush();
}

void GlxSurface::Map()
{
    if (own_ && !gone_)
        XMapRaised(display_, window_);
}
