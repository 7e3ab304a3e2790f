// DesktopCapture: the main display as a texture, for the captured-desktop
// background.
//
// The host supplies the display's pixels; here they are scaled (nearest
// pixel) to power-of-two sides no larger than the detail's limit, turned so
// that memory row 0 is the display's bottom row, made opaque, tested for
// being entirely black, and uploaded. Needs the view's OpenGL context, which it makes current.
#pragma once

#include <cstdint>

class HostServices;

// The texture side for a display side: the nearest power of two on a log
// scale, at most limit.
uint32_t CaptureTextureSide(int side, uint32_t limit);

// On success *name holds a texture of the capture (a new name when it was 0);
// when there is no capture or it is all black, the texture is deleted and
// *name is 0. Detail 0 limits each side to 512, 1 to 1024, anything else to
// the context's largest texture or kLargestBackgroundSide, whichever is less.
void captureDesktop(HostServices* host, uint32_t* name, int detail);
