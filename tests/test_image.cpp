// The Image32 record, BMP reading, Targa writing, and ImageMagick as an
// independent reader of our Targas and writer of BMPs (Targa reading:
// test_targa.cpp).
#include "texture/Image32.h"
#include "texture/ImageFiles.h"
#include "IndependentReaders.h"
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

// Little-endian throughout, as on every platform we build for.
std::string With(std::string s, size_t at, uint32_t v, int bytes = 4) { return Put(s, at, v, bytes), s; }
std::string Le(uint32_t v, int bytes) { return std::string(reinterpret_cast<const char*>(&v), bytes); }
uint32_t Get32(const void* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// B | G << 8 | R << 16 | A << 24, every channel depending on x and y in its
// own way, so that a skew, a flip or a swapped channel changes the picture.
uint32_t Pattern(uint32_t x, uint32_t y) {
    return uint8_t(x * 37 + y * 11 + 1) | uint8_t(x * 5 + y * 71 + 3) << 8 | uint8_t((x ^ y) * 29 + 7) << 16 |
           uint32_t(uint8_t(x * 13 + y * 53 + 9)) << 24;
}
const uint32_t kOpaque = 0xFF000000u;
// 8-bit pictures: distinct palette entries whose fourth bytes differ too.
uint32_t Palette(uint32_t i) { return Pattern(i, 200); }

struct Bmp {
    int32_t w, h;  // negative h: top row first
    uint16_t bits;
    uint32_t used = 0, info = 40, gap = 0;  // gap: junk after the palette, announced by the offset
    bool zeroOffset = false, padLastRow = true;
    uint32_t Entries() const { return bits != 8 ? 0 : used == 0 ? 256 : used; }
    uint32_t Rows() const { return uint32_t(h < 0 ? -h : h); }
    uint32_t Index(uint32_t x, uint32_t y) const { return (x * 7 + y * 3) % Entries(); }
    uint32_t Want(uint32_t x, uint32_t y) const { return bits == 8 ? Palette(Index(x, y)) : Pattern(x, y) | kOpaque; }
};

std::string MakeBmp(const Bmp& s) {
    std::string f(14 + s.info, '\0');
    f[0] = 'B', f[1] = 'M';
    Put(f, 10, s.zeroOffset ? 0 : 14 + s.info + s.Entries() * 4 + s.gap);
    Put(f, 14, s.info), Put(f, 18, uint32_t(s.w)), Put(f, 22, uint32_t(s.h));
    Put(f, 26, 1, 2), Put(f, 28, s.bits, 2), Put(f, 46, s.used);
    for (uint32_t i = 0; i < s.Entries(); ++i) f += Le(Palette(i), 4);
    f += std::string(s.gap, 'Z');
    uint32_t rows = s.Rows(), rowBytes = (uint32_t(s.w) * s.bits / 8 + 3) & ~3u;
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t y = s.h > 0 ? rows - 1 - r : r;
        std::string row;
        for (uint32_t x = 0; x < uint32_t(s.w); ++x) row += s.bits == 8 ? Le(s.Index(x, y), 1) : Le(Pattern(x, y), 3);
        if (r + 1 < rows || s.padLastRow) row.resize(rowBytes, 'w');  // padding that is not zero shows if read
        f += row;
    }
    return f;
}

// A record with recognisable values, to show that a failed read left it alone.
Image32 Sentinel() { Image32 img = EmptyImage(); img.width = 77, img.height = 55; return img; }
bool Same(const Image32& a, const Image32& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectPixels(const Image32& img, uint32_t w, uint32_t h, const std::function<uint32_t(uint32_t, uint32_t)>& want) {
    ASSERT_NE(img.pixels, nullptr);
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(Get32(img.Pixel(x, y)), want(x, y)) << "pixel " << x << "," << y;
}

bool Read(Image32& img, const std::string& s) { return ReadBmpBytes(img, Bytes(s), s.size()); }
// The file form, on a file holding `before` junk bytes ahead of the picture.
bool ReadFile(Image32& img, const TempDir& dir, const std::string& s, size_t before = 0) {
    std::string path = dir / "picture.bin";
    FileHandle f;
    bool opened = WriteWholeFile(path, std::string(before, 'J') + s) && f.Open(path.c_str()) &&
                  f.SeekTo(int32_t(before));
    EXPECT_TRUE(opened);
    return opened && ReadBmp(img, f);
}

Image32 PatternImage(uint32_t w, uint32_t h) {
    Image32 img = EmptyImage();
    EXPECT_TRUE(img.Create(w, h));
    for (uint32_t i = 0; i < w * h; ++i)
        std::memcpy(img.pixels + 4 * size_t(i), Le(Pattern(i % w, i / w), 4).data(), 4);
    return img;
}
bool WriteTgaTo(const Image32& img, const std::string& path) {
    FileHandle f;
    return f.Create(path.c_str()) && WriteTga(img, f);
}

#ifndef _WIN32
// Our pixels against ImageMagick's decoding of the file as B G R A bytes.
void ExpectSameAsImageMagick(const TempDir& dir, const Image32& img, const std::string& path, bool alpha) {
    std::string theirs;
    ASSERT_TRUE(independent::ImageMagickBgra(dir, path, theirs));
    ASSERT_EQ(theirs.size(), size_t(img.width) * img.height * 4);
    for (size_t i = 0; i < theirs.size(); ++i)
        ASSERT_TRUE((!alpha && i % 4 == 3) || img.pixels[i] == uint8_t(theirs[i])) << "byte " << i;
}
#endif

}  // namespace

TEST(Image32Create, StatesTheStrideZeroesThePixelsAndRefusesWhatItCannotDescribe) {
    Image32 img = EmptyImage();
    ASSERT_TRUE(img.Create(5, 2));
    EXPECT_EQ(img.header.width, 8) << "the stride";
    EXPECT_EQ(img.header.height, -2) << "top row first";
    EXPECT_EQ(img.header.sizeImage, 64u);
    EXPECT_EQ(img.bounds.right, 4u) << "inclusive";
    EXPECT_EQ(img.bounds.bottom, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(img.pixels), 64), std::string(64, '\0'));
    img.Release();
    EXPECT_TRUE(Same(img, EmptyImage()));
    // Zero sides; past the pixel limit; 2^32 pixels, 0 in 32 bits; width + 3
    // wrapping; within the limit, but a byte count that needs 33 bits.
    const uint32_t refused[][2] = {{0, 5}, {5, 0}, {16385, 16384}, {65536, 65536},
                                   {~0u, 1}, {1, uint32_t(kMaxImagePixels)}};
    for (auto& s : refused) {
        Image32 r = Sentinel();
        EXPECT_FALSE(r.Create(s[0], s[1])) << s[0] << "x" << s[1];
        EXPECT_TRUE(Same(r, EmptyImage())) << s[0] << "x" << s[1];
    }
}

TEST(BmpRead, LayoutsDecodeToThePictureInBothForms) {
    using Want = std::function<uint32_t(uint32_t, uint32_t)>;
    struct Case { const char* name; std::string file; uint32_t w, h; Want want; };
    auto B = [](const char* name, Bmp s) {
        return Case{name, MakeBmp(s), uint32_t(s.w), s.Rows(), [s](auto x, auto y) { return s.Want(x, y); }};
    };
    const Case cases[] = {
        B("bmp 24-bit width 3: three padding bytes a row", {3, 2, 24}),
        B("bmp 8-bit, 16 colours: alpha from the palette's fourth byte", {5, 4, 8, 16}),
        B("bmp 8-bit top row first, colours used 0 means 256", {6, -3, 8, 0}),
        B("bmp 124-byte info header, offset past a gap", {5, 3, 8, 16, 124, 10}),
        B("bmp offset 0 means directly after the palette", {4, 2, 8, 4, 40, 0, true}),
        B("bmp last row without its padding", {3, 2, 24, 0, 40, 0, false, false}),
        B("bmp one pixel, one palette entry", {1, 1, 8, 1}),
        {"bmp indices 1, 255, 2, 0 for two entries: a zero pixel past them",
         With(MakeBmp({4, 1, 8, 2}), 14 + 40 + 2 * 4, 0x0002FF01), 4, 1,
         [](uint32_t x, uint32_t) { return x == 0 ? Palette(1) : x == 3 ? Palette(0) : 0u; }},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool fileForm : {false, true}) {
            Image32 img = EmptyImage();
            // The file form meets the picture in mid-file, with more after it.
            ASSERT_TRUE(fileForm ? ReadFile(img, dir, c.file + "trailing", 7) : Read(img, c.file));
            ExpectPixels(img, c.w, c.h, c.want);
            img.Release();
        }
    }
}

TEST(BmpRead, RefusesWhatItCannotReadAndLeavesTheRecordAlone) {
    const std::string bmp = MakeBmp({3, 2, 8, 16});
    struct Case { const char* why; std::string file; };
    std::vector<Case> cases = {
        {"no BM signature", With(bmp, 1, 'A', 1)},
        {"16 bits per pixel, rows present", With(MakeBmp({3, 2, 24}), 28, 16, 2)},
        {"run-length compression", With(bmp, 30, 1)},
        {"12-byte OS/2 info header", With(bmp, 14, 12)},
        {"info header larger than the file", With(bmp, 14, 0xFFFFFF00u)},
        {"negative width", With(bmp, 18, uint32_t(-3))},
        {"most negative height", With(bmp, 22, 0x80000000u)},
        {"largest width", With(bmp, 18, 0x7FFFFFFFu)},
        {"palette count near 2^32", With(bmp, 46, 0xFFFFFFFFu)},
        {"300 palette entries, all present: no index reaches them", MakeBmp({3, 2, 8, 300})},
        {"pixel offset near 2^32", With(bmp, 10, 0xFFFFFFF0u)},
    };
    // Every prefix of a whole file, too. Widths without row padding: a file
    // lacking only the last row's padding is whole.
    for (const Case& whole : {Case{"bmp 24 cut short", MakeBmp({4, 2, 24})},
                              Case{"bmp 8 cut short", MakeBmp({4, -2, 8, 2, 124, 6})}}) {
        Image32 img = EmptyImage();
        EXPECT_TRUE(Read(img, whole.file)) << whole.why << ": whole";
        img.Release();
        for (size_t n = 0; n < whole.file.size(); ++n) cases.push_back({whole.why, whole.file.substr(0, n)});
    }
    TempDir dir;
    for (const Case& c : cases) {
        Image32 img = Sentinel();
        EXPECT_FALSE(Read(img, c.file)) << c.why << ", " << c.file.size() << " bytes";
        EXPECT_FALSE(ReadFile(img, dir, c.file)) << c.why << ", " << c.file.size() << " bytes, file form";
        EXPECT_TRUE(Same(img, Sentinel())) << c.why;
    }
}

TEST(TgaWrite, RoundTripKeepsEveryPixelAndAlpha) {
    // 7 x 5000 spans several of the writer's 64 KiB chunks of rows; a row of
    // 16400 pixels is longer than a chunk.
    const uint32_t sizes[][2] = {{3, 2}, {1, 1}, {7, 5000}, {16400, 2}};
    TempDir dir;
    std::string path = dir / "round.tga", written;
    for (auto& s : sizes) {
        Image32 img = PatternImage(s[0], s[1]), back = EmptyImage();
        ASSERT_TRUE(WriteTgaTo(img, path) && ReadWholeFile(path, written));
        // Type 2, 32 bits, descriptor 8 (eight alpha bits, bottom row first).
        std::string head = std::string("\0\0\2", 3) + std::string(9, '\0') + Le(s[0], 2) + Le(s[1], 2) + "\x20\x08";
        EXPECT_EQ(written.substr(0, 18), head);
        EXPECT_EQ(written.size(), 18 + s[0] * s[1] * 4);
        ASSERT_TRUE(ReadTgaFile(back, path.c_str())) << s[0] << "x" << s[1];
        ExpectPixels(back, s[0], s[1], Pattern);
        back.Release();
        img.Release();
    }
}

TEST(TgaWrite, RefusesPicturesTheHeaderCannotStateAndWritesNothing) {
    TempDir dir;
    FileHandle f;
    // Sides past 16 bits, and no pixels at all.
    for (auto& s : {std::make_pair(65536u, 1u), std::make_pair(1u, 65536u), std::make_pair(0u, 0u)}) {
        Image32 img = EmptyImage();
        ASSERT_TRUE(s.first == 0 || img.Create(s.first, s.second));
        ASSERT_TRUE(f.Create((dir / "refused.tga").c_str()));
        EXPECT_FALSE(WriteTga(img, f)) << s.first << "x" << s.second;
        EXPECT_EQ(f.Size(), 0u);
        img.Release();
    }
}

#ifndef _WIN32
// The header fits but the rows do not: the failure that must not pass for success.
TEST(TgaWrite, ReportsAFailedRowWriteAfterTheHeader) {
    TempDir dir;
    FileHandle f;
    Image32 img = PatternImage(64, 64);
    ASSERT_TRUE(f.Create((dir / "full.tga").c_str()));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = {100, saved.rlim_max};  // the header and part of the first chunk of rows
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = WriteTga(img, f);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.Size(), 100u) << "the header went out, the rows did not";
    img.Release();
}
#endif

#ifndef _WIN32
TEST(ImageMagickCrossCheck, ReadsOurTargasAndWritesBmpsWeReadAlike) {
    using namespace independent;
    TempDir dir;
    Image32 img = PatternImage(7, 5);
    img.Pixel(0, 0)[3] = 0;
    img.Pixel(6, 4)[3] = 255;
    ASSERT_TRUE(WriteTgaTo(img, dir / "ours.tga"));
    ExpectSameAsImageMagick(dir, img, dir / "ours.tga", true);
    img.Release();

    // More than 16 colours, or ImageMagick drops the palette to 4 bits.
    std::string source = dir / "source.png", path = dir / "im.bmp", bmp;
    ASSERT_TRUE(Convert("-seed 7 -size 13x9 plasma:fractal " + Q(source)));
    for (const char* options : {"-type TrueColor BMP3:", "-type TrueColor BMP:", "-type Palette -compress None BMP3:",
                                "-type Palette -compress None BMP:"}) {
        SCOPED_TRACE(options);
        bool palette = std::strstr(options, "Palette") != nullptr;  // its palettes leave the fourth byte 0
        ASSERT_TRUE(Convert(Q(source) + " " + options + Q(path)) && ReadWholeFile(path, bmp) && bmp.size() > 54);
        ASSERT_EQ(uint8_t(bmp[28]), palette ? 8 : 24) << "ImageMagick chose another depth";
        ASSERT_TRUE(ReadBmpBytes(img, Bytes(bmp), bmp.size()));
        ExpectSameAsImageMagick(dir, img, path, !palette);
        img.Release();
    }
}
#endif
