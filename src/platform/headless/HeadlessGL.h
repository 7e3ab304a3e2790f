// HeadlessGL: an OpenGL context that needs no display and no GPU, for tests and
// tools.
//
// It runs on Mesa's surfaceless EGL platform with a desktop OpenGL
// compatibility profile (so the fixed-function pipeline works) and draws into
// a pbuffer of a chosen size. One object is one context, made current on the
// creating thread; several may live at once and share EGL's one display,
// which stays initialised until the process ends. Without Mesa's surfaceless platform Create fails and
// says why; it never falls back to a display.
#pragma once

#include <string>
#include <vector>

class HeadlessGL {
public:
    HeadlessGL() = default;
    ~HeadlessGL() { Destroy(); }
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    // Creates the context and a width x height pbuffer and makes them current.
    // On failure *error names the step that failed.
    bool Create(int width, int height, std::string* error = nullptr);
    bool MakeCurrent();
    void Destroy();

    // The colour buffer as RGBA bytes, bottom row first as OpenGL reads it.
    std::vector<unsigned char> ReadPixels() const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    // EGL handles, kept as void* so that users need not include EGL.
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
