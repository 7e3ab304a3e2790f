// PackWriter: builds resource packs that RESFILE reads.
//
// Lumps are stored in the order they are added, right after the header, and the
// lump table follows them. The reserved words are written as zero.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PackWriter {
public:
    // Returns the new lump's number.
    int AddLump(std::vector<unsigned char> bytes, uint32_t type = 0, uint32_t option = 0);

    // The whole pack as it goes on disk.
    std::vector<unsigned char> Build() const;

    // Writes the pack through WriteFileAtomically, so a failed write never
    // leaves half a pack behind. On failure *error says why.
    bool Write(const std::string& path, std::string* error = nullptr) const;

private:
    struct Lump {
        std::vector<unsigned char> bytes;
        uint32_t type;
        uint32_t option;
    };
    std::vector<Lump> lumps_;
};

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes);
