// ScenePack: the eight lumps of the scene pack, in lump order.
//
//   0, 2, 3  small pictures that are loaded but not drawn
//   1        the overlay badge (256x32)
//   4, 5     the two overlay captions (512x32)
//   6        the footprint, shaped by its alpha
//   7        the spark, drawn additively
#include "ScenePack.h"

#include "ImageFiles.h"
#include "SceneArt.h"
#include "resources/ResFile.h"

PackWriter BuildScenePack()
{
    PackWriter pack;
    pack.AddLump(EncodeJpeg(MakeFlowerIcon(64, Rgb(0xdfe8d0)), 90), LUMP_JPEG, 0);
    pack.AddLump(EncodeTga(MakeBadge(), TgaKind::Raw32), LUMP_TGA, 0);
    // Colour-keyed: the first pixel's colour (the ground) becomes transparent.
    pack.AddLump(EncodeTga(MakeFlowerIcon(32, Rgb(0xff00ff)), TgaKind::Rle24), LUMP_TGA, 1);
    pack.AddLump(EncodeTga(MakeFlowerIcon(64, Rgb(0x202830)), TgaKind::Raw24), LUMP_TGA, 0);
    pack.AddLump(EncodeTga(MakeCaption("A HERD ROAMS YOUR DESKTOP"), TgaKind::Raw32), LUMP_TGA, 0);
    pack.AddLump(EncodeTga(MakeCaption("MOVE THE MOUSE TO WAKE UP"), TgaKind::Rle32), LUMP_TGA, 0);
    pack.AddLump(EncodeTga(MakeFootprint(), TgaKind::Rle32), LUMP_TGA, 0);
    // No alpha channel of its own: its alpha comes from its brightness.
    pack.AddLump(EncodeTga(MakeSpark(), TgaKind::Raw24), LUMP_TGA, 2);
    return pack;
}
