// Targa reading (every image type painting programs write: colour-mapped,
// true-colour and grey, plain or run-length encoded, either origin) and
// writing (uncompressed 32 bits).
//
// Header, 18 bytes:
//   0 u8  ID field length       7 u8  colour-map entry bits (15, 16, 24, 32)
//   1 u8  colour-map type       8 u16 x origin, 10 u16 y origin
//   2 u8  image type            12 u16 width, 14 u16 height
//   3 u16 first map entry       16 u8  bits per pixel
//   5 u16 colour-map length     17 u8  descriptor: bits 0-3 alpha bits,
//                                      bit 4 right to left, bit 5 top row first,
//                                      bits 6-7 interleaving (never written)
// Then the ID field, the colour map and the pixels. Image types: 1 mapped,
// 2 true colour, 3 grey; 9, 10, 11 the same run-length encoded: packets of
// one header byte (bit 7: a run; low 7 bits: count - 1) followed by one
// pixel to repeat or count literal pixels. Packets may cross rows.
// Pixels: 15 and 16 bits are 0bARRRRRGGGGGBBBBB little-endian, 24 and 32
// bits B, G, R[, A], grey 8 bits, or grey then alpha in 16.
#include "texture/ImageFiles.h"

#include "pack/FileHandle.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

const size_t kTgaHeadBytes = 18;

uint16_t U16(const uint8_t* d, size_t at) { return uint16_t(d[at] | (d[at + 1] << 8)); }

enum class TgaKind { Mapped, TrueColour, Grey };

struct TgaInfo {
    TgaKind kind = TgaKind::TrueColour;
    bool runLength = false;
    uint32_t width = 0, height = 0;
    uint32_t depth = 0, pixelBytes = 0;
    uint32_t alphaBits = 0;
    bool rightToLeft = false, topRowFirst = false;
    uint32_t mapFirst = 0, mapLength = 0, mapBits = 0;
    size_t mapAt = 0, pixelsAt = 0;
};

bool Refuse(Reason* why, Reason reason) {
    if (why != nullptr) *why = reason;
    return false;
}

// Reads and checks the header; on success every part it names starts inside
// data[0, size) or at its end (pixelsAt <= size).
bool ReadHeader(const uint8_t* d, size_t size, TgaInfo& t, Reason* why) {
    if (size < kTgaHeadBytes) return Refuse(why, Reason::TargaTooShort);
    uint8_t type = d[2], mapType = d[1], descriptor = d[17];
    switch (type) {
    case 1: case 9: t.kind = TgaKind::Mapped; break;
    case 2: case 10: t.kind = TgaKind::TrueColour; break;
    case 3: case 11: t.kind = TgaKind::Grey; break;
    default: return Refuse(why, Reason::TargaKindUnsupported);
    }
    // Interleaved rows went out with the hardware that wanted them; no
    // program we know writes them, and reading them as plain rows would
    // scramble the picture.
    if ((descriptor & 0xC0) != 0) return Refuse(why, Reason::TargaKindUnsupported);
    t.runLength = type >= 9;
    t.width = U16(d, 12);
    t.height = U16(d, 14);
    t.depth = d[16];
    t.alphaBits = descriptor & 0x0F;
    t.rightToLeft = (descriptor & 0x10) != 0;
    t.topRowFirst = (descriptor & 0x20) != 0;
    t.mapFirst = U16(d, 3);
    t.mapLength = U16(d, 5);
    t.mapBits = d[7];

    bool depthFits = t.kind == TgaKind::Mapped       ? t.depth == 8 || t.depth == 16
                     : t.kind == TgaKind::Grey       ? t.depth == 8 || t.depth == 16
                                                     : t.depth == 15 || t.depth == 16 || t.depth == 24 || t.depth == 32;
    if (!depthFits) return Refuse(why, Reason::TargaDepthUnsupported);
    t.pixelBytes = (t.depth + 7) / 8;

    // A true-colour or grey file may carry a map it does not use (type 1);
    // any other map type means no map.
    bool hasMap = mapType == 1;
    bool mapBitsKnown = t.mapBits == 15 || t.mapBits == 16 || t.mapBits == 24 || t.mapBits == 32;
    if (t.kind == TgaKind::Mapped && (!hasMap || !mapBitsKnown || t.mapLength == 0))
        return Refuse(why, Reason::TargaColourMapBad);
    uint64_t mapBytes = hasMap ? uint64_t(t.mapLength) * ((t.mapBits + 7u) / 8u) : 0;

    if (t.width == 0 || t.height == 0) return Refuse(why, Reason::PictureNoPixels);
    if (uint64_t(t.width) * t.height > kMaxImagePixels) return Refuse(why, Reason::PictureTooLarge);
    uint64_t mapAt = kTgaHeadBytes + uint64_t(d[0]);
    if (mapAt + mapBytes > size) return Refuse(why, Reason::PictureCutShort);
    t.mapAt = size_t(mapAt);
    t.pixelsAt = size_t(mapAt + mapBytes);
    return true;
}

// 5-bit channels to the nearest 8-bit value, as netpbm widens them
// (ImageMagick rounds down, bit replication rounds up some halves).
uint8_t Widen5(uint32_t v) { return uint8_t((v * 255 + 15) / 31); }

// One pixel (or colour-map entry) of `bits` bits as B, G, R, A. A 16-bit
// value's top bit is alpha only when the descriptor gives the file an alpha
// bit (ImageMagick reads it so); otherwise it is padding.
uint32_t ColourPixel(const uint8_t* p, uint32_t bits, uint32_t alphaBits) {
    switch (bits) {
    case 15:
    case 16: {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
        uint32_t a = bits == 16 && alphaBits >= 1 && (v & 0x8000) == 0 ? 0 : 255;
        return Widen5(v & 31) | uint32_t(Widen5((v >> 5) & 31)) << 8 | uint32_t(Widen5((v >> 10) & 31)) << 16 | a << 24;
    }
    case 24: return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | 0xFF000000u;
    default: return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

// What a file pixel of any kind becomes; palette is null unless mapped.
struct PixelReader {
    const TgaInfo& t;
    const uint32_t* palette;

    uint32_t operator()(const uint8_t* p) const {
        switch (t.kind) {
        case TgaKind::Mapped: {
            uint32_t index = t.depth == 8 ? p[0] : U16(p, 0);
            // An index outside the map gives a zero pixel, as in BMP files.
            return index >= t.mapFirst && index - t.mapFirst < t.mapLength ? palette[index - t.mapFirst] : 0;
        }
        case TgaKind::Grey: {
            uint32_t g = p[0];
            uint32_t a = t.depth == 16 ? p[1] : 255;
            return g | g << 8 | g << 16 | a << 24;
        }
        case TgaKind::TrueColour: break;
        }
        return ColourPixel(p, t.depth, t.alphaBits);
    }
};

// Where the n-th pixel in file order lands in the picture.
uint8_t* Place(Image32& out, const TgaInfo& t, uint64_t n) {
    uint32_t row = uint32_t(n / t.width), column = uint32_t(n % t.width);
    uint32_t x = t.rightToLeft ? t.width - 1 - column : column;
    uint32_t y = t.topRowFirst ? row : t.height - 1 - row;
    return out.Pixel(x, y);
}

void Store(uint8_t* dst, uint32_t bgra) {
    dst[0] = uint8_t(bgra);
    dst[1] = uint8_t(bgra >> 8);
    dst[2] = uint8_t(bgra >> 16);
    dst[3] = uint8_t(bgra >> 24);
}

bool DecodePixels(const uint8_t* d, size_t size, const TgaInfo& t, const PixelReader& read, Image32& out,
                  Reason* why) {
    const uint64_t count = uint64_t(t.width) * t.height;
    const size_t step = t.pixelBytes;
    size_t pos = t.pixelsAt;  // pos <= size throughout
    if (!t.runLength) {
        if (count * step > size - pos) return Refuse(why, Reason::PictureCutShort);
        for (uint64_t n = 0; n < count; ++n, pos += step) Store(Place(out, t, n), read(d + pos));
        return true;
    }
    for (uint64_t n = 0; n < count;) {
        if (pos == size) return Refuse(why, Reason::PictureCutShort);
        uint8_t packet = d[pos++];
        uint64_t run = (packet & 0x7Fu) + 1u;
        // A last packet that overshoots the picture is cut: what it would
        // paint lies outside, and the pixels inside are whole.
        if (run > count - n) run = count - n;
        if (packet & 0x80) {
            if (step > size - pos) return Refuse(why, Reason::PictureCutShort);
            uint32_t v = read(d + pos);
            pos += step;
            for (uint64_t i = 0; i < run; ++i) Store(Place(out, t, n++), v);
        } else {
            if (run * step > size - pos) return Refuse(why, Reason::PictureCutShort);
            for (uint64_t i = 0; i < run; ++i, pos += step) Store(Place(out, t, n++), read(d + pos));
        }
    }
    return true;
}

// A 32-bit file that states no alpha bits and holds alpha 0 everywhere was
// written by a program that padded its pixels: shown as it stands it would
// be invisible. Any other alpha byte is taken as alpha, as other readers do.
void OpaqueWhenAlphaIsPadding(const TgaInfo& t, Image32& out) {
    if (t.kind != TgaKind::TrueColour || t.depth != 32 || t.alphaBits != 0) return;
    uint64_t bytes = uint64_t(t.width) * t.height * 4;
    for (uint64_t i = 3; i < bytes; i += 4)
        if (out.pixels[i] != 0) return;
    for (uint64_t i = 3; i < bytes; i += 4) out.pixels[i] = 255;
}

bool DecodeTga(Image32& image, const uint8_t* data, size_t size, Reason* why) {
    TgaInfo t;
    if (data == nullptr) return Refuse(why, Reason::TargaTooShort);
    if (!ReadHeader(data, size, t, why)) return false;
    std::unique_ptr<uint32_t[]> palette;
    if (t.kind == TgaKind::Mapped) {
        palette.reset(new (std::nothrow) uint32_t[t.mapLength]);
        if (!palette) return Refuse(why, Reason::NoMemory);
        size_t entryBytes = (t.mapBits + 7) / 8;
        for (uint32_t i = 0; i < t.mapLength; ++i)
            palette[i] = ColourPixel(data + t.mapAt + i * entryBytes, t.mapBits, t.alphaBits);
    }
    // The fewest bytes the pixels can take, checked before allocating: a
    // few header bytes must not cost a gigabyte. A run-length packet paints
    // at most 128 pixels with a byte and one pixel.
    uint64_t count = uint64_t(t.width) * t.height;
    uint64_t least = t.runLength ? (count + 127) / 128 * (t.pixelBytes + 1) : count * t.pixelBytes;
    if (least > size - t.pixelsAt) return Refuse(why, Reason::PictureCutShort);
    Image32 out = EmptyImage();
    if (!out.Create(t.width, t.height)) return Refuse(why, Reason::NoMemory);
    if (!DecodePixels(data, size, t, PixelReader{t, palette.get()}, out, why)) {
        out.Release();
        return false;
    }
    OpaqueWhenAlphaIsPadding(t, out);
    image = out;
    if (why != nullptr) *why = Reason::None;
    return true;
}

}  // namespace

bool ReadTgaBytes(Image32& image, const uint8_t* data, size_t size, Reason* why) {
    return DecodeTga(image, data, size, why);
}

bool ReadTga(Image32& image, FileHandle& file, Reason* why) {
    uint32_t at = file.Skip(0);
    uint32_t size = file.Size();
    if (at == 0xFFFFFFFFu || at > size) return Refuse(why, Reason::CannotRead);
    uint32_t available = size - at;
    uint8_t head[kTgaHeadBytes];
    if (available < kTgaHeadBytes) return Refuse(why, Reason::TargaTooShort);
    if (!file.Read(head, kTgaHeadBytes)) return Refuse(why, Reason::CannotRead);
    TgaInfo t;
    // The header cannot be checked against a size not yet read: give it the
    // largest the file allows, and let the decoder check the real bytes.
    if (!ReadHeader(head, available, t, why)) return false;
    // The most a picture can take: every pixel in a packet of its own. The
    // file may be a packed entry that runs on to its pack's end, so it is
    // read no further than that.
    uint64_t most = t.pixelsAt + uint64_t(t.width) * t.height * (t.runLength ? t.pixelBytes + 1 : t.pixelBytes);
    size_t extent = size_t(most < available ? most : available);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[extent]);
    if (!bytes) return Refuse(why, Reason::NoMemory);
    std::memcpy(bytes.get(), head, kTgaHeadBytes);
    if (!file.Read(bytes.get() + kTgaHeadBytes, uint32_t(extent - kTgaHeadBytes))) return Refuse(why, Reason::CannotRead);
    return DecodeTga(image, bytes.get(), extent, why);
}

bool ReadTgaFile(Image32& image, const char* path, Reason* why) {
    FileHandle file;
    if (!file.Open(path)) return Refuse(why, FileExists(path) ? Reason::CannotRead : Reason::NotFound);
    bool ok = ReadTga(image, file, why);
    file.Close();
    return ok;
}

bool WriteTga(const Image32& image, FileHandle& file) {
    // The header holds 16-bit sides; writing the low bits of a larger one
    // would make a file that no reader can make sense of.
    if (image.pixels == nullptr || image.width == 0 || image.height == 0 || image.width > 0xFFFF ||
        image.height > 0xFFFF)
        return false;

    uint8_t header[kTgaHeadBytes] = {};
    header[2] = 2;
    header[12] = uint8_t(image.width);
    header[13] = uint8_t(image.width >> 8);
    header[14] = uint8_t(image.height);
    header[15] = uint8_t(image.height >> 8);
    header[16] = 32;
    header[17] = 8;

    // Rows go out bottom first, so they are gathered into chunks rather than
    // written one system call per row.
    const uint32_t rowBytes = image.width * 4;
    const uint32_t rowsPerChunk = rowBytes >= 65536 ? 1 : 65536 / rowBytes;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[size_t(rowsPerChunk) * rowBytes]);
    if (!chunk) return false;

    if (!file.Write(header, sizeof header)) return false;
    for (uint32_t done = 0; done < image.height;) {
        uint32_t n = image.height - done < rowsPerChunk ? image.height - done : rowsPerChunk;
        for (uint32_t i = 0; i < n; ++i)
            std::memcpy(chunk.get() + size_t(i) * rowBytes, image.Pixel(0, image.height - 1 - (done + i)), rowBytes);
        if (!file.Write(chunk.get(), n * rowBytes)) return false;
        done += n;
    }
    return true;
}
