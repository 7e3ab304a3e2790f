// RegularFile: a file opened for reading that must be a regular file.
//
// Opening never blocks and never reads from a named pipe, a device or a socket
// that sits where a file was expected: the path is checked first, then opened
// without blocking (and without becoming a controlling terminal), and the open
// descriptor is checked again, so a file swapped in between is caught too.
// Reasons come in words that fit inside a sentence: the system's own in lower
// case, or "it is a folder, not a file" and the like.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile() { Close(); }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // On failure *why, when given, says why, and error() holds the system's
    // error number (0 when something other than a regular file is there).
    bool Open(const char* path, std::string* why = nullptr);
    // Up to size bytes: the count read, 0 at the end, -1 after an error.
    long Read(void* buffer, size_t size);
    // Reads the rest of the file into *bytes; false when it holds more than
    // maxBytes (*tooLarge is then set) or a read fails (see error()).
    bool ReadAll(uint64_t maxBytes, std::vector<unsigned char>* bytes, bool* tooLarge);
    void Close();
    bool isOpen() const { return fd_ >= 0; }
    // The file's length when it was opened.
    uint64_t size() const { return size_; }
    int error() const { return error_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    int error_ = 0;
};

// Reads a whole regular file of at most maxBytes; a longer one is refused
// before anything is read.
bool ReadRegularFile(const char* path, uint64_t maxBytes, std::vector<unsigned char>* bytes,
                     std::string* why = nullptr);
