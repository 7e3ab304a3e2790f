// MutterIdle: an idle watch that fires once the monitor's idle time reaches
// the interval. A Restart asks for the idle time now plus the delay, and a
// user-active watch brings the plain delay back once the user returns, since
// Mutter re-arms an idle watch only after activity.
#include "platform/idle/MutterIdle.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr const char* kName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr int kCallMilliseconds = 2000;

class MutterIdle : public IdleSource {
public:
    explicit MutterIdle(uint64_t delayMs) : delayMs_(delayMs) {}
    ~MutterIdle() override;

    bool Connect(std::string* tried);
    void Restart() override;
    std::string Name() const override { return kName; }

private:
    static void OnSignal(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
                         gpointer data);
    // The method's reply; null (and the loss reported) on failure.
    GVariant* Call(const char* method, GVariant* parameters, const char* replyType);
    // Adds a watch and returns its id, 0 on failure.
    uint32_t AddWatch(const char* method, GVariant* parameters);
    void RemoveWatch(uint32_t* id);
    void Fired(uint32_t id);

    uint64_t delayMs_;
    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    guint nameWatch_ = 0;
    uint32_t idleWatch_ = 0;
    uint32_t activeWatch_ = 0;
    bool fired_ = true;
};

MutterIdle::~MutterIdle()
{
    if (!bus_)
        return;
    if (nameWatch_)
        g_bus_unwatch_name(nameWatch_);
    if (subscription_)
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    // Mutter drops a client's watches when it leaves the bus; removing them
    // here matters only while the connection is shared with others.
    RemoveWatch(&idleWatch_);
    RemoveWatch(&activeWatch_);
    g_object_unref(bus_);
}

GVariant* MutterIdle::Call(const char* method, GVariant* parameters, const char* replyType)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus_, kName, kPath, kName, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMilliseconds, nullptr, &error);
    if (error)
        g_error_free(error);
    return reply;
}

bool MutterIdle::Connect(std::string* tried)
{
    *tried = std::string(kName) + " on the session bus";
    GError* error = nullptr;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus_) {
        g_error_free(error);
        *tried += " (which could not be reached)";
        return false;
    }
    GVariant* idle = Call("GetIdletime", nullptr, "(t)");
    if (!idle) {
        *tried += " (not running)";
        return false;
    }
    g_variant_unref(idle);
    subscription_ = g_dbus_connection_signal_subscribe(bus_, kName, kName, "WatchFired", kPath, nullptr,
                                                       G_DBUS_SIGNAL_FLAGS_NONE, OnSignal, this, nullptr);
    nameWatch_ = g_bus_watch_name_on_connection(
        bus_, kName, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
        [](GDBusConnection*, const char*, gpointer data) {
            auto* self = static_cast<MutterIdle*>(data);
            if (self->onLost)
                self->onLost("GNOME's idle monitor left the session bus");
        },
        this, nullptr);
    return true;
}

uint32_t MutterIdle::AddWatch(const char* method, GVariant* parameters)
{
    GVariant* reply = Call(method, parameters, "(u)");
    if (!reply) {
        if (onLost)
            onLost(std::string("GNOME's idle monitor refused ") + method);
        return 0;
    }
    uint32_t id = 0;
    g_variant_get(reply, "(u)", &id);
    g_variant_unref(reply);
    return id;
}

void MutterIdle::RemoveWatch(uint32_t* id)
{
    if (*id == 0)
        return;
    if (GVariant* reply = Call("RemoveWatch", g_variant_new("(u)", *id), nullptr))
        g_variant_unref(reply);
    *id = 0;
}

void MutterIdle::Restart()
{
    RemoveWatch(&idleWatch_);
    RemoveWatch(&activeWatch_);
    fired_ = false;
    uint64_t idleNow = 0;
    if (GVariant* reply = Call("GetIdletime", nullptr, "(t)")) {
        g_variant_get(reply, "(t)", &idleNow);
        g_variant_unref(reply);
    }
    idleWatch_ = AddWatch("AddIdleWatch", g_variant_new("(t)", idleNow + delayMs_));
    // A second of idleness or more would lengthen the next period after the
    // user's return; less does not matter.
    if (idleNow >= 1000)
        activeWatch_ = AddWatch("AddUserActiveWatch", nullptr);
}

void MutterIdle::OnSignal(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
                          gpointer data)
{
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)")))
        return;
    uint32_t id = 0;
    g_variant_get(parameters, "(u)", &id);
    static_cast<MutterIdle*>(data)->Fired(id);
}

void MutterIdle::Fired(uint32_t id)
{
    if (id == 0)
        return;
    if (id == activeWatch_) {
        // The user is back: from now on the plain delay counts. Mutter drops
        // a user-active watch once it has fired.
        activeWatch_ = 0;
        if (!fired_) {
            RemoveWatch(&idleWatch_);
            idleWatch_ = AddWatch("AddIdleWatch", g_variant_new("(t)", delayMs_));
        }
    } else if (id == idleWatch_ && !fired_) {
        fired_ = true;
        if (onIdle)
            onIdle();
    }
}

} // namespace

std::unique_ptr<IdleSource> OpenMutterIdle(double delaySeconds, std::string* tried)
{
    auto source = std::make_unique<MutterIdle>(uint64_t(std::max(1.0, delaySeconds * 1000.0)));
    if (!source->Connect(tried))
        return nullptr;
    return source;
}
