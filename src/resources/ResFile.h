// ResFile: reader of resource packs, files of numbered lumps behind a header
// and a lump table.
//
// Layout (little-endian 32-bit words): "PLMF", two reserved words, lump count,
// the complement of the file length, the table offset; then wherever the table
// offset says, one 28-byte entry per lump: size, offset, type, texture option
// and three reserved words. Lumps may lie anywhere in the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

// Lump types the texture loaders understand.
enum { LUMP_TGA = 1, LUMP_JPEG = 3 };

struct RESHEADER {
    char magic[4];
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t numLumps;
    uint32_t sizeCheck;
    uint32_t tableOffset;
};

struct RESLUMP {
    uint32_t size;
    uint32_t offset;
    uint32_t type;
    uint32_t option;
    uint32_t reserved[3];
};

enum { RES_HEADER_BYTES = 24, RES_LUMP_BYTES = 28 };

class RESFILE {
public:
    RESFILE() = default;
    ~RESFILE() { Close(); }
    RESFILE(const RESFILE&) = delete;
    RESFILE& operator=(const RESFILE&) = delete;

    bool Open(const char* path);
    // Copies a lump into a new buffer that the caller releases with delete[].
    // On failure *data is left as it was.
    bool LoadData(int lump, unsigned char** data);
    // Leaves the stream at the lump's first byte for readers that parse in place.
    bool SeekLump(int lump);
    void Close();

    uint32_t fileLength = 0;
    std::ifstream stream;
    RESHEADER header = {};
    std::unique_ptr<RESLUMP[]> lumps;
    // Why the last call failed, for tools that report it; empty after success.
    const char* failure = "";

private:
    bool CheckLump(int lump);
    // The system's reason when the file did not open, which failure points to.
    std::string openFailure_;
};
