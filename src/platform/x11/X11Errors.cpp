// X11Errors: the error handlers and the trap.
#include "platform/x11/X11Errors.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

namespace {

int gTrapDepth = 0;
bool gTrapped = false;
std::optional<X11Error> gPending;

int OnError(Display* display, XErrorEvent* event)
{
    if (gTrapDepth > 0) {
        gTrapped = true;
        return 0;
    }
    if (gPending)
        return 0;
    X11Error error;
    error.code = event->error_code;
    error.request = event->request_code;
    error.resource = event->resourceid;
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    error.text = text;
    gPending = error;
    return 0;
}

[[noreturn]] int OnConnectionLost(Display*)
{
    static const char message[] = "larkspur: the connection to the X server was lost\n";
    const ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(1);
}

} // namespace

void InstallX11ErrorHandlers()
{
    XSetErrorHandler(OnError);
    XSetIOErrorHandler(OnConnectionLost);
}

bool TakeX11Error(X11Error* error)
{
    if (!gPending)
        return false;
    *error = *gPending;
    gPending.reset();
    return true;
}

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display)
{
    // Errors of earlier requests must not land in the trap.
    XSync(display_, False);
    if (gTrapDepth++ == 0)
        gTrapped = false;
}

X11ErrorTrap::~X11ErrorTrap()
{
    XSync(display_, False);
    gTrapDepth--;
}

bool X11ErrorTrap::Failed()
{
    XSync(display_, False);
    return gTrapped;
}
