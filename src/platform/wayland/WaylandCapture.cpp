// WaylandCapture: the portal's request and response, grim as a child process,
// and the decoding of what they give.
#include "platform/wayland/WaylandCapture.h"

#include "resources/PictureDecoder.h"

#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// A private main context for one exchange, made the thread's default so that
// the bus's signals and the child's pipe are dispatched here, with a deadline.
class Exchange {
public:
    explicit Exchange(double seconds) : context_(g_main_context_new())
    {
        g_main_context_push_thread_default(context_);
        timeout_ = g_timeout_source_new(guint(seconds * 1000.0));
        g_source_set_callback(timeout_, OnTimeout, &timedOut_, nullptr);
        g_source_attach(timeout_, context_);
    }
    ~Exchange()
    {
        g_source_destroy(timeout_);
        g_source_unref(timeout_);
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Runs until done is set or the time is up; false when the time ran out.
    bool RunUntil(const bool& done)
    {
        while (!done && !timedOut_)
            g_main_context_iteration(context_, TRUE);
        return done;
    }

private:
    static gboolean OnTimeout(gpointer data)
    {
        *static_cast<bool*>(data) = true;
        return G_SOURCE_REMOVE;
    }

    GMainContext* context_;
    GSource* timeout_;
    bool timedOut_ = false;
};

struct PortalAnswer {
    bool done = false;
    std::string uri;
};

void OnPortalResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                      gpointer data)
{
    auto* answer = static_cast<PortalAnswer*>(data);
    answer->done = true;
    guint32 response = 2;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    const gchar* uri = nullptr;
    if (response == 0 && g_variant_lookup(results, "uri", "&s", &uri) && uri)
        answer->uri = uri;
    g_variant_unref(results);
}

// The request object the portal will answer on, known before the call so
// that the answer cannot be missed.
std::string RequestPath(GDBusConnection* bus, const std::string& token)
{
    std::string sender = g_dbus_connection_get_unique_name(bus);
    sender.erase(0, 1);
    std::replace(sender.begin(), sender.end(), '.', '_');
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
}

} // namespace

std::string PortalScreenshot(double seconds)
{
    Exchange exchange(seconds);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return "";
    }
    const std::string token = "larkspur" + std::to_string(getpid());
    PortalAnswer answer;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, "org.freedesktop.portal.Desktop", "org.freedesktop.portal.Request", "Response",
        RequestPath(bus, token).c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnPortalResponse, &answer, nullptr);
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "interactive", g_variant_new_boolean(FALSE));
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Screenshot",
        "Screenshot", g_variant_new("(sa{sv})", "", &options), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE,
        int(seconds * 1000.0), nullptr, &error);
    std::string path;
    if (reply) {
        g_variant_unref(reply);
        if (exchange.RunUntil(answer.done) && !answer.uri.empty()) {
            if (gchar* file = g_filename_from_uri(answer.uri.c_str(), nullptr, nullptr)) {
                path = file;
                g_free(file);
            }
        }
    }
    g_clear_error(&error);
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    g_object_unref(bus);
    return path;
}

bool PictureToRgb(const Picture& picture, std::vector<unsigned char>* rgb, int* width, int* height)
{
    if (picture.width() < 1 || picture.height() < 1)
        return false;
    rgb->resize(size_t(picture.width()) * size_t(picture.height()) * 3);
    unsigned char* out = rgb->data();
    for (int y = 0; y < picture.height(); y++) {
        const unsigned char* in = picture.Row(y);
        for (int x = 0; x < picture.width(); x++, in += picture.channels(), out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
    *width = picture.width();
    *height = picture.height();
    return true;
}

std::vector<unsigned char> GrimScreenshot(const std::string& outputName, double seconds)
{
    Exchange exchange(seconds);
    std::vector<const gchar*> argv = {"grim"};
    if (!outputName.empty()) {
        argv.push_back("-o");
        argv.push_back(outputName.c_str());
    }
    argv.push_back("-");
    argv.push_back(nullptr);
    GError* error = nullptr;
    GSubprocess* child = g_subprocess_newv(argv.data(), GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE |
                                                                         G_SUBPROCESS_FLAGS_STDERR_SILENCE),
                                           &error);
    std::vector<unsigned char> png;
    if (!child) {
        g_clear_error(&error);
        return png;
    }
    struct Result {
        bool done = false;
        GBytes* out = nullptr;
        bool ok = false;
    } result;
    g_subprocess_communicate_async(
        child, nullptr, nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            auto* r = static_cast<Result*>(data);
            r->ok = g_subprocess_communicate_finish(G_SUBPROCESS(source), async, &r->out, nullptr, nullptr);
            r->done = true;
        },
        &result);
    if (!exchange.RunUntil(result.done)) {
        g_subprocess_force_exit(child);
        // The cancelled exchange still reports back; wait for it so that
        // nothing refers to result afterwards.
        while (!result.done)
            g_main_context_iteration(g_main_context_get_thread_default(), TRUE);
        result.ok = false;
    }
    if (result.ok && g_subprocess_get_if_exited(child) && g_subprocess_get_exit_status(child) == 0 && result.out) {
        gsize size = 0;
        const auto* bytes = static_cast<const unsigned char*>(g_bytes_get_data(result.out, &size));
        png.assign(bytes, bytes + size);
    }
    if (result.out)
        g_bytes_unref(result.out);
    g_object_unref(child);
    return png;
}

bool CaptureWaylandScreen(const std::string& outputName, std::vector<unsigned char>* rgb, int* width,
                          int* height, std::string* how)
{
    Picture picture;
    const std::string path = PortalScreenshot(kCaptureSeconds);
    if (!path.empty()) {
        const bool decoded = DecodePictureFile(path.c_str(), &picture);
        // The file was made for us alone; it must not pile up in the
        // user's pictures each time the screensaver starts.
        unlink(path.c_str());
        if (decoded && PictureToRgb(picture, rgb, width, height)) {
            *how = "the desktop portal";
            return true;
        }
    }
    const std::vector<unsigned char> png = GrimScreenshot(outputName, kCaptureSeconds);
    if (!png.empty() && DecodePictureBytes(png.data(), png.size(), &picture) &&
        PictureToRgb(picture, rgb, width, height)) {
        *how = "grim";
        return true;
    }
    return false;
}
