// UserFile: reading and replacing files that hold the user's own data (the
// settings file, ~/.xscreensaver), and keeping copies of them.
//
// Reading never blocks (a FIFO or a device in the file's place is refused,
// not opened for reading) and is bounded in size. Replacing writes the new
// bytes to a temporary file in the folder of the file really written (the
// end of a chain of symbolic links, so the links stay and their target gets
// the new bytes) and renames it over that file: the file is never left
// half-written, and it keeps its permission bits. A file without write
// permission for the user is refused with the reason, whoever runs the
// program. Copies are numbered and never overwrite an earlier one.
#pragma once

#include <cstddef>
#include <string>

enum class UserFileRead { Read, Missing, Unreadable, TooLarge };

// Reads at most maxBytes of a regular file (through links) into *bytes. A
// missing file or folder is Missing; otherwise *why says what was wrong.
UserFileRead ReadUserFile(const std::string& path, size_t maxBytes, std::string* bytes, std::string* why);

// Whether ReplaceUserFile may replace the file at path: false with *why when
// what it names is read-only, is not a regular file, or cannot be looked at.
// A file that does not exist yet may be made.
bool MayReplaceUserFile(const std::string& path, std::string* why);

// Makes bytes the content of the file at path, atomically, as described
// above; false with *why when it cannot.
bool ReplaceUserFile(const std::string& path, const std::string& bytes, std::string* why);

// How many copies of one kind are kept beside a file.
constexpr int kKeptCopies = 10;

// Copies the file at path (through links) to the first name not yet taken of
// "<path>.<kind>", "<path>.<kind>.1" ... "<path>.<kind>.9", returned in
// *copy. False with *why when the copy cannot be made or every name is taken.
bool KeepNumberedCopy(const std::string& path, const std::string& kind, std::string* copy, std::string* why);
