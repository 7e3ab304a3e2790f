// GlxSurface: visuals, windows and contexts.
#include "platform/x11/GlxSurface.h"

#include "platform/x11/X11Errors.h"
#include "scene/Damage.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>

namespace {

// Whether the space-separated list names the extension exactly.
bool HasExtension(const char* list, const char* name)
{
    const size_t n = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name))
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
            return true;
    return false;
}

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

// The visual of the windows we make: double-buffered RGBA, at least 8 bits
// per colour and a 16-bit depth buffer.
VisualInfoPtr ChooseViewVisual(Display* display, int screen)
{
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
                        8,        GLX_DEPTH_SIZE,   16,           None};
    return VisualInfoPtr(glXChooseVisual(display, screen, attributes));
}

int Config(Display* display, XVisualInfo* visual, int attribute)
{
    int value = 0;
    return glXGetConfig(display, visual, attribute, &value) == 0 ? value : 0;
}

// A given window's own visual will do when it has OpenGL in RGBA, double
// buffering and depth; its colour depth is the host's choice.
bool SuitsView(Display* display, XVisualInfo* visual)
{
    return Config(display, visual, GLX_USE_GL) && Config(display, visual, GLX_RGBA) &&
           Config(display, visual, GLX_DOUBLEBUFFER) && Config(display, visual, GLX_DEPTH_SIZE) >= 16;
}

// A window of the visual, with its own colormap, which the caller frees.
// Windows on the root that no window manager should take get override-redirect.
Window CreateWindowOfVisual(Display* display, Window parent, const XVisualInfo& visual, int x, int y, int width,
                            int height, long eventMask, bool overrideRedirect, Colormap* colormap)
{
    XSetWindowAttributes set = {};
    set.colormap = *colormap = XCreateColormap(display, RootWindow(display, visual.screen), visual.visual, AllocNone);
    // Black in a true-colour visual.
    set.background_pixel = 0;
    set.border_pixel = 0;
    set.event_mask = eventMask;
    set.override_redirect = overrideRedirect;
    return XCreateWindow(display, parent, x, y, unsigned(width), unsigned(height), 0, visual.depth, InputOutput,
                         visual.visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect,
                         &set);
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
    XChangeProperty(display, window, hints, hints, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(motif),
                    5);
}

int PinDriver(dl_phdr_info* info, size_t, void*)
{
    const char* name = info->dlpi_name;
    const size_t length = name ? std::strlen(name) : 0;
    if (length > 7 && std::strcmp(name + length - 7, "_dri.so") == 0)
        dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

} // namespace

void KeepDriverLoaded()
{
    static bool pinned = false;
    if (!pinned)
        dl_iterate_phdr(PinDriver, nullptr);
    pinned = true;
}

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
    std::unique_ptr<GlxSurface> surface(new GlxSurface(display, window, false));
    surface->root_ = window == attributes.root;
    VisualInfoPtr visual = VisualOfWindow(display, attributes);
    const bool made = visual && SuitsView(display, visual.get()) ? surface->CreateContext(visual.get(), error)
                                                                 : surface->AddChild(attributes, error);
    return made ? std::move(surface) : nullptr;
}

bool GlxSurface::AddChild(const XWindowAttributes& attributes, std::string* error)
{
    VisualInfoPtr visual = ChooseViewVisual(display_, XScreenNumberOfScreen(attributes.screen));
    if (!visual) {
        *error = "its visual lacks double-buffered OpenGL with a depth buffer, and its screen has no visual "
                 "with them";
        return false;
    }
    drawable_ = CreateWindowOfVisual(display_, window_, *visual, 0, 0, attributes.width, attributes.height, NoEventMask,
                                     root_, &colormap_);
    // Drawn on the root, the view stays beneath the other windows, as the
    // root itself does.
    if (root_)
        XLowerWindow(display_, drawable_);
    return CreateContext(visual.get(), error);
}

std::unique_ptr<GlxSurface> GlxSurface::NewWindow(Display* display, int x, int y, int width, int height,
                                                  bool fullscreen, std::string* error)
{
    const int screen = DefaultScreen(display);
    VisualInfoPtr visual = ChooseViewVisual(display, screen);
    if (!visual) {
        *error = "no double-buffered OpenGL visual with 8 bits per colour and a 16-bit depth buffer";
        return nullptr;
    }
    Colormap colormap = None;
    // Full screen, any button or pointer motion may end the run as a key does.
    const long events = StructureNotifyMask | KeyPressMask | ExposureMask |
                        (fullscreen ? ButtonPressMask | PointerMotionMask | EnterWindowMask : NoEventMask);
    const Window window = CreateWindowOfVisual(display, RootWindow(display, screen), *visual, x, y, width, height,
                                               events, false, &colormap);
    std::unique_ptr<GlxSurface> surface(new GlxSurface(display, window, true));
    surface->colormap_ = colormap;

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
    context_ = glXCreateContext(display_, visual, nullptr, True);
    if (!context_) {
        *error = "cannot create an OpenGL context (GLX)";
        return false;
    }
    KeepDriverLoaded();
    const char* extensions = glXQueryExtensionsString(display_, visual->screen);
    if (extensions && HasExtension(extensions, "GLX_MESA_copy_sub_buffer"))
        copySubBuffer_ = reinterpret_cast<void (*)(Display*, GLXDrawable, int, int, int, int)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    return true;
}

void GlxSurface::ShowParts(const std::vector<ViewRect>& rects)
{
    if (gone_ || !copySubBuffer_)
        return;
    // The window may have shrunk since the view last heard of its size; a
    // copy reaching beyond it is refused by the server.
    Window root = None;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display_, drawable_, &root, &x, &y, &width, &height, &border, &depth))
        return;
    for (const ViewRect& r : rects) {
        const int x1 = std::min(r.x + r.width, int(width)), y1 = std::min(r.y + r.height, int(height));
        const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
        if (x1 > x0 && y1 > y0)
            copySubBuffer_(display_, drawable_, x0, y0, x1 - x0, y1 - y0);
    }
    // Marks the end of a frame shown in parts, for tools that count frames.
    glFlush();
}

GlxSurface::~GlxSurface()
{
    if (context_) {
        if (glXGetCurrentContext() == context_)
            glXMakeCurrent(display_, None, nullptr);
        glXDestroyContext(display_, context_);
    }
    // A child goes with its parent; destroying ours leaves the given window
    // as it was.
    if (throughChild() && !gone_)
        XDestroyWindow(display_, drawable_);
    // The root drawn into directly would keep our last frame: it gets its own
    // background back, and the programs drawing on it (a desktop's icons) are
    // asked to draw again. A child's going does that by itself.
    if (root_ && !throughChild())
        XClearArea(display_, window_, 0, 0, 0, 0, True);
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
    if (glXGetCurrentContext() == context_ && glXGetCurrentDrawable() == drawable_)
        return true;
    return glXMakeCurrent(display_, drawable_, context_) == True;
}

void GlxSurface::Swap()
{
    if (!gone_)
        glXSwapBuffers(display_, drawable_);
}

void GlxSurface::Map()
{
    if (gone_)
        return;
    if (own_)
        XMapRaised(display_, window_);
    else if (throughChild())
        XMapWindow(display_, drawable_);
}

void GlxSurface::Resize(int width, int height)
{
    if (throughChild() && !gone_ && width > 0 && height > 0)
        XResizeWindow(display_, drawable_, unsigned(width), unsigned(height));
}
