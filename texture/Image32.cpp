#include "texture/Image32.h"

#include <cstddef>
#include <new>

bool Image32::Create(uint32_t w, uint32_t h) {
    *this = EmptyImage();
    if (w == 0 || h == 0) return false;
    if (uint64_t(w) * h > kMaxImagePixels) return false;
    // The header states stride * height * 4 in a u32 and the stride in an
    // i32; a thin, tall picture near the pixel limit can pass that check and
    // still not be describable, so the header's own limits are checked too.
    uint64_t stride = (uint64_t(w) + 3) & ~uint64_t(3);
    uint64_t bytes = stride * h * 4;
    if (bytes > 0xFFFFFFFFull || stride > 0x7FFFFFFFull || h > 0x7FFFFFFFull) return false;

    // Zeroed so that a reader which leaves pixels alone hands out black,
    // transparent pixels rather than whatever the allocator had.
    uint8_t* buffer = new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]();
    if (buffer == nullptr) return false;

    header.size = sizeof(ImageHeader);
    header.width = static_cast<int32_t>(stride);
    header.height = -static_cast<int32_t>(h);
    header.planes = 1;
    header.bitCount = 32;
    header.compression = 0;
    header.sizeImage = static_cast<uint32_t>(bytes);
    width = w;
    height = h;
    bounds = ImageBounds{0, 0, w - 1, h - 1};
    pixels = buffer;
    return true;
}

void Image32::Release() {
    if (pixels == nullptr) return;
    delete[] pixels;
    *this = EmptyImage();
}

void Image32::ReleasePixels() {
    delete[] pixels;
    pixels = nullptr;
}
