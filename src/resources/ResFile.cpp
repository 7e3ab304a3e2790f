// ResFile: opening, validating and reading resource packs.
//
// Every count and offset in a pack is checked against the file's real length
// before anything is allocated, so a hostile header cannot make us allocate
// gigabytes or read past the end.
#include "resources/ResFile.h"

#include "resources/ByteOrder.h"
#include "resources/RegularFile.h"

#include <cstring>
#include <new>

namespace {

bool Fail(const char*& failure, const char* why)
{
    failure = why;
    return false;
}

} // namespace

bool RESFILE::Open(const char* path)
{
    Close();
    failure = "";
    // A named pipe or a device in the pack's place would block the open or
    // never end; only a regular file is opened as a stream.
    {
        RegularFile check;
        if (!check.Open(path, &openFailure_)) {
            failure = openFailure_.c_str();
            return false;
        }
    }
    stream.open(path, std::ios::binary | std::ios::in);
    if (!stream.is_open())
        return Fail(failure, "cannot open file");

    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    fileLength = static_cast<uint32_t>(end);
    stream.seekg(0, std::ios::beg);

    unsigned char raw[RES_HEADER_BYTES];
    if (end < 0 || !stream.read(reinterpret_cast<char*>(raw), sizeof raw))
        return Fail(failure, "file too short for a pack header");
    std::memcpy(header.magic, raw, 4);
    header.reserved1 = ReadU32LE(raw + 4);
    header.reserved2 = ReadU32LE(raw + 8);
    header.numLumps = ReadU32LE(raw + 12);
    header.sizeCheck = ReadU32LE(raw + 16);
    header.tableOffset = ReadU32LE(raw + 20);

    if (std::memcmp(header.magic, "PLMF", 4) != 0) {
        stream.close();
        return Fail(failure, "not a pack (bad magic)");
    }
    if (header.sizeCheck != ~fileLength) {
        stream.close();
        return Fail(failure, "size check does not match the file length");
    }
    // The table must fit in the file before we size anything by its count. A
    // pack of no lumps has no table to find, wherever its offset points.
    const uint64_t tableEnd = uint64_t(header.tableOffset) + uint64_t(header.numLumps) * RES_LUMP_BYTES;
    if (header.numLumps > 0 && tableEnd > uint64_t(end)) {
        stream.close();
        return Fail(failure, "lump table runs past the end of the file");
    }

    lumps.reset(new (std::nothrow) RESLUMP[header.numLumps]);
    if (!lumps) {
        stream.close();
        return Fail(failure, "out of memory for the lump table");
    }
    if (header.numLumps > 0)
        stream.seekg(header.tableOffset, std::ios::beg);
    if (!stream) {
        stream.close();
        return Fail(failure, "cannot seek to the lump table");
    }
    for (uint32_t i = 0; i < header.numLumps; i++) {
        unsigned char e[RES_LUMP_BYTES];
        if (!stream.read(reinterpret_cast<char*>(e), sizeof e)) {
            stream.close();
            return Fail(failure, "cannot read the lump table");
        }
        RESLUMP& l = lumps[i];
        l.size = ReadU32LE(e);
        l.offset = ReadU32LE(e + 4);
        l.type = ReadU32LE(e + 8);
        l.option = ReadU32LE(e + 12);
        for (int w = 0; w < 3; w++)
            l.reserved[w] = ReadU32LE(e + 16 + 4 * w);
    }
    return true;
}

bool RESFILE::CheckLump(int lump)
{
    if (!stream.is_open())
        return Fail(failure, "pack is not open");
    if (!lumps)
        return Fail(failure, "no lump table loaded");
    if (lump < 0 || uint32_t(lump) >= header.numLumps)
        return Fail(failure, "no such lump");
    return true;
}

bool RESFILE::SeekLump(int lump)
{
    if (!CheckLump(lump))
        return false;
    stream.seekg(lumps[lump].offset, std::ios::beg);
    if (!stream)
        return Fail(failure, "cannot seek to the lump");
    failure = "";
    return true;
}

bool RESFILE::LoadData(int lump, unsigned char** data)
{
    if (!SeekLump(lump))
        return false;
    const RESLUMP& l = lumps[lump];
    // Refuse a lump that runs past the end before allocating its claimed size.
    if (uint64_t(l.offset) + l.size > fileLength)
        return Fail(failure, "lump runs past the end of the file");
    unsigned char* buffer = new (std::nothrow) unsigned char[l.size];
    if (!buffer)
        return Fail(failure, "out of memory for the lump");
    if (!stream.read(reinterpret_cast<char*>(buffer), l.size)) {
        delete[] buffer;
        return Fail(failure, "cannot read the lump");
    }
    *data = buffer;
    return true;
}

void RESFILE::Close()
{
    lumps.reset();
    if (stream.is_open())
        stream.close();
    stream.clear();
}
