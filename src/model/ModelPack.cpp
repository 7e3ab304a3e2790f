// ModelPack: opening the creature pack, reading the model in place from the
// pack stream, then decoding the coats lump by lump.
#include "model/ModelPack.h"

#include "maths/Misc.h"
#include "resources/ResFile.h"

#include <climits>
#include <new>

bool LoadModel(const char* path, MS3D* model, Texture** textures, int* count)
{
    if (!path || !model || !textures || !count)
        return false;
    // The pack closes itself on every way out.
    RESFILE pack;
    if (!pack.Open(path) || !pack.SeekLump(0))
        return false;
    if (!model->LoadFromFStream(&pack.stream, pack.lumps[0].size))
        return false;
    if (pack.header.numLumps - 1 > uint32_t(INT_MAX))
        return false;

    const int coats = int(pack.header.numLumps - 1);
    Texture* array = new (std::nothrow) Texture[coats];
    if (!array) {
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    *count = coats;
    *textures = array;
    for (int i = 0; i < coats; i++) {
        if (!LoadTextureLump(&pack, i + 1, &array[i]))
            return false;
    }
    return true;
}
