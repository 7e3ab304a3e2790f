// Floor: the least a desktop-textured ground can cost on the renderer, the
// yardstick of `make perf`. A GLX window filling the screen (as larkspur's
// view does at the sizes measured) that, every 25 ms, clears, draws one
// 1024x1024 linear-filtered textured quad over the whole view with the depth
// test on, and swaps. Ends on SIGTERM or SIGINT.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t stopping = 0;

void Stop(int)
{
    stopping = 1;
}

// A picture with detail everywhere, so that no texel is cheaper than another.
std::vector<unsigned char> Picture(int side)
{
    std::vector<unsigned char> rgb(size_t(side) * size_t(side) * 3);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            unsigned char* p = &rgb[(size_t(y) * size_t(side) + size_t(x)) * 3];
            p[0] = static_cast<unsigned char>(x ^ y);
            p[1] = static_cast<unsigned char>(x * 3 + y);
            p[2] = static_cast<unsigned char>(y * 5);
        }
    return rgb;
}

} // namespace

int main()
{
    constexpr int kSide = 1024;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "larkspur-floor: cannot open the display\n");
        return 1;
    }
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
                        8,        GLX_DEPTH_SIZE,   16,           None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (!visual) {
        std::fprintf(stderr, "larkspur-floor: no double-buffered visual with depth\n");
        return 1;
    }
    const Window root = RootWindow(display, visual->screen);
    XSetWindowAttributes set = {};
    set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    const Window window = XCreateWindow(display, root, 0, 0, unsigned(width), unsigned(height), 0, visual->depth,
                                        InputOutput, visual->visual, CWColormap, &set);
    XStoreName(display, window, "larkspur-floor");
    XMapWindow(display, window);
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    glXMakeCurrent(display, window, context);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const std::vector<unsigned char> picture = Picture(kSide);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kSide, kSide, 0, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, width, height);

    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    auto next = std::chrono::steady_clock::now();
    while (!stopping) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glEnd();
        glXSwapBuffers(display, window);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
        }
        next += std::chrono::microseconds(25000);
        const auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        std::this_thread::sleep_until(next);
    }
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
    XDestroyWindow(display, window);
    XFree(visual);
    XCloseDisplay(display);
    return 0;
}
