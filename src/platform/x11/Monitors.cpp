// Monitors: XRandR detection and overlap.
#include "platform/x11/Monitors.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace {

long long Overlap(const MonitorRect& m, int x, int y, int width, int height)
{
    const long long w = std::min<long long>(m.x + m.width, x + width) - std::max(m.x, x);
    const long long h = std::min<long long>(m.y + m.height, y + height) - std::max(m.y, y);
    return w > 0 && h > 0 ? w * h : 0;
}

MonitorLayout WholeScreen(Display* display)
{
    MonitorLayout layout;
    const int screen = DefaultScreen(display);
    layout.monitors.push_back(MonitorRect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen), ""});
    return layout;
}

} // namespace

MonitorLayout DetectMonitors(Display* display)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 105)
        return WholeScreen(display);
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    MonitorLayout layout;
    for (int i = 0; i < count; i++) {
        if (info[i].width < 1 || info[i].height < 1)
            continue;
        std::string name;
        if (info[i].name != None) {
            if (char* text = XGetAtomName(display, info[i].name)) {
                name = text;
                XFree(text);
            }
        }
        if (info[i].primary)
            layout.primary = int(layout.monitors.size());
        layout.monitors.push_back(MonitorRect{info[i].x, info[i].y, info[i].width, info[i].height, name});
    }
    if (info)
        XRRFreeMonitors(info);
    return layout.monitors.empty() ? WholeScreen(display) : layout;
}

MonitorLayout LayoutFromList(const std::vector<MonitorRect>& monitors)
{
    MonitorLayout layout;
    layout.monitors = monitors;
    return layout;
}

int MonitorOfRect(const MonitorLayout& layout, int x, int y, int width, int height)
{
    int best = -1;
    long long bestArea = 0;
    for (int i = 0; i < int(layout.monitors.size()); i++) {
        const long long area = Overlap(layout.monitors[size_t(i)], x, y, width, height);
        const bool better = area > bestArea || (area == bestArea && area > 0 && i == layout.primary);
        if (better) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}
