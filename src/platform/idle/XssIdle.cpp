// XssIdle: the extension reports idle time but sends no event when a time is
// reached, so the source sleeps until the earliest moment the delay can have
// passed and asks again.
#include "platform/idle/XssIdle.h"

#include "platform/x11/X11Errors.h"

#include <X11/extensions/scrnsaver.h>
#include <glib.h>

#include <algorithm>
#include <cmath>

namespace {

class XssIdle : public IdleSource {
public:
    XssIdle(Display* display, double delaySeconds) : display_(display), delay_(delaySeconds) {}
    ~XssIdle() override;

    void Restart() override;
    std::string Name() const override { return "the X screen-saver extension"; }

private:
    void Check();
    void CheckIn(double seconds);

    Display* display_;
    double delay_;
    XScreenSaverInfo* info_ = XScreenSaverAllocInfo();
    // The idle time counts only from here on (Restart).
    double notBefore_ = 0;
    guint timer_ = 0;
};

double MonotonicSeconds()
{
    return double(g_get_monotonic_time()) / 1e6;
}

XssIdle::~XssIdle()
{
    if (timer_)
        g_source_remove(timer_);
    XFree(info_);
    XCloseDisplay(display_);
}

void XssIdle::Restart()
{
    notBefore_ = MonotonicSeconds() + delay_;
    Check();
}

void XssIdle::CheckIn(double seconds)
{
    if (timer_)
        g_source_remove(timer_);
    // A little past the moment, so that the server's count has surely passed it.
    const guint ms = guint(std::clamp(std::ceil(seconds * 1000.0) + 10.0, 10.0, 3600000.0));
    timer_ = g_timeout_add(
        ms,
        [](gpointer data) {
            auto* self = static_cast<XssIdle*>(data);
            self->timer_ = 0;
            self->Check();
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void XssIdle::Check()
{
    XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_);
    const double idle = double(info_->idle) / 1000.0;
    const double wait = std::max(delay_ - idle, notBefore_ - MonotonicSeconds());
    if (wait > 0) {
        CheckIn(wait);
        return;
    }
    if (onIdle)
        onIdle();
}

} // namespace

bool XScreenSaverDaemonRuns(Display* display)
{
    const Atom version = XInternAtom(display, "_SCREENSAVER_VERSION", True);
    if (version == None)
        return false;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    bool found = false;
    // A window that goes away meanwhile just has no property.
    X11ErrorTrap trap(display);
    for (unsigned i = 0; i < count && !found; i++) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], version, 0, 0, False, AnyPropertyType, &type, &format, &items,
                               &after, &data) == Success)
            found = type != None;
        if (data)
            XFree(data);
    }
    if (children)
        XFree(children);
    return found;
}

std::unique_ptr<IdleSource> OpenXssIdle(Display* display, double delaySeconds, std::string* tried)
{
    *tried = std::string("the X screen-saver extension on display '") + DisplayString(display) + "'";
    int event = 0, error = 0;
    if (!XScreenSaverQueryExtension(display, &event, &error)) {
        *tried += " (which the server lacks)";
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<XssIdle>(display, delaySeconds);
}
