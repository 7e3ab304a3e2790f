// PngRows: libpng's progressive reader, its transformations and its errors.
//
// libpng reports errors by longjmp, so nothing with a destructor lives in the
// frames it jumps over: the callbacks only record, and the jump lands in Feed.
#include "resources/PngRows.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

struct PngRows::State {
    Header header;
    Row row;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string failure;
    bool ended = false;
    int width = 0;
    int height = 0;
    int rows = 0;
};

namespace {

PngRows::State* StateOf(png_structp png)
{
    return static_cast<PngRows::State*>(png_get_progressive_ptr(png));
}

void OnError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<PngRows::State*>(png_get_error_ptr(png));
    if (state->failure.empty())
        state->failure = message && message[0] ? message : "the picture is corrupt";
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnInfo(png_structp png, png_infop info)
{
    PngRows::State* state = StateOf(png);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE)
        png_error(png, "the PNG picture is interlaced");
    state->width = int(width);
    state->height = int(height);
    // The reason goes straight into the state: a local string would be
    // jumped over.
    if (!state->header(state->width, state->height, &state->failure))
        png_error(png, state->failure.c_str());
    // The transformations GdkPixbuf's PNG loader makes, then no alpha.
    if (depth == 16)
        png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE || (colour == PNG_COLOR_TYPE_GRAY && depth < 8) ||
        png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 3)
        png_error(png, "the PNG picture has an unexpected pixel layout");
}

void OnRow(png_structp png, png_bytep row, png_uint_32 y, int)
{
    PngRows::State* state = StateOf(png);
    if (!row || int(y) >= state->height)
        return;
    state->row(int(y), row);
    state->rows = int(y) + 1;
}

void OnEnd(png_structp png, png_infop)
{
    StateOf(png)->ended = true;
}

} // namespace

PngRows::PngRows(Header header, Row row) : state_(new State)
{
    state_->header = std::move(header);
    state_->row = std::move(row);
    state_->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state_.get(), OnError, OnWarning);
    if (state_->png)
        state_->info = png_create_info_struct(state_->png);
    if (!state_->info) {
        state_->failure = "out of memory";
        return;
    }
    png_set_progressive_read_fn(state_->png, state_.get(), OnInfo, OnRow, OnEnd);
}

PngRows::~PngRows()
{
    if (state_->png)
        png_destroy_read_struct(&state_->png, state_->info ? &state_->info : nullptr, nullptr);
}

bool PngRows::Feed(const unsigned char* bytes, size_t size)
{
    if (!state_->failure.empty() || state_->ended)
        return false;
    if (setjmp(png_jmpbuf(state_->png)))
        return false;
    png_process_data(state_->png, state_->info, const_cast<unsigned char*>(bytes), size);
    return !state_->ended;
}

bool PngRows::Finish(std::string* why)
{
    std::string failure = state_->failure;
    if (failure.empty() && (state_->rows < state_->height || state_->height == 0 || !state_->ended))
        failure = "the PNG picture is truncated";
    if (failure.empty())
        return true;
    if (why)
        *why = failure;
    return false;
}

bool IsPlainPng(const unsigned char* bytes, size_t size)
{
    // The signature, then the header chunk, whose last byte tells interlacing.
    return size > 28 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(bytes + 12, "IHDR", 4) == 0 &&
           bytes[28] == 0;
}
