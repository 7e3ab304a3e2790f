// PictureDecoder: the format told from the first bytes, then a GdkPixbufLoader
// of that format fed in chunks, which lets us look at the size as soon as the
// header is parsed, stop there, or have the picture scaled or resampled while
// it loads.
#include "resources/PictureDecoder.h"

#include "resources/PngRows.h"
#include "resources/RegularFile.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

void Picture::Unref::operator()(_GdkPixbuf* pixbuf) const
{
    g_object_unref(pixbuf);
}

ResampledPicture::~ResampledPicture()
{
    std::free(pixels_);
}

unsigned char* ResampledPicture::TakePixels()
{
    unsigned char* taken = pixels_;
    pixels_ = nullptr;
    return taken;
}

namespace {

// Small chunks let a refused header stop the load before the pixels come.
constexpr size_t kChunkBytes = 64 * 1024;
// The bytes the format is told from: an SVG may open with a long prologue.
constexpr size_t kSniffBytes = 4096;
// What a loader may hold while it decodes a background; a JPEG over it is
// decoded smaller still.
constexpr uint64_t kDecodeBudgetBytes = uint64_t(kMostWholePixels) * 4;

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
        : handler_(g_log_set_handler(
              "GdkPixbuf", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION), Drop, nullptr))
    {
    }
    ~QuietPixbuf() { g_log_remove_handler("GdkPixbuf", handler_); }
    QuietPixbuf(const QuietPixbuf&) = delete;
    QuietPixbuf& operator=(const QuietPixbuf&) = delete;

private:
    static void Drop(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
    guint handler_;
};

// The format's short name ("jpeg", "png", ...); empty when unknown.
std::string FormatName(GdkPixbufFormat* format)
{
    gchar* name = format ? gdk_pixbuf_format_get_name(format) : nullptr;
    std::string result = name ? name : "";
    g_free(name);
    return result;
}

// A text that opens with markup (after a byte-order mark and blanks) and
// names an SVG element or document type within its first bytes.
bool LooksLikeSvg(const unsigned char* bytes, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), std::min(size, kSniffBytes));
    const size_t bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const size_t start = text.find_first_not_of(" \t\r\n", bom);
    if (start == std::string::npos || text[start] != '<')
        return false;
    return text.find("<svg", start) != std::string::npos || text.find("<!DOCTYPE svg", start) != std::string::npos;
}

// The accepted format the bytes open with; empty for any other.
std::string SniffFormat(const unsigned char* b, size_t n)
{
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return "jpeg";
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0)
        return "png";
    if (n >= 4 && std::memcmp(b, "GIF8", 4) == 0)
        return "gif";
    if (n >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0)
        return "webp";
    if (LooksLikeSvg(b, n))
        return "svg";
    return "";
}

// GdkPixbuf's name for a format we refuse, so that the reason can name it:
// the one whose content types include what the bytes look like. Only the
// format list is read; no loader is made.
std::string RefusedFormatName(const unsigned char* bytes, size_t size)
{
    gboolean uncertain = TRUE;
    gchar* type = g_content_type_guess(nullptr, bytes, std::min(size, kSniffBytes), &uncertain);
    std::string name;
    GSList* formats = gdk_pixbuf_get_formats();
    for (GSList* f = formats; f && name.empty() && !uncertain; f = f->next) {
        auto* format = static_cast<GdkPixbufFormat*>(f->data);
        gchar** mimes = gdk_pixbuf_format_get_mime_types(format);
        for (gchar** mime = mimes; mime && *mime && name.empty(); mime++) {
            gchar* candidate = g_content_type_from_mime_type(*mime);
            if (candidate && g_content_type_equals(candidate, type))
                name = FormatName(format);
            g_free(candidate);
        }
        g_strfreev(mimes);
    }
    g_slist_free(formats);
    g_free(type);
    return name;
}

// Why a picture of this size is refused; empty when it is not.
std::string SizeRefusal(int width, int height)
{
    if (width < 1 || height < 1)
        return "the picture has no pixels";
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return "the picture is " + std::to_string(width) + "x" + std::to_string(height) + ", over the limit of " +
               std::to_string(kMaxPictureSide) + " pixels a side";
    return "";
}

// Why a picture that must be decoded whole at its own size is refused as a
// background; kind names what it is ("a GIF").
std::string WholeRefusal(const char* kind, int width, int height)
{
    if (int64_t(width) * height <= kMostWholePixels)
        return "";
    return "the picture is " + std::to_string(width) + "x" + std::to_string(height) + ", over the limit of " +
           std::to_string(kMostWholePixels / 1000000) + " million pixels for " + kind;
}

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// GdkPixbuf's JPEG loader decodes at the smallest of 1/1, 1/2, 1/4 and 1/8
// of the picture that is at least the wanted size on both sides, then scales
// that to the wanted size. The wanted size is made smaller still, a step at a
// time, until what the loader holds fits the budget: a wide picture with a
// short side just under twice its texture's would otherwise be decoded whole.
void KeepJpegWithinBudget(int width, int height, int* wantW, int* wantH)
{
    for (;;) {
        int d = 1;
        while (d < 8 && CeilDiv(width, 2 * d) >= *wantW && CeilDiv(height, 2 * d) >= *wantH)
            d *= 2;
        const uint64_t held = (uint64_t(CeilDiv(width, d)) * CeilDiv(height, d) + uint64_t(*wantW) * *wantH) * 3;
        if (held <= kDecodeBudgetBytes || d == 8)
            return;
        *wantW = std::min(*wantW, CeilDiv(width, 2 * d));
        *wantH = std::min(*wantH, CeilDiv(height, 2 * d));
    }
}

// Why the loader's picture cannot be read as 8-bit RGB(A) rows; empty when it
// can. GdkPixbuf only ever makes those today; anything else is refused rather
// than misread.
std::string LayoutProblem(const GdkPixbuf* p)
{
    const int width = gdk_pixbuf_get_width(p);
    const int height = gdk_pixbuf_get_height(p);
    const int channels = gdk_pixbuf_get_n_channels(p);
    if (gdk_pixbuf_get_colorspace(p) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(p) != 8 ||
        channels != (gdk_pixbuf_get_has_alpha(p) ? 4 : 3))
        return "the decoder gave an unexpected pixel layout";
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
        return "the decoded picture has an unexpected size";
    if (gdk_pixbuf_get_rowstride(p) < width * channels)
        return "the decoder gave an unexpected row stride";
    return "";
}

// The photograph's orientation (its Exif value, 1 to 8); 1, upright, when it
// says none.
int Orientation(const GdkPixbuf* p)
{
    const gchar* orientation = gdk_pixbuf_get_option(const_cast<GdkPixbuf*>(p), "orientation");
    return orientation ? std::atoi(orientation) : 1;
}

// Orientations 5 to 8 turn the picture a quarter: its own width is then the
// upright picture's height.
bool TurnsAQuarter(const GdkPixbuf* p)
{
    return Orientation(p) >= 5 && Orientation(p) <= 8;
}

// Nearest neighbour with truncation, in single precision, into rows of
// R, G, B from the bottom up, filled as the source rows it needs come. The
// clamps only guard against rounding landing one past the last source pixel.
class NearestRows {
public:
    NearestRows() = default;
    ~NearestRows() { std::free(out_); }
    NearestRows(const NearestRows&) = delete;
    NearestRows& operator=(const NearestRows&) = delete;

    bool Start(int sourceWidth, int sourceHeight, int width, int height)
    {
        sourceHeight_ = sourceHeight;
        width_ = width;
        height_ = height;
        scaleY_ = float(sourceHeight) / float(height);
        const float scaleX = float(sourceWidth) / float(width);
        try {
            columns_.resize(size_t(width));
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int x = 0; x < width; x++)
            columns_[size_t(x)] = std::min(int(float(x) * scaleX), sourceWidth - 1);
        out_ = static_cast<unsigned char*>(std::malloc(size_t(width) * size_t(height) * 3));
        return out_ != nullptr;
    }

    // The source row wanted next; the source's height once every row is filled.
    int Needed() const { return next_ < height_ ? SourceRow(next_) : sourceHeight_; }

    // Fills the rows that show source row y (the one Needed names) from its
    // pixels of `channels` bytes each.
    void Take(int y, const unsigned char* row, int channels)
    {
        for (; next_ < height_ && SourceRow(next_) == y; next_++) {
            // Pictures run top-down and OpenGL textures bottom-up.
            unsigned char* out = out_ + size_t(height_ - 1 - next_) * size_t(width_) * 3;
            for (int x = 0; x < width_; x++, out += 3) {
                const unsigned char* in = row + size_t(columns_[size_t(x)]) * size_t(channels);
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
    }

    void TakeAll(const GdkPixbuf* source)
    {
        const unsigned char* pixels = gdk_pixbuf_read_pixels(source);
        const size_t stride = size_t(gdk_pixbuf_get_rowstride(source));
        while (!complete())
            Take(Needed(), pixels + size_t(Needed()) * stride, gdk_pixbuf_get_n_channels(source));
    }

    bool complete() const { return out_ && next_ == height_; }

    unsigned char* Release()
    {
        unsigned char* taken = out_;
        out_ = nullptr;
        return taken;
    }

private:
    int SourceRow(int y) const { return std::min(int(float(y) * scaleY_), sourceHeight_ - 1); }

    std::vector<int> columns_;
    unsigned char* out_ = nullptr;
    int sourceHeight_ = 0;
    int width_ = 0;
    int height_ = 0;
    int next_ = 0;
    float scaleY_ = 1;
};

} // namespace

// One load, from the first chunk to the picture: the header alone, the whole
// picture, or the picture resampled to a size. Through a GdkPixbufLoader of
// the one format the bytes show, or for a plain PNG resampled, through
// PngRows.
class PictureLoad {
public:
    enum class Goal { Header, Whole, Resampled };

    explicit PictureLoad(Goal goal, const PictureSideRule* side = nullptr) : goal_(goal), side_(side) {}
    ~PictureLoad()
    {
        if (!loader_)
            return;
        if (!closed_)
            gdk_pixbuf_loader_close(loader_, nullptr);
        g_object_unref(loader_);
    }
    PictureLoad(const PictureLoad&) = delete;
    PictureLoad& operator=(const PictureLoad&) = delete;

    // False once the bytes are known to be unusable, or once a header that
    // was all we wanted is read; the reason is kept. The first call decides
    // the format, so it brings kSniffBytes bytes, or all there are.
    bool Feed(const unsigned char* bytes, size_t size)
    {
        if (!loader_ && !png_ && (!refusal_.empty() || !Start(bytes, size)))
            return false;
        if (png_)
            return png_->Feed(bytes, size);
        while (size > 0 && Wanting()) {
            const size_t chunk = size < kChunkBytes ? size : kChunkBytes;
            GError* error = nullptr;
            pngEnd_.Feed(bytes, chunk);
            if (!gdk_pixbuf_loader_write(loader_, bytes, chunk, &error)) {
                // Told to allocate nothing, a loader may stop with an error
                // of its own once the header is read.
                if (goal_ == Goal::Header && prepared_)
                    g_clear_error(&error);
                else
                    TakeError(error, "cannot decode the picture");
                return false;
            }
            bytes += chunk;
            size -= chunk;
        }
        return Wanting();
    }

    bool FinishHeader(std::string* why)
    {
        // Some loaders (SVG's) read everything before they know the size.
        if (loader_ && !prepared_ && refusal_.empty()) {
            closed_ = true;
            gdk_pixbuf_loader_close(loader_, nullptr);
        }
        if (!refusal_.empty())
            return Fail(why, refusal_);
        return prepared_ || Fail(why, "not a picture");
    }

    bool Finish(Picture* picture, std::string* why)
    {
        GdkPixbuf* loaded = Close(why);
        Owned upright = loaded ? Upright(loaded, why) : nullptr;
        if (!upright)
            return false;
        GdkPixbuf* p = upright.get();
        picture->width_ = gdk_pixbuf_get_width(p);
        picture->height_ = gdk_pixbuf_get_height(p);
        picture->channels_ = gdk_pixbuf_get_n_channels(p);
        picture->stride_ = size_t(gdk_pixbuf_get_rowstride(p));
        picture->pixels_ = gdk_pixbuf_read_pixels(p);
        picture->pixbuf_ = std::move(upright);
        picture->format_ = format_;
        return true;
    }

    bool Finish(ResampledPicture* picture, std::string* why)
    {
        GdkPixbuf* loaded = png_ ? nullptr : Close(why);
        if (png_ ? !png_->Finish(why) : !loaded)
            return false;
        // Known once the header is read, which may be at the very end.
        int ownWidth = width_, ownHeight = height_;
        if (loaded) {
            const Owned upright = Upright(loaded, why);
            if (!upright)
                return false;
            if (TurnsAQuarter(loaded))
                std::swap(ownWidth, ownHeight);
            // The loader may have scaled the picture down already.
            if (!StartRows(gdk_pixbuf_get_width(upright.get()), gdk_pixbuf_get_height(upright.get()), ownWidth,
                           ownHeight))
                return Fail(why, "out of memory");
            rows_.TakeAll(upright.get());
        }
        if (!rows_.complete())
            return Fail(why, "the picture is truncated or corrupt");
        std::free(picture->pixels_);
        picture->width_ = Side(ownWidth);
        picture->height_ = Side(ownHeight);
        picture->pixels_ = rows_.Release();
        picture->pictureWidth_ = ownWidth;
        picture->pictureHeight_ = ownHeight;
        picture->format_ = format_;
        return true;
    }

private:
    using Owned = std::unique_ptr<GdkPixbuf, Picture::Unref>;

    // A new reference to the loaded picture, turned as the photograph says it
    // was held; null, with the reason, when there is none we can read.
    static Owned Upright(GdkPixbuf* loaded, std::string* why)
    {
        Owned upright(gdk_pixbuf_apply_embedded_orientation(loaded));
        const std::string problem = upright ? LayoutProblem(upright.get()) : "out of memory";
        if (problem.empty())
            return upright;
        Fail(why, problem);
        return nullptr;
    }

    // Still reading: nothing refused, and more than a header wanted.
    bool Wanting() const { return refusal_.empty() && !(goal_ == Goal::Header && prepared_); }

    bool Start(const unsigned char* bytes, size_t size)
    {
        format_ = SniffFormat(bytes, size);
        if (format_.empty()) {
            const std::string other = RefusedFormatName(bytes, size);
            refusal_ = other.empty() ? "not a picture" : "unsupported picture format " + other;
            return false;
        }
        interlaced_ = format_ == "png" && !IsPlainPng(bytes, size);
        if (goal_ == Goal::Resampled && format_ == "png" && !interlaced_) {
            png_ = std::make_unique<PngRows>(
                [this](int width, int height, std::string* why) { return PngHeader(width, height, why); },
                [this](int y, const unsigned char* rgb) {
                    if (y == rows_.Needed())
                        rows_.Take(y, rgb, 3);
                });
            return true;
        }
        GError* error = nullptr;
        loader_ = gdk_pixbuf_loader_new_with_type(format_.c_str(), &error);
        if (!loader_) {
            g_clear_error(&error);
            refusal_ = "no decoder for " + format_ + " pictures is installed";
            return false;
        }
        g_signal_connect(loader_, "size-prepared", G_CALLBACK(OnSizePrepared), this);
        return true;
    }

    bool PngHeader(int width, int height, std::string* why)
    {
        width_ = width;
        height_ = height;
        const std::string refusal = SizeRefusal(width, height);
        if (!refusal.empty())
            return Fail(why, refusal);
        return StartRows(width, height, width, height) || Fail(why, "out of memory");
    }

    // Ends the load; the loader's picture (still the loader's), or null with
    // the reason.
    GdkPixbuf* Close(std::string* why)
    {
        if (!loader_) {
            Fail(why, refusal_.empty() ? "not a picture" : refusal_);
            return nullptr;
        }
        GError* error = nullptr;
        closed_ = true;
        const bool complete = gdk_pixbuf_loader_close(loader_, &error);
        if (!refusal_.empty()) {
            g_clear_error(&error);
            Fail(why, refusal_);
            return nullptr;
        }
        if (!complete) {
            TakeError(error, "the picture is truncated or corrupt");
            Fail(why, refusal_);
            return nullptr;
        }
        GdkPixbuf* loaded = gdk_pixbuf_loader_get_pixbuf(loader_);
        if (!prepared_)
            Fail(why, "not a picture");
        else if (format_ == "png" && !pngEnd_.complete())
            Fail(why, "the PNG picture is truncated");
        else if (!loaded)
            Fail(why, "the picture holds no image");
        else
            return loaded;
        return nullptr;
    }

    int Side(int side) const { return std::max(1, std::min((*side_)(side), kMaxPictureSide)); }

    // Resampling from a decoded picture of this size for a picture whose
    // upright own size is given.
    bool StartRows(int decodedWidth, int decodedHeight, int ownWidth, int ownHeight)
    {
        return rows_.Start(decodedWidth, decodedHeight, Side(ownWidth), Side(ownHeight));
    }

    // Formats decoded whole at their own size for a background, and what to
    // call them in a refusal; null for the others.
    const char* WholeKind() const
    {
        if (format_ == "gif")
            return "a GIF";
        return format_ == "png" && interlaced_ ? "an interlaced PNG" : nullptr;
    }

    static void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer self)
    {
        auto* load = static_cast<PictureLoad*>(self);
        load->prepared_ = true;
        load->width_ = width;
        load->height_ = height;
        load->refusal_ = SizeRefusal(width, height);
        if (load->refusal_.empty() && load->goal_ != Goal::Whole && load->WholeKind())
            load->refusal_ = WholeRefusal(load->WholeKind(), width, height);
        // A size of 0 tells the format's loader not to allocate the pixels.
        if (!load->refusal_.empty() || load->goal_ == Goal::Header)
            gdk_pixbuf_loader_set_size(loader, 0, 0);
        else if (load->goal_ == Goal::Resampled && !load->WholeKind())
            load->ScaleWhileLoading(loader);
    }

    // JPEG, WebP and SVG are scaled down by their loaders, never up: a
    // picture smaller than its texture is enlarged by our nearest-neighbour
    // copy alone, as it always was.
    void ScaleWhileLoading(GdkPixbufLoader* loader) const
    {
        int wantW = std::min(width_, Side(width_));
        int wantH = std::min(height_, Side(height_));
        if (format_ == "jpeg")
            KeepJpegWithinBudget(width_, height_, &wantW, &wantH);
        if (wantW != width_ || wantH != height_)
            gdk_pixbuf_loader_set_size(loader, wantW, wantH);
    }

    // A refusal of ours outranks whatever the loader says after it.
    void TakeError(GError* error, const char* fallback)
    {
        if (refusal_.empty())
            refusal_ = error && error->message ? error->message : fallback;
        g_clear_error(&error);
    }

    // First, so that it outlives the loader and its last words.
    QuietPixbuf quiet_;
    const Goal goal_;
    const PictureSideRule* side_;
    GdkPixbufLoader* loader_ = nullptr;
    std::unique_ptr<PngRows> png_;
    std::string format_;
    bool interlaced_ = false;
    bool closed_ = false;
    bool prepared_ = false;
    int width_ = 0;
    int height_ = 0;
    PngEndWatch pngEnd_;
    NearestRows rows_;
    std::string refusal_;
};

namespace {

// Reads until the buffer is full or the file ends: the count, -1 on an error.
long ReadFull(RegularFile* file, std::vector<unsigned char>* buffer)
{
    size_t have = 0;
    while (have < buffer->size()) {
        const long got = file->Read(buffer->data() + have, buffer->size() - have);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        have += size_t(got);
    }
    return long(have);
}

// Feeds a file to the load piece by piece, so that a refused header stops
// the reading too. False when the file cannot be opened or read.
bool FeedFile(const char* path, PictureLoad* load, std::string* why)
{
    if (!path || !path[0])
        return Fail(why, "no picture given");
    RegularFile file;
    if (!file.Open(path, why))
        return false;
    std::vector<unsigned char> chunk(kChunkBytes);
    for (;;) {
        const long got = ReadFull(&file, &chunk);
        if (got < 0)
            return Fail(why, "the file cannot be read");
        if (got == 0 || !load->Feed(chunk.data(), size_t(got)))
            return true;
    }
}

} // namespace

bool DecodePictureBytes(const unsigned char* bytes, size_t size, Picture* picture, std::string* why)
{
    if (!picture || (!bytes && size > 0))
        return Fail(why, "no picture given");
    PictureLoad load(PictureLoad::Goal::Whole);
    if (size > 0)
        load.Feed(bytes, size);
    return load.Finish(picture, why);
}

bool DecodePictureFile(const char* path, Picture* picture, std::string* why)
{
    if (!picture)
        return Fail(why, "no picture given");
    PictureLoad load(PictureLoad::Goal::Whole);
    return FeedFile(path, &load, why) && load.Finish(picture, why);
}

bool DecodePictureFileResampled(const char* path, const PictureSideRule& side, ResampledPicture* picture,
                                std::string* why)
{
    if (!picture || !side)
        return Fail(why, "no picture given");
    PictureLoad load(PictureLoad::Goal::Resampled, &side);
    return FeedFile(path, &load, why) && load.Finish(picture, why);
}

bool ProbePictureFile(const char* path, std::string* why)
{
    PictureLoad load(PictureLoad::Goal::Header);
    return FeedFile(path, &load, why) && load.FinishHeader(why);
}
