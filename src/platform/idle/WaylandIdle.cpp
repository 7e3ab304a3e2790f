// WaylandIdle: a notification object per watch, remade on every Restart, since
// both protocols count a new object's timeout from its creation.
#include "platform/idle/WaylandIdle.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <glib-unix.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

class WaylandIdle : public IdleSource {
public:
    explicit WaylandIdle(uint32_t delayMs) : delayMs_(delayMs) {}
    ~WaylandIdle() override;

    bool Connect(std::string* tried);
    void Restart() override;
    std::string Name() const override { return ext_ ? "ext-idle-notify-v1" : "org_kde_kwin_idle"; }

private:
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static gboolean OnReadable(int fd, GIOCondition condition, gpointer data);
    void Forget();
    void Idled();
    void Lost();

    uint32_t delayMs_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* ext_ = nullptr;
    org_kde_kwin_idle* kde_ = nullptr;
    ext_idle_notification_v1* extWatch_ = nullptr;
    org_kde_kwin_idle_timeout* kdeWatch_ = nullptr;
    guint fdSource_ = 0;
    // An idle event was passed on: the next waits for Restart.
    bool fired_ = false;
};

WaylandIdle::~WaylandIdle()
{
    if (fdSource_)
        g_source_remove(fdSource_);
    Forget();
    if (ext_)
        ext_idle_notifier_v1_destroy(ext_);
    if (kde_)
        org_kde_kwin_idle_destroy(kde_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_)
        wl_display_disconnect(display_);
}

void WaylandIdle::OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* self = static_cast<WaylandIdle*>(data);
    // One seat is enough: the compositor counts input on it, and a session
    // has one seat.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
        self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && !self->ext_)
        self->ext_ =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && !self->kde_)
        self->kde_ = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
}

bool WaylandIdle::Connect(std::string* tried)
{
    const char* env = std::getenv("WAYLAND_DISPLAY");
    *tried = std::string("ext-idle-notify-v1 and org_kde_kwin_idle on Wayland display '") + (env ? env : "") + "'";
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        *tried += " (which could not be reached)";
        return false;
    }
    static const wl_registry_listener registryListener = {OnGlobal, [](void*, wl_registry*, uint32_t) {}};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
    if (wl_display_roundtrip(display_) < 0)
        return false;
    if (!ext_ && !kde_)
        *tried += " (offered by neither)";
    else if (!seat_)
        *tried += " (no seat)";
    else
        fdSource_ =
            g_unix_fd_add(wl_display_get_fd(display_), GIOCondition(G_IO_IN | G_IO_ERR | G_IO_HUP), OnReadable, this);
    return fdSource_ != 0;
}

void WaylandIdle::Forget()
{
    if (extWatch_)
        ext_idle_notification_v1_destroy(extWatch_);
    if (kdeWatch_)
        org_kde_kwin_idle_timeout_release(kdeWatch_);
    extWatch_ = nullptr;
    kdeWatch_ = nullptr;
}

void WaylandIdle::Restart()
{
    static const ext_idle_notification_v1_listener extListener = {
        [](void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->Idled(); },
        [](void*, ext_idle_notification_v1*) {}};
    static const org_kde_kwin_idle_timeout_listener kdeListener = {
        [](void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(data)->Idled(); },
        [](void*, org_kde_kwin_idle_timeout*) {}};
    Forget();
    fired_ = false;
    if (ext_) {
        extWatch_ = ext_idle_notifier_v1_get_idle_notification(ext_, delayMs_, seat_);
        ext_idle_notification_v1_add_listener(extWatch_, &extListener, this);
    } else {
        kdeWatch_ = org_kde_kwin_idle_get_idle_timeout(kde_, seat_, delayMs_);
        org_kde_kwin_idle_timeout_add_listener(kdeWatch_, &kdeListener, this);
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN)
        Lost();
}

void WaylandIdle::Idled()
{
    if (fired_)
        return;
    fired_ = true;
    if (onIdle)
        onIdle();
}

gboolean WaylandIdle::OnReadable(int, GIOCondition, gpointer data)
{
    auto* self = static_cast<WaylandIdle*>(data);
    if (wl_display_dispatch(self->display_) < 0) {
        self->fdSource_ = 0;
        self->Lost();
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

void WaylandIdle::Lost()
{
    if (onLost)
        onLost("lost the connection to the Wayland compositor");
}

} // namespace

std::unique_ptr<IdleSource> OpenWaylandIdle(double delaySeconds, std::string* tried)
{
    const double ms = std::clamp(delaySeconds * 1000.0, 1.0, 4294967295.0);
    auto source = std::make_unique<WaylandIdle>(uint32_t(ms));
    if (!source->Connect(tried))
        return nullptr;
    return source;
}
