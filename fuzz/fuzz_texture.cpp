// A texture pair from one input: the first two bytes (little-endian) give
// the .tth length, the .tth follows and the rest is the .ttz. Parsed and
// decoded as LoadTexture does.
#include "texture/Image32.h"
#include "texture/TextureFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<uint8_t[]> Copy(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> p(new uint8_t[size + 1]);
    if (size > 0) std::memcpy(p.get(), data, size);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t tthSize = size_t(data[0]) | size_t(data[1]) << 8;
    if (tthSize > size - 2) tthSize = size - 2;
    const uint8_t* tth = data + 2;
    const uint8_t* ttz = tth + tthSize;
    size_t ttzSize = size - 2 - tthSize;

    TextureFile texture;
    if (!texture.Parse(Copy(tth, tthSize), uint32_t(tthSize), Copy(ttz, ttzSize), uint32_t(ttzSize))) return 0;
    if (texture.loaded != 1 || texture.body == nullptr) std::abort();
    // A small stream may inflate to tens of megabytes; pictures that large
    // only slow the search down without reaching new code.
    if (uint64_t(texture.width) * texture.height > (uint64_t(1) << 22)) return 0;
    Image32 image = EmptyImage();
    if (texture.Decode(image) && (image.width != texture.width || image.height != texture.height)) std::abort();
    image.Release();
    return 0;
}
