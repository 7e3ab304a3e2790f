// ShmPresenter: the framebuffer the view draws into, the pool of wl_shm
// buffers and what each of them lacks.
#include "platform/wayland/ShmPresenter.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <type_traits>

namespace {

// The framebuffer object calls, looked up once: the GL library's own
// exports stop at OpenGL 1.x.
struct FboCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool Load()
    {
        const auto get = [](auto& call, const char* name) {
            call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(eglGetProcAddress(name));
            return call != nullptr;
        };
        return get(genFramebuffers, "glGenFramebuffers") && get(deleteFramebuffers, "glDeleteFramebuffers") &&
               get(bindFramebuffer, "glBindFramebuffer") && get(genRenderbuffers, "glGenRenderbuffers") &&
               get(deleteRenderbuffers, "glDeleteRenderbuffers") && get(bindRenderbuffer, "glBindRenderbuffer") &&
               get(renderbufferStorage, "glRenderbufferStorage") &&
               get(framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               get(checkFramebufferStatus, "glCheckFramebufferStatus");
    }
};

// The surface's damage in buffer pixels, which count rows from the top.
void DamageBuffer(wl_surface* surface, const ViewRect& r, int height)
{
    wl_surface_damage_buffer(surface, r.x, height - r.y - r.height, r.width, r.height);
}

} // namespace

// Colour and depth as the window's own buffer has them (8-bit RGBA, 24-bit
// depth), so a frame drawn here is the frame drawn there.
struct ShmPresenter::Framebuffer {
    FboCalls gl;
    GLuint fbo = 0;
    GLuint colour = 0;
    GLuint depth = 0;

    ~Framebuffer()
    {
        // Make names all three, or the calls were never found.
        if (!fbo)
            return;
        gl.deleteFramebuffers(1, &fbo);
        const GLuint renderbuffers[] = {colour, depth};
        gl.deleteRenderbuffers(2, renderbuffers);
    }

    bool Make(int width, int height)
    {
        gl.genFramebuffers(1, &fbo);
        gl.genRenderbuffers(1, &colour);
        gl.genRenderbuffers(1, &depth);
        gl.bindFramebuffer(GL_FRAMEBUFFER, fbo);
        SetSize(width, height);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        return gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    void SetSize(int width, int height)
    {
        gl.bindRenderbuffer(GL_RENDERBUFFER, colour);
        gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl.bindRenderbuffer(GL_RENDERBUFFER, depth);
        gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    }
};

// One wl_shm buffer of the view's size, mapped for writing, and what it
// lacks of the view.
struct ShmPresenter::Buffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr;
    size_t bytes = 0;
    // The compositor has it and may read it at any time.
    bool busy = false;
    // Changes drawn since it was last filled; a new buffer lacks everything.
    Damage stale;

    ~Buffer()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (pixels)
            munmap(pixels, bytes);
    }

    static void OnRelease(void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }

    static std::unique_ptr<Buffer> Make(wl_shm* shm, int width, int height)
    {
        static const wl_buffer_listener listener = {OnRelease};
        auto self = std::make_unique<Buffer>();
        const int stride = width * 4;
        self->bytes = size_t(stride) * size_t(height);
        const int fd = memfd_create("larkspur-frame", MFD_CLOEXEC);
        if (fd < 0)
            return nullptr;
        void* mapped = MAP_FAILED;
        if (ftruncate(fd, off_t(self->bytes)) == 0)
            mapped = mmap(nullptr, self->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED) {
            close(fd);
            return nullptr;
        }
        self->pixels = static_cast<uint32_t*>(mapped);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(self->bytes));
        self->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        close(fd);
        wl_buffer_add_listener(self->buffer, &listener, self.get());
        self->stale.Start(width, height);
        self->stale.AddWhole();
        return self;
    }
};

std::unique_ptr<ShmPresenter> ShmPresenter::Create(wl_shm* shm, wl_surface* surface, int width, int height,
                                                   std::string* error)
{
    std::unique_ptr<ShmPresenter> self(new ShmPresenter());
    self->shm_ = shm;
    self->surface_ = surface;
    self->width_ = width;
    self->height_ = height;
    self->unshown_.Start(width, height);
    self->unshown_.AddWhole();
    auto framebuffer = std::make_unique<Framebuffer>();
    if (!framebuffer->gl.Load()) {
        *error = "no framebuffer objects";
        return nullptr;
    }
    const bool complete = framebuffer->Make(width, height);
    self->framebuffer_ = std::move(framebuffer);
    if (!complete) {
        *error = "the offscreen framebuffer is incomplete";
        return nullptr;
    }
    return self;
}

ShmPresenter::~ShmPresenter() = default;

void ShmPresenter::Bind()
{
    framebuffer_->gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_->fbo);
    if (!resized_)
        return;
    resized_ = false;
    framebuffer_->SetSize(width_, height_);
}

void ShmPresenter::Resize(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    resized_ = true;
    // A buffer the compositor still holds may be what the surface shows: it
    // goes once released.
    for (auto& buffer : buffers_)
        retired_.push_back(std::move(buffer));
    buffers_.clear();
    shown_ = nullptr;
    DropReleased();
    unshown_.Start(width, height);
    unshown_.AddWhole();
}

bool ShmPresenter::Attach(const std::vector<ViewRect>& rects)
{
    for (const ViewRect& r : rects) {
        unshown_.Add(r);
        for (auto& buffer : buffers_)
            buffer->stale.Add(r);
    }
    // Merged as they come, so that a pool held by the compositor for many
    // frames keeps a few rectangles, not a frame's worth each.
    const std::vector<ViewRect>& changed = unshown_.Rects();
    for (auto& buffer : buffers_)
        buffer->stale.Rects();
    if (changed.empty())
        return false;
    Buffer* buffer = FreeBuffer();
    if (!buffer)
        return false;
    Fill(*buffer);
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    for (const ViewRect& r : changed)
        DamageBuffer(surface_, r, height_);
    buffer->busy = true;
    shown_ = buffer->pixels;
    unshown_.Start(width_, height_);
    DropReleased();
    return true;
}

void ShmPresenter::DropReleased()
{
    retired_.erase(std::remove_if(retired_.begin(), retired_.end(), [](const auto& b) { return !b->busy; }),
                   retired_.end());
}

ShmPresenter::Buffer* ShmPresenter::FreeBuffer()
{
    for (auto& buffer : buffers_)
        if (!buffer->busy)
            return buffer.get();
    if (buffers_.size() >= size_t(kMostBuffers))
        return nullptr;
    std::unique_ptr<Buffer> made = Buffer::Make(shm_, width_, height_);
    if (!made)
        return nullptr;
    buffers_.push_back(std::move(made));
    return buffers_.back().get();
}

void ShmPresenter::Fill(Buffer& buffer)
{
    for (const ViewRect& r : buffer.stale.Rects())
        CopyRect(r, buffer);
    buffer.stale.Start(width_, height_);
}

// Reads the rectangle back and writes it upside down, as the buffer counts
// rows from the top, with alpha 255: the scene leaves alpha below 1 where it
// blends and clears the sky to transparent black, and a compositor that
// honours it would show what lies beneath.
void ShmPresenter::CopyRect(const ViewRect& r, Buffer& buffer)
{
    scratch_.resize(size_t(r.width) * size_t(r.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(r.x, r.y, r.width, r.height, GL_BGRA, GL_UNSIGNED_BYTE, scratch_.data());
    for (int row = 0; row < r.height; row++) {
        const uint32_t* from = scratch_.data() + size_t(row) * size_t(r.width);
        uint32_t* to = buffer.pixels + size_t(height_ - 1 - (r.y + row)) * size_t(width_) + size_t(r.x);
        for (int x = 0; x < r.width; x++)
            to[x] = from[x] | 0xff000000u;
    }
}
