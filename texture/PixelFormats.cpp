// Pixel formats of game textures: three byte-order conversions and the DXT1,
// DXT3 and DXT5 block decoders, all writing B G R A.
//
// Colour blocks are decoded our way on purpose, not the way most decoders
// do it: endpoints are widened by shifting alone (31 becomes 248, not 255),
// the c0 <= c1 three-colour mode applies to DXT3 and DXT5 colour blocks too,
// and its fourth colour is transparent cyan (B 255, G 255, R 0, A 0). In
// DXT3/DXT5 blocks the alpha block then replaces that alpha. The game's own
// encoder never writes c0 <= c1 in DXT3 or DXT5 blocks, so the choice shows
// only on textures made elsewhere.
#include "texture/TextureFile.h"

#include "texture/Image32.h"

#include <cstdio>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "pixels are assembled as little-endian 32-bit words (B G R A in memory)"
#endif

namespace {

inline uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) { return b | g << 8 | r << 16 | a << 24; }

const uint32_t kTransparentCyan = Bgra(255, 255, 0, 0);
const uint32_t kColourMask = 0x00FFFFFF;

// The four palette colours of a colour block (its 8 bytes at block).
inline void ColourPalette(const uint8_t* block, uint32_t palette[4]) {
    uint32_t c0 = uint32_t(block[0]) | uint32_t(block[1]) << 8;
    uint32_t c1 = uint32_t(block[2]) | uint32_t(block[3]) << 8;
    uint32_t r0 = (c0 >> 11) << 3, g0 = ((c0 >> 5) & 63) << 2, b0 = (c0 & 31) << 3;
    uint32_t r1 = (c1 >> 11) << 3, g1 = ((c1 >> 5) & 63) << 2, b1 = (c1 & 31) << 3;
    palette[0] = Bgra(b0, g0, r0, 255);
    palette[1] = Bgra(b1, g1, r1, 255);
    if (c0 > c1) {
        palette[2] = Bgra((2 * b0 + b1) / 3, (2 * g0 + g1) / 3, (2 * r0 + r1) / 3, 255);
        palette[3] = Bgra((b0 + 2 * b1) / 3, (g0 + 2 * g1) / 3, (r0 + 2 * r1) / 3, 255);
    } else {
        palette[2] = Bgra((b0 + b1) / 2, (g0 + g1) / 2, (r0 + r1) / 2, 255);
        palette[3] = kTransparentCyan;
    }
}

// Colour indices: one byte per row, column x in bits 2x and 2x + 1.
inline void ColourBlock(const uint8_t* block, uint32_t px[16]) {
    uint32_t palette[4];
    ColourPalette(block, palette);
    uint32_t bits = uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 | uint32_t(block[7]) << 24;
    for (int p = 0; p < 16; ++p) px[p] = palette[(bits >> (2 * p)) & 3];
}

// Explicit alpha: 4 bits per pixel, low nibble first, widened by 17.
inline void Dxt3Alpha(const uint8_t* block, uint32_t px[16]) {
    for (int p = 0; p < 16; ++p) {
        uint32_t a = (block[p >> 1] >> ((p & 1) * 4)) & 15;
        px[p] = (px[p] & kColourMask) | (a * 17) << 24;
    }
}

// Interpolated alpha: two endpoints, 3-bit indices in a 48-bit number.
inline void Dxt5Alpha(const uint8_t* block, uint32_t px[16]) {
    uint32_t a0 = block[0], a1 = block[1];
    uint32_t table[8] = {a0, a1};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 7; i >= 2; --i) bits = bits << 8 | block[i];
    for (int p = 0; p < 16; ++p) px[p] = (px[p] & kColourMask) | table[(bits >> (3 * p)) & 7] << 24;
}

template <uint32_t Format>
void DecodeBlocks(const uint8_t* src, uint32_t w, uint32_t h, uint8_t* out) {
    const uint32_t blockBytes = Format == kTextureDxt1 ? 8 : 16;
    for (uint32_t y0 = 0; y0 < h; y0 += 4) {
        uint32_t rows = h - y0 < 4 ? h - y0 : 4;
        for (uint32_t x0 = 0; x0 < w; x0 += 4, src += blockBytes) {
            uint32_t px[16];
            if (Format == kTextureDxt1) {
                ColourBlock(src, px);
            } else {
                ColourBlock(src + 8, px);
                if (Format == kTextureDxt3)
                    Dxt3Alpha(src, px);
                else
                    Dxt5Alpha(src, px);
            }
            // Blocks at the right and bottom edges of sides that are not
            // multiples of 4 are cut to the picture.
            uint32_t columns = w - x0 < 4 ? w - x0 : 4;
            uint8_t* d = out + (uint64_t(y0) * w + x0) * 4;
            for (uint32_t r = 0; r < rows; ++r, d += uint64_t(w) * 4) std::memcpy(d, px + 4 * r, columns * 4);
        }
    }
}

// Source bytes s0 s1 s2 s3 become B G R A = s2 s1 s0 s3.
void SwapRedBlue(const uint8_t* src, uint64_t pixels, uint8_t* out) {
    for (uint64_t i = 0; i < pixels; ++i, src += 4, out += 4) {
        out[0] = src[2];
        out[1] = src[1];
        out[2] = src[0];
        out[3] = src[3];
    }
}

void AddOpaqueAlpha(const uint8_t* src, uint64_t pixels, uint8_t* out) {
    for (uint64_t i = 0; i < pixels; ++i, src += 3, out += 4) {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
        out[3] = 255;
    }
}

}  // namespace

bool TextureFrameBytes(uint32_t format, uint32_t w, uint32_t h, uint64_t& bytes) {
    uint64_t pixels = uint64_t(w) * h;  // at most 2^64 - 2^33 + 1
    uint64_t blocks = ((uint64_t(w) + 3) / 4) * ((uint64_t(h) + 3) / 4);
    // Sides come from 16-bit fields; anything wider can never be stored.
    bool fits = w <= 0xFFFF && h <= 0xFFFF;
    switch (format) {
        case kTextureRgba8888:
        case kTextureBgra8888:
        case kTextureUvwq8888: bytes = pixels * 4; break;
        case kTextureBgr888: bytes = pixels * 3; break;
        case kTextureDxt1: bytes = blocks * 8; break;
        case kTextureDxt3:
        case kTextureDxt5: bytes = blocks * 16; break;
        default: return false;
    }
    if (!fits) bytes = UINT64_MAX;
    return true;
}

bool DecodeTexturePixels(uint32_t format, const uint8_t* src, uint64_t srcSize, uint32_t w, uint32_t h, uint8_t* out) {
    uint64_t need = 0;
    if (!TextureFrameBytes(format, w, h, need) || need > srcSize) return false;
    uint64_t pixels = uint64_t(w) * h;
    switch (format) {
        case kTextureRgba8888:
        case kTextureUvwq8888: SwapRedBlue(src, pixels, out); break;
        case kTextureBgr888: AddOpaqueAlpha(src, pixels, out); break;
        case kTextureBgra8888: std::memcpy(out, src, pixels * 4); break;
        case kTextureDxt1: DecodeBlocks<kTextureDxt1>(src, w, h, out); break;
        case kTextureDxt3: DecodeBlocks<kTextureDxt3>(src, w, h, out); break;
        case kTextureDxt5: DecodeBlocks<kTextureDxt5>(src, w, h, out); break;
    }
    return true;
}

bool TextureFile::Decode(Image32& image) {
    if (!loaded || !body) return false;
    uint64_t frameBytes = 0;
    bool known = TextureFrameBytes(format, width, height, frameBytes);
    // Frame 0 comes first in the full-size level, which ends the body.
    if (known && (frames == 0 || frameBytes > bodySize / frames)) {
        message.Show("The TTH File Header Is Incorrect!", "Error In Texture File!");
        return false;
    }
    if (image.pixels != nullptr) image.Release();
    if (!image.Create(width, height)) return false;
    if (!known) {
        char text[64];
        std::snprintf(text, sizeof text, "Texture Format '%u' Is Unsupported!", unsigned(format));
        message.Show(text, "Error");
        return false;
    }
    uint64_t levelStart = bodySize - frameBytes * frames;
    return DecodeTexturePixels(format, body.get() + levelStart, frameBytes, width, height, image.pixels);
}
