// AtomicFile: replacing a file's content in one step, for every file the user
// sees (packs, PNG frames, settings, ~/.xscreensaver).
//
// The new bytes go to a temporary file of a name nobody else uses, in the
// folder of the file really written (the end of a chain of symbolic links, so
// the links stay and their target gets the new bytes), which is then renamed
// over that file: the file is never left half-written, and an existing one
// keeps its permission bits. A new file gets the mode the umask gives.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct AtomicWrite {
    // Flushes the bytes and the folder to disk before returning, so the new
    // content lasts through a crash. The user's own data needs it; frames
    // and packs, written often or made again, do not pay for it.
    bool durable = false;
};

// The file that writing to path really changes: the end of its chain of
// symbolic links (which need not exist yet), without dot-dots. False with
// *why when a link cannot be read or the chain is too long.
bool FileWrittenThrough(const std::string& path, std::string* target, std::string* why);

// Makes size bytes at data the content of the file at path, as described
// above. False with *why, when given, when it cannot.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* why = nullptr,
                         AtomicWrite how = {});

// Writes all size bytes to the descriptor, through short writes and
// interruptions; false with errno set when it cannot.
bool WriteAllTo(int fd, const void* data, size_t size);

inline bool WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                                std::string* why = nullptr)
{
    return WriteFileAtomically(path, bytes.data(), bytes.size(), why);
}
