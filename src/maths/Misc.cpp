// Error hook, user alert on standard error, Euler rotation of a vector in
// place, and the point2d constructor function.
#include "maths/Misc.h"

#include <cmath>
#include <cstdio>

void ERRORCLOSE(const char* /*message*/) {}

namespace {
// Alerts are shown on the main thread only, so a plain count will do.
int alertMutes = 0;
AlertCapture* alertCapture = nullptr;
} // namespace

AlertCapture::AlertCapture() : outer_(alertCapture) {
    alertCapture = this;
}

AlertCapture::~AlertCapture() {
    alertCapture = outer_;
}

AlertMute::AlertMute(bool mute) : muting(mute) {
    if (muting) {
        alertMutes++;
    }
}

AlertMute::~AlertMute() {
    if (muting) {
        alertMutes--;
    }
}

void MessageBox(void* /*owner*/, const char* text, const char* caption, int /*style*/) {
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

void Rotate(VECTOR3D* v, float ax, float ay, float az) {
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

point2d Make2DPoint(float x, float y) {
    point2d p;
    p.x = x;
    p.y = y;
    return p;
}
