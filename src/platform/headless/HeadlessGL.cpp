// HeadlessGL: EGL set-up on Mesa's surfaceless platform and pixel read-back.
#include "platform/headless/HeadlessGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>

namespace {

bool Fail(std::string* error, const char* step)
{
    if (error) {
        char text[160];
        std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", step, unsigned(eglGetError()));
        *error = text;
    }
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
    if (!eglBindAPI(EGL_OPENGL_API)) {
        Fail(error, "eglBindAPI(EGL_OPENGL_API)");
        Destroy();
        return false;
    }

    const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                    EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                    EGL_DEPTH_SIZE, 24, EGL_NONE};
    EGLConfig config;
    EGLint found = 0;
    if (!eglChooseConfig(display, configAttribs, &config, 1, &found) || found < 1) {
        Fail(error, "eglChooseConfig (RGBA8, depth 24, pbuffer, desktop OpenGL)");
        Destroy();
        return false;
    }

    const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
    if (context == EGL_NO_CONTEXT) {
        Fail(error, "eglCreateContext (compatibility profile)");
        Destroy();
        return false;
    }
    context_ = context;

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
