// ByteOrder: little-endian reads and writes of 32-bit words.
// Pack and model files are little-endian on every machine, so nothing here
// depends on the host's byte order.
#pragma once

#include <cstdint>
#include <vector>

inline uint32_t ReadU32LE(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void WriteU32LE(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline void AppendU32LE(std::vector<unsigned char>& out, uint32_t v)
{
    unsigned char b[4];
    WriteU32LE(b, v);
    out.insert(out.end(), b, b + 4);
}
