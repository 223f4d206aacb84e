// Targa reader on arbitrary bytes. A picture that comes back must be one the
// input could hold, and every pixel of it must be readable (AddressSanitizer
// catches a buffer smaller than width * height).
#include "texture/ImageFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image32 img = EmptyImage();
    if (!ReadTgaBytes(img, data, size)) {
        if (img.pixels != nullptr) std::abort();  // a refusal leaves the record alone
        return 0;
    }
    if (img.pixels == nullptr || img.width == 0 || img.height == 0) std::abort();
    // Three or four file bytes per pixel, after the 18-byte header.
    if (18 + uint64_t(img.width) * img.height * 3 > size) std::abort();
    // 24-bit pixels are opaque; a 32-bit file keeps its alpha as it is.
    if (data[16] == 24)
        for (uint64_t i = 0; i < uint64_t(img.width) * img.height; ++i)
            if (img.pixels[i * 4 + 3] != 255) std::abort();
    unsigned sum = 0;
    for (uint64_t i = 0; i < uint64_t(img.width) * img.height * 4; ++i) sum += img.pixels[i];
    volatile unsigned sink = sum;
    (void)sink;
    img.Release();
    return 0;
}
