#include "viewer/Viewer.h"

#include <cstring>

bool Viewer::ShowImage(const Image32& image, bool twoSided, bool alpha) {
    meshCount = 0;
    slot0.image.Release();
    slot0.filled = false;
    ++slot0.revision;
    if (image.pixels == nullptr || !slot0.image.Create(image.width, image.height)) return false;
    std::memcpy(slot0.image.pixels, image.pixels, uint64_t(image.width) * image.height * 4);
    slot0.twoSided = twoSided;
    slot0.alpha = alpha;
    return true;
}

void Viewer::FillImage(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    meshCount = 0;
    slot0.twoSided = false;
    slot0.alpha = false;
    slot0.filled = true;
    slot0.fillArgb = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    ++slot0.revision;
    if (slot0.image.pixels == nullptr) return;
    uint64_t n = uint64_t(slot0.image.width) * slot0.image.height;
    for (uint64_t i = 0; i < n; ++i) {
        uint8_t* p = slot0.image.pixels + i * 4;
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    }
}
