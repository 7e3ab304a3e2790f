// PictureDecoder: a GdkPixbufLoader fed in chunks, which lets us look at the
// format and size as soon as the header is parsed and stop there.
#include "resources/PictureDecoder.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

void Picture::Unref::operator()(_GdkPixbuf* pixbuf) const
{
    g_object_unref(pixbuf);
}

namespace {

// Small chunks let a refused header stop the load before the pixels come.
constexpr size_t kChunkBytes = 64 * 1024;

// Formats users keep as photographs and wallpapers. GdkPixbuf knows more
// (icons, cursors, old bitmap formats) whose loaders we do not want to expose
// to every file in a folder.
bool AcceptedFormat(const char* name)
{
    static const char* const kAccepted[] = {"jpeg", "png", "gif", "svg", "webp"};
    for (const char* accepted : kAccepted)
        if (name && std::strcmp(name, accepted) == 0)
            return true;
    return false;
}

// GdkPixbuf's PNG loader hands back a half-filled picture when the file stops
// after the header, so we follow the chunks ourselves to see the end chunk
// arrive. This looks only at chunk lengths and names, not at the data.
class PngEndWatch {
public:
    void Feed(const unsigned char* bytes, size_t size)
    {
        while (size > 0 && !complete_) {
            if (skip_ > 0) {
                const size_t n = size < skip_ ? size : size_t(skip_);
                bytes += n;
                size -= n;
                skip_ -= n;
                if (skip_ == 0 && endSeen_)
                    complete_ = true;
                continue;
            }
            head_[have_++] = *bytes++;
            size--;
            if (have_ < 8)
                continue;
            have_ = 0;
            // Chunk: 4-byte big-endian length, 4-byte name, data, 4-byte CRC.
            const uint64_t length = (uint64_t(head_[0]) << 24) | (head_[1] << 16) | (head_[2] << 8) | head_[3];
            endSeen_ = std::memcmp(head_ + 4, "IEND", 4) == 0;
            skip_ = length + 4;
        }
    }
    bool complete() const { return complete_; }

private:
    // The 8-byte signature is skipped like a chunk's data.
    uint64_t skip_ = 8;
    unsigned char head_[8] = {};
    int have_ = 0;
    bool endSeen_ = false;
    bool complete_ = false;
};

bool Fail(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

// GdkPixbuf warns on stderr when one of its format loaders fails without a
// reason, which happens whenever we stop a refused picture at its header.
// The user gets our reason instead; while one of these lives, the library's
// own messages are dropped.
class QuietPixbuf {
public:
    QuietPixbuf()
        : handler_(g_log_set_handler("GdkPixbuf", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL |
                                                                 G_LOG_FLAG_RECURSION),
                                     Drop, nullptr))
    {
    }
    ~QuietPixbuf() { g_log_remove_handler("GdkPixbuf", handler_); }
    QuietPixbuf(const QuietPixbuf&) = delete;
    QuietPixbuf& operator=(const QuietPixbuf&) = delete;

private:
    static void Drop(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
    guint handler_;
};

// Opens a picture file; on failure says why in words that sit inside our
// sentences (the system's own, in lower case).
bool OpenPicture(const char* path, std::ifstream* file, std::string* why)
{
    if (g_file_test(path, G_FILE_TEST_IS_DIR))
        return Fail(why, "it is a folder, not a picture");
    errno = 0;
    file->open(path, std::ios::binary);
    if (file->is_open())
        return true;
    std::string text = errno ? std::strerror(errno) : "it cannot be opened";
    text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return Fail(why, text);
}

// The format's short name ("jpeg", "png", ...); empty when unknown.
std::string FormatName(GdkPixbufFormat* format)
{
    gchar* name = format ? gdk_pixbuf_format_get_name(format) : nullptr;
    std::string result = name ? name : "";
    g_free(name);
    return result;
}

// Why a picture of this format and size is refused; empty when it is not.
std::string Refusal(const std::string& format, int width, int height)
{
    if (!AcceptedFormat(format.c_str()))
        return "unsupported picture format " + (format.empty() ? std::string("(unknown)") : format);
    if (width < 1 || height < 1)
        return "the picture has no pixels";
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return "the picture is " + std::to_string(width) + "x" + std::to_string(height) + ", over the limit of " +
               std::to_string(kMaxPictureSide) + " pixels a side";
    return "";
}

} // namespace

// One load through a GdkPixbufLoader, from the first chunk to the picture.
class PictureLoad {
public:
    PictureLoad() : loader_(gdk_pixbuf_loader_new())
    {
        g_signal_connect(loader_, "size-prepared", G_CALLBACK(OnSizePrepared), this);
    }
    ~PictureLoad()
    {
        if (!closed_)
            gdk_pixbuf_loader_close(loader_, nullptr);
        g_object_unref(loader_);
    }
    PictureLoad(const PictureLoad&) = delete;
    PictureLoad& operator=(const PictureLoad&) = delete;

    // False once the bytes are known to be unusable; the reason is kept.
    bool Feed(const unsigned char* bytes, size_t size)
    {
        while (size > 0 && refusal_.empty()) {
            const size_t chunk = size < kChunkBytes ? size : kChunkBytes;
            GError* error = nullptr;
            pngEnd_.Feed(bytes, chunk);
            if (!gdk_pixbuf_loader_write(loader_, bytes, chunk, &error)) {
                TakeError(error, "cannot decode the picture");
                return false;
            }
            bytes += chunk;
            size -= chunk;
        }
        return refusal_.empty();
    }

    bool Finish(Picture* picture, std::string* why)
    {
        GError* error = nullptr;
        closed_ = true;
        const bool complete = gdk_pixbuf_loader_close(loader_, &error);
        if (!refusal_.empty()) {
            g_clear_error(&error);
            return Fail(why, refusal_);
        }
        if (!complete) {
            TakeError(error, "the picture is truncated or corrupt");
            return Fail(why, refusal_);
        }
        if (!prepared_)
            return Fail(why, "not a picture");
        if (png_ && !pngEnd_.complete())
            return Fail(why, "the PNG picture is truncated");
        GdkPixbuf* loaded = gdk_pixbuf_loader_get_pixbuf(loader_);
        if (!loaded)
            return Fail(why, "the picture holds no image");
        // A new reference, rotated if the photograph says how it was held.
        std::unique_ptr<GdkPixbuf, Picture::Unref> upright(gdk_pixbuf_apply_embedded_orientation(loaded));
        if (!upright)
            return Fail(why, "out of memory");
        if (!Keep(std::move(upright), picture, why))
            return false;
        picture->format_ = format_;
        return true;
    }

private:
    static void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer self)
    {
        auto* load = static_cast<PictureLoad*>(self);
        load->prepared_ = true;
        load->format_ = FormatName(gdk_pixbuf_loader_get_format(loader));
        load->png_ = load->format_ == "png";
        load->refusal_ = Refusal(load->format_, width, height);
        // A size of 0 tells the format's loader not to allocate the pixels.
        if (!load->refusal_.empty())
            gdk_pixbuf_loader_set_size(loader, 0, 0);
    }

    // A refusal of ours outranks whatever the loader says after it.
    void TakeError(GError* error, const char* fallback)
    {
        if (refusal_.empty())
            refusal_ = error && error->message ? error->message : fallback;
        g_clear_error(&error);
    }

    static bool Keep(std::unique_ptr<GdkPixbuf, Picture::Unref> pixbuf, Picture* picture, std::string* why)
    {
        GdkPixbuf* p = pixbuf.get();
        const int width = gdk_pixbuf_get_width(p);
        const int height = gdk_pixbuf_get_height(p);
        const int channels = gdk_pixbuf_get_n_channels(p);
        const bool alpha = gdk_pixbuf_get_has_alpha(p);
        // GdkPixbuf only ever makes 8-bit RGB(A) today; refuse anything else
        // rather than misread it.
        if (gdk_pixbuf_get_colorspace(p) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(p) != 8 ||
            channels != (alpha ? 4 : 3))
            return Fail(why, "the decoder gave an unexpected pixel layout");
        if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
            return Fail(why, "the decoded picture has an unexpected size");
        const int stride = gdk_pixbuf_get_rowstride(p);
        if (stride < width * channels)
            return Fail(why, "the decoder gave an unexpected row stride");
        picture->width_ = width;
        picture->height_ = height;
        picture->channels_ = channels;
        picture->stride_ = size_t(stride);
        picture->pixels_ = gdk_pixbuf_read_pixels(p);
        picture->pixbuf_ = std::move(pixbuf);
        return true;
    }

    // First, so that it outlives the loader and its last words.
    QuietPixbuf quiet_;
    GdkPixbufLoader* loader_;
    std::string format_;
    bool closed_ = false;
    bool prepared_ = false;
    bool png_ = false;
    PngEndWatch pngEnd_;
    std::string refusal_;
};

bool DecodePictureBytes(const unsigned char* bytes, size_t size, Picture* picture, std::string* why)
{
    if (!picture || (!bytes && size > 0))
        return Fail(why, "no picture given");
    PictureLoad load;
    load.Feed(bytes, size);
    return load.Finish(picture, why);
}

bool DecodePictureFile(const char* path, Picture* picture, std::string* why)
{
    if (!path || !picture)
        return Fail(why, "no picture given");
    std::ifstream file;
    if (!OpenPicture(path, &file, why))
        return false;
    PictureLoad load;
    std::vector<unsigned char> chunk(kChunkBytes);
    // Read piece by piece so that a refused header stops the reading too.
    while (file) {
        file.read(reinterpret_cast<char*>(chunk.data()), std::streamsize(chunk.size()));
        const size_t got = size_t(file.gcount());
        if (got > 0 && !load.Feed(chunk.data(), got))
            break;
    }
    if (file.bad())
        return Fail(why, "the file cannot be read");
    return load.Finish(picture, why);
}

bool ProbePictureFile(const char* path, std::string* why)
{
    if (!path || !path[0])
        return Fail(why, "no picture given");
    std::ifstream file;
    if (!OpenPicture(path, &file, why))
        return false;
    file.close();
    const QuietPixbuf quiet;
    int width = 0, height = 0;
    GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path, &width, &height);
    if (!format)
        return Fail(why, "not a picture");
    const std::string refusal = Refusal(FormatName(format), width, height);
    return refusal.empty() || Fail(why, refusal);
}
