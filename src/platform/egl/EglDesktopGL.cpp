// EglDesktopGL: choosing the config and making the compatibility context.
#include "platform/egl/EglDesktopGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

std::string EglFailure(const char* step)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", step, unsigned(eglGetError()));
    return text;
}

bool CreateEglDesktopGL(void* display, int surfaceType, bool alpha, EglDesktopGL* out, std::string* error)
{
    auto fail = [error](const char* step) {
        if (error)
            *error = EglFailure(step);
        return false;
    };
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("eglBindAPI(EGL_OPENGL_API)");
    const EGLint configAttribs[] = {
        EGL_SURFACE_TYPE, surfaceType, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE,   8,  EGL_GREEN_SIZE, 8,
        EGL_BLUE_SIZE,    8,           EGL_ALPHA_SIZE,      alpha ? 8 : 0,  EGL_DEPTH_SIZE, 24, EGL_NONE};
    // EGL sorts configs with more colour bits first (10-bit ones before
    // 8-bit ones, alpha before none), so the plain 8-bit one is looked for.
    EGLConfig configs[64];
    EGLint found = 0;
    if (!eglChooseConfig(display, configAttribs, configs, 64, &found) || found < 1)
        return fail("eglChooseConfig (RGBA8, depth 24, desktop OpenGL)");
    EGLConfig config = configs[0];
    for (EGLint i = 0; i < found; i++) {
        EGLint red = 0, alphaBits = 0;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &alphaBits);
        if (red == 8 && alphaBits == (alpha ? 8 : 0)) {
            config = configs[i];
            break;
        }
    }
    const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
    if (context == EGL_NO_CONTEXT)
        return fail("eglCreateContext (compatibility profile)");
    out->config = config;
    out->context = context;
    return true;
}
