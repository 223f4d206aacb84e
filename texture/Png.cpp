#include "texture/Png.h"

#include "pack/FileHandle.h"
#include "texture/ImageFiles.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool FullyOpaque(const Image32& image) {
    uint64_t count = uint64_t(image.width) * image.height;
    for (uint64_t i = 0; i < count; ++i)
        if (image.pixels[4 * i + 3] != 255) return false;
    return true;
}

// Walks the chunks after the signature: each is a 4-byte big-endian length,
// a 4-byte type, the data and a 4-byte checksum, and must end inside the
// file; the walk stops after IEND. A file without IEND is judged by the
// decoder (it reads what is there).
bool ChunksInside(const uint8_t* data, size_t size) {
    size_t pos = 8;
    while (pos + 8 <= size) {
        uint64_t length = uint64_t(data[pos]) << 24 | uint64_t(data[pos + 1]) << 16 | uint64_t(data[pos + 2]) << 8 |
                          data[pos + 3];
        if (length > size - pos - 8 || size - pos - 8 - length < 4) return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0) return true;
        pos += 12 + size_t(length);
    }
    return true;
}

struct FreeStb {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

}  // namespace

bool EncodePng(const Image32& image, std::vector<uint8_t>& out) {
    out.clear();
    if (image.pixels == nullptr || image.width == 0 || image.height == 0) return false;
    int channels = FullyOpaque(image) ? 3 : 4;
    // The encoder works in int; its filtered copy is a row longer per row.
    if (uint64_t(image.width) * channels + 1 > uint64_t(INT_MAX) / image.height) return false;
    // Image32 keeps B, G, R, A; PNG wants R, G, B (, A).
    uint64_t count = uint64_t(image.width) * image.height;
    std::unique_ptr<uint8_t[]> rgba(new (std::nothrow) uint8_t[count * channels]);
    if (!rgba) return false;
    const uint8_t* src = image.pixels;
    uint8_t* dst = rgba.get();
    for (uint64_t i = 0; i < count; ++i, src += 4, dst += channels) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        if (channels == 4) dst[3] = src[3];
    }
    // No row filter: on DXT-decoded textures it gives the smallest files of
    // all five, and trying every filter per row (the library's default)
    // doubles the time for larger ones.
    stbi_write_force_png_filter = 0;
    int stride = int(image.width) * channels;
    if (stbi_write_png_to_func(Append, &out, int(image.width), int(image.height), channels, rgba.get(), stride) == 0) {
        out.clear();
        return false;
    }
    return !out.empty();
}

bool WritePng(const Image32& image, FileHandle& file) {
    std::vector<uint8_t> bytes;
    if (!EncodePng(image, bytes) || bytes.size() > 0xFFFFFFFFu) return false;
    return file.Write(bytes.data(), uint32_t(bytes.size()));
}

bool ReadPngBytes(Image32& image, const uint8_t* data, size_t size) {
    if (data == nullptr || size < 8 || size > size_t(INT_MAX)) return false;
    static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (std::memcmp(data, kSignature, 8) != 0) return false;
    // Every chunk must lie inside the file: the decoder sizes its buffers
    // by the lengths chunks claim (up to a gigabyte each) before it reads
    // them, so a few lying bytes would cost that much memory.
    if (!ChunksInside(data, size)) return false;
    // The header alone first: a damaged or hostile size must be refused
    // before the decoder allocates for it.
    int w = 0, h = 0, n = 0;
    if (stbi_info_from_memory(data, int(size), &w, &h, &n) == 0 || w <= 0 || h <= 0) return false;
    if (uint64_t(w) * uint64_t(h) > kMaxImagePixels) return false;
    bool wide = stbi_is_16_bit_from_memory(data, int(size)) != 0;
    std::unique_ptr<stbi_uc, FreeStb> rgba(
        wide ? reinterpret_cast<stbi_uc*>(stbi_load_16_from_memory(data, int(size), &w, &h, &n, 4))
             : stbi_load_from_memory(data, int(size), &w, &h, &n, 4));
    if (!rgba) return false;
    Image32 decoded = Image32{};
    if (!decoded.Create(uint32_t(w), uint32_t(h))) return false;
    uint64_t count = uint64_t(w) * uint64_t(h);
    uint8_t* dst = decoded.pixels;
    static const int kOrder[4] = {2, 1, 0, 3};  // R, G, B, A to B, G, R, A
    if (wide) {
        // 16-bit samples to the nearest 8-bit value (the library would only
        // keep the high byte, one step darker than other readers for half
        // of the values).
        const uint16_t* src = reinterpret_cast<const uint16_t*>(rgba.get());
        for (uint64_t i = 0; i < count; ++i, src += 4, dst += 4)
            for (int c = 0; c < 4; ++c) dst[c] = uint8_t((uint32_t(src[kOrder[c]]) * 255 + 32767) / 65535);
    } else {
        const uint8_t* src = rgba.get();
        for (uint64_t i = 0; i < count; ++i, src += 4, dst += 4)
            for (int c = 0; c < 4; ++c) dst[c] = src[kOrder[c]];
    }
    image = decoded;
    return true;
}

namespace {

Reason ReadPngPath(Image32& image, const char* path) {
    FileHandle file;
    if (!file.Open(path)) return FileExists(path) ? Reason::CannotRead : Reason::NotFound;
    uint32_t size = file.Size();
    std::unique_ptr<uint8_t[]> bytes = size == 0xFFFFFFFFu ? nullptr : file.ReadAll(size);
    if (!bytes) return Reason::CannotRead;
    return ReadPngBytes(image, bytes.get(), size) ? Reason::None : Reason::PngUnreadable;
}

}  // namespace

bool ReadPngFile(Image32& image, const char* path) { return ReadPngPath(image, path) == Reason::None; }

bool HasPngExtension(const char* path) {
    size_t n = std::strlen(path);
    if (n < 4) return false;
    const char* ext = path + n - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'p' && (ext[2] | 0x20) == 'n' && (ext[3] | 0x20) == 'g';
}

bool ReadPictureFile(Image32& image, const char* path, Reason* why) {
    if (!HasPngExtension(path)) return ReadTgaFile(image, path, why);
    Reason reason = ReadPngPath(image, path);
    if (why != nullptr) *why = reason;
    return reason == Reason::None;
}
