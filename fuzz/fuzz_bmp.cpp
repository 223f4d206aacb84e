// BMP reader on arbitrary bytes. A picture that comes back must be one the
// input could hold, and every pixel of it must be readable (AddressSanitizer
// catches a buffer smaller than width * height).
#include "texture/ImageFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image32 img = EmptyImage();
    if (!ReadBmpBytes(img, data, size)) {
        if (img.pixels != nullptr) std::abort();  // a refusal leaves the record alone
        return 0;
    }
    if (img.pixels == nullptr || img.width == 0 || img.height == 0) std::abort();
    // At least one file byte per pixel (8 bits), after 54 header bytes.
    if (uint64_t(img.width) * img.height > size) std::abort();
    if (img.bounds.right != img.width - 1 || img.bounds.bottom != img.height - 1) std::abort();
    unsigned sum = 0;
    for (uint64_t i = 0; i < uint64_t(img.width) * img.height * 4; ++i) sum += img.pixels[i];
    volatile unsigned sink = sum;
    (void)sink;
    img.Release();
    return 0;
}
