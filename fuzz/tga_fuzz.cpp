// Fuzz target for the TGA decoder: any bytes, read from a stream as a pack's
// lump is. A decode must either fail cleanly or fill exactly its pixels.
#include "resources/TGALoader.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    Texture texture;
    if (LoadTGA2(&texture, &stream)) {
        // Touch the last byte so a short buffer shows up under the sanitizer.
        const size_t bytes = size_t(texture.width) * texture.height * (texture.bpp / 8);
        if (bytes == 0 || texture.imageData[bytes - 1] == 0x5A)
            return 0;
    } else if (texture.imageData) {
        std::abort();
    }
    return 0;
}
