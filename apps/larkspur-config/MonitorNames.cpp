// MonitorNames: XRandR through larkspur's own detection, Wayland outputs
// through a registry of our own on GTK's connection.
#include "MonitorNames.h"

#include "platform/x11/Monitors.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// The outputs bound while the names are read, each with the name it gave.
struct OutputNames {
    std::vector<std::pair<wl_output*, std::string>> outputs;
};

void OnName(void* data, wl_output* output, const char* name)
{
    auto* names = static_cast<OutputNames*>(data);
    for (auto& entry : names->outputs)
        if (entry.first == output)
            entry.second = name ? name : "";
}

const wl_output_listener kOutputListener = {
    [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {},
    [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {},
    [](void*, wl_output*) {},
    [](void*, wl_output*, int32_t) {},
    OnName,
    [](void*, wl_output*, const char*) {}};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    // Only version 4 gives names.
    if (std::strcmp(interface, wl_output_interface.name) != 0 || version < 4)
        return;
    auto* names = static_cast<OutputNames*>(data);
    auto* output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 4));
    names->outputs.emplace_back(output, "");
    wl_output_add_listener(output, &kOutputListener, names);
}

const wl_registry_listener kRegistryListener = {OnGlobal, [](void*, wl_registry*, uint32_t) {}};

// GTK reads its own events from the connection: ours go to a queue of their
// own, read by round trips on it alone.
std::vector<std::string> WaylandOutputNames(wl_display* display)
{
    std::vector<std::string> result;
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    if (!queue || !wrapper) {
        if (wrapper)
            wl_proxy_wrapper_destroy(wrapper);
        if (queue)
            wl_event_queue_destroy(queue);
        return result;
    }
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    OutputNames names;
    wl_registry_add_listener(registry, &kRegistryListener, &names);
    // The globals, then the outputs' first events.
    if (wl_display_roundtrip_queue(display, queue) >= 0 && wl_display_roundtrip_queue(display, queue) >= 0)
        for (const auto& entry : names.outputs)
            if (!entry.second.empty())
                result.push_back(entry.second);
    for (const auto& entry : names.outputs)
        wl_output_release(entry.first);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    wl_event_queue_destroy(queue);
    return result;
}

} // namespace

std::vector<std::string> MonitorNamesPresent(GdkDisplay* display)
{
    std::vector<std::string> names;
    if (display && GDK_IS_X11_DISPLAY(display)) {
        for (const MonitorRect& monitor : DetectMonitors(gdk_x11_display_get_xdisplay(display)).monitors)
            if (!monitor.name.empty())
                names.push_back(monitor.name);
    } else if (display && GDK_IS_WAYLAND_DISPLAY(display)) {
        names = WaylandOutputNames(gdk_wayland_display_get_wl_display(display));
    }
    return names;
}
