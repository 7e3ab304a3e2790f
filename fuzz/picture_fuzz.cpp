// Fuzz target for the picture decoder: any bytes, as a JPEG lump or a
// background picture file would give them. A decode must fail cleanly or give
// a picture within the size limit whose every row can be read.
#include "resources/PictureDecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Picture picture;
    if (!DecodePictureBytes(data, size, &picture))
        return 0;
    if (picture.width() < 1 || picture.height() < 1 || picture.width() > kMaxPictureSide ||
        picture.height() > kMaxPictureSide)
        std::abort();
    unsigned sum = 0;
    const size_t rowBytes = size_t(picture.width()) * picture.channels();
    for (int y = 0; y < picture.height(); y++)
        sum += picture.Row(y)[0] + picture.Row(y)[rowBytes - 1];
    return sum == 0xFFFFFFFF ? 1 : 0;
}
