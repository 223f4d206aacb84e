#include "tools/TextureWriter.h"

#include "tools/PackWriter.h"

#include <vector>
#include <zlib.h>

namespace {

void Append16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

uint32_t Rgb565(uint32_t r, uint32_t g, uint32_t b) { return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); }

// One level of w x h pixels in the given format.
std::string Level(uint32_t format, uint32_t w, uint32_t h) {
    std::string out;
    if (format == 13 || format == 14 || format == 15) {
        uint32_t bw = (w + 3) / 4, bh = (h + 3) / 4;
        for (uint32_t by = 0; by < bh; ++by) {
            for (uint32_t bx = 0; bx < bw; ++bx) {
                uint8_t p[4];
                PatternPixel(bx * 4, by * 4, p);
                if (format == 14) {  // explicit 4-bit alpha, a ramp across the block
                    for (int row = 0; row < 4; ++row) Append16(out, 0x1000u * row + 0x0F84u);
                } else if (format == 15) {  // interpolated alpha: 255 down to 0
                    out.push_back(static_cast<char>(255));
                    out.push_back(0);
                    for (int i = 0; i < 6; ++i) out.push_back(static_cast<char>(0x88 + 0x11 * i));
                }
                uint32_t c0 = Rgb565(p[2], p[1], p[0]) | 0x8000, c1 = Rgb565(p[2] / 4, p[1] / 4, p[0] / 4);
                if (format == 13 && (bx + by) % 2 == 1) std::swap(c0, c1);  // three colours and transparency
                Append16(out, c0);
                Append16(out, c1);
                for (int row = 0; row < 4; ++row) out.push_back(static_cast<char>(0xE4 >> (row % 2 * 2)));
            }
        }
        return out;
    }
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t p[4];
            PatternPixel(x, y, p);
            if (format == 12)
                out.append(reinterpret_cast<const char*>(p), 4);
            else if (format == 3)
                out.append(reinterpret_cast<const char*>(p), 3);
            else  // 0 and 23 store R, G, B, A
                out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]),
                        static_cast<char>(p[3])};
        }
    }
    return out;
}

}  // namespace

void PatternPixel(uint32_t x, uint32_t y, uint8_t bgra[4]) {
    bgra[0] = static_cast<uint8_t>(x * 7 + y * 3);
    bgra[1] = static_cast<uint8_t>(y * 9);
    bgra[2] = static_cast<uint8_t>(255 - x * 5);
    bgra[3] = static_cast<uint8_t>(128 + (x ^ y) * 4);
}

bool BuildTexturePair(uint32_t format, uint32_t width, uint32_t height, uint32_t mips, std::string& tth,
                      std::string& ttz) {
    const uint32_t thumbnail = 128;  // a 16 x 16 DXT1 picture, as the game's
    const uint32_t dataBase = 64 + thumbnail;
    std::string body;
    for (uint32_t m = mips; m-- > 0;) {
        uint32_t w = width >> m ? width >> m : 1, h = height >> m ? height >> m : 1;
        body += Level(format, w, h);
    }
    std::vector<uint8_t> packed(compressBound(body.size()));
    uLongf packedSize = packed.size();
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(body.data()), body.size(), -1) != Z_OK)
        return false;
    ttz.assign(reinterpret_cast<const char*>(packed.data()), packedSize);

    tth = std::string("TTH\0", 4);
    Append16(tth, 1);
    tth.push_back(static_cast<char>(mips));
    tth.push_back(3);
    AppendLE32(tth, dataBase);
    for (uint32_t i = 0; i < mips; ++i) {
        AppendLE32(tth, 16);
        AppendLE32(tth, 0);
    }
    AppendLE32(tth, dataBase + static_cast<uint32_t>(body.size()));
    AppendLE32(tth, static_cast<uint32_t>(packedSize));
    tth += std::string("VTF\0", 4);
    AppendLE32(tth, 7);
    AppendLE32(tth, 1);
    AppendLE32(tth, 64);
    Append16(tth, width);
    Append16(tth, height);
    AppendLE32(tth, 0x2000);
    Append16(tth, 1);  // frames
    Append16(tth, 0);
    AppendLE32(tth, 0);
    for (int i = 0; i < 3; ++i) AppendLE32(tth, 0x3E800000);
    AppendLE32(tth, 0);
    AppendLE32(tth, 0x3F800000);
    AppendLE32(tth, format);
    tth.push_back(static_cast<char>(mips));
    AppendLE32(tth, 13);
    tth.push_back(16);
    tth.push_back(16);
    tth.push_back(1);
    tth.append(thumbnail, '\0');
    return true;
}

std::string BuildBmp(uint32_t width, uint32_t height, uint32_t bits, bool topDown) {
    uint32_t rowBytes = (width * (bits / 8) + 3) & ~3u;
    uint32_t paletteBytes = bits == 8 ? 16 * 4 : 0;
    uint32_t offset = 14 + 40 + paletteBytes;
    std::string out = "BM";
    AppendLE32(out, offset + rowBytes * height);
    AppendLE32(out, 0);
    AppendLE32(out, offset);
    AppendLE32(out, 40);
    AppendLE32(out, width);
    AppendLE32(out, topDown ? static_cast<uint32_t>(-static_cast<int32_t>(height)) : height);
    Append16(out, 1);
    Append16(out, bits);
    AppendLE32(out, 0);
    AppendLE32(out, rowBytes * height);
    AppendLE32(out, 2835);
    AppendLE32(out, 2835);
    AppendLE32(out, bits == 8 ? 16 : 0);
    AppendLE32(out, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) out += {char(i * 16), char(255 - i * 16), char(i * 8), char(255)};
    for (uint32_t r = 0; r < height; ++r) {
        uint32_t y = topDown ? r : height - 1 - r;
        std::string row;
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t p[4];
            PatternPixel(x, y, p);
            if (bits == 8)
                row.push_back(static_cast<char>((x + y) % 16));
            else
                row.append(reinterpret_cast<const char*>(p), 3);
        }
        row.resize(rowBytes, '\0');
        out += row;
    }
    return out;
}

std::string BuildTga(uint32_t width, uint32_t height, uint32_t bits) {
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = static_cast<char>(width & 0xFF);
    out[13] = static_cast<char>(width >> 8);
    out[14] = static_cast<char>(height & 0xFF);
    out[15] = static_cast<char>(height >> 8);
    out[16] = static_cast<char>(bits);
    out[17] = bits == 32 ? 8 : 0;
    for (uint32_t r = 0; r < height; ++r) {
        uint32_t y = height - 1 - r;
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t p[4];
            PatternPixel(x, y, p);
            out.append(reinterpret_cast<const char*>(p), bits / 8);
        }
    }
    return out;
}
