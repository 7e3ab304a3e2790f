// WaylandSurface: the toplevel's set-up, configure handling, frame callbacks
// and the EGL window.
#include "platform/wayland/WaylandSurface.h"

#include "platform/egl/EglDesktopGL.h"
#include "platform/wayland/ShmPresenter.h"
#include "scene/Damage.h"

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The largest buffer side in pixels, so that a broken compositor cannot make
// us ask for an enormous buffer.
constexpr int kMaxSide = 16384;

void OnConfigureBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnWmCapabilities(void*, xdg_toplevel*, wl_array*) {}

bool HasExtension(const char* extensions, const char* name)
{
    const size_t length = std::strlen(name);
    for (const char* at = extensions; at && (at = std::strstr(at, name)); at += length)
        if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

} // namespace

void WaylandSurface::OnConfigure(void* data, xdg_surface* surface, unsigned serial)
{
    auto* self = static_cast<WaylandSurface*>(data);
    xdg_surface_ack_configure(surface, serial);
    // Zero leaves the size to us: keep the one we have.
    const int width = self->pendingWidth_ > 0 ? self->pendingWidth_ : self->width_;
    const int height = self->pendingHeight_ > 0 ? self->pendingHeight_ : self->height_;
    self->ApplySize(width, height, self->scale_);
    self->configured_ = true;
}

void WaylandSurface::OnToplevelConfigure(void* data, xdg_toplevel*, int width, int height, wl_array*)
{
    auto* self = static_cast<WaylandSurface*>(data);
    self->pendingWidth_ = width;
    self->pendingHeight_ = height;
}

void WaylandSurface::OnClose(void* data, xdg_toplevel*)
{
    static_cast<WaylandSurface*>(data)->closeRequested_ = true;
}

void WaylandSurface::OnFrameDone(void* data, wl_callback* callback, unsigned)
{
    auto* self = static_cast<WaylandSurface*>(data);
    wl_callback_destroy(callback);
    self->frameCallback_ = nullptr;
    self->frameDue_ = true;
}

std::unique_ptr<WaylandSurface> WaylandSurface::Create(const WaylandGlobals& globals, wl_output* fullscreenOn,
                                                       int width, int height, int scale, std::string* error)
{
    static const xdg_surface_listener surfaceListener = {OnConfigure};
    static const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnClose, OnConfigureBounds,
                                                           OnWmCapabilities};
    std::unique_ptr<WaylandSurface> self(new WaylandSurface());
    self->width_ = width > 0 ? width : 1;
    self->height_ = height > 0 ? height : 1;
    self->scale_ = scale > 0 ? scale : 1;
    self->eglDisplay_ = globals.eglDisplay;

    self->surface_ = wl_compositor_create_surface(globals.compositor);
    self->xdgSurface_ = xdg_wm_base_get_xdg_surface(globals.wmBase, self->surface_);
    xdg_surface_add_listener(self->xdgSurface_, &surfaceListener, self.get());
    self->toplevel_ = xdg_surface_get_toplevel(self->xdgSurface_);
    xdg_toplevel_add_listener(self->toplevel_, &toplevelListener, self.get());
    xdg_toplevel_set_title(self->toplevel_, "Larkspur");
    xdg_toplevel_set_app_id(self->toplevel_, "larkspur");
    if (fullscreenOn) {
        xdg_toplevel_set_fullscreen(self->toplevel_, fullscreenOn);
    } else if (globals.decorations) {
        self->decoration_ = zxdg_decoration_manager_v1_get_toplevel_decoration(globals.decorations, self->toplevel_);
        zxdg_toplevel_decoration_v1_set_mode(self->decoration_, ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    wl_surface_set_buffer_scale(self->surface_, self->scale_);
    // The whole surface is opaque, so nothing beneath it need be drawn.
    wl_region* opaque = wl_compositor_create_region(globals.compositor);
    wl_region_add(opaque, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_set_opaque_region(self->surface_, opaque);
    wl_region_destroy(opaque);
    // The first commit carries no buffer: it asks for the first configure.
    wl_surface_commit(self->surface_);

    // A buffer without alpha still carries a fourth byte, which the software
    // renderer fills as it blends and some compositors pass on; with an
    // alpha channel that byte is ours to set to 1 (MakeOpaque).
    EglDesktopGL gl;
    if (!CreateEglDesktopGL(globals.eglDisplay, EGL_WINDOW_BIT, true, &gl, error))
        return nullptr;
    self->eglContext_ = gl.context;
    if (globals.shm && self->StartPresenter(globals.shm))
        return self;
    self->window_ = wl_egl_window_create(self->surface_, self->pixelWidth(), self->pixelHeight());
    if (!self->window_) {
        *error = "wl_egl_window_create failed";
        return nullptr;
    }
    self->eglSurface_ =
        eglCreateWindowSurface(globals.eglDisplay, gl.config, EGLNativeWindowType(self->window_), nullptr);
    if (self->eglSurface_ == EGL_NO_SURFACE) {
        self->eglSurface_ = nullptr;
        *error = EglFailure("eglCreateWindowSurface");
        return nullptr;
    }
    if (!self->MakeCurrent()) {
        *error = EglFailure("eglMakeCurrent");
        return nullptr;
    }
    // Pacing comes from our own frame callbacks; a swap must never block the
    // loop on a hidden surface.
    eglSwapInterval(globals.eglDisplay, 0);
    return self;
}

WaylandSurface::~WaylandSurface()
{
    // Its framebuffer belongs to our context.
    if (presenter_ && MakeCurrent())
        presenter_.reset();
    if (eglDisplay_) {
        eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (eglSurface_)
            eglDestroySurface(eglDisplay_, eglSurface_);
        if (eglContext_)
            eglDestroyContext(eglDisplay_, eglContext_);
    }
    if (window_)
        wl_egl_window_destroy(window_);
    if (frameCallback_)
        wl_callback_destroy(frameCallback_);
    if (decoration_)
        zxdg_toplevel_decoration_v1_destroy(decoration_);
    if (toplevel_)
        xdg_toplevel_destroy(toplevel_);
    if (xdgSurface_)
        xdg_surface_destroy(xdgSurface_);
    if (surface_)
        wl_surface_destroy(surface_);
}

// A GPU driver offering both draws faster into its own buffers than a copy
// through shared memory could show them; the software renderer offers
// neither, and there our own buffers let a frame hand over only what changed.
bool WaylandSurface::StartPresenter(wl_shm* shm)
{
    const char* extensions = eglQueryString(eglDisplay_, EGL_EXTENSIONS);
    const bool bufferAge = HasExtension(extensions, "EGL_EXT_buffer_age") &&
                           (HasExtension(extensions, "EGL_KHR_swap_buffers_with_damage") ||
                            HasExtension(extensions, "EGL_EXT_swap_buffers_with_damage"));
    if (bufferAge || !HasExtension(extensions, "EGL_KHR_surfaceless_context") ||
        wl_surface_get_version(surface_) < WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        return false;
    if (!eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext_))
        return false;
    std::string error;
    presenter_ = ShmPresenter::Create(shm, surface_, pixelWidth(), pixelHeight(), &error);
    return presenter_ != nullptr;
}

bool WaylandSurface::MakeCurrent()
{
    if (!presenter_)
        return eglMakeCurrent(eglDisplay_, eglSurface_, eglSurface_, eglContext_) == EGL_TRUE;
    if (!eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext_))
        return false;
    presenter_->Bind();
    return true;
}

void WaylandSurface::AskForFrame()
{
    static const wl_callback_listener frameListener = {OnFrameDone};
    if (!frameCallback_) {
        frameCallback_ = wl_surface_frame(surface_);
        wl_callback_add_listener(frameCallback_, &frameListener, this);
    }
    frameDue_ = false;
}

void WaylandSurface::Swap()
{
    if (presenter_) {
        ShowParts({ViewRect{0, 0, pixelWidth(), pixelHeight()}});
        return;
    }
    AskForFrame();
    MakeOpaque();
    eglSwapBuffers(eglDisplay_, eglSurface_);
}

void WaylandSurface::ShowParts(const std::vector<ViewRect>& rects)
{
    if (!presenter_) {
        Swap();
        return;
    }
    if (presenter_->Attach(rects)) {
        AskForFrame();
        wl_surface_commit(surface_);
    }
}

// The scene leaves alpha below 1 where it blends (footprints) or clears to
// transparent black (the sky); a compositor that honours it would show what
// lies beneath. Only the alpha channel is written, whatever state the scene
// left.
void WaylandSurface::MakeOpaque()
{
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

void WaylandSurface::SetScale(int scale)
{
    if (scale < 1 || scale == scale_)
        return;
    wl_surface_set_buffer_scale(surface_, scale);
    ApplySize(width_, height_, scale);
}

void WaylandSurface::ApplySize(int width, int height, int scale)
{
    width = std::clamp(width, 1, kMaxSide / scale);
    height = std::clamp(height, 1, kMaxSide / scale);
    if (width == width_ && height == height_ && scale == scale_)
        return;
    width_ = width;
    height_ = height;
    scale_ = scale;
    // The new buffer size takes effect at the next swap.
    if (window_)
        wl_egl_window_resize(window_, pixelWidth(), pixelHeight(), 0, 0);
    if (presenter_)
        presenter_->Resize(pixelWidth(), pixelHeight());
    resized_ = true;
}

bool WaylandSurface::TakeResize()
{
    const bool resized = resized_;
    resized_ = false;
    return resized;
}
