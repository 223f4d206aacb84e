// Targa reader on arbitrary bytes. A picture that comes back must be one the
// input could hold, and every pixel of it must be readable (AddressSanitizer
// catches a buffer smaller than width * height).
#include "texture/ImageFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image32 img = EmptyImage();
    Reason why = Reason::None;
    if (!ReadTgaBytes(img, data, size, &why)) {
        if (img.pixels != nullptr || why == Reason::None) std::abort();  // a refusal leaves the record alone, says why
        return 0;
    }
    if (img.pixels == nullptr || img.width == 0 || img.height == 0 || why != Reason::None) std::abort();
    // After the 18-byte header: every pixel's bytes, or for run-length data
    // at least one packet (a byte and a pixel) per 128 pixels.
    uint64_t pixels = uint64_t(img.width) * img.height, bytes = (data[16] + 7u) / 8u;
    uint64_t least = data[2] >= 9 ? (pixels + 127) / 128 * (bytes + 1) : pixels * bytes;
    if (18 + least > size) std::abort();
    // 24-bit and 15-bit true-colour pixels are opaque.
    if ((data[2] == 2 || data[2] == 10) && (data[16] == 24 || data[16] == 15))
        for (uint64_t i = 0; i < pixels; ++i)
            if (img.pixels[i * 4 + 3] != 255) std::abort();
    unsigned sum = 0;
    for (uint64_t i = 0; i < pixels * 4; ++i) sum += img.pixels[i];
    volatile unsigned sink = sum;
    (void)sink;
    img.Release();
    return 0;
}
