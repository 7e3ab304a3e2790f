// PackWriter: assembling resource packs.
#include "resources/PackWriter.h"

#include "resources/AtomicFile.h"
#include "resources/ByteOrder.h"
#include "resources/RegularFile.h"
#include "resources/ResFile.h"

#include <cstring>
#include <stdexcept>

int PackWriter::AddLump(std::vector<unsigned char> bytes, uint32_t type, uint32_t option)
{
    lumps_.push_back({std::move(bytes), type, option});
    return int(lumps_.size()) - 1;
}

std::vector<unsigned char> PackWriter::Build() const
{
    uint64_t dataBytes = 0;
    for (const Lump& l : lumps_)
        dataBytes += l.bytes.size();
    const uint64_t total = RES_HEADER_BYTES + dataBytes + uint64_t(lumps_.size()) * RES_LUMP_BYTES;
    if (total > UINT32_MAX)
        throw std::length_error("pack would exceed 4 GiB");

    std::vector<unsigned char> out(RES_HEADER_BYTES, 0);
    out.reserve(size_t(total));
    std::memcpy(out.data(), "PLMF", 4);
    WriteU32LE(&out[12], uint32_t(lumps_.size()));
    WriteU32LE(&out[16], ~uint32_t(total));
    WriteU32LE(&out[20], uint32_t(RES_HEADER_BYTES + dataBytes));

    std::vector<uint32_t> offsets;
    for (const Lump& l : lumps_) {
        offsets.push_back(uint32_t(out.size()));
        out.insert(out.end(), l.bytes.begin(), l.bytes.end());
    }
    for (size_t i = 0; i < lumps_.size(); i++) {
        AppendU32LE(out, uint32_t(lumps_[i].bytes.size()));
        AppendU32LE(out, offsets[i]);
        AppendU32LE(out, lumps_[i].type);
        AppendU32LE(out, lumps_[i].option);
        for (int w = 0; w < 3; w++)
            AppendU32LE(out, 0);
    }
    return out;
}

bool PackWriter::Write(const std::string& path, std::string* error) const
{
    std::vector<unsigned char> bytes;
    try {
        bytes = Build();
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return false;
    }
    return WriteFileAtomically(path, bytes, error);
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes)
{
    // Packs and their lumps are bounded by 32-bit offsets.
    return ReadRegularFile(path.c_str(), UINT32_MAX, bytes);
}
