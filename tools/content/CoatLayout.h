// CoatLayout: where each part of the creature finds its fur on the 256x256 coat
// texture. The model's texture coordinates and every coat painter use these
// rectangles, so a saddle lands on the back and a light belly underneath.
//
// Pixel coordinates with the origin at the picture's top-left corner.
#pragma once

struct CoatRect {
    int x, y, w, h;
};

enum { COAT_SIZE = 256 };

// Body from tail root (left) to the neck (right); down the picture runs from
// the spine (top) over the flank to the middle of the belly (bottom).
constexpr CoatRect kCoatTorso{0, 0, 256, 96};
// Four legs side by side (front left, front right, hind left, hind right);
// across is around the leg, down runs from the shoulder or hip to the sole.
constexpr CoatRect kCoatLegs{0, 96, 256, 64};
// One leg's column of kCoatLegs (0..3 in the order above).
constexpr CoatRect CoatLegColumn(int leg)
{
    return {kCoatLegs.x + leg * kCoatLegs.w / 4, kCoatLegs.y, kCoatLegs.w / 4, kCoatLegs.h};
}
// Head from the back of the skull (left) to the nose tip (right); down runs
// from the crown (top) over the cheek to the jaw (bottom).
constexpr CoatRect kCoatHead{0, 160, 160, 64};
// Both ears share one patch.
constexpr CoatRect kCoatEars{160, 160, 48, 64};
// Tail: across is around, down runs from the root to the tip.
constexpr CoatRect kCoatTail{208, 160, 48, 64};
// The nose: a dark patch with a soft sheen.
constexpr CoatRect kCoatNose{0, 224, 64, 32};
// Inside of the mouth, a dusky pink that only shows when it opens.
constexpr CoatRect kCoatMouth{64, 224, 64, 32};
// The eyes: dark brown with a light catch where the sky is reflected.
constexpr CoatRect kCoatEye{128, 224, 32, 32};
// The tongue, a clear pink, so that panting reads as a tongue.
constexpr CoatRect kCoatTongue{160, 224, 32, 32};

// Texture coordinates of a point (0..1 across, 0..1 down) inside a rectangle,
// in the model file's convention (origin top-left, as MilkShape stores them).
inline void CoatUV(const CoatRect& r, float across, float down, float* s, float* t)
{
    // Keep half a pixel away from the rectangle's edges so filtering does not
    // pick up the neighbouring region.
    const float u = r.x + 0.5f + across * (r.w - 1.0f);
    const float v = r.y + 0.5f + down * (r.h - 1.0f);
    *s = u / COAT_SIZE;
    *t = v / COAT_SIZE;
}
