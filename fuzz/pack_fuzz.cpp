// Fuzz target for the resource pack reader and the readers that parse lumps in
// place: any bytes as a pack file. Every lump is read whole, TGA lumps are
// decoded from the pack's stream and lump 0 is read as a model, each within
// its lump. A refused pack keeps no lump table; a lump read never reaches
// past the file, and a reader in place never past its lump.
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"
#include "resources/ResFile.h"
#include "resources/TGALoader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Whether a reader in place stopped within its lump.
bool WithinLump(RESFILE* pack, const RESLUMP& lump)
{
    const std::streampos at = pack->stream.tellg();
    pack->stream.clear();
    return at == std::streampos(-1) || uint64_t(at) <= uint64_t(lump.offset) + lump.size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader opens packs by path: the bytes go into a file in memory,
    // named through its descriptor.
    static const int fd = memfd_create("pack", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    RESFILE pack;
    if (!pack.Open(path.c_str())) {
        if (pack.lumps || pack.failure[0] == 0)
            std::abort();
        return 0;
    }
    // The TGA decoder's alerts would flood the output.
    const AlertMute quiet(true);
    for (uint32_t i = 0; i < pack.header.numLumps; i++) {
        const RESLUMP lump = pack.lumps[i];
        unsigned char* raw = nullptr;
        if (pack.LoadData(int(i), &raw)) {
            const std::unique_ptr<unsigned char[]> bytes(raw);
            if (uint64_t(lump.offset) + lump.size > size)
                std::abort();
            // Touch the last byte so a short buffer shows up under the sanitizer.
            if (lump.size > 0 && bytes[lump.size - 1] == 0x5A)
                continue;
        }
        if (lump.type == LUMP_TGA && pack.SeekLump(int(i))) {
            Texture texture;
            if (LoadTGA2(&texture, &pack.stream, lump.size) && !WithinLump(&pack, lump))
                std::abort();
        }
        if (i == 0 && pack.SeekLump(0)) {
            MS3D model;
            if (model.LoadFromFStream(&pack.stream, lump.size) && !WithinLump(&pack, lump))
                std::abort();
        }
    }
    return 0;
}
