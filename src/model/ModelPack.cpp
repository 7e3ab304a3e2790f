// ModelPack: opening the creature pack, reading the model in place from the
// pack stream, then decoding the coats lump by lump.
#include "model/ModelPack.h"

#include "maths/Misc.h"
#include "resources/ResFile.h"

#include <climits>
#include <new>

namespace {

bool Fail(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool LoadModel(const char* path, MS3D* model, Texture** textures, int* count, std::string* why)
{
    if (!path || !model || !textures || !count)
        return Fail(why, "no pack given");
    // The pack closes itself on every way out.
    RESFILE pack;
    if (!pack.Open(path))
        return Fail(why, pack.failure);
    if (!pack.SeekLump(0))
        return Fail(why, std::string("lump 0: ") + pack.failure);
    if (!model->LoadFromFStream(&pack.stream, pack.lumps[0].size))
        return Fail(why, std::string("the model in lump 0: ") + model->failure);
    if (pack.header.numLumps - 1 > uint32_t(INT_MAX))
        return Fail(why, "it holds too many lumps");

    const int coats = int(pack.header.numLumps - 1);
    Texture* array = new (std::nothrow) Texture[coats];
    if (!array) {
        ERRORCLOSE("Unable to allocate memory!");
        return Fail(why, "out of memory");
    }
    *count = coats;
    *textures = array;
    for (int i = 0; i < coats; i++) {
        if (!LoadTextureLump(&pack, i + 1, &array[i], why)) {
            if (why)
                *why = "the coat in " + *why;
            return false;
        }
    }
    return true;
}
