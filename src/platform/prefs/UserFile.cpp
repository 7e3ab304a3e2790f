// UserFile: bounded non-blocking reads, replacement through links with the
// mode kept, and numbered copies.
#include "platform/prefs/UserFile.h"

#include "resources/RegularFile.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// Opens for reading without waiting for a writer, should it be a FIFO.
int OpenForReading(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
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

// The file that writing to path really changes: the end of its chain of
// symbolic links, which need not exist yet.
bool FinalTarget(const std::string& path, std::string* target, std::string* why)
{
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; hop++) {
        GStatBuf info;
        if (g_lstat(current.c_str(), &info) != 0) {
            const int error = errno;
            if (error != ENOENT) {
                *why = "cannot look at " + Why(current, error);
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
            *why = "cannot read the link " + current;
            return false;
        }
        // A relative link is read from the folder holding it.
        current = link[0] == '/' ? std::string(link) : Folder(current) + "/" + link;
        g_free(link);
    }
    *why = "cannot look at " + Why(path, ELOOP);
    return false;
}

// Whether the target may be replaced; *exists and *info describe it.
bool CheckTarget(const std::string& target, bool* exists, GStatBuf* info, std::string* why)
{
    *exists = g_stat(target.c_str(), info) == 0;
    if (!*exists) {
        if (errno == ENOENT)
            return true;
        *why = "cannot look at " + Why(target, errno);
        return false;
    }
    if (!S_ISREG(info->st_mode)) {
        *why = target + " is not a regular file";
        return false;
    }
    // Write permission as the file's mode gives it to this user; a file
    // with no write permission for anybody is read-only even for root.
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(info->st_mode & 07777));
    if ((info->st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        *why = target + " is read-only (mode " + mode + "); give yourself write permission (chmod u+w) to change it";
        return false;
    }
    return true;
}

} // namespace

UserFileRead ReadUserFile(const std::string& path, size_t maxBytes, std::string* bytes, std::string* why)
{
    bytes->clear();
    RegularFile file;
    if (!file.Open(path.c_str())) {
        // No file, or no folder for it.
        if (file.error() == ENOENT || file.error() == ENOTDIR)
            return UserFileRead::Missing;
        *why = file.error() ? g_strerror(file.error()) : "not a regular file";
        return UserFileRead::Unreadable;
    }
    std::vector<unsigned char> read;
    bool tooLarge = false;
    if (file.ReadAll(maxBytes, &read, &tooLarge)) {
        bytes->assign(read.begin(), read.end());
        return UserFileRead::Read;
    }
    if (tooLarge) {
        *why = "larger than " + std::to_string(maxBytes) + " bytes";
        return UserFileRead::TooLarge;
    }
    *why = g_strerror(file.error());
    return UserFileRead::Unreadable;
}

bool MayReplaceUserFile(const std::string& path, std::string* why)
{
    std::string target;
    bool exists;
    GStatBuf info;
    return FinalTarget(path, &target, why) && CheckTarget(target, &exists, &info, why);
}

bool ReplaceUserFile(const std::string& path, const std::string& bytes, std::string* why)
{
    std::string target;
    bool exists;
    GStatBuf info;
    if (!FinalTarget(path, &target, why) || !CheckTarget(target, &exists, &info, why))
        return false;
    const std::string folder = Folder(target);
    gchar* base = g_path_get_basename(target.c_str());
    std::string temp = folder + "/." + base + ".XXXXXX";
    g_free(base);
    // A new file gets the mode the user's umask gives; an old one keeps its own.
    const int fd = g_mkstemp_full(temp.data(), O_RDWR | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0) {
        *why = "cannot make a temporary file in " + Why(folder, errno);
        return false;
    }
    int error = 0;
    if (exists && fchmod(fd, info.st_mode & 07777) != 0)
        error = errno;
    else if (!WriteAll(fd, bytes.data(), bytes.size()) || fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        *why = "cannot write " + Why(target, error);
        unlink(temp.c_str());
        return false;
    }
    // The rename lasts through a crash once the folder is on disk too.
    if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool KeepNumberedCopy(const std::string& path, const std::string& kind, std::string* copy, std::string* why)
{
    const int from = OpenForReading(path);
    struct stat info;
    if (from < 0 || fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = from < 0 ? "cannot read " + Why(path, errno) : path + " is not a regular file";
        if (from >= 0)
            close(from);
        return false;
    }
    const std::string first = path + "." + kind;
    int to = -1;
    for (int i = 0; i < kKeptCopies && to < 0; i++) {
        *copy = i == 0 ? first : first + "." + std::to_string(i);
        // O_EXCL never follows a link nor reuses a name: earlier copies stay.
        to = open(copy->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
        if (to < 0 && errno != EEXIST) {
            *why = "cannot make " + Why(*copy, errno);
            close(from);
            return false;
        }
    }
    if (to < 0) {
        *why = "earlier copies already take every name from " + first + " to " + first + "." +
               std::to_string(kKeptCopies - 1) + "; move some of them elsewhere";
        close(from);
        return false;
    }
    char buffer[65536];
    int error = 0;
    for (ssize_t got; error == 0 && (got = read(from, buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno != EINTR)
            error = errno;
        else if (got > 0 && !WriteAll(to, buffer, size_t(got)))
            error = errno;
    }
    if (error == 0 && fsync(to) != 0)
        error = errno;
    close(from);
    if (close(to) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        *why = "cannot copy " + path + " to " + Why(*copy, error);
        unlink(copy->c_str());
        return false;
    }
    return true;
}
