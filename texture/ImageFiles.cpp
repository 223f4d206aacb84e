#include "texture/ImageFiles.h"

#include "pack/FileHandle.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

uint16_t U16(const uint8_t* d, size_t at) { return uint16_t(d[at] | (d[at + 1] << 8)); }
uint32_t U32(const uint8_t* d, size_t at) {
    return uint32_t(d[at]) | (uint32_t(d[at + 1]) << 8) | (uint32_t(d[at + 2]) << 16) | (uint32_t(d[at + 3]) << 24);
}

// Where a picture's parts lie in its file, worked out from the headers alone
// so that the file readers know how much to read before reading it. Every
// offset is from the start of the file; extent is one past the last byte any
// decoder touches, so `extent <= size` makes every access below safe.
struct Layout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerPixel = 0;
    bool bottomUp = true;
    uint64_t paletteAt = 0;
    uint32_t paletteEntries = 0;
    uint64_t pixelsAt = 0;
    uint64_t rowBytes = 0;  // file row pitch, padding included
    uint64_t extent = 0;
};

// BMP: the 14-byte file header and the start of the info header.
//   0  "BM"
//  10  u32  pixel data offset
//  14  u32  info header size: 40, or 108 / 124 for the later versions
//  18  i32  width
//  22  i32  height; positive: bottom row first
//  28  u16  bits per pixel
//  30  u32  compression, 0 = none
//  46  u32  colours used (palette entries; 0 means 256 at 8 bits)
// The palette follows the info header, 4 bytes an entry: B, G, R, reserved.
const size_t kBmpHeadBytes = 54;

bool BmpLayout(const uint8_t* d, size_t size, Layout& out) {
    if (size < kBmpHeadBytes) return false;
    if (d[0] != 'B' || d[1] != 'M') return false;
    uint32_t dataOffset = U32(d, 10);
    uint32_t infoSize = U32(d, 14);
    int32_t width = static_cast<int32_t>(U32(d, 18));
    int32_t height = static_cast<int32_t>(U32(d, 22));
    uint16_t bits = U16(d, 28);
    uint32_t compression = U32(d, 30);
    uint32_t used = U32(d, 46);

    // 12-byte OS/2 headers keep 16-bit sizes at other offsets; reading them
    // as the 40-byte layout would only give garbage.
    if (infoSize < 40) return false;
    if (bits != 8 && bits != 24) return false;
    // Run-length 8-bit files would decode as noise if taken for plain rows.
    if (compression != 0) return false;
    if (width <= 0 || height == 0) return false;
    uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    if (uint64_t(width) * rows > kMaxImagePixels) return false;

    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(rows);
    out.bytesPerPixel = bits / 8;
    out.bottomUp = height > 0;
    out.paletteAt = 14 + uint64_t(infoSize);
    out.paletteEntries = 0;
    if (bits == 8) {
        if (used > 256) return false;  // no 8-bit index could reach them
        out.paletteEntries = used == 0 ? 256 : used;
    }
    uint64_t paletteEnd = out.paletteAt + uint64_t(out.paletteEntries) * 4;
    // Later headers put a gap (colour masks, profile data) before the pixels,
    // and only the file header's offset tells where they start. Some writers
    // leave that offset zero, so an offset inside the headers means "directly
    // after the palette".
    out.pixelsAt = dataOffset >= paletteEnd ? dataOffset : paletteEnd;
    uint64_t rowData = uint64_t(out.width) * out.bytesPerPixel;
    out.rowBytes = (rowData + 3) & ~uint64_t(3);
    // The last row's padding is never read, so a file that omits it is whole.
    out.extent = out.pixelsAt + out.rowBytes * (out.height - 1) + rowData;
    return true;
}

// Image row that file row r becomes.
uint32_t TargetRow(const Layout& l, uint32_t r) { return l.bottomUp ? l.height - 1 - r : r; }

// 3-byte blue, green, red pixels of both formats, made opaque.
void ExpandBgrRow(const uint8_t* src, uint8_t* dst, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 255;
    }
}

bool DecodeBmp(Image32& image, const uint8_t* data, size_t size) {
    Layout l;
    if (!BmpLayout(data, size, l) || l.extent > size) return false;
    Image32 out = EmptyImage();
    if (!out.Create(l.width, l.height)) return false;

    // Indices past the stated entries meet zeros here instead of reading on
    // into the pixel data.
    uint8_t palette[256][4] = {};
    if (l.paletteEntries > 0) std::memcpy(palette, data + l.paletteAt, size_t(l.paletteEntries) * 4);

    for (uint32_t r = 0; r < l.height; ++r) {
        const uint8_t* src = data + l.pixelsAt + l.rowBytes * r;
        uint8_t* dst = out.Pixel(0, TargetRow(l, r));
        if (l.bytesPerPixel == 1) {
            for (uint32_t x = 0; x < l.width; ++x) std::memcpy(dst + 4 * size_t(x), palette[src[x]], 4);
        } else {
            ExpandBgrRow(src, dst, l.width);
        }
    }
    image = out;
    return true;
}

// Reads the headers, then exactly the bytes they ask for, and decodes those.
// The file may be a packed entry borrowed from a pack, so "what the file
// holds" is everything up to the pack's end: a lying header cannot make us
// allocate more than that, and a short file is refused before allocating.
bool ReadThroughBuffer(Image32& image, FileHandle& file, size_t headBytes,
                       bool (*layout)(const uint8_t*, size_t, Layout&),
                       bool (*decode)(Image32&, const uint8_t*, size_t)) {
    uint32_t at = file.Skip(0);
    uint32_t size = file.Size();
    if (at == 0xFFFFFFFFu || at > size) return false;
    uint32_t available = size - at;
    if (available < headBytes) return false;

    uint8_t head[kBmpHeadBytes];
    if (headBytes > sizeof head || !file.Read(head, static_cast<uint32_t>(headBytes))) return false;
    Layout l;
    if (!layout(head, headBytes, l) || l.extent > available) return false;

    size_t extent = static_cast<size_t>(l.extent);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[extent]);
    if (!bytes) return false;
    std::memcpy(bytes.get(), head, headBytes);
    if (!file.Read(bytes.get() + headBytes, static_cast<uint32_t>(extent - headBytes))) return false;
    return decode(image, bytes.get(), extent);
}

}  // namespace

bool ReadBmpBytes(Image32& image, const uint8_t* data, size_t size) { return DecodeBmp(image, data, size); }

bool ReadBmp(Image32& image, FileHandle& file) {
    return ReadThroughBuffer(image, file, kBmpHeadBytes, BmpLayout, DecodeBmp);
}

