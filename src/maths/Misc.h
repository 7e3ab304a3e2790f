// Small shared helpers: the error hook, the user alert, in-place rotation
// of a vector by Euler angles, the 2D screen point, and text made safe to
// print on a terminal.
#pragma once

#include "maths/NiftyMaths.h"

#include <string>

// Screen-space position used by the overlay.
struct point2d {
    float x, y;
};

// Error hook for allocation and model-header failures. Callers handle the
// failure themselves, so this deliberately does nothing.
void ERRORCLOSE(const char* message);

// Tells the user about a failure; owner and style are accepted for the
// callers' sake and ignored.
void MessageBox(void* owner, const char* text, const char* caption, int style);

// While one is alive (and muting), MessageBox shows nothing: for work that is
// repeated after a failure the user has already been told about.
class AlertMute {
public:
    explicit AlertMute(bool mute);
    ~AlertMute();
    AlertMute(const AlertMute&) = delete;
    AlertMute& operator=(const AlertMute&) = delete;

private:
    bool muting;
};

// While one is alive, MessageBox shows nothing and the first alert is kept
// instead ("caption: text"), for a caller that gives the reason itself. The
// innermost one alive keeps it.
class AlertCapture {
public:
    AlertCapture();
    ~AlertCapture();
    AlertCapture(const AlertCapture&) = delete;
    AlertCapture& operator=(const AlertCapture&) = delete;

    // The first alert given while this was the innermost; empty for none.
    const std::string& text() const { return text_; }

private:
    friend void MessageBox(void*, const char*, const char*, int);
    AlertCapture* outer_;
    std::string text_;
};

// Turns v about X, then Y, then Z (degrees, right-handed), in place.
void Rotate(VECTOR3D* v, float ax, float ay, float az);

point2d Make2DPoint(float x, float y);

// Text from files or settings as it may be printed on a terminal: control
// characters (C0, DEL and C1), bytes that are not UTF-8 and the backslash
// itself are written as escapes (\n, \t, \r, \\, \x1b), so a stored value
// cannot move the cursor, retitle the window or hide what it is.
std::string PrintableText(const std::string& text);
