// WaylandCapture: the portal's request and response, grim as a child process,
// and the decoding of what they give.
#include "platform/wayland/WaylandCapture.h"

#include "resources/PictureDecoder.h"

#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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
    guint32 response = 2;
    std::string uri;
};

void OnPortalResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                      gpointer data)
{
    auto* answer = static_cast<PortalAnswer*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
        return;
    answer->done = true;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &answer->response, &results);
    const gchar* uri = nullptr;
    if (answer->response == 0 && g_variant_lookup(results, "uri", "&s", &uri) && uri)
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

// What a failed call's error says, without D-Bus's remote error name.
std::string ErrorText(GError* error)
{
    g_dbus_error_strip_remote_error(error);
    return error->message;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// Why the portal's answer holds no picture.
std::string Refusal(const PortalAnswer& answer)
{
    if (answer.response == 1)
        return "the screenshot was cancelled";
    if (answer.response != 0)
        return "the desktop refused the screenshot";
    return "its answer named no picture file";
}

} // namespace

std::string PortalScreenshot(double seconds, std::string* why)
{
    Exchange exchange(seconds);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        *why = "no session bus (" + ErrorText(error) + ")";
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
    if (!reply) {
        *why = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ? "no answer within " + Seconds(seconds)
                                                                        : ErrorText(error);
    } else {
        g_variant_unref(reply);
        if (!exchange.RunUntil(answer.done)) {
            *why = "no answer within " + Seconds(seconds);
        } else if (gchar* file = g_filename_from_uri(answer.uri.c_str(), nullptr, nullptr)) {
            path = file;
            g_free(file);
        } else {
            *why = Refusal(answer);
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

// The first line a failed child wrote to stderr, or its exit status.
std::string ChildFailure(GSubprocess* child, GBytes* err)
{
    std::string text;
    if (err) {
        gsize size = 0;
        const auto* bytes = static_cast<const char*>(g_bytes_get_data(err, &size));
        text.assign(bytes, std::min<gsize>(size, 200));
        text = text.substr(0, text.find('\n'));
    }
    if (!text.empty())
        return text;
    if (g_subprocess_get_if_exited(child))
        return "it ended with status " + std::to_string(g_subprocess_get_exit_status(child));
    return "it was ended by a signal";
}

std::vector<unsigned char> GrimScreenshot(const std::string& outputName, double seconds, std::string* why)
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
    GSubprocess* child = g_subprocess_newv(
        argv.data(), GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE), &error);
    std::vector<unsigned char> png;
    if (!child) {
        *why = g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT) ? "it is not installed" : error->message;
        g_clear_error(&error);
        return png;
    }
    struct Result {
        bool done = false;
        GBytes* out = nullptr;
        GBytes* err = nullptr;
        bool ok = false;
    } result;
    g_subprocess_communicate_async(
        child, nullptr, nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            auto* r = static_cast<Result*>(data);
            r->ok = g_subprocess_communicate_finish(G_SUBPROCESS(source), async, &r->out, &r->err, nullptr);
            r->done = true;
        },
        &result);
    if (!exchange.RunUntil(result.done)) {
        *why = "no picture within " + Seconds(seconds);
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
    } else if (result.ok) {
        *why = ChildFailure(child, result.err);
    }
    if (result.out)
        g_bytes_unref(result.out);
    if (result.err)
        g_bytes_unref(result.err);
    g_object_unref(child);
    return png;
}

LogicalArea Union(const LogicalArea& a, const LogicalArea& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int64_t left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int64_t right = std::max(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
    const int64_t bottom = std::max(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
    return LogicalArea{int(left), int(top), int(std::min<int64_t>(right - left, INT32_MAX)),
                       int(std::min<int64_t>(bottom - top, INT32_MAX))};
}

void CropToOutput(const CaptureTarget& target, std::vector<unsigned char>* rgb, int* width, int* height)
{
    const LogicalArea& layout = target.layout;
    const LogicalArea& main = target.main;
    if (layout.empty() || main.empty() || *width < 1 || *height < 1)
        return;
    // The screenshot's pixels per logical unit, on each axis.
    const double sx = double(*width) / layout.width, sy = double(*height) / layout.height;
    const double left = (double(main.x) - layout.x) * sx, top = (double(main.y) - layout.y) * sy;
    const double across = main.width * sx, down = main.height * sy;
    const double slack = 0.5;
    if (left < -slack || top < -slack || left + across > *width + slack || top + down > *height + slack)
        return;
    // The output's own pixels, but never more than the screenshot holds of
    // it: enlarging adds nothing, and the size stays bounded by the picture.
    const auto side = [](int pixels, double have) {
        const int most = std::max(1, int(std::lround(have)));
        return pixels > 0 ? std::min(pixels, most) : most;
    };
    const int w = side(target.pixelWidth, across), h = side(target.pixelHeight, down);
    std::vector<unsigned char> out(size_t(w) * size_t(h) * 3);
    for (int y = 0; y < h; y++) {
        const int sy0 = std::clamp(int(top + (y + 0.5) * down / h), 0, *height - 1);
        const unsigned char* row = rgb->data() + size_t(sy0) * size_t(*width) * 3;
        unsigned char* to = out.data() + size_t(y) * size_t(w) * 3;
        for (int x = 0; x < w; x++, to += 3) {
            const int sx0 = std::clamp(int(left + (x + 0.5) * across / w), 0, *width - 1);
            std::copy_n(row + size_t(sx0) * 3, 3, to);
        }
    }
    rgb->swap(out);
    *width = w;
    *height = h;
}

bool CaptureWaylandScreen(const CaptureTarget& target, std::vector<unsigned char>* rgb, int* width, int* height,
                          std::string* how, std::string* why)
{
    Picture picture;
    std::string portalWhy, grimWhy;
    const std::string path = PortalScreenshot(kCaptureSeconds, &portalWhy);
    if (!path.empty()) {
        const bool decoded = DecodePictureFile(path.c_str(), &picture);
        // The file was made for us alone; it must not pile up in the
        // user's pictures each time the screensaver starts.
        unlink(path.c_str());
        if (decoded && PictureToRgb(picture, rgb, width, height)) {
            CropToOutput(target, rgb, width, height);
            *how = "the desktop portal";
            return true;
        }
        portalWhy = "its picture could not be read";
    }
    const std::vector<unsigned char> png = GrimScreenshot(target.name, kCaptureSeconds, &grimWhy);
    if (!png.empty() && DecodePictureBytes(png.data(), png.size(), &picture) &&
        PictureToRgb(picture, rgb, width, height)) {
        // Without a name grim took every output.
        if (target.name.empty())
            CropToOutput(target, rgb, width, height);
        *how = "grim";
        return true;
    }
    if (!png.empty())
        grimWhy = "its picture could not be read";
    *why = "the desktop portal: " + portalWhy + "; grim: " + grimWhy;
    return false;
}
