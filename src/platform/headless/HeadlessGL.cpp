// HeadlessGL: EGL set-up on Mesa's surfaceless platform and pixel read-back.
#include "platform/headless/HeadlessGL.h"

#include "platform/egl/EglDesktopGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>

namespace {

bool Fail(std::string* error, const char* step)
{
    if (error)
        *error = EglFailure(step);
    return false;
}

} // namespace

bool HeadlessGL::Create(int width, int height, std::string* error)
{
    Destroy();
    if (width < 1 || height < 1) {
        if (error)
            *error = "the surface size must be at least 1x1";
        return false;
    }
    // The surfaceless platform needs no X server, no Wayland and no render node.
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay)
        return Fail(error, "eglGetProcAddress(eglGetPlatformDisplayEXT)");
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        return Fail(error, "eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)");
    if (!eglInitialize(display, nullptr, nullptr))
        return Fail(error, "eglInitialize");
    display_ = display;
    EglDesktopGL gl;
    if (!CreateEglDesktopGL(display, EGL_PBUFFER_BIT, true, &gl, error)) {
        Destroy();
        return false;
    }
    context_ = gl.context;
    EGLConfig config = gl.config;

    const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
    if (surface == EGL_NO_SURFACE) {
        Fail(error, "eglCreatePbufferSurface");
        Destroy();
        return false;
    }
    surface_ = surface;
    width_ = width;
    height_ = height;
    if (!MakeCurrent()) {
        Fail(error, "eglMakeCurrent");
        Destroy();
        return false;
    }
    glViewport(0, 0, width, height);
    return true;
}

bool HeadlessGL::MakeCurrent()
{
    if (!context_)
        return false;
    return eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE;
}

void HeadlessGL::Destroy()
{
    if (!display_)
        return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface_)
        eglDestroySurface(display_, surface_);
    if (context_)
        eglDestroyContext(display_, context_);
    // The display is shared by every object in the process and is not
    // terminated: terminating would pull it from under other contexts, and
    // would unload the driver before leak checkers can name its frames.
    eglReleaseThread();
    display_ = context_ = surface_ = nullptr;
    width_ = height_ = 0;
}

std::vector<unsigned char> HeadlessGL::ReadPixels() const
{
    std::vector<unsigned char> pixels(size_t(width_) * size_t(height_) * 4);
    if (pixels.empty())
        return pixels;
    // Rows of RGBA bytes are always 4-aligned, but say so in case a caller
    // changed the packing.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
