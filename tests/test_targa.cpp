// Targa reading: every image type, depth, origin and packet layout, what a
// refused file says, and the files GIMP, ImageMagick and netpbm write read
// as those programs read them.
#include "texture/ImageFiles.h"
#include "IndependentReaders.h"
#include "TestUtil.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string Le16(uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF)}; }
std::string Px(uint32_t bgra, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(bgra >> (8 * i) & 0xFF);
    return s;
}

// The 18-byte header; map: (first entry, length, entry bits).
std::string Header(int type, int w, int h, int depth, int descriptor, int mapFirst = 0, int mapLength = 0,
                   int mapBits = 0, const std::string& id = std::string()) {
    std::string f{char(id.size()), char(mapLength > 0 ? 1 : 0), char(type)};
    f += Le16(mapFirst) + Le16(mapLength) + char(mapBits) + Le16(0) + Le16(0) + Le16(w) + Le16(h);
    return f + char(depth) + char(descriptor) + id;
}

// Pixel bytes in the file order a descriptor states: rows top or bottom
// first, columns left or right first. px gives the bytes of picture pixel
// (x, y), y = 0 the top row.
std::string InFileOrder(int w, int h, int descriptor, const std::function<std::string(int, int)>& px) {
    std::string s;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            s += px(descriptor & 0x10 ? w - 1 - c : c, descriptor & 0x20 ? r : h - 1 - r);
    return s;
}

// B | G << 8 | R << 16 | A << 24 of a 3 x 2 picture, each channel its own
// function of x and y, so that a flip, a mirror or a swap shows; no alpha 0.
uint32_t P(int x, int y) {
    return uint32_t(0x10 * x + y + 1) | uint32_t(0x40 + 3 * x + y) << 8 | uint32_t(0x90 + 5 * y + x) << 16 |
           uint32_t(7 * x + 5 * y + 1) << 24;
}
uint32_t Opaque(uint32_t bgra) { return bgra | 0xFF000000u; }
uint32_t Grey(uint32_t g, uint32_t a = 255) { return g | g << 8 | g << 16 | a << 24; }

uint32_t Get32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace

TEST(TargaRead, EveryTypeDepthAndOriginGivesThePicture) {
    using Want = std::function<uint32_t(int, int)>;
    struct Case { const char* name; std::string file; Want want; };
    auto colour = [](int desc, int bytes) {
        return Header(2, 3, 2, bytes * 8, desc) + InFileOrder(3, 2, desc, [=](int x, int y) { return Px(P(x, y), bytes); });
    };
    // Map entries from first entry 2: index 2 + i is entry i; index 9 is outside.
    std::string map24 = Px(0x112233, 3) + Px(0x445566, 3) + Px(0x778899, 3);
    uint32_t entry[3] = {0xFF112233u, 0xFF445566u, 0xFF778899u};
    auto index = [](int x, int y) { return x == 2 && y == 0 ? 9 : 2 + (x + y) % 3; };
    auto mapped = [&](int x, int y) { int i = index(x, y); return i == 9 ? 0u : entry[i - 2]; };
    // 16-bit pixels: 0bARRRRRGGGGGBBBBB with 5-bit values 0, 3, 28 and 31,
    // which widen to 0, 25, 230 and 255 (the nearest 8-bit values).
    auto sixteen = [](int x, int y) {
        return uint32_t(x == 0 ? 31 : x == 1 ? 3 : 28) | (y == 0 ? 31u << 10 : 28u << 5) | (x == 1 ? 0x8000u : 0);
    };
    auto sixteenFile = [&](int depth, int desc) {
        return Header(2, 3, 2, depth, desc) + InFileOrder(3, 2, desc, [&](int x, int y) { return Le16(sixteen(x, y)); });
    };
    auto widen = [](int x, int y, bool alpha) {
        uint32_t b = x == 0 ? 255 : x == 1 ? 25 : 230;
        return b | (y == 0 ? 0xFF0000u : 230u << 8) | (alpha && x != 1 ? 0u : 0xFF000000u);
    };
    // Run-length: a run of 4 (crossing from the bottom row into the top row),
    // then 2 literal pixels.
    std::string rle = std::string{char(0x83)} + Px(0x0A0B0C, 3) + char(0x01) + Px(0x010203, 3) + Px(0x040506, 3);
    auto rleWant = [](int x, int y) { return y == 1 || x == 0 ? 0xFF0A0B0Cu : x == 1 ? 0xFF010203u : 0xFF040506u; };
    const Case cases[] = {
        {"24 bits, bottom row first", colour(0, 3), [](int x, int y) { return Opaque(P(x, y)); }},
        {"32 bits, top row first", colour(0x28, 4), P},
        {"32 bits, top row first, right to left", colour(0x38, 4), P},
        {"32 bits, bottom row first, right to left", colour(0x18, 4), P},
        {"16 bits with an alpha bit: a clear top bit is transparent", sixteenFile(16, 1),
         [&](int x, int y) { return widen(x, y, true); }},
        {"16 bits without alpha bits: the top bit is padding", sixteenFile(16, 0),
         [&](int x, int y) { return widen(x, y, false); }},
        {"15 bits", sixteenFile(15, 0), [&](int x, int y) { return widen(x, y, false); }},
        {"grey, 8 bits", Header(3, 3, 2, 8, 0x20) + InFileOrder(3, 2, 0x20, [](int x, int y) { return Px(40 * x + y, 1); }),
         [](int x, int y) { return Grey(40 * x + y); }},
        {"grey and alpha, 16 bits",
         Header(3, 3, 2, 16, 8) + InFileOrder(3, 2, 8, [](int x, int y) { return Px(40 * x + y, 1) + Px(9 * x + y, 1); }),
         [](int x, int y) { return Grey(40 * x + y, 9 * x + y); }},
        {"mapped: 8-bit indices from entry 2 of 24-bit entries; an index outside gives 0",
         Header(1, 3, 2, 8, 0, 2, 3, 24) + map24 + InFileOrder(3, 2, 0, [&](int x, int y) { return Px(index(x, y), 1); }),
         mapped},
        {"mapped: 16-bit indices, run-length",
         Header(9, 3, 2, 16, 0, 2, 3, 24) + map24 + char(0x85) + Le16(3), [&](int, int) { return entry[1]; }},
        {"mapped: 16-bit entries with an alpha bit",
         Header(1, 3, 2, 8, 1, 0, 2, 16) + Le16(0x7C00) + Le16(0x801F) + InFileOrder(3, 2, 1, [](int x, int) { return Px(x % 2, 1); }),
         [](int x, int) { return x % 2 ? 0xFF0000FFu : 0x00FF0000u; }},
        {"run-length true colour: packets cross rows", Header(10, 3, 2, 24, 0) + rle, rleWant},
        {"run-length: a last packet that overshoots is cut", Header(10, 3, 2, 24, 0) + char(0xFF) + Px(0x0A0B0C, 3),
         [](int, int) { return 0xFF0A0B0Cu; }},
        {"run-length grey and alpha", Header(11, 3, 2, 16, 0x28) + char(0x82) + "\x10\x20" + char(0x82) + "\x30\x40",
         [](int, int y) { return y == 0 ? Grey(0x10, 0x20) : Grey(0x30, 0x40); }},
        {"32 bits stating no alpha bits, every alpha 0: opaque",
         Header(2, 3, 2, 32, 0) + InFileOrder(3, 2, 0, [](int x, int y) { return Px(P(x, y) & 0xFFFFFF, 4); }),
         [](int x, int y) { return Opaque(P(x, y)); }},
        {"32 bits stating no alpha bits, some alpha set: kept", colour(0, 4), P},
        {"an ID field and an unused colour map are skipped",
         Header(2, 3, 2, 24, 0, 0, 2, 15, "id!") + "mmmm" + InFileOrder(3, 2, 0, [](int x, int y) { return Px(P(x, y), 3); }),
         [](int x, int y) { return Opaque(P(x, y)); }},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool fileForm : {false, true}) {
            Image32 img = EmptyImage();
            Reason why = Reason::NotFound;
            std::string path = dir / "t.tga";
            if (fileForm) {
                ASSERT_TRUE(WriteWholeFile(path, c.file + "trailing bytes"));
            }
            ASSERT_TRUE(fileForm ? ReadTgaFile(img, path.c_str(), &why) : ReadTgaBytes(img, Bytes(c.file), c.file.size(), &why));
            EXPECT_EQ(why, Reason::None);
            ASSERT_EQ(img.width, 3u);
            ASSERT_EQ(img.height, 2u);
            for (uint32_t y = 0; y < img.height; ++y)
                for (uint32_t x = 0; x < img.width; ++x)
                    EXPECT_EQ(Get32(img.Pixel(x, y)), c.want(int(x), int(y))) << x << "," << y << (fileForm ? " file" : "");
            img.Release();
        }
    }
}

TEST(TargaRead, RefusesWithTheReasonAndLeavesTheRecordAlone) {
    const std::string plain = Header(2, 2, 2, 24, 0) + std::string(12, 'p');
    const std::string rle = Header(10, 2, 2, 32, 8) + char(0x81) + "abcd" + char(0x01) + "efghijkl";
    auto with = [](std::string s, size_t at, char v) { s[at] = v; return s; };
    struct Case { const char* why; std::string file; Reason reason; };
    std::vector<Case> cases = {
        {"no image data (type 0)", with(plain, 2, 0), Reason::TargaKindUnsupported},
        {"Huffman-coded (type 32)", with(plain, 2, 32), Reason::TargaKindUnsupported},
        {"interleaved rows", with(plain, 17, char(0x40)), Reason::TargaKindUnsupported},
        {"grey of 24 bits", with(plain, 2, 3), Reason::TargaDepthUnsupported},
        {"true colour of 8 bits", with(plain, 16, 8), Reason::TargaDepthUnsupported},
        {"mapped without a map", Header(1, 1, 1, 8, 0) + "x", Reason::TargaColourMapBad},
        {"mapped with 8-bit entries", Header(1, 1, 1, 8, 0, 0, 1, 8) + "mx", Reason::TargaColourMapBad},
        {"zero width", with(plain, 12, 0), Reason::PictureNoPixels},
        {"65535 x 65535 in a small file", Header(2, 65535, 65535, 24, 0), Reason::PictureTooLarge},
        {"a colour map past the end", Header(1, 1, 1, 8, 0, 0, 300, 24) + "x", Reason::PictureCutShort},
        {"nothing", std::string(), Reason::TargaTooShort},
    };
    for (const std::string& whole : {plain, rle, Header(1, 2, 1, 8, 0, 0, 2, 16) + "mmmm" + std::string("\0\1", 2)}) {
        for (size_t n = 1; n < whole.size(); ++n)
            cases.push_back({"cut short", whole.substr(0, n), n < 18 ? Reason::TargaTooShort : Reason::PictureCutShort});
        Image32 img = EmptyImage();
        EXPECT_TRUE(ReadTgaBytes(img, Bytes(whole), whole.size())) << "whole";
        img.Release();
    }
    for (const Case& c : cases) {
        Image32 img = EmptyImage();
        img.width = 77;
        Reason why = Reason::None;
        EXPECT_FALSE(ReadTgaBytes(img, Bytes(c.file), c.file.size(), &why)) << c.why << ", " << c.file.size() << " bytes";
        EXPECT_EQ(why, c.reason) << c.why << ", " << c.file.size() << " bytes";
        EXPECT_EQ(img.width, 77u) << c.why;
        EXPECT_EQ(img.pixels, nullptr) << c.why;
    }
    TempDir dir;
    Image32 none = EmptyImage();
    Reason why = Reason::None;
    EXPECT_FALSE(ReadTgaFile(none, (dir / "missing.tga").c_str(), &why));
    EXPECT_EQ(why, Reason::NotFound);
}

#ifndef _WIN32
namespace {

using namespace independent;

// Which programs read a file as the format means it, so that ours must read
// it alike. ImageMagick ignores the alpha of 16-bit colour-map entries,
// misreads grey-and-alpha and 16-bit indices, and gives stray alpha bytes for
// pictures without alpha; netpbm ignores right-to-left and 16-bit alpha and
// misreads grey-and-alpha; GIMP reads no 16-bit indices and drops the colour
// of transparent pixels. 5-bit channels: netpbm widens them to the nearest
// 8-bit value, as we do; ImageMagick rounds down and GIMP repeats the high
// bits, so theirs may be one step off.
enum Readers : unsigned {
    kMagickColour = 1,
    kMagickAlpha = 2,
    kNetpbmColour = 4,
    kNetpbmAlpha = 8,
    kGimp = 16,
    kFiveBit = 32,
};
const unsigned kMagick = kMagickColour | kMagickAlpha;

struct Written {
    std::string name;
    unsigned readers;
};

// GIMP's reading of a file, kept by the GIMP run as NAME.png.
bool GimpBgra(const TempDir& dir, const std::string& path, std::string& bgra) {
    return NetpbmBgra(dir, "pngtopam -alphapam " + Q(path + ".png"), bgra);
}

void ExpectReadAlike(const TempDir& dir, const std::string& path, unsigned readers) {
    SCOPED_TRACE(path);
    Image32 ours = EmptyImage();
    Reason why = Reason::None;
    ASSERT_TRUE(ReadTgaFile(ours, path.c_str(), &why)) << ReasonWords(why);
    size_t n = size_t(ours.width) * ours.height * 4;
    auto compare = [&](const char* who, const std::string& theirs, bool colour, bool alpha, bool onlyVisible) {
        ASSERT_EQ(theirs.size(), n) << who;
        int slack = (readers & kFiveBit) && std::strcmp(who, "netpbm") != 0 ? 1 : 0;
        for (size_t i = 0; i < n; ++i) {
            bool isAlpha = i % 4 == 3;
            if ((isAlpha && !alpha) || (!isAlpha && !colour) || (onlyVisible && theirs[i | 3] == 0 && !isAlpha)) continue;
            ASSERT_LE(std::abs(ours.pixels[i] - int(uint8_t(theirs[i]))), isAlpha ? 0 : slack)
                << who << ": byte " << i << " of " << n << ", ours " << int(ours.pixels[i]);
        }
    };
    std::string theirs;
    if (readers & kMagick) {
        ASSERT_TRUE(ImageMagickBgra(dir, path, theirs));
        compare("ImageMagick", theirs, readers & kMagickColour, readers & kMagickAlpha, false);
    }
    if (readers & (kNetpbmColour | kNetpbmAlpha)) {
        std::string alpha = dir / "alpha.pgm", colour = dir / "colour.ppm";
        ASSERT_TRUE(independent::Run("tgatoppm -alphaout=" + Q(alpha) + " " + Q(path) + " > " + Q(colour)));
        ASSERT_TRUE(NetpbmBgra(dir, "pamstack -tupletype=RGB_ALPHA " + Q(colour) + " " + Q(alpha), theirs));
        compare("netpbm", theirs, readers & kNetpbmColour, readers & kNetpbmAlpha, false);
    }
    if (readers & kGimp) {
        ASSERT_TRUE(GimpBgra(dir, path, theirs));
        compare("GIMP", theirs, true, true, true);
    }
    ours.Release();
}

// Script-Fu: every kind of picture GIMP saves (RGBA, RGB, grey, grey and
// alpha, indexed), plain and run-length, from src; then every file of
// `reads` loaded and kept as FILE.png.
std::string GimpScript(const std::string& src, const std::string& out, const std::vector<std::string>& reads) {
    std::string list;
    for (const std::string& r : reads) list += " \"" + r + "\"";
    return "(let* ((rgba (car (gimp-file-load RUN-NONINTERACTIVE \"" + src + "\" \"" + src + "\")))"
           "       (rgb (car (gimp-image-duplicate rgba))) (grey (car (gimp-image-duplicate rgba)))"
           "       (greya (car (gimp-image-duplicate rgba))) (indexed (car (gimp-image-duplicate rgba))))"
           "  (gimp-image-flatten rgb) (gimp-image-convert-grayscale greya)"
           "  (gimp-image-flatten grey) (gimp-image-convert-grayscale grey) (gimp-image-flatten indexed)"
           "  (gimp-image-convert-indexed indexed CONVERT-DITHER-NONE CONVERT-PALETTE-GENERATE 255 FALSE FALSE \"\")"
           "  (for-each (lambda (rle) (for-each (lambda (pair)"
           "      (let ((name (string-append \"" + out + "/gimp-\" (car pair) (if (= rle 1) \"-rle\" \"\") \".tga\")))"
           "        (file-tga-save RUN-NONINTERACTIVE (cadr pair) (car (gimp-image-get-active-drawable (cadr pair)))"
           "                       name name rle 1)))"
           "    (list (list \"rgba\" rgba) (list \"rgb\" rgb) (list \"grey\" grey) (list \"greya\" greya)"
           "          (list \"indexed\" indexed)))) (list 0 1))"
           "  (for-each (lambda (f) (let* ((img (car (gimp-file-load RUN-NONINTERACTIVE f f)))"
           "                              (png (string-append f \".png\")))"
           "      (file-png-save-defaults RUN-NONINTERACTIVE img (car (gimp-image-get-active-drawable img)) png png)))"
           "    (list" + list + ")))";
}

}  // namespace

TEST(TargaIndependentReaders, WhatGimpImageMagickAndNetpbmWriteReadsAsTheyReadIt) {
    TempDir dir;
    std::string src = dir / "src.png";
    ASSERT_TRUE(Convert("-seed 7 -size 13x9 plasma:fractal -alpha set -channel A -fx '(i+j)/20' +channel -depth 8 PNG32:" + Q(src)));
    std::vector<Written> files;
    auto im = [&](const std::string& name, const std::string& options, unsigned readers) {
        ASSERT_TRUE(Convert(Q(src) + " " + options + " " + Q(dir / name)));
        files.push_back({name, readers});
    };
    // Four channels: ImageMagick and netpbm read them all; three or fewer:
    // netpbm's alpha is no yardstick. 5-bit channels: ImageMagick rounds them
    // down, netpbm to the nearest, as we do.
    const unsigned rgba = kMagick | kNetpbmColour | kNetpbmAlpha, rgb = kMagickColour | kNetpbmColour;
    im("im-rgba-rle.tga", "-compress RLE", rgba);
    im("im-rgba.tga", "-compress None", rgba);
    im("im-rgb-rle.tga", "-alpha off -compress RLE", rgb);
    im("im-grey-rle.tga", "-colorspace Gray -alpha off -compress RLE", rgb);
    im("im-indexed-rle.tga", "-alpha off -type Palette -compress RLE", rgb);
    im("im-top-left-rle.tga", "-orient TopLeft -compress RLE", rgba);
    im("im-top-right.tga", "-orient TopRight -compress None", kMagick | kGimp);
    im("im-bottom-right-rle.tga", "-orient BottomRight -compress RLE", kMagick | kGimp);
    im("im-16.tga", "-alpha off -depth 5", rgb | kFiveBit);
    auto netpbm = [&](const std::string& name, const std::string& options) {
        ASSERT_TRUE(independent::Run("pngtopam " + Q(src) + " | ppmtotga " + options + " > " + Q(dir / name)));
        files.push_back({name, options.find("16") == std::string::npos ? rgb : rgb | kFiveBit});
    };
    netpbm("netpbm-indexed-rle.tga", "-cmap");
    netpbm("netpbm-indexed-16bit-map.tga", "-cmap16 -norle");
    netpbm("netpbm-grey.tga", "-mono -norle");
    netpbm("netpbm-rgb-rle.tga", "-rgb");
    // What none of them writes: 16 bits with an alpha bit, 16-bit indices
    // into 32-bit entries, 16-bit entries with an alpha bit.
    std::string sixteen = Header(2, 4, 3, 16, 1), index16 = Header(1, 4, 3, 16, 0, 0, 3, 32), entries16 = Header(1, 4, 3, 8, 1, 0, 3, 16);
    for (int i = 0; i < 12; ++i) sixteen += Le16(i * 0x1D4B + 0x3000 * (i & 1));
    index16 += Px(0x80102030u, 4) + Px(0xFF405060u, 4) + Px(0x00708090u, 4);
    entries16 += Le16(0x7C00) + Le16(0x83E0) + Le16(0x001F);
    for (int i = 0; i < 12; ++i) index16 += Le16(i % 3), entries16 += char(i % 3);
    for (auto& [name, bytes, readers] : {std::make_tuple("ours-16-alpha.tga", sixteen, unsigned(kMagick | kNetpbmColour | kGimp | kFiveBit)),
                                         std::make_tuple("ours-16-index.tga", index16, unsigned(kNetpbmColour | kNetpbmAlpha)),
                                         std::make_tuple("ours-16-entries.tga", entries16, unsigned(kGimp | kFiveBit))}) {
        ASSERT_TRUE(WriteWholeFile(dir / name, bytes));
        files.push_back({name, readers});
    }

    std::vector<std::string> gimpReads;
    for (const Written& w : files)
        if (w.readers & kGimp) gimpReads.push_back(dir / w.name);
    for (const char* kind : {"greya", "greya-rle"}) gimpReads.push_back(dir / ("gimp-" + std::string(kind) + ".tga"));
    ASSERT_TRUE(Gimp(GimpScript(src, dir.path, gimpReads))) << "GIMP wrote or read nothing";
    for (const char* kind : {"rgba", "rgb", "grey", "indexed"})
        for (const char* rle : {"", "-rle"})
            files.push_back({"gimp-" + std::string(kind) + rle + ".tga", kind[3] == 'a' ? rgba : rgb});
    for (const char* rle : {"", "-rle"}) files.push_back({"gimp-greya" + std::string(rle) + ".tga", kGimp});

    for (const Written& w : files) ExpectReadAlike(dir, dir / w.name, w.readers);
    EXPECT_EQ(files.size(), 26u);
    // The game's own run-length Targa.
    std::string real = RealData() + "/bloodlines/particles/animalismhalow.tga";
    if (std::filesystem::exists(real)) ExpectReadAlike(dir, real, rgba);
}
#endif
