// PNG reader on arbitrary bytes. A picture that comes back must be within
// the size limit and every pixel of it readable (AddressSanitizer catches a
// buffer smaller than width * height); encoding it again and decoding that
// must give the same pixels.
#include "texture/Png.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image32 img = EmptyImage();
    if (!ReadPngBytes(img, data, size)) {
        if (img.pixels != nullptr) std::abort();  // a refusal leaves the record alone
        return 0;
    }
    uint64_t pixels = uint64_t(img.width) * img.height;
    if (img.pixels == nullptr || pixels == 0 || pixels > kMaxImagePixels) std::abort();
    // Round trips are costly for large pictures and reach no new code.
    if (pixels <= 4096) {
        std::vector<uint8_t> png;
        Image32 back = EmptyImage();
        if (!EncodePng(img, png) || !ReadPngBytes(back, png.data(), png.size())) std::abort();
        if (back.width != img.width || back.height != img.height ||
            std::memcmp(back.pixels, img.pixels, size_t(pixels) * 4) != 0)
            std::abort();
        back.Release();
    } else {
        unsigned sum = 0;
        for (uint64_t i = 0; i < pixels * 4; ++i) sum += img.pixels[i];
        volatile unsigned sink = sum;
        (void)sink;
    }
    img.Release();
    return 0;
}
