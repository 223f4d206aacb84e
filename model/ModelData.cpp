#include "model/ModelData.h"

#include <cstring>
#include <new>

bool MakeCheckerboard(Image32& image) {
    if (!image.Create(64, 64)) return false;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint8_t c = ((x ^ y) & 8) == 0 ? 0xFF : 0x00;
            uint8_t* p = image.Pixel(x, y);
            p[0] = p[1] = p[2] = c;
            p[3] = 0xFF;
        }
    return true;
}

void LoadedModel::AddTexture(Image32& image, bool loaded, uint8_t twoSided, uint8_t alpha) {
    TextureSlot slot;
    if (loaded) {
        slot.image = image;
        slot.twoSided = twoSided;
        slot.alpha = alpha;
        image = Image32{};
    } else {
        slot.substitute = true;
    }
    textures.push_back(slot);
}

bool LoadedModel::AddSkeletonSegment(const float start[3], const float end[3]) {
    if (skeleton.pointCount + 2 > 2 * kSkeletonSegmentCapacity) return false;
    std::memcpy(skeleton.points[skeleton.pointCount++], start, sizeof skeleton.points[0]);
    std::memcpy(skeleton.points[skeleton.pointCount++], end, sizeof skeleton.points[0]);
    return true;
}
