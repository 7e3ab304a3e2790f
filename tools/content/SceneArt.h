// SceneArt: the pictures of the scene pack: overlay badge and captions,
// footprint, spark, and the small pictures that are loaded but not drawn.
#pragma once

#include "Canvas.h"

#include <string>

// 256x32: the program's name on a rounded violet plate with a flower mark.
Canvas MakeBadge();
// 512x32: a caption in the badge's style.
Canvas MakeCaption(const std::string& text);
// 64x64: a paw print whose alpha is its shape, toes towards the top.
Canvas MakeFootprint();
// 64x64: a soft round glow, white in the middle, falling smoothly to black
// (and so to no alpha) well inside the picture's edges.
Canvas MakeSpark();
// size x size: a soft meadow that tiles without a seam, the ground shown when
// no desktop picture can be found. Mid-toned and calm at the scale of a paw,
// so that the darkening of a footprint reads on it.
// The size must be a multiple of 32.
Canvas MakeMeadow(int size);
// A small larkspur flower spike on a plain ground, for the unused lumps.
Canvas MakeFlowerIcon(int size, Colour ground);
