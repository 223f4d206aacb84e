#include "texture/Image32.h"
#include "texture/ImageFiles.h"
#include "TestUtil.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

void PutU16(std::string& s, size_t at, uint32_t v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char((v >> 8) & 0xFF);
}
void PutU32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}
uint32_t GetU32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(s[at + i]);
    return v;
}

// A pattern where every channel of every pixel depends on x and y in a
// different way, so a skew, a flip or a swapped channel changes the picture.
struct Bgra {
    uint8_t b, g, r, a;
};
Bgra Pattern(uint32_t x, uint32_t y) {
    return {uint8_t(x * 37 + y * 11 + 1), uint8_t(x * 5 + y * 71 + 3), uint8_t((x ^ y) * 29 + 7),
            uint8_t(x * 13 + y * 53 + 9)};
}
// 8-bit pictures: an index per pixel and a palette whose fourth bytes differ.
uint8_t IndexAt(uint32_t x, uint32_t y, uint32_t entries) { return uint8_t((x * 7 + y * 3) % entries); }
Bgra PaletteEntry(uint32_t i) { return {uint8_t(i * 3), uint8_t(i * 5 + 1), uint8_t(255 - i), uint8_t(i * 9 + 2)}; }

struct BmpSpec {
    int32_t width;
    int32_t height;  // negative: top row first
    uint16_t bits;
    uint32_t colorsUsed = 0;
    uint32_t infoSize = 40;
    uint32_t gap = 0;         // junk bytes between palette and pixels, announced by the offset
    bool zeroOffset = false;  // leave the file header's pixel offset 0
    bool padLastRow = true;
};

uint32_t Rows(const BmpSpec& s) { return uint32_t(s.height < 0 ? -s.height : s.height); }
uint32_t Entries(const BmpSpec& s) { return s.bits != 8 ? 0 : s.colorsUsed == 0 ? 256 : s.colorsUsed; }

Bgra ExpectedBmpPixel(const BmpSpec& s, uint32_t x, uint32_t y) {
    if (s.bits == 8) return PaletteEntry(IndexAt(x, y, Entries(s)));
    Bgra p = Pattern(x, y);
    p.a = 255;
    return p;
}

std::string MakeBmp(const BmpSpec& s) {
    uint32_t w = uint32_t(s.width), h = Rows(s), entries = Entries(s);
    std::string f(14 + s.infoSize, '\0');
    f[0] = 'B';
    f[1] = 'M';
    uint32_t pixelsAt = 14 + s.infoSize + entries * 4 + s.gap;
    PutU32(f, 10, s.zeroOffset ? 0 : pixelsAt);
    PutU32(f, 14, s.infoSize);
    PutU32(f, 18, uint32_t(s.width));
    PutU32(f, 22, uint32_t(s.height));
    PutU16(f, 26, 1);
    PutU16(f, 28, s.bits);
    PutU32(f, 46, s.colorsUsed);
    for (uint32_t i = 0; i < entries; ++i) {
        Bgra e = PaletteEntry(i);
        f += {char(e.b), char(e.g), char(e.r), char(e.a)};
    }
    f += std::string(s.gap, '\x5A');
    uint32_t rowData = w * (s.bits / 8), rowBytes = (rowData + 3) & ~3u;
    for (uint32_t r = 0; r < h; ++r) {
        uint32_t y = s.height > 0 ? h - 1 - r : r;
        std::string row(rowBytes, '\x77');  // padding that is not zero shows up if read
        for (uint32_t x = 0; x < w; ++x) {
            if (s.bits == 8) {
                row[x] = char(IndexAt(x, y, entries));
            } else {
                Bgra p = Pattern(x, y);
                row[3 * x] = char(p.b);
                row[3 * x + 1] = char(p.g);
                row[3 * x + 2] = char(p.r);
            }
        }
        if (r == h - 1 && !s.padLastRow) row.resize(rowData);
        f += row;
    }
    PutU32(f, 2, uint32_t(f.size()));
    return f;
}

struct TgaSpec {
    uint16_t width;
    uint16_t height;
    uint8_t depth;
    uint8_t type = 2;
    uint8_t idLength = 0;
    uint8_t mapType = 0;
    uint16_t mapLength = 0;
    uint8_t mapBits = 0;
    uint8_t descriptor = 0;
};

Bgra ExpectedTgaPixel(const TgaSpec& s, uint32_t x, uint32_t y) {
    Bgra p = Pattern(x, y);
    if (s.depth == 24) p.a = 255;
    return p;
}

// Always bottom row first, as every Targa the program meets is.
std::string MakeTga(const TgaSpec& s) {
    std::string f(18, '\0');
    f[0] = char(s.idLength);
    f[1] = char(s.mapType);
    f[2] = char(s.type);
    PutU16(f, 5, s.mapLength);
    f[7] = char(s.mapBits);
    PutU16(f, 12, s.width);
    PutU16(f, 14, s.height);
    f[16] = char(s.depth);
    f[17] = char(s.descriptor);
    f += std::string(s.idLength, 'I');
    f += std::string(size_t(s.mapLength) * ((s.mapBits + 7) / 8), 'M');
    for (uint32_t r = 0; r < s.height; ++r) {
        uint32_t y = s.height - 1 - r;
        for (uint32_t x = 0; x < s.width; ++x) {
            Bgra p = Pattern(x, y);
            f += {char(p.b), char(p.g), char(p.r)};
            if (s.depth == 32) f += char(p.a);
        }
    }
    return f;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A record with recognisable values, to show that a failed read left it alone.
Image32 Sentinel() {
    Image32 img = EmptyImage();
    img.width = 77;
    img.height = 55;
    img.bounds.right = 76;
    img.header.size = 1234;
    return img;
}
bool SameRecord(const Image32& a, const Image32& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <typename Expected>
void ExpectPixels(const Image32& img, uint32_t w, uint32_t h, Expected expected) {
    ASSERT_NE(img.pixels, nullptr);
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            Bgra e = expected(x, y);
            const uint8_t* p = img.Pixel(x, y);
            ASSERT_TRUE(p[0] == e.b && p[1] == e.g && p[2] == e.r && p[3] == e.a)
                << "pixel " << x << "," << y << " is " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]) << " "
                << int(p[3]) << ", expected " << int(e.b) << " " << int(e.g) << " " << int(e.r) << " " << int(e.a);
        }
}

enum Format { kBmp, kTga };

bool ReadBytes(Format fmt, Image32& img, const std::string& s) {
    return fmt == kBmp ? ReadBmpBytes(img, Bytes(s), s.size()) : ReadTgaBytes(img, Bytes(s), s.size());
}

// The file forms, on a file holding `before` junk bytes ahead of the picture.
bool ReadFile(Format fmt, Image32& img, const TempDir& dir, const std::string& s, size_t before = 0) {
    std::string path = dir / "picture.bin";
    EXPECT_TRUE(WriteWholeFile(path, std::string(before, 'J') + s));
    FileHandle f;
    if (!f.Open(path.c_str())) return false;
    EXPECT_TRUE(f.SeekTo(int32_t(before)));
    return fmt == kBmp ? ReadBmp(img, f) : ReadTga(img, f);
}

Image32 PatternImage(uint32_t w, uint32_t h) {
    Image32 img = EmptyImage();
    EXPECT_TRUE(img.Create(w, h));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            Bgra p = Pattern(x, y);
            std::memcpy(img.Pixel(x, y), &p, 4);
        }
    return img;
}

}  // namespace

// --- Image32 -------------------------------------------------------------

TEST(Image32Create, HeaderStatesTheStrideAndBoundsAreInclusive) {
    Image32 img = EmptyImage();
    ASSERT_TRUE(img.Create(5, 2));
    EXPECT_EQ(img.header.size, 40u);
    EXPECT_EQ(img.header.width, 8);
    EXPECT_EQ(img.header.height, -2);
    EXPECT_EQ(img.header.planes, 1);
    EXPECT_EQ(img.header.bitCount, 32);
    EXPECT_EQ(img.header.compression, 0u);
    EXPECT_EQ(img.header.sizeImage, 64u);
    EXPECT_EQ(img.width, 5u);
    EXPECT_EQ(img.height, 2u);
    EXPECT_EQ(img.bounds.left, 0u);
    EXPECT_EQ(img.bounds.top, 0u);
    EXPECT_EQ(img.bounds.right, 4u);
    EXPECT_EQ(img.bounds.bottom, 1u);
    for (uint32_t i = 0; i < 64; ++i) ASSERT_EQ(img.pixels[i], 0) << "byte " << i << " of the stride room";
    img.Release();
}

TEST(Image32Create, RefusesSizesItCannotHoldOrDescribe) {
    struct {
        uint32_t w, h;
        const char* why;
    } cases[] = {
        {0, 5, "zero width"},
        {5, 0, "zero height"},
        {16385, 16384, "one row beyond the pixel limit"},
        {65536, 65536, "2^32 pixels: wraps to 0 in 32-bit arithmetic"},
        {0xFFFFFFFF, 1, "width + 3 wraps in 32 bits"},
        {1, uint32_t(kMaxImagePixels), "within the pixel limit, but stride*height*4 needs 33 bits"},
    };
    for (const auto& c : cases) {
        Image32 img = Sentinel();
        EXPECT_FALSE(img.Create(c.w, c.h)) << c.why;
        EXPECT_TRUE(SameRecord(img, EmptyImage())) << c.why << ": a refused Create leaves the record empty";
    }
}

TEST(Image32Release, ReleaseZeroesAndReleasePixelsKeepsTheFields) {
    Image32 img = EmptyImage();
    ASSERT_TRUE(img.Create(3, 3));
    img.ReleasePixels();
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(img.width, 3u);
    EXPECT_EQ(img.header.sizeImage, 48u);

    ASSERT_TRUE(img.Create(2, 2));
    img.Release();
    EXPECT_TRUE(SameRecord(img, EmptyImage()));

    Image32 never = Sentinel();
    never.Release();
    EXPECT_TRUE(SameRecord(never, Sentinel())) << "Release without pixels leaves the record as it was";
}

// --- BMP reading -----------------------------------------------------------

TEST(BmpRead, LayoutsDecodeToTheSamePicture) {
    struct {
        const char* name;
        BmpSpec spec;
    } cases[] = {
        {"24-bit width 3: three padding bytes a row, no skew", {3, 2, 24}},
        {"24-bit width 4: rows without padding", {4, 3, 24}},
        {"24-bit negative height: top row first, not flipped", {5, -3, 24}},
        {"8-bit, 16 colours used: 64-byte palette, alpha from the fourth byte", {5, 4, 8, 16}},
        {"8-bit, colours used 0 means 256 entries", {6, 3, 8, 0}},
        {"8-bit negative height", {3, -4, 8, 200}},
        {"124-byte info header: palette after it", {5, 3, 8, 16, 124}},
        {"108-byte info header, 24-bit", {2, 2, 24, 0, 108}},
        {"offset past a gap after the palette is honoured", {4, 2, 8, 4, 40, 10}},
        {"offset past a gap after a 124-byte header", {3, 3, 24, 0, 124, 68}},
        {"offset 0 means directly after the palette", {4, 2, 8, 4, 40, 0, true}},
        {"last row without its padding", {3, 2, 24, 0, 40, 0, false, false}},
        {"one pixel", {1, 1, 8, 1}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = MakeBmp(c.spec);
        auto expected = [&](uint32_t x, uint32_t y) { return ExpectedBmpPixel(c.spec, x, y); };
        Image32 img = EmptyImage();
        ASSERT_TRUE(ReadBmpBytes(img, Bytes(file), file.size()));
        ExpectPixels(img, uint32_t(c.spec.width), Rows(c.spec), expected);
        img.Release();
        ASSERT_TRUE(ReadFile(kBmp, img, dir, file + "trailing", 7)) << "file form, picture in mid-file";
        ExpectPixels(img, uint32_t(c.spec.width), Rows(c.spec), expected);
        img.Release();
    }
}

TEST(BmpRead, IndexBeyondThePaletteGivesAZeroPixel) {
    BmpSpec spec{4, 1, 8, 2};
    std::string file = MakeBmp(spec);
    size_t pixelsAt = GetU32(file, 10);
    file[pixelsAt + 0] = 1;
    file[pixelsAt + 1] = 2;  // first index past the two entries: the pixel bytes follow
    file[pixelsAt + 2] = char(255);
    file[pixelsAt + 3] = 0;
    Image32 img = EmptyImage();
    ASSERT_TRUE(ReadBmpBytes(img, Bytes(file), file.size()));
    auto expected = [](uint32_t x, uint32_t) {
        return x == 0 ? PaletteEntry(1) : x == 3 ? PaletteEntry(0) : Bgra{0, 0, 0, 0};
    };
    ExpectPixels(img, 4, 1, expected);
    img.Release();
}

TEST(BmpRead, RefusesWhatItCannotReadAndLeavesTheImageAlone) {
    const BmpSpec base{3, 2, 8, 16};
    const std::string good = MakeBmp(base);
    struct {
        const char* why;
        std::function<void(std::string&)> damage;
    } cases[] = {
        {"no BM signature", [](std::string& f) { f[1] = 'A'; }},
        {"1 bit per pixel", [](std::string& f) { PutU16(f, 28, 1); }},
        {"4 bits per pixel", [](std::string& f) { PutU16(f, 28, 4); }},
        {"16 bits per pixel", [](std::string& f) { PutU16(f, 28, 16); }},
        {"32 bits per pixel", [](std::string& f) { PutU16(f, 28, 32); }},
        {"run-length compression", [](std::string& f) { PutU32(f, 30, 1); }},
        {"12-byte OS/2 info header", [](std::string& f) { PutU32(f, 14, 12); }},
        {"info header larger than the file", [](std::string& f) { PutU32(f, 14, 0xFFFFFF00u); }},
        {"zero width", [](std::string& f) { PutU32(f, 18, 0); }},
        {"negative width", [](std::string& f) { PutU32(f, 18, uint32_t(-3)); }},
        {"zero height", [](std::string& f) { PutU32(f, 22, 0); }},
        {"most negative height", [](std::string& f) { PutU32(f, 22, 0x80000000u); }},
        {"largest width", [](std::string& f) { PutU32(f, 18, 0x7FFFFFFFu); }},
        {"width beyond the data", [](std::string& f) { PutU32(f, 18, 9); }},
        {"height beyond the data", [](std::string& f) { PutU32(f, 22, 3); }},
        {"negative height beyond the data", [](std::string& f) { PutU32(f, 22, uint32_t(-3)); }},
        {"257 palette entries", [](std::string& f) { PutU32(f, 46, 257); }},
        {"palette count near 2^32", [](std::string& f) { PutU32(f, 46, 0xFFFFFFFFu); }},
        {"palette running into the end", [](std::string& f) { PutU32(f, 46, 255); }},
        {"pixel offset at the end of the file", [](std::string& f) { PutU32(f, 10, uint32_t(f.size())); }},
        {"pixel offset near 2^32", [](std::string& f) { PutU32(f, 10, 0xFFFFFFF0u); }},
    };
    TempDir dir;
    for (const auto& c : cases) {
        std::string file = good;
        c.damage(file);
        Image32 img = Sentinel();
        EXPECT_FALSE(ReadBytes(kBmp, img, file)) << c.why;
        EXPECT_FALSE(ReadFile(kBmp, img, dir, file)) << c.why << " (file form)";
        EXPECT_TRUE(SameRecord(img, Sentinel())) << c.why;
    }
    // Present in full, more entries than an 8-bit index can reach still
    // mark a damaged file, and must never spill past a 256-entry table.
    std::string many = MakeBmp({3, 2, 8, 300});
    Image32 img = Sentinel();
    EXPECT_FALSE(ReadBmpBytes(img, Bytes(many), many.size())) << "300 palette entries, all present";
    EXPECT_TRUE(SameRecord(img, Sentinel()));
}

// --- Targa reading ---------------------------------------------------------

TEST(TgaRead, LayoutsDecodeBottomRowFirst) {
    struct {
        const char* name;
        TgaSpec spec;
    } cases[] = {
        {"24-bit width 5: rows 5 pixels apart, alpha 255", {5, 3, 24}},
        {"32-bit keeps alpha", {4, 4, 32}},
        {"ID field is skipped", {3, 2, 32, 2, 9}},
        {"announced colour map with 24-bit entries is skipped", {3, 2, 24, 2, 0, 1, 3, 24}},
        {"announced colour map with 15-bit entries is skipped", {2, 3, 32, 2, 4, 1, 5, 15}},
        {"colour-map fields without map type 1 mean no map", {2, 2, 24, 2, 0, 0, 0, 0}},
        {"descriptor says top-left: still bottom-up, so upside down", {3, 3, 32, 2, 0, 0, 0, 0, 0x28}},
        {"one pixel", {1, 1, 24}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = MakeTga(c.spec);
        auto expected = [&](uint32_t x, uint32_t y) { return ExpectedTgaPixel(c.spec, x, y); };
        Image32 img = EmptyImage();
        ASSERT_TRUE(ReadTgaBytes(img, Bytes(file), file.size()));
        ExpectPixels(img, c.spec.width, c.spec.height, expected);
        img.Release();
        ASSERT_TRUE(ReadFile(kTga, img, dir, file + "TRUEVISION-XFILE.", 5)) << "file form, picture in mid-file";
        ExpectPixels(img, c.spec.width, c.spec.height, expected);
        img.Release();
    }
}

TEST(TgaRead, RefusesWhatItCannotDecodeInsteadOfReturningABlankPicture) {
    struct {
        const char* why;
        TgaSpec spec;
        std::function<void(std::string&)> damage;
    } cases[] = {
        {"type 0, no image data", {2, 2, 24, 0}, nullptr},
        {"type 1, colour-mapped", {2, 2, 24, 1}, nullptr},
        {"type 3, grey", {2, 2, 24, 3}, nullptr},
        {"type 10, run-length true-colour", {2, 2, 24, 10}, nullptr},
        {"16 bits per pixel", {2, 2, 24}, [](std::string& f) { f[16] = 16; }},
        {"8 bits per pixel", {2, 2, 24}, [](std::string& f) { f[16] = 8; }},
        {"zero width", {2, 2, 24}, [](std::string& f) { PutU16(f, 12, 0); }},
        {"zero height", {2, 2, 24}, [](std::string& f) { PutU16(f, 14, 0); }},
        {"65535 x 65535 in a tiny file", {2, 2, 32}, [](std::string& f) { PutU32(f, 12, 0xFFFFFFFFu); }},
        {"width beyond the data", {2, 2, 32}, [](std::string& f) { PutU16(f, 12, 3); }},
        {"ID field running past the end", {2, 2, 24}, [](std::string& f) { f[0] = char(255); }},
        {"colour map running past the end", {2, 2, 24}, [](std::string& f) { f[1] = 1; PutU16(f, 5, 9000); f[7] = 32; }},
    };
    TempDir dir;
    for (const auto& c : cases) {
        std::string file = MakeTga(c.spec);
        if (c.damage) c.damage(file);
        Image32 img = Sentinel();
        EXPECT_FALSE(ReadBytes(kTga, img, file)) << c.why;
        EXPECT_FALSE(ReadFile(kTga, img, dir, file)) << c.why << " (file form)";
        EXPECT_TRUE(SameRecord(img, Sentinel())) << c.why;
    }
}

TEST(TgaRead, ReadTgaFileOpensAndRefusesMissingFiles) {
    TempDir dir;
    Image32 img = EmptyImage();
    EXPECT_FALSE(ReadTgaFile(img, (dir / "missing.tga").c_str()));
    TgaSpec spec{3, 2, 32};
    dir.Write("Crate.tga", MakeTga(spec));
    ASSERT_TRUE(ReadTgaFile(img, (dir / "Crate.tga").c_str()));
    ExpectPixels(img, 3, 2, [&](uint32_t x, uint32_t y) { return ExpectedTgaPixel(spec, x, y); });
    img.Release();
}

// --- Damaged files -----------------------------------------------------------

struct Fixture {
    const char* name;
    Format format;
    std::string bytes;
};

std::vector<Fixture> SmallFixtures() {
    return {
        // Widths without row padding: a file that lacks only the last row's
        // padding is whole (see the layout table).
        {"bmp 24", kBmp, MakeBmp({4, 2, 24})},
        {"bmp 8 top-down", kBmp, MakeBmp({4, -2, 8, 3})},
        {"bmp 8 with a 124-byte header and gap", kBmp, MakeBmp({4, 2, 8, 2, 124, 6})},
        {"tga 24 with ID and colour map", kTga, MakeTga({2, 2, 24, 2, 3, 1, 2, 16})},
        {"tga 32", kTga, MakeTga({3, 2, 32})},
    };
}

TEST(ImageFilesTruncated, EveryPrefixIsRefusedByBothForms) {
    TempDir dir;
    for (const auto& fx : SmallFixtures()) {
        for (size_t n = 0; n < fx.bytes.size(); ++n) {
            std::string prefix = fx.bytes.substr(0, n);
            Image32 img = Sentinel();
            ASSERT_FALSE(ReadBytes(fx.format, img, prefix)) << fx.name << ", first " << n << " bytes";
            ASSERT_FALSE(ReadFile(fx.format, img, dir, prefix)) << fx.name << ", first " << n << " bytes, file";
            ASSERT_TRUE(SameRecord(img, Sentinel())) << fx.name << ", first " << n << " bytes";
        }
        Image32 img = EmptyImage();
        EXPECT_TRUE(ReadBytes(fx.format, img, fx.bytes)) << fx.name << " whole";
        img.Release();
    }
}

TEST(ImageFilesDamaged, FlippedBytesNeverDecodeMoreThanTheFileHoldsAndBothFormsAgree) {
    TempDir dir;
    for (const auto& fx : SmallFixtures()) {
        for (size_t i = 0; i < fx.bytes.size(); ++i) {
            for (uint8_t flip : {0x01, 0x80, 0xFF}) {
                std::string file = fx.bytes;
                file[i] = char(file[i] ^ flip);
                Image32 a = EmptyImage(), b = EmptyImage();
                bool okBytes = ReadBytes(fx.format, a, file);
                bool okFile = ReadFile(fx.format, b, dir, file);
                ASSERT_EQ(okBytes, okFile) << fx.name << " byte " << i << " ^ " << int(flip);
                if (!okBytes) continue;
                // Each pixel comes from at least one byte of the file.
                ASSERT_LE(uint64_t(a.width) * a.height, file.size()) << fx.name << " byte " << i;
                ASSERT_EQ(a.width, b.width);
                ASSERT_EQ(a.height, b.height);
                ASSERT_EQ(std::memcmp(a.pixels, b.pixels, size_t(a.width) * a.height * 4), 0)
                    << fx.name << " byte " << i;
                a.Release();
                b.Release();
            }
        }
    }
}

// --- Targa writing -----------------------------------------------------------

TEST(TgaWrite, HeaderAndBottomUpRows) {
    TempDir dir;
    Image32 img = PatternImage(3, 2);
    std::string path = dir / "out.tga";
    FileHandle f;
    ASSERT_TRUE(f.Create(path.c_str()));
    ASSERT_TRUE(WriteTga(img, f));
    f.Close();
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 4);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8};
    EXPECT_EQ(std::memcmp(bytes.data(), header, 18), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 18, img.Pixel(0, 1), 12), 0) << "the bottom row comes first";
    EXPECT_EQ(std::memcmp(bytes.data() + 30, img.Pixel(0, 0), 12), 0);
    img.Release();
}

TEST(TgaWrite, RoundTripKeepsEveryPixelAndAlpha) {
    // 7 x 5000 spans more than one of the writer's chunks of rows.
    const struct {
        uint32_t w, h;
    } sizes[] = {{5, 3}, {1, 1}, {7, 5000}, {4100, 2}};
    TempDir dir;
    for (const auto& s : sizes) {
        Image32 img = PatternImage(s.w, s.h);
        std::string path = dir / "round.tga";
        FileHandle f;
        ASSERT_TRUE(f.Create(path.c_str()));
        ASSERT_TRUE(WriteTga(img, f));
        f.Close();
        Image32 back = EmptyImage();
        ASSERT_TRUE(ReadTgaFile(back, path.c_str())) << s.w << "x" << s.h;
        ExpectPixels(back, s.w, s.h, Pattern);
        back.Release();
        img.Release();
    }
}

TEST(TgaWrite, RefusesPicturesTheHeaderCannotStateAndWritesNothing) {
    TempDir dir;
    const struct {
        uint32_t w, h;
        const char* why;
    } cases[] = {{65536, 1, "width past 16 bits"}, {1, 65536, "height past 16 bits"}};
    for (const auto& c : cases) {
        Image32 img = EmptyImage();
        ASSERT_TRUE(img.Create(c.w, c.h));
        std::string path = dir / "big.tga";
        FileHandle f;
        ASSERT_TRUE(f.Create(path.c_str()));
        EXPECT_FALSE(WriteTga(img, f)) << c.why;
        EXPECT_EQ(f.Size(), 0u) << c.why;
        img.Release();
    }
    Image32 empty = EmptyImage();
    FileHandle f;
    ASSERT_TRUE(f.Create((dir / "empty.tga").c_str()));
    EXPECT_FALSE(WriteTga(empty, f)) << "no pixels";
}

#ifndef _WIN32
// The header fits but the rows do not: only the row writes fail, which is
// the failure that must not be reported as success.
TEST(TgaWrite, ReportsAFailedRowWriteAfterTheHeader) {
    TempDir dir;
    Image32 img = PatternImage(64, 64);
    FileHandle f;
    ASSERT_TRUE(f.Create((dir / "full.tga").c_str()));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;  // header and part of the first chunk of rows
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = WriteTga(img, f);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.Size(), 100u) << "the header went out, the rows did not";
    img.Release();
}
#endif

// --- Cross-checks with ImageMagick -------------------------------------------
// ImageMagick serves as an independent reader of our Targas and writer of
// BMPs. Under Windows (and Wine) these are skipped: the codec code is the same
// portable code these tests already check natively.

namespace {

const char* kConvert = "/usr/bin/convert";  // /usr/local/bin/convert may be a stand-in

bool HaveImageMagick() {
#ifdef _WIN32
    return false;
#else
    return access(kConvert, X_OK) == 0;
#endif
}

bool Convert(const std::string& args) {
    std::string cmd = std::string(kConvert) + " " + args + " 2>/dev/null";
    return std::system(cmd.c_str()) == 0;
}

std::string Q(const std::string& path) { return "'" + path + "'"; }

// A 13 x 9 picture with more than 16 colours, so that palette output needs
// 8 bits (ImageMagick drops to 4 bits for 16 colours or fewer).
std::string Source(const TempDir& dir) {
    std::string path = dir / "source.png";
    EXPECT_TRUE(Convert("-seed 7 -size 13x9 plasma:fractal " + Q(path)));
    return path;
}

// ImageMagick's decoding of a file as bytes in `map` order ("rgb", "rgba").
// This ImageMagick keeps a Targa's rows in file order unless told to apply
// the origin the header states; -auto-orient makes it read them as the
// format says (bottom row first for descriptor 8).
std::string Decoded(const TempDir& dir, const std::string& path, const std::string& map) {
    std::string raw = dir / "decoded.raw";
    EXPECT_TRUE(Convert(Q(path) + " -auto-orient -depth 8 " + map + ":" + Q(raw)));
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(raw, bytes));
    return bytes;
}

// The same BMP stored top row first: rows reversed, height negated.
std::string TopDown(const std::string& bmp) {
    uint32_t at = GetU32(bmp, 10), w = GetU32(bmp, 18), h = GetU32(bmp, 22);
    uint32_t bits = uint8_t(bmp[28]) | (uint8_t(bmp[29]) << 8);
    uint32_t rowBytes = ((w * bits / 8) + 3) & ~3u;
    std::string out = bmp.substr(0, at);
    PutU32(out, 22, uint32_t(-int32_t(h)));
    for (uint32_t r = h; r-- > 0;) out += bmp.substr(at + size_t(r) * rowBytes, rowBytes);
    out += bmp.substr(at + size_t(h) * rowBytes);
    return out;
}

// Compares our pixels with ImageMagick's RGB(A) bytes.
void ExpectSameAsImageMagick(const Image32& img, const std::string& raw, bool withAlpha, const std::string& what) {
    size_t channels = withAlpha ? 4 : 3;
    ASSERT_EQ(raw.size(), size_t(img.width) * img.height * channels) << what;
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x) {
            const uint8_t* p = img.Pixel(x, y);
            const uint8_t* m = Bytes(raw) + (size_t(y) * img.width + x) * channels;
            ASSERT_TRUE(p[2] == m[0] && p[1] == m[1] && p[0] == m[2] && (!withAlpha || p[3] == m[3]))
                << what << ": pixel " << x << "," << y;
        }
}

}  // namespace

TEST(ImageMagickCrossCheck, ReadsOurTargasWithTheSamePixelsAndAlpha) {
    if (!HaveImageMagick()) GTEST_SKIP() << kConvert << " is not available";
    TempDir dir;
    Image32 img = PatternImage(7, 5);
    img.Pixel(0, 0)[3] = 0;
    img.Pixel(6, 4)[3] = 255;
    std::string path = dir / "ours.tga";
    FileHandle f;
    ASSERT_TRUE(f.Create(path.c_str()));
    ASSERT_TRUE(WriteTga(img, f));
    f.Close();
    ExpectSameAsImageMagick(img, Decoded(dir, path, "rgba"), true, "our Targa");
    img.Release();
}

TEST(ImageMagickCrossCheck, ItsBmpsReadWithTheSamePixels) {
    if (!HaveImageMagick()) GTEST_SKIP() << kConvert << " is not available";
    struct {
        const char* name;
        const char* options;
        uint16_t bits;
        uint32_t infoSize;
    } cases[] = {
        {"24-bit, 40-byte header", "-type TrueColor BMP3:", 24, 40},
        {"24-bit, 124-byte header", "-type TrueColor BMP:", 24, 124},
        {"8-bit, 40-byte header", "-type Palette -compress None BMP3:", 8, 40},
        {"8-bit, 124-byte header", "-type Palette -compress None BMP:", 8, 124},
    };
    TempDir dir;
    std::string source = Source(dir);
    for (const auto& c : cases) {
        std::string path = dir / "im.bmp";
        ASSERT_TRUE(Convert(Q(source) + " " + c.options + Q(path))) << c.name;
        std::string bmp;
        ASSERT_TRUE(ReadWholeFile(path, bmp));
        ASSERT_GE(bmp.size(), 54u);
        ASSERT_EQ(uint8_t(bmp[28]), c.bits) << c.name << ": ImageMagick chose another depth";
        ASSERT_EQ(GetU32(bmp, 14), c.infoSize) << c.name;
        ASSERT_EQ(GetU32(bmp, 30), 0u) << c.name << ": compressed";
        std::string raw = Decoded(dir, path, "rgb");

        Image32 img = EmptyImage();
        ASSERT_TRUE(ReadBmpBytes(img, Bytes(bmp), bmp.size())) << c.name;
        ExpectSameAsImageMagick(img, raw, false, std::string(c.name) + ", bottom-up");
        if (c.bits == 24) {
            EXPECT_EQ(img.Pixel(3, 3)[3], 255) << c.name;
        }
        img.Release();

        std::string flipped = TopDown(bmp);
        ASSERT_TRUE(WriteWholeFile(path, flipped));
        ASSERT_EQ(Decoded(dir, path, "rgb"), raw) << c.name << ": ImageMagick reads the top-down copy alike";
        FileHandle f;
        ASSERT_TRUE(f.Open(path.c_str()));
        ASSERT_TRUE(ReadBmp(img, f)) << c.name << ", top-down";
        ExpectSameAsImageMagick(img, raw, false, std::string(c.name) + ", top-down");
        img.Release();
    }
}

TEST(ImageMagickCrossCheck, ItsRunLengthBmpIsRefusedNotDecodedAsNoise) {
    if (!HaveImageMagick()) GTEST_SKIP() << kConvert << " is not available";
    TempDir dir;
    std::string path = dir / "rle.bmp";
    ASSERT_TRUE(Convert(Q(Source(dir)) + " -type Palette -compress RLE BMP3:" + Q(path)));
    std::string bmp;
    ASSERT_TRUE(ReadWholeFile(path, bmp));
    ASSERT_EQ(GetU32(bmp, 30), 1u) << "ImageMagick wrote no run-length BMP";
    Image32 img = Sentinel();
    EXPECT_FALSE(ReadBmpBytes(img, Bytes(bmp), bmp.size()));
    EXPECT_TRUE(SameRecord(img, Sentinel()));
}
