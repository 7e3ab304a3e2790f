// SessionHolds: one D-Bus question per row, each answered by a boolean.
#include "platform/idle/SessionHolds.h"

#include <gio/gio.h>

namespace {

constexpr int kCallMilliseconds = 1000;
// GNOME session manager's inhibit flag for idleness; KDE policy agent's
// ChangeScreenSettings.
constexpr uint32_t kGnomeIdleFlag = 8;
constexpr uint32_t kKdeScreenFlag = 4;

struct Hold {
    GBusType bus;
    const char* name;
    const char* path;
    const char* interface;
    const char* method;
    // The argument: a property of the interface to read, or a flag word.
    const char* property;
    uint32_t flags;
    const char* why;
};

const Hold kHolds[] = {
    {G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", "/org/freedesktop/login1/session/auto",
     "org.freedesktop.login1.Session", nullptr, "LockedHint", 0, "the session is locked"},
    {G_BUS_TYPE_SESSION, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "IsInhibited", nullptr, kGnomeIdleFlag, "an application asked GNOME to keep the session awake"},
    {G_BUS_TYPE_SESSION, "org.kde.Solid.PowerManagement.PolicyAgent", "/org/kde/Solid/PowerManagement/PolicyAgent",
     "org.kde.Solid.PowerManagement.PolicyAgent", "HasInhibition", nullptr, kKdeScreenFlag,
     "an application asked KDE to keep the screen on"},
};

// The boolean the row's service answers; false when it does not.
bool Holds(const Hold& hold)
{
    GDBusConnection* bus = g_bus_get_sync(hold.bus, nullptr, nullptr);
    if (!bus)
        return false;
    GVariant* reply =
        hold.property
            ? g_dbus_connection_call_sync(bus, hold.name, hold.path, "org.freedesktop.DBus.Properties", "Get",
                                          g_variant_new("(ss)", hold.interface, hold.property), G_VARIANT_TYPE("(v)"),
                                          G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMilliseconds, nullptr, nullptr)
            : g_dbus_connection_call_sync(bus, hold.name, hold.path, hold.interface, hold.method,
                                          g_variant_new("(u)", hold.flags), G_VARIANT_TYPE("(b)"),
                                          G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMilliseconds, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    GVariant* value = g_variant_get_child_value(reply, 0);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
        GVariant* inner = g_variant_get_variant(value);
        g_variant_unref(value);
        value = inner;
    }
    const bool held = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return held;
}

} // namespace

std::string SessionHold()
{
    for (const Hold& hold : kHolds)
        if (Holds(hold))
            return hold.why;
    return "";
}
