// EglDesktopGL: the EGL config and context every Larkspur surface draws
// with: 8-bit RGBA, a 24-bit depth buffer, and a desktop OpenGL
// compatibility profile, so the fixed-function pipeline works.
//
// Shared by the headless pbuffer and the Wayland windows; each caller picks
// its own EGL display and surface type. Handles are void* so that users need
// not include EGL.
#pragma once

#include <string>

struct EglDesktopGL {
    void* config = nullptr;
    void* context = nullptr;
};

// Binds desktop OpenGL on an initialised display and makes a context for a
// config with the given surface type bits (EGL_PBUFFER_BIT, EGL_WINDOW_BIT).
// Without alpha the config has no alpha channel where the display offers one
// such (a window a compositor must not blend with what lies beneath).
// False with *error naming the failed step; nothing is left to release then.
bool CreateEglDesktopGL(void* display, int surfaceType, bool alpha, EglDesktopGL* out, std::string* error);

// "step failed (EGL error 0x....)" for the current EGL error.
std::string EglFailure(const char* step);
