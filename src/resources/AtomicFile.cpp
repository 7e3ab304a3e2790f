// AtomicFile: a temporary file beside the real target, renamed over it.
#include "resources/AtomicFile.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// As the kernel allows in one path.
constexpr int kMaxLinkHops = 40;

std::string Why(const std::string& path, int error)
{
    return path + " (" + g_strerror(error) + ")";
}

std::string Folder(const std::string& path)
{
    gchar* folder = g_path_get_dirname(path.c_str());
    std::string result = folder;
    g_free(folder);
    return result;
}

// The path without links and dot-dots, as the kernel resolves it, for
// messages; its last part need not exist yet.
std::string Canonical(const std::string& path)
{
    if (char* real = realpath(path.c_str(), nullptr)) {
        const std::string result = real;
        free(real);
        return result;
    }
    gchar* base = g_path_get_basename(path.c_str());
    char* folder = realpath(Folder(path).c_str(), nullptr);
    const std::string result = folder ? std::string(folder) + "/" + base : path;
    free(folder);
    g_free(base);
    return result;
}

void Tell(std::string* why, const std::string& what)
{
    if (why)
        *why = what;
}

// Writes the bytes to the open temporary file, with the target's mode when
// there is one; the system's error number, 0 when all went well.
int FillTemporary(int fd, const void* data, size_t size, const GStatBuf* existing, bool durable)
{
    int error = 0;
    if (existing && fchmod(fd, existing->st_mode & 07777) != 0)
        error = errno;
    else if (!WriteAllTo(fd, data, size) || (durable && fsync(fd) != 0))
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

bool WriteAllTo(int fd, const void* data, size_t size)
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, next, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        next += written;
        size -= size_t(written);
    }
    return true;
}

bool FileWrittenThrough(const std::string& path, std::string* target, std::string* why)
{
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; hop++) {
        GStatBuf info;
        if (g_lstat(current.c_str(), &info) != 0) {
            const int error = errno;
            if (error != ENOENT) {
                Tell(why, "cannot look at " + Why(current, error));
                return false;
            }
            *target = Canonical(current);
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            *target = Canonical(current);
            return true;
        }
        gchar* link = g_file_read_link(current.c_str(), nullptr);
        if (!link) {
            Tell(why, "cannot read the link " + current);
            return false;
        }
        // A relative link is read from the folder holding it.
        current = link[0] == '/' ? std::string(link) : Folder(current) + "/" + link;
        g_free(link);
    }
    Tell(why, "cannot look at " + Why(path, ELOOP));
    return false;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* why, AtomicWrite how)
{
    std::string target;
    if (!FileWrittenThrough(path, &target, why))
        return false;
    GStatBuf info;
    const bool exists = g_stat(target.c_str(), &info) == 0;
    const std::string folder = Folder(target);
    gchar* base = g_path_get_basename(target.c_str());
    std::string temp = folder + "/." + base + ".XXXXXX";
    g_free(base);
    // A new file gets the mode the user's umask gives; an old one keeps its own.
    const int fd = g_mkstemp_full(temp.data(), O_RDWR | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0) {
        Tell(why, "cannot make a temporary file in " + Why(folder, errno));
        return false;
    }
    int error = FillTemporary(fd, data, size, exists ? &info : nullptr, how.durable);
    if (error == 0 && rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        Tell(why, "cannot write " + Why(target, error));
        unlink(temp.c_str());
        return false;
    }
    // The rename lasts through a crash once the folder is on disk too.
    if (how.durable) {
        if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return true;
}
