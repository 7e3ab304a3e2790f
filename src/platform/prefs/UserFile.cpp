// UserFile: bounded non-blocking reads, replacement through links with the
// mode kept, and numbered copies.
#include "platform/prefs/UserFile.h"

#include "resources/AtomicFile.h"
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

std::string Why(const std::string& path, int error)
{
    return path + " (" + g_strerror(error) + ")";
}

// Opens for reading without waiting for a writer, should it be a FIFO.
int OpenForReading(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Whether the target may be replaced: a regular file this user may write, or
// none yet.
bool CheckTarget(const std::string& target, std::string* why)
{
    GStatBuf info;
    if (g_stat(target.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return true;
        *why = "cannot look at " + Why(target, errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *why = target + " is not a regular file";
        return false;
    }
    // Write permission as the file's mode gives it to this user; a file
    // with no write permission for anybody is read-only even for root.
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
    if ((info.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
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
    return FileWrittenThrough(path, &target, why) && CheckTarget(target, why);
}

bool ReplaceUserFile(const std::string& path, const std::string& bytes, std::string* why)
{
    std::string target;
    return FileWrittenThrough(path, &target, why) && CheckTarget(target, why) &&
           WriteFileAtomically(target, bytes.data(), bytes.size(), why, AtomicWrite{true});
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
        else if (got > 0 && !WriteAllTo(to, buffer, size_t(got)))
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
