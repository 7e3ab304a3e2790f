// Error hook, user alert on standard error, Euler rotation of a vector in
// place, and the point2d constructor function.
#include "maths/Misc.h"

#include <glib.h>

#include <cmath>
#include <cstdio>

void ERRORCLOSE(const char* /*message*/) {}

namespace {
// Alerts are shown on the main thread only, so a plain count will do.
int alertMutes = 0;
AlertCapture* alertCapture = nullptr;
} // namespace

AlertCapture::AlertCapture() : outer_(alertCapture)
{
    alertCapture = this;
}

AlertCapture::~AlertCapture()
{
    alertCapture = outer_;
}

AlertMute::AlertMute(bool mute) : muting(mute)
{
    if (muting) {
        alertMutes++;
    }
}

AlertMute::~AlertMute()
{
    if (muting) {
        alertMutes--;
    }
}

void MessageBox(void* /*owner*/, const char* text, const char* caption, int /*style*/)
{
    if (alertCapture) {
        if (alertCapture->text_.empty()) {
            alertCapture->text_ = std::string(caption ? caption : "") + ": " + (text ? text : "");
        }
        return;
    }
    if (alertMutes > 0) {
        return;
    }
    // There is no modal alert to hand, so the message goes where a user
    // running from a terminal or reading the session log will see it.
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

void Rotate(VECTOR3D* v, float ax, float ay, float az)
{
    if (ax == 0.0f && ay == 0.0f && az == 0.0f) {
        return;
    }
    // Radians are rounded to float before use, so the camera turns by exactly
    // the same amounts on every build.
    float rx = static_cast<float>(ax * NIFTY_PI / 180.0);
    float ry = static_cast<float>(ay * NIFTY_PI / 180.0);
    float rz = static_cast<float>(az * NIFTY_PI / 180.0);

    // Each step stores back to float before the next one reads the vector.
    if (rx != 0.0f) {
        double c = std::cos(static_cast<double>(rx)), s = std::sin(static_cast<double>(rx));
        double y = v->y, z = v->z;
        v->y = static_cast<float>(c * y - s * z);
        v->z = static_cast<float>(s * y + c * z);
    }
    if (ry != 0.0f) {
        double c = std::cos(static_cast<double>(ry)), s = std::sin(static_cast<double>(ry));
        double x = v->x, z = v->z;
        v->x = static_cast<float>(c * x + s * z);
        v->z = static_cast<float>(c * z - s * x);
    }
    if (rz != 0.0f) {
        double c = std::cos(static_cast<double>(rz)), s = std::sin(static_cast<double>(rz));
        double x = v->x, y = v->y;
        v->x = static_cast<float>(c * x - s * y);
        v->y = static_cast<float>(s * x + c * y);
    }
}

point2d Make2DPoint(float x, float y)
{
    point2d p;
    p.x = x;
    p.y = y;
    return p;
}

namespace {

void AppendByteEscape(std::string* out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    *out += "\\x";
    *out += digits[byte >> 4];
    *out += digits[byte & 15];
}

// The escape of an ASCII byte that must not be printed as it is; null for
// the others.
const char* AsciiEscape(unsigned char byte)
{
    switch (byte) {
    case '\\':
        return "\\\\";
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    default:
        return nullptr;
    }
}

} // namespace

std::string PrintableText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte < 0x80) {
            if (const char* escape = AsciiEscape(byte)) {
                out += escape;
            } else if (byte < 0x20 || byte == 0x7f) {
                AppendByteEscape(&out, byte);
            } else {
                out += char(byte);
            }
            p++;
            continue;
        }
        // A whole character is copied only when it is valid UTF-8 and not one
        // of the C1 controls, which some terminals obey as escape sequences.
        const gunichar c = g_utf8_get_char_validated(p, end - p);
        const bool valid = c < 0x110000;
        const bool printable = valid && c > 0x9f;
        const char* const next = valid ? g_utf8_next_char(p) : p + 1;
        for (; p < next; p++) {
            if (printable) {
                out += *p;
            } else {
                AppendByteEscape(&out, static_cast<unsigned char>(*p));
            }
        }
    }
    return out;
}
