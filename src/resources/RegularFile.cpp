// RegularFile: the checked, non-blocking open and plain reads.
#include "resources/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

bool Fail(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

// The system's reason, starting in lower case to sit inside our sentences.
bool FailWithErrno(std::string* why, int error)
{
    std::string text = error ? std::strerror(error) : "it cannot be opened";
    text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return Fail(why, text);
}

// Empty for a regular file, else what the entry is instead.
std::string NotRegular(mode_t mode)
{
    if (S_ISREG(mode))
        return "";
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a named pipe, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    return "it is not a regular file";
}

} // namespace

bool RegularFile::Open(const char* path, std::string* why)
{
    Close();
    error_ = 0;
    if (!path || !path[0]) {
        error_ = ENOENT;
        return Fail(why, "no file given");
    }
    // The path is looked at first, so that a device is never even opened.
    struct stat info;
    if (stat(path, &info) != 0)
        return FailWithErrno(why, error_ = errno);
    if (!NotRegular(info.st_mode).empty())
        return Fail(why, NotRegular(info.st_mode));
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return FailWithErrno(why, error_ = errno);
    if (fstat(fd, &info) != 0 || !NotRegular(info.st_mode).empty()) {
        const std::string text = NotRegular(info.st_mode);
        error_ = text.empty() ? errno : 0;
        close(fd);
        return text.empty() ? FailWithErrno(why, error_) : Fail(why, text);
    }
    fd_ = fd;
    size_ = info.st_size > 0 ? uint64_t(info.st_size) : 0;
    return true;
}

long RegularFile::Read(void* buffer, size_t size)
{
    if (fd_ < 0)
        return -1;
    for (;;) {
        const ssize_t got = read(fd_, buffer, size);
        if (got >= 0 || errno != EINTR)
            return long(got);
    }
}

bool RegularFile::ReadAll(uint64_t maxBytes, std::vector<unsigned char>* bytes, bool* tooLarge)
{
    *tooLarge = size_ > maxBytes;
    if (*tooLarge)
        return false;
    std::vector<unsigned char> read;
    size_t have = 0;
    try {
        // One byte more than the length shows a file that grew meanwhile.
        read.resize(size_t(size_) + 1);
        for (;;) {
            if (have == read.size()) {
                *tooLarge = have > maxBytes;
                if (*tooLarge)
                    return false;
                read.resize(have + 4096);
            }
            const long got = Read(read.data() + have, read.size() - have);
            if (got < 0) {
                error_ = errno;
                return false;
            }
            if (got == 0)
                break;
            have += size_t(got);
        }
    } catch (const std::bad_alloc&) {
        error_ = ENOMEM;
        return false;
    }
    *tooLarge = have > maxBytes;
    if (*tooLarge)
        return false;
    read.resize(have);
    *bytes = std::move(read);
    return true;
}

void RegularFile::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool ReadRegularFile(const char* path, uint64_t maxBytes, std::vector<unsigned char>* bytes, std::string* why)
{
    RegularFile file;
    if (!file.Open(path, why))
        return false;
    bool tooLarge = false;
    if (file.ReadAll(maxBytes, bytes, &tooLarge))
        return true;
    return tooLarge ? Fail(why, "it is larger than " + std::to_string(maxBytes) + " bytes")
                    : FailWithErrno(why, file.error());
}
