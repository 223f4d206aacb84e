// The .tth/.ttz container: parsing, encoding, and loading a pair by path.
//
// .tth layout (little-endian; n is byte 6):
//   0       4 bytes   magic "TTH\0"
//   4       u16       version, 1 (not checked)
//   6       u8        n: the level table has n + 1 entries
//   7       u8        aspect code: 3 + doublings of the shorter side to reach
//                     the longer one (written, never read)
//   8       u32       data base: offset in the embedded image where the .ttz
//                     content begins
//   12      8(n+1)    level table; only the last entry is trusted: (end
//                     offset of the embedded image, compressed .ttz size)
//   20+8n   64        embedded texture header (below)
//   84+8n   1024      thumbnail area: written zero by us, absent in the
//                     game's own files, never read
//
// Embedded header, as far as we read or write it:
//   0 "VTF\0", 4 major 7, 8 minor 0 or 1, 12 header size 64, 16 u16 width,
//   18 u16 height, 20 flags, 24 u16 frames, 26 first frame, 32 3 x f32
//   reflectivity, 48 f32 bump scale, 52 u32 format, 56 u8 mip count,
//   57 u32 thumbnail format (unaligned), 61 u8 thumb width, 62 thumb height.
//
// The game's own .tth files fill the table entries before the last with
// small constants (16, 0, ...) or with offsets that do not match the level
// sizes, so we never read them: the full-size level is the last
// frames x (bytes of one frame) bytes before the end offset, frame 0 first.
// On what Encode writes this is the same place entry n - 1 names.
#include "texture/TextureFile.h"

#include "pack/FileHandle.h"
#include "pack/GameFiles.h"
#include "texture/Image32.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

const uint32_t kTableStart = 12;
const uint32_t kEmbeddedSize = 64;
const uint32_t kThumbnailBytes = 16 * 16 * 4;
// No deflate stream inflates to more than 1032 times its length (a 258-byte
// match per two bits). A header claiming more cannot be honest, and we
// refuse it before allocating.
const uint64_t kMaxInflateRatio = 1032;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

uint32_t SignificantBits(uint32_t v) {
    uint32_t n = 0;
    while (v != 0) {
        ++n;
        v >>= 1;
    }
    return n;
}

uint32_t LevelSide(uint32_t side, uint32_t shift) {
    uint32_t s = shift < 32 ? side >> shift : 0;
    return s == 0 ? 1 : s;
}

}  // namespace

bool TextureFile::Parse(std::unique_ptr<uint8_t[]> tth, uint32_t tthSize, std::unique_ptr<uint8_t[]> ttz,
                        uint32_t ttzSize) {
    header = std::move(tth);
    headerSize = header ? tthSize : 0;
    loaded = 0;
    body.reset();
    bodySize = 0;
    if (!ttz) ttzSize = 0;
    const uint8_t* h = header.get();
    auto incorrect = [this] {
        message.Show("The TTH File Header Is Incorrect!", "Error In Texture File!");
        return false;
    };

    if (headerSize < 4 || std::memcmp(h, "TTH\0", 4) != 0) return false;
    if (headerSize < kTableStart) return incorrect();
    uint32_t n = h[6];
    uint32_t last = kTableStart + 8 * n;  // the table's last entry
    uint32_t embedded = last + 8;
    if (embedded > headerSize || kEmbeddedSize > headerSize - embedded) return incorrect();
    uint32_t dataBase = Le32(h + 8);
    uint32_t imageEnd = Le32(h + last);
    uint32_t packedSize = Le32(h + last + 4);
    if (imageEnd < dataBase) return incorrect();

    const uint8_t* e = h + embedded;
    width = Le16(e + 16);
    height = Le16(e + 18);
    // Minor versions 0 and 1 agree on every field we read, so both are taken.
    if (std::memcmp(e, "VTF\0", 4) != 0 || Le32(e + 4) != 7 || Le32(e + 8) > 1) return false;
    format = Le32(e + 52);
    frames = Le16(e + 24);
    flags = Le32(e + 20);
    mipLevels = e[56];
    if (width == 0 || height == 0 || frames == 0) return incorrect();

    uint32_t room = imageEnd - dataBase;
    uint64_t frameBytes = 0;
    // An unsupported format still parses; Decode names the code.
    if (TextureFrameBytes(format, width, height, frameBytes) && frameBytes * frames > room) return incorrect();

    auto unpackError = [this] {
        body.reset();
        message.Show("Error Unpacking Texture", "Error!");
        return false;
    };
    if (packedSize > ttzSize || room > packedSize * kMaxInflateRatio) return unpackError();
    body.reset(new (std::nothrow) uint8_t[room == 0 ? 1 : room]);
    if (!body) return unpackError();
    uLongf inflated = room;
    int rc = uncompress(body.get(), &inflated, ttz.get(), packedSize);
    // A stream that ends early leaves the level's bytes unknown; every real
    // .ttz inflates to exactly the size its header gives.
    if (rc != Z_OK || inflated != room) return unpackError();
    bodySize = room;
    loaded = 1;
    return true;
}

bool TextureFile::Encode(const Image32& image, FileHandle& tth, FileHandle& ttz) {
    header.reset();
    headerSize = 0;
    body.reset();
    bodySize = 0;
    loaded = 0;
    uint32_t w = image.width, h = image.height;
    // The embedded header stores each side in 16 bits.
    if (image.pixels == nullptr || w == 0 || h == 0 || w > 0xFFFF || h > 0xFFFF) return false;

    uint32_t n = SignificantBits(w > h ? w : h);
    uint32_t embedded = kTableStart + 8 * (n + 1);
    uint32_t size = embedded + kEmbeddedSize + kThumbnailBytes;  // 1108 + 8n
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size]());
    if (!out) return false;

    uint64_t total = kEncodedDataBase;
    for (uint32_t i = 0; i <= n; ++i) {
        total += uint64_t(LevelSide(w, n - i)) * LevelSide(h, n - i) * 4;
        Put32(out.get() + kTableStart + 8 * i, uint32_t(total));  // checked below
    }
    if (total > 0xFFFFFFFF) return false;

    uint8_t aspect = 3;
    for (uint64_t s = w < h ? w : h, l = w < h ? h : w; s < l; s *= 2) ++aspect;
    std::memcpy(out.get(), "TTH\0", 4);
    Put16(out.get() + 4, 1);
    out[6] = uint8_t(n);
    out[7] = aspect;
    Put32(out.get() + 8, kEncodedDataBase);

    uint8_t* e = out.get() + embedded;
    std::memcpy(e, "VTF\0", 4);
    Put32(e + 4, 7);
    Put32(e + 8, 1);
    Put32(e + 12, kEmbeddedSize);
    Put16(e + 16, w);
    Put16(e + 18, h);
    Put32(e + 20, 0x200);
    Put16(e + 24, 1);
    Put32(e + 32, 0x3EB549E2);  // reflectivity 0.3540793, 0.30712005, 0.33951017
    Put32(e + 36, 0x3E9D3ED7);
    Put32(e + 40, 0x3EADD447);
    Put32(e + 48, 0x3F800000);  // bump scale 1.0
    Put32(e + 52, kTextureBgra8888);
    e[56] = uint8_t(n);
    Put32(e + 57, kTextureBgra8888);
    e[61] = 16;
    e[62] = 16;

    uint64_t levelBytes = total - kEncodedDataBase;
    std::unique_ptr<uint8_t[]> levels(new (std::nothrow) uint8_t[levelBytes]());
    if (!levels) return false;
    auto levelStart = [&](uint32_t i) {
        return i == 0 ? 0 : Le32(out.get() + kTableStart + 8 * (i - 1)) - kEncodedDataBase;
    };
    std::memcpy(levels.get() + levelStart(n), image.pixels, uint64_t(w) * h * 4);
    // Point sampling, levels n - 1 down to 2; levels 0 and 1 stay zero.
    for (uint32_t k = 1; k + 1 < n; ++k) {
        uint32_t lw = LevelSide(w, k), lh = LevelSide(h, k);
        uint8_t* dst = levels.get() + levelStart(n - k);
        for (uint32_t y = 0; y < lh; ++y)
            for (uint32_t x = 0; x < lw; ++x)
                std::memcpy(dst + (uint64_t(y) * lw + x) * 4, image.Pixel(x << k, y << k), 4);
    }

    // uLong is 32 bits on Windows: a bound that wrapped is no bound.
    uLongf packedSize = compressBound(uLong(levelBytes));
    std::unique_ptr<uint8_t[]> packed(packedSize >= levelBytes ? new (std::nothrow) uint8_t[packedSize] : nullptr);
    if (!packed || compress2(packed.get(), &packedSize, levels.get(), uLong(levelBytes), Z_DEFAULT_COMPRESSION) != Z_OK) {
        message.Show("Error Packing Texture", "Error!");
        return false;
    }
    Put32(out.get() + kTableStart + 8 * n + 4, uint32_t(packedSize));
    header = std::move(out);
    headerSize = size;
    bool written = tth.Write(header.get(), headerSize);
    return ttz.Write(packed.get(), uint32_t(packedSize)) && written;
}

void TextureFile::Clear() {
    header.reset();
    headerSize = 0;
    body.reset();
    bodySize = 0;
    loaded = 0;
}

namespace {

// Points key.name's extension (after the last '.' of its last component) at
// ext, adding one when the name has none. False when it would not fit.
bool SetExtension(FileEntry& key, const char* ext) {
    key.name[sizeof key.name - 1] = '\0';
    size_t length = std::strlen(key.name);
    size_t dot = length;
    for (size_t i = length; i > 0; --i) {
        char c = key.name[i - 1];
        if (c == '/' || c == '\\') break;
        if (c == '.') {
            dot = i - 1;
            break;
        }
    }
    if (dot + 1 + std::strlen(ext) >= sizeof key.name) return false;
    key.name[dot] = '.';
    std::strcpy(key.name + dot + 1, ext);
    return true;
}

std::unique_ptr<uint8_t[]> ReadPairFile(const GameFiles& files, FileEntry& key, const char* ext, uint32_t& size,
                                        Reason& why) {
    size = 0;
    why = Reason::NotFound;
    if (!SetExtension(key, ext)) return nullptr;
    uint32_t n = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, n, &why);
    if (bytes) size = n;
    return bytes;
}

// The VTF 7.0 / 7.1 meanings of the header's flag bits, lowest first.
const char* const kFlagNames[] = {
    "pointsample", "trilinear", "clamps", "clampt", "anisotropic", "hint_dxt5", "nocompress",
    "normal", "nomip", "nolod", "minmip", "procedural", "onebitalpha", "eightbitalpha",
    "envmap", "rendertarget", "depthrendertarget", "nodebugoverride", "singlecopy",
};

}  // namespace

const char* TextureFormatName(uint32_t format) {
    static const char* const kNames[] = {
        "RGBA8888", "ABGR8888", "RGB888", "BGR888", "RGB565", "I8", "IA88", "P8", "A8",
        "RGB888_BLUESCREEN", "BGR888_BLUESCREEN", "ARGB8888", "BGRA8888", "DXT1", "DXT3", "DXT5",
        "BGRX8888", "BGR565", "BGRX5551", "BGRA4444", "DXT1_ONEBITALPHA", "BGRA5551", "UV88", "UVWQ8888",
        "RGBA16161616F", "RGBA16161616", "UVLX8888",
    };
    return format < sizeof kNames / sizeof kNames[0] ? kNames[format] : nullptr;
}

std::string TextureFactsLine(const TextureFacts& f) {
    const char* name = TextureFormatName(f.format);
    uint64_t ignored = 0;
    std::string line = "texture " + std::to_string(f.width) + "x" + std::to_string(f.height) + " " +
                       (name != nullptr ? name : "format " + std::to_string(f.format));
    if (!TextureFrameBytes(f.format, 1, 1, ignored)) line += " (not shown)";
    line += ", " + std::to_string(f.mipLevels) + (f.mipLevels == 1 ? " mip level" : " mip levels");
    if (f.frames > 1) line += ", " + std::to_string(f.frames) + " frames";
    line += ", flags";
    uint32_t unknown = f.flags;
    for (uint32_t bit = 0; bit < sizeof kFlagNames / sizeof kFlagNames[0]; ++bit)
        if (f.flags & (1u << bit)) {
            line += std::string(" ") + kFlagNames[bit];
            unknown &= ~(1u << bit);
        }
    if (unknown != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " 0x%X", unsigned(unknown));
        line += hex;
    }
    if (f.flags == 0) line += " none";
    return line;
}

bool LoadTexture(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image, Reason* why,
                 TextureFacts* facts) {
    Reason reason = Reason::None;
    auto fail = [&](Reason r) {
        if (why != nullptr) *why = r;
        return false;
    };
    uint32_t tthSize = 0, ttzSize = 0;
    std::unique_ptr<uint8_t[]> tth = ReadPairFile(files, key, "tth", tthSize, reason);
    if (!tth) return fail(reason == Reason::NotFound ? Reason::TextureNotInGame : reason);
    std::unique_ptr<uint8_t[]> ttz = ReadPairFile(files, key, "ttz", ttzSize, reason);
    if (!ttz) return fail(reason == Reason::NotFound ? Reason::TextureHalfPair : reason);
    TextureFile texture;
    texture.message = message;
    bool parsed = texture.Parse(std::move(tth), tthSize, std::move(ttz), ttzSize);
    if (parsed && facts != nullptr)
        *facts = TextureFacts{texture.width, texture.height, texture.format, texture.mipLevels, texture.flags,
                              texture.frames};
    if (!parsed || !texture.Decode(image)) return fail(Reason::TextureUnreadable);
    if (why != nullptr) *why = Reason::None;
    return true;
}
