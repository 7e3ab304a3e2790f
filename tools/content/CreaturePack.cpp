// CreaturePack: the creature model and the fifteen coats, in mixed encodings
// so that every picture decoder the program has is exercised by what ships.
#include "CreaturePack.h"

#include "Coats.h"
#include "CreatureMesh.h"
#include "CreatureMotion.h"
#include "ImageFiles.h"
#include "model/MS3DWriter.h"
#include "resources/ResFile.h"

#include <stdexcept>

MS3D BuildCreature()
{
    MS3D model;
    BuildCreatureMesh(&model);
    BuildCreatureJoints(&model);
    return model;
}

PackWriter BuildCreaturePack()
{
    PackWriter pack;
    std::vector<unsigned char> model;
    std::string error;
    MS3DWriteOptions options;
    options.modelComment = "Larkspur creature, generated";
    if (!WriteMS3D(BuildCreature(), &model, &error, options))
        throw std::runtime_error("creature model: " + error);
    pack.AddLump(std::move(model), 0, 0);

    const TgaKind kinds[4] = {TgaKind::Raw24, TgaKind::Rle24, TgaKind::Raw32, TgaKind::Rle32};
    int k = 0;
    for (const CoatStyle& style : CoatStyles()) {
        const Canvas coat = PaintCoat(style);
        // Every fifth coat is a JPEG; the rest cycle through the TGA kinds.
        if (k % 5 == 4)
            pack.AddLump(EncodeJpeg(coat, 92), LUMP_JPEG, 0);
        else
            pack.AddLump(EncodeTga(coat, kinds[k % 4]), LUMP_TGA, 0);
        k++;
    }
    return pack;
}
