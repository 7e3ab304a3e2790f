// PngFrame: flipping the rows and encoding them as PNG.
#include "platform/headless/PngFrame.h"

#include "resources/PngWriter.h"

#include <cstring>

bool WritePngFrame(const std::string& path, const std::vector<unsigned char>& rgb, int width, int height,
                   std::vector<unsigned char>* rows, std::string* error)
{
    const size_t stride = size_t(width) * 3;
    if (width < 1 || height < 1 || rgb.size() < stride * size_t(height)) {
        *error = "frame has no pixels";
        return false;
    }
    rows->resize(stride * size_t(height));
    for (int y = 0; y < height; y++)
        std::memcpy(rows->data() + size_t(y) * stride, rgb.data() + size_t(height - 1 - y) * stride, stride);

    return WritePngFile(path, rows->data(), width, height, 3, error);
}
