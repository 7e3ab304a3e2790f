// larkspur-pack: lists, extracts and builds resource packs.
//
//   larkspur-pack list PACK
//   larkspur-pack extract PACK N OUT
//   larkspur-pack build OUT FILE:TYPE:OPTION ...
//
// Usage errors exit with status 2, a pack that cannot be read with status 1.
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: larkspur-pack list PACK\n"
    "       larkspur-pack extract PACK N OUT\n"
    "       larkspur-pack build OUT FILE:TYPE:OPTION ...\n";

int Usage(const char* why = nullptr)
{
    if (why)
        std::fprintf(stderr, "larkspur-pack: %s\n", why);
    std::fputs(kUsage, stderr);
    return 2;
}

int Failure(const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "larkspur-pack: %s: %s\n", what.c_str(), why.c_str());
    return 1;
}

// Parses a whole decimal number into [0, limit]; false on anything else.
bool ParseNumber(const std::string& text, unsigned long limit, unsigned long* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > limit)
        return false;
    *value = v;
    return true;
}

int List(const char* path)
{
    RESFILE pack;
    if (!pack.Open(path))
        return Failure(path, pack.failure);
    for (uint32_t i = 0; i < pack.header.numLumps; i++) {
        const RESLUMP& l = pack.lumps[i];
        std::printf("%u offset=%u size=%u type=%u option=%u\n", i, l.offset, l.size, l.type, l.option);
    }
    return 0;
}

int Extract(const char* path, const std::string& lumpText, const std::string& out)
{
    unsigned long lump;
    if (!ParseNumber(lumpText, 0x7fffffff, &lump))
        return Usage("the lump number must be a whole number");
    RESFILE pack;
    if (!pack.Open(path))
        return Failure(path, pack.failure);
    unsigned char* raw = nullptr;
    if (!pack.LoadData(int(lump), &raw))
        return Failure(std::string(path) + " lump " + lumpText, pack.failure);
    const std::unique_ptr<unsigned char[]> data(raw);
    const std::vector<unsigned char> bytes(data.get(), data.get() + pack.lumps[lump].size);
    std::string error;
    if (!WriteFileAtomically(out, bytes, &error))
        return Failure(out, error);
    return 0;
}

int Build(const std::string& out, const std::vector<std::string>& items)
{
    PackWriter writer;
    for (const std::string& item : items) {
        // The file name may itself hold colons, so split from the right.
        const size_t second = item.rfind(':');
        const size_t first = second == std::string::npos || second == 0 ? std::string::npos : item.rfind(':', second - 1);
        unsigned long type, option;
        if (first == std::string::npos || first == 0 ||
            !ParseNumber(item.substr(first + 1, second - first - 1), UINT32_MAX, &type) ||
            !ParseNumber(item.substr(second + 1), UINT32_MAX, &option))
            return Usage(("bad lump '" + item + "', expected FILE:TYPE:OPTION").c_str());
        const std::string file = item.substr(0, first);
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(file, &bytes))
            return Failure(file, "cannot read file");
        writer.AddLump(std::move(bytes), uint32_t(type), uint32_t(option));
    }
    std::string error;
    if (!writer.Write(out, &error))
        return Failure(out, error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "list" && args.size() == 2)
        return List(args[1].c_str());
    if (command == "extract" && args.size() == 4)
        return Extract(args[1].c_str(), args[2], args[3]);
    if (command == "build" && args.size() >= 2)
        return Build(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    return Usage(("unknown command or wrong arguments: " + command).c_str());
}
