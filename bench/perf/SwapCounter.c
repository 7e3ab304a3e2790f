/* SwapCounter: a library preloaded into a program under measurement that
 * counts its buffer swaps (GLX and EGL) into a shared counter file, so that
 * every program is measured the same way without being touched. A program
 * that shows its frames in parts (glXCopySubBufferMESA) without swapping
 * counts one frame at the glFlush that ends each frame's copies.
 *
 * $LARKSPUR_SWAP_COUNTER names the file: eight bytes holding the count,
 * mapped once, so counting costs no system call per frame. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static uint64_t* counter;

__attribute__((constructor)) static void OpenCounter(void)
{
    const char* path = getenv("LARKSPUR_SWAP_COUNTER");
    if (!path)
        return;
    const int fd = open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return;
    if (ftruncate(fd, sizeof *counter) == 0) {
        void* map = mmap(NULL, sizeof *counter, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED)
            counter = map;
    }
    close(fd);
}

static void Count(void)
{
    if (counter)
        __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
}

/* Copies made since the last frame counted, and the real copy as the
 * program's own lookup found it (libGL need not export it). */
static int copiesPending;
static void (*realCopy)(void*, unsigned long, int, int, int, int);

void glXSwapBuffers(void* display, unsigned long drawable)
{
    static void (*real)(void*, unsigned long);
    if (!real)
        real = (void (*)(void*, unsigned long))dlsym(RTLD_NEXT, "glXSwapBuffers");
    copiesPending = 0;
    Count();
    real(display, drawable);
}

void glXCopySubBufferMESA(void* display, unsigned long drawable, int x, int y, int width, int height)
{
    if (!realCopy)
        realCopy = (void (*)(void*, unsigned long, int, int, int, int))dlsym(RTLD_NEXT, "glXCopySubBufferMESA");
    copiesPending = 1;
    if (realCopy)
        realCopy(display, drawable, x, y, width, height);
}

void glFlush(void)
{
    static void (*real)(void);
    if (!real)
        real = (void (*)(void))dlsym(RTLD_NEXT, "glFlush");
    if (copiesPending) {
        copiesPending = 0;
        Count();
    }
    if (real)
        real();
}

unsigned int eglSwapBuffers(void* display, void* surface)
{
    static unsigned int (*real)(void*, void*);
    if (!real)
        real = (unsigned int (*)(void*, void*))dlsym(RTLD_NEXT, "eglSwapBuffers");
    Count();
    return real(display, surface);
}

/* Programs that look the swap up by name get the counting one too. */
typedef void (*Proc)(void);

static Proc Lookup(const char* symbol, const unsigned char* name)
{
    static Proc (*real)(const unsigned char*);
    if (!real)
        real = (Proc(*)(const unsigned char*))dlsym(RTLD_NEXT, symbol);
    if (strcmp((const char*)name, "glXSwapBuffers") == 0)
        return (Proc)glXSwapBuffers;
    if (strcmp((const char*)name, "glXCopySubBufferMESA") == 0 && real) {
        realCopy = (void (*)(void*, unsigned long, int, int, int, int))real(name);
        return realCopy ? (Proc)glXCopySubBufferMESA : NULL;
    }
    return real ? real(name) : NULL;
}

Proc glXGetProcAddress(const unsigned char* name)
{
    return Lookup("glXGetProcAddress", name);
}

Proc glXGetProcAddressARB(const unsigned char* name)
{
    return Lookup("glXGetProcAddressARB", name);
}
