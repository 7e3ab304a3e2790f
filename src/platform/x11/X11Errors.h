// X11Errors: what happens to X protocol errors in larkspur.
//
// Xlib's default handlers end the process on the spot, which would skip the
// scene's teardown. Installed here instead: a protocol error is recorded (the
// first one is kept) and the frame loop ends the run cleanly when it sees it;
// errors inside an X11ErrorTrap are expected (a window that may be gone, a
// screenshot pixmap that may have been freed) and only make the trap fail.
// A lost connection cannot be recovered from: it is reported and the process
// ends at once with status 1.
#pragma once

#include <X11/Xlib.h>

#include <string>

struct X11Error {
    int code = 0;
    int request = 0;
    XID resource = 0;
    std::string text;
};

void InstallX11ErrorHandlers();

// Takes the first error recorded outside traps since the last call.
bool TakeX11Error(X11Error* error);

// Errors caused by requests made while it lives are swallowed and counted.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server's answers; true when any request failed.
    bool Failed();

private:
    Display* display_;
};
