// Game textures: the encoder's layout, parsing by the last table entry,
// the pixel formats, damaged pairs, and the game's own files.
#include "pack/GameFiles.h"
#include "texture/Image32.h"
#include "texture/TextureFile.h"
#include "TestUtil.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#ifdef QUILLON_HAVE_SQUISH
#include <squish.h>
#endif

namespace {

struct Messages {
    std::vector<std::string> shown;
    MessageSeam Seam() {
        MessageSeam seam;
        seam.context = this;
        seam.show = [](void* c, const char* text, const char* caption) {
            static_cast<Messages*>(c)->shown.push_back(std::string(caption) + ": " + text);
        };
        return seam;
    }
};

const char kHeaderIncorrect[] = "Error In Texture File!: The TTH File Header Is Incorrect!";
const char kUnpackError[] = "Error!: Error Unpacking Texture";

std::unique_ptr<uint8_t[]> Owned(const std::string& s) {
    std::unique_ptr<uint8_t[]> p(new uint8_t[s.size() + 1]);
    std::memcpy(p.get(), s.data(), s.size());
    return p;
}

bool Parse(TextureFile& t, const std::string& tth, const std::string& ttz) {
    return t.Parse(Owned(tth), uint32_t(tth.size()), Owned(ttz), uint32_t(ttz.size()));
}

uint32_t Get32(const std::string& s, size_t at) {
    uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}
void Set32(std::string& s, size_t at, uint32_t v) { std::memcpy(&s[at], &v, 4); }
void Add16(std::string& s, uint32_t v) { s += char(v), s += char(v >> 8); }

std::string Inflate(const std::string& z, size_t size) {
    std::string out(size, '\0');
    uLongf n = uLongf(size);
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(z.data()), uLong(z.size())), Z_OK);
    out.resize(n);
    return out;
}

std::string Deflate(const std::string& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    std::string out(n, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), -1), Z_OK);
    out.resize(n);
    return out;
}

// An image whose every byte differs from its neighbours'.
struct TestImage {
    Image32 image = EmptyImage();
    TestImage(uint32_t w, uint32_t h) {
        EXPECT_TRUE(image.Create(w, h));
        for (uint64_t i = 0; i < uint64_t(w) * h * 4; ++i) image.pixels[i] = uint8_t(i * 7 + i / 251);
    }
    ~TestImage() { image.Release(); }
};

struct Pair {
    std::string tth, ttz;
};

Pair EncodePair(const Image32& image, TextureFile& t, bool* result = nullptr) {
    TempDir dir;
    FileHandle tth, ttz;
    EXPECT_TRUE(tth.Create((dir / "t.tth").c_str()));
    EXPECT_TRUE(ttz.Create((dir / "t.ttz").c_str()));
    bool ok = t.Encode(image, tth, ttz);
    if (result != nullptr) *result = ok;
    tth.Close();
    ttz.Close();
    Pair p;
    ReadWholeFile(dir / "t.tth", p.tth);
    ReadWholeFile(dir / "t.ttz", p.ttz);
    return p;
}

// A pair laid out as the game's own: table entries before the last hold 16.
struct Layout {
    uint32_t format = kTextureDxt1, width = 4, height = 4, frames = 1;
    uint32_t n = 3, dataBase = 192, minor = 1;
    std::string body = std::string(8, '\x55');
    int64_t endDelta = 0, packedDelta = 0;
};

Pair BuildPair(const Layout& l) {
    Pair p;
    p.ttz = Deflate(l.body);
    p.tth = std::string("TTH\0", 4);
    Add16(p.tth, 1);
    p.tth += char(l.n);
    p.tth += char(0);
    AppendLE32(p.tth, l.dataBase);
    for (uint32_t i = 0; i < l.n; ++i) AppendLE32(p.tth, 16), AppendLE32(p.tth, 0);
    AppendLE32(p.tth, uint32_t(l.dataBase + l.body.size() + l.endDelta));
    AppendLE32(p.tth, uint32_t(p.ttz.size() + l.packedDelta));
    std::string e(64, '\0');
    std::memcpy(&e[0], "VTF\0", 4);
    Set32(e, 4, 7);
    Set32(e, 8, l.minor);
    e[16] = char(l.width), e[17] = char(l.width >> 8), e[18] = char(l.height), e[19] = char(l.height >> 8);
    e[24] = char(l.frames);
    Set32(e, 52, l.format);
    p.tth += e;
    return p;
}

std::string Pixels(const Image32& image) {
    return image.pixels ? std::string(reinterpret_cast<char*>(image.pixels), size_t(image.width) * image.height * 4) : "";
}

struct Decoded {
    bool ok = false;
    Image32 image = EmptyImage();
    ~Decoded() { image.Release(); }
    uint32_t Bgra(uint32_t x, uint32_t y) {
        uint32_t v;
        std::memcpy(&v, image.Pixel(x, y), 4);
        return v;
    }
};

// Decodes one frame of raw pixel data in the given format.
void DecodeRaw(Decoded& d, uint32_t format, uint32_t w, uint32_t h, const std::string& body) {
    ASSERT_TRUE(d.image.Create(w, h));
    d.ok = DecodeTexturePixels(format, reinterpret_cast<const uint8_t*>(body.data()), body.size(), w, h, d.image.pixels);
}

uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) { return b | g << 8 | r << 16 | a << 24; }


}  // namespace

// ---- The encoder ---------------------------------------------------------

TEST(TextureEncodeTest, A256SquareHasTheDocumentedLayout) {
    TestImage in(256, 256);
    TextureFile t;
    Pair p = EncodePair(in.image, t);
    ASSERT_EQ(p.tth.size(), 1180u);
    EXPECT_EQ(p.tth.substr(0, 4), std::string("TTH\0", 4));
    EXPECT_EQ(p.tth[6], 9);
    EXPECT_EQ(p.tth[7], 3);
    EXPECT_EQ(Get32(p.tth, 8), 1088u);
    const uint32_t ends[] = {1092, 1096, 1112, 1176, 1432, 2456, 6552, 22936, 88472, 350616};
    for (uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(Get32(p.tth, 12 + 8 * i), ends[i]) << i;
        EXPECT_EQ(Get32(p.tth, 16 + 8 * i), i == 9 ? p.ttz.size() : 0u) << i;
    }
    EXPECT_EQ(Inflate(p.ttz, 400000).size(), 349528u);
    const std::string e = p.tth.substr(92, 64);
    EXPECT_EQ(e.substr(0, 4), std::string("VTF\0", 4));
    const uint32_t words[][2] = {{4, 7},           {8, 1},           {12, 64},         {16, 256 | 256 << 16},
                                 {20, 0x200},      {24, 1},          {32, 0x3EB549E2}, {36, 0x3E9D3ED7},
                                 {40, 0x3EADD447}, {48, 0x3F800000}, {52, 12},         {57, 12}};
    for (auto& w : words) EXPECT_EQ(Get32(e, w[0]), w[1]) << "embedded offset " << w[0];
    EXPECT_EQ(e[56], 9);
    EXPECT_EQ(e[61], 16);
    EXPECT_EQ(e[62], 16);
    EXPECT_EQ(t.headerSize, 1180u) << "the record keeps what it wrote";
    EXPECT_EQ(p.tth.substr(156), std::string(1024, '\0')) << "thumbnail area";
}

TEST(TextureEncodeTest, LevelCountAndAspectCodeFollowTheSides) {
    struct Case {
        uint32_t w, h, n, aspect;
    } cases[] = {
        {256, 64, 9, 5}, {100, 30, 7, 5}, {64, 256, 9, 5}, {255, 255, 8, 3},
        {300, 10, 9, 8}, {1, 1, 1, 3},    {3, 1, 2, 5},    {1, 300, 9, 12},
    };
    for (const Case& c : cases) {
        TestImage in(c.w, c.h);
        TextureFile t;
        Pair p = EncodePair(in.image, t);
        ASSERT_EQ(p.tth.size(), 1108u + 8 * c.n) << c.w << "x" << c.h;
        EXPECT_EQ(uint8_t(p.tth[6]), c.n) << c.w << "x" << c.h;
        EXPECT_EQ(uint8_t(p.tth[7]), c.aspect) << c.w << "x" << c.h;
    }
}

TEST(TextureEncodeTest, ReducedLevelsArePointSampledAndTheTwoSmallestStayZero) {
    TestImage in(16, 256);
    TextureFile t;
    Pair p = EncodePair(in.image, t);
    const uint32_t n = 9;
    std::string levels = Inflate(p.ttz, 1 << 20);
    auto start = [&](uint32_t i) { return i == 0 ? 0 : Get32(p.tth, 12 + 8 * (i - 1)) - 1088; };
    for (uint32_t k = 1; k + 1 < n; ++k) {
        uint32_t lw = std::max(1u, 16u >> k), lh = 256u >> k;
        for (uint32_t y = 0; y < lh; ++y)
            for (uint32_t x = 0; x < lw; ++x)
                ASSERT_EQ(levels.substr(start(n - k) + (y * lw + x) * 4, 4),
                          std::string(reinterpret_cast<char*>(in.image.Pixel(x << k, y << k)), 4))
                    << "level " << n - k << " pixel " << x << "," << y;
    }
    EXPECT_EQ(levels.substr(0, start(2)), std::string(start(2), '\0'));
}

TEST(TextureEncodeTest, FailuresAreReportedAsFailures) {
    TextureFile t;
    Image32 empty = EmptyImage();
    EXPECT_FALSE(EncodePair(empty, t).tth.size()) << "nothing written for an empty image";
    bool ok = true;
    TestImage wide(70000, 1);
    Pair p = EncodePair(wide.image, t, &ok);
    EXPECT_FALSE(ok) << "a side the embedded header cannot hold";
    EXPECT_TRUE(p.tth.empty() && p.ttz.empty());
    TestImage small(4, 4);
    FileHandle closed1, closed2;
    EXPECT_FALSE(t.Encode(small.image, closed1, closed2)) << "a failed write is not success";
}

TEST(TextureRoundTripTest, EncodedPicturesDecodeToTheSamePixels) {
    const uint32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {16, 256}, {256, 64}, {100, 30}, {257, 3}};
    for (auto& s : sizes) {
        TestImage in(s[0], s[1]);
        TextureFile t;
        Pair p = EncodePair(in.image, t);
        Decoded d;
        ASSERT_TRUE(Parse(t, p.tth, p.ttz)) << s[0] << "x" << s[1];
        EXPECT_EQ(t.format, uint32_t(kTextureBgra8888));
        ASSERT_TRUE(d.ok = t.Decode(d.image));
        EXPECT_EQ(d.image.width, s[0]);
        EXPECT_EQ(d.image.height, s[1]);
        EXPECT_TRUE(Pixels(d.image) == Pixels(in.image)) << s[0] << "x" << s[1];
    }
}

// ---- Parsing: the last table entry decides --------------------------------

TEST(TextureParseTest, HeadersAreJudgedByTheirLastEntryAndTheLevelTheyNeed) {
    struct Case {
        const char* what;
        void (*change)(Layout&, Pair&);
        bool parses;
        const char* message;  // "" for none
    } cases[] = {
        {"the game's layout: constants before the last entry", [](Layout&, Pair&) {}, true, ""},
        {"single level", [](Layout& l, Pair&) { l.n = 1; }, true, ""},
        {"a table of one entry", [](Layout& l, Pair&) { l.n = 0; }, true, ""},
        {"embedded minor version 0", [](Layout& l, Pair&) { l.minor = 0; }, true, ""},
        {"the .ttz longer than its stream", [](Layout&, Pair& p) { p.ttz += "junk"; }, true, ""},
        {"an unsupported format still parses", [](Layout& l, Pair&) { l.format = 20; }, true, ""},
        {"embedded minor version 2", [](Layout& l, Pair&) { l.minor = 2; }, false, ""},
        {"wrong magic", [](Layout&, Pair& p) { p.tth[2] = 'X'; }, false, ""},
        {"no embedded signature", [](Layout&, Pair& p) { p.tth[20 + 8 * 3] = 'X'; }, false, ""},
        {"table beyond the .tth", [](Layout&, Pair& p) { p.tth.resize(20 + 8 * 3 + 63); }, false, kHeaderIncorrect},
        {"n runs past the .tth", [](Layout&, Pair& p) { p.tth[6] = char(200); }, false, kHeaderIncorrect},
        {"end before data base", [](Layout& l, Pair&) { l.endDelta = -9; }, false, kHeaderIncorrect},
        {"body 16 bytes short of a DXT3 level",
         [](Layout& l, Pair&) { l.format = kTextureDxt3, l.width = l.height = 16, l.body.assign(240, 'x'); }, false,
         kHeaderIncorrect},
        {"two frames, room for one", [](Layout& l, Pair&) { l.frames = 2; }, false, kHeaderIncorrect},
        {"zero width", [](Layout& l, Pair&) { l.width = 0; }, false, kHeaderIncorrect},
        {"zero frames", [](Layout& l, Pair&) { l.frames = 0; }, false, kHeaderIncorrect},
        {"stored size beyond the .ttz", [](Layout& l, Pair&) { l.packedDelta = 1; }, false, kUnpackError},
        {"stream shorter than the header says", [](Layout& l, Pair&) { l.endDelta = 1; }, false, kUnpackError},
        {"stream longer than the header says", [](Layout& l, Pair&) { l.body += 'x', l.endDelta = -1; }, false,
         kUnpackError},
        {"1 GiB claimed from a few bytes", [](Layout& l, Pair&) { l.endDelta = 1 << 30; }, false, kUnpackError},
        {"not a zlib stream", [](Layout&, Pair& p) { p.ttz[0] ^= 0x55; }, false, kUnpackError},
    };
    for (const Case& c : cases) {
        Layout l;
        Pair ignored;
        c.change(l, ignored);
        Pair p = BuildPair(l);
        c.change(l, p);
        Messages m;
        TextureFile t;
        t.message = m.Seam();
        EXPECT_EQ(Parse(t, p.tth, p.ttz), c.parses) << c.what;
        EXPECT_EQ(t.loaded, c.parses ? 1 : 0) << c.what;
        EXPECT_EQ(m.shown, *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{}) << c.what;
        EXPECT_NE(t.header, nullptr) << "the record keeps the new header: " << c.what;
        if (c.parses) {
            EXPECT_EQ(t.bodySize, l.body.size()) << c.what;
        } else {
            EXPECT_EQ(t.body, nullptr) << c.what;
        }
    }
}

TEST(TextureParseTest, FrameZeroIsTheFirstOfTheLastLevel) {
    Layout l;
    l.format = kTextureBgra8888, l.width = 1, l.height = 1, l.frames = 2;
    l.body = std::string("smallXYZ") + "\x01\x02\x03\x04" + "\x05\x06\x07\x08";
    Pair p = BuildPair(l);
    TextureFile t;
    Decoded d;
    ASSERT_TRUE(Parse(t, p.tth, p.ttz));
    ASSERT_TRUE(t.Decode(d.image));
    EXPECT_EQ(d.Bgra(0, 0), 0x04030201u);
}

// ---- Pixel formats --------------------------------------------------------

TEST(TexturePixelTest, PlainFormatsReorderTheirBytes) {
    struct Case {
        uint32_t format;
        std::string src;
        uint32_t bgra;
    } cases[] = {
        {kTextureRgba8888, "\x0A\x14\x1E\x28", Bgra(30, 20, 10, 40)},
        {kTextureUvwq8888, "\x0A\x14\x1E\x28", Bgra(30, 20, 10, 40)},
        {kTextureBgr888, "\x0A\x14\x1E", Bgra(10, 20, 30, 255)},
        {kTextureBgra8888, "\x0A\x14\x1E\x28", Bgra(10, 20, 30, 40)},
    };
    for (const Case& c : cases) {
        Decoded d;
        DecodeRaw(d, c.format, 1, 1, c.src);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.Bgra(0, 0), c.bgra) << "format " << c.format;
    }
}

TEST(TexturePixelTest, ColourBlocksWidenByShiftingAndPickTheirPalette) {
    // Row 0 uses indices 0, 1, 2, 3 (byte 0xE4); other rows index 0.
    struct Case {
        uint32_t format;
        uint16_t c0, c1;
        uint32_t expect[4];
    } cases[] = {
        {kTextureDxt1, 0xFFFF, 0x0000,
         {Bgra(248, 252, 248, 255), Bgra(0, 0, 0, 255), Bgra(165, 168, 165, 255), Bgra(82, 84, 82, 255)}},
        {kTextureDxt1, 0x0000, 0xFFFF,
         {Bgra(0, 0, 0, 255), Bgra(248, 252, 248, 255), Bgra(124, 126, 124, 255), Bgra(255, 255, 0, 0)}},
        {kTextureDxt1, 0x1234, 0x1234,
         {Bgra(160, 68, 16, 255), Bgra(160, 68, 16, 255), Bgra(160, 68, 16, 255), Bgra(255, 255, 0, 0)}},
        // DXT3/DXT5 colour takes the same palette; their alpha blocks give
        // every pixel 0x77.
        {kTextureDxt3, 0x001F, 0xF800,
         {Bgra(248, 0, 0, 0x77), Bgra(0, 0, 248, 0x77), Bgra(124, 0, 124, 0x77), Bgra(255, 255, 0, 0x77)}},
        {kTextureDxt5, 0xF800, 0x001F,
         {Bgra(0, 0, 248, 0x77), Bgra(248, 0, 0, 0x77), Bgra(82, 0, 165, 0x77), Bgra(165, 0, 82, 0x77)}},
    };
    for (const Case& c : cases) {
        std::string block;
        if (c.format == kTextureDxt3) block = std::string(8, '\x77');
        if (c.format == kTextureDxt5) block = std::string("\x77\x77", 2) + std::string(6, '\0');
        Add16(block, c.c0);
        Add16(block, c.c1);
        block += std::string("\xE4\x00\x00\x00", 4);
        Decoded d;
        DecodeRaw(d, c.format, 4, 4, block);
        ASSERT_TRUE(d.ok);
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(d.Bgra(x, 0), c.expect[x]) << std::hex << "format " << c.format << " c0 " << c.c0 << " index " << x;
        EXPECT_EQ(d.Bgra(3, 3), c.expect[0]);
    }
}

TEST(TexturePixelTest, AlphaBlocksFollowTheirTables) {
    // DXT5 pixel p carries index p & 7; DXT3 pixel p the nibble p.
    struct Case {
        uint32_t format;
        uint8_t a0, a1;
        uint8_t expect[8];
    } cases[] = {
        {kTextureDxt5, 200, 0, {200, 0, 171, 142, 114, 85, 57, 28}},
        {kTextureDxt5, 0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
        {kTextureDxt5, 9, 9, {9, 9, 9, 9, 9, 9, 0, 255}},
    };
    for (const Case& c : cases) {
        std::string block{char(c.a0), char(c.a1)};
        uint64_t bits = 0;
        for (int p = 15; p >= 0; --p) bits = bits << 3 | (p & 7);
        for (int i = 0; i < 6; ++i) block += char(bits >> (8 * i));
        block += std::string(8, '\0');
        Decoded d;
        DecodeRaw(d, c.format, 4, 4, block);
        ASSERT_TRUE(d.ok);
        for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(d.image.Pixel(p % 4, p / 4)[3], c.expect[p & 7]) << int(c.a0) << " " << p;
    }
    std::string dxt3 = "\x10\x32\x54\x76\x98\xBA\xDC\xFE" + std::string(8, '\0');
    Decoded d;
    DecodeRaw(d, kTextureDxt3, 4, 4, dxt3);
    for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(d.image.Pixel(p % 4, p / 4)[3], 17 * p) << p;
}

TEST(TexturePixelTest, SidesOffTheBlockGridTakeTheCutBlocks) {
    // Block k has c0 = c1 = k + 1 (blue 8 (k + 1)); every pixel index 0.
    auto blocks = [](int count) {
        std::string s;
        for (int k = 0; k < count; ++k) Add16(s, k + 1), Add16(s, k + 1), AppendLE32(s, 0);
        return s;
    };
    Decoded small;
    DecodeRaw(small, kTextureDxt1, 2, 2, blocks(1));
    ASSERT_TRUE(small.ok);
    EXPECT_EQ(small.Bgra(1, 1), Bgra(8, 0, 0, 255));
    // 6 x 5: two blocks a row, two rows; every pixel belongs to one.
    Decoded uneven;
    DecodeRaw(uneven, kTextureDxt1, 6, 5, blocks(4));
    ASSERT_TRUE(uneven.ok);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(uneven.Bgra(x, y), Bgra(8 * (1 + x / 4 + 2 * (y / 4)), 0, 0, 255)) << x << "," << y;
    Decoded shortOfBlocks;
    DecodeRaw(shortOfBlocks, kTextureDxt1, 6, 5, blocks(3));
    EXPECT_FALSE(shortOfBlocks.ok);
    EXPECT_EQ(Pixels(shortOfBlocks.image), std::string(6 * 5 * 4, '\0'));
}

TEST(TexturePixelTest, UnsupportedFormatNamesItsCode) {
    Layout l;
    l.format = 20;
    Pair p = BuildPair(l);
    Messages m;
    TextureFile t;
    t.message = m.Seam();
    Decoded d;
    ASSERT_TRUE(Parse(t, p.tth, p.ttz));
    EXPECT_FALSE(t.Decode(d.image));
    EXPECT_EQ(m.shown, std::vector<std::string>{"Error: Texture Format '20' Is Unsupported!"});
    EXPECT_EQ(Pixels(d.image), std::string(64, '\0')) << "created and left zero";
}

TEST(TexturePixelTest, DecodeChecksTheRecordItself) {
    Messages m;
    TextureFile t;
    t.message = m.Seam();
    Decoded d;
    EXPECT_FALSE(t.Decode(d.image)) << "nothing parsed";
    EXPECT_EQ(d.image.pixels, nullptr);
    // A record filled by hand whose body is shorter than its level.
    t.loaded = 1, t.format = kTextureDxt5, t.width = 8, t.height = 8, t.frames = 1;
    t.body.reset(new uint8_t[63]());
    t.bodySize = 63;
    EXPECT_FALSE(t.Decode(d.image));
    EXPECT_EQ(d.image.pixels, nullptr);
    EXPECT_EQ(m.shown, std::vector<std::string>{kHeaderIncorrect});
    t.Clear();
    EXPECT_FALSE(t.Decode(d.image)) << "a cleared record";
}

// ---- Damaged pairs ---------------------------------------------------------

TEST(TextureRobustnessTest, TruncatedPrefixesFailCleanly) {
    TestImage in(5, 3);
    TextureFile enc;
    Pair p = EncodePair(in.image, enc);
    const size_t needed = 84 + 8 * 3;  // the thumbnail area is never read
    for (size_t cut = 0; cut < p.tth.size(); ++cut) {
        TextureFile t;
        Decoded d;
        bool parsed = Parse(t, p.tth.substr(0, cut), p.ttz);
        ASSERT_EQ(parsed, cut >= needed) << cut;
        if (parsed) {
            EXPECT_TRUE(t.Decode(d.image) && Pixels(d.image) == Pixels(in.image)) << cut;
        }
    }
    for (size_t cut = 0; cut < p.ttz.size(); ++cut) {
        TextureFile t;
        EXPECT_FALSE(Parse(t, p.tth, p.ttz.substr(0, cut))) << cut;
    }
}

TEST(TextureRobustnessTest, FlippedBytesFailOrDecodeToTheHeaderSize) {
    TestImage in(6, 5);
    TextureFile enc;
    std::vector<Pair> pairs = {EncodePair(in.image, enc)};
    Layout l;
    l.format = kTextureDxt5, l.width = 6, l.height = 5, l.body = std::string(64, '\x9C');
    pairs.push_back(BuildPair(l));
    int decoded = 0, failed = 0;
    for (const Pair& p : pairs) {
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            for (size_t i = 0; i < p.tth.size() + p.ttz.size(); ++i) {
                Pair q = p;
                (i < q.tth.size() ? q.tth[i] : q.ttz[i - q.tth.size()]) ^= char(mask);
                TextureFile t;
                Decoded d;
                if (Parse(t, q.tth, q.ttz) && t.Decode(d.image)) {
                    ++decoded;
                    EXPECT_EQ(d.image.width, t.width);
                    EXPECT_EQ(d.image.height, t.height);
                } else {
                    ++failed;
                }
            }
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(decoded, 0) << "flips in the thumbnail area and the pixels change nothing that matters";
}

// ---- An independent decoder ------------------------------------------------

#ifdef QUILLON_HAVE_SQUISH
namespace {

// Compares our B G R A with squish's R G B A. Our endpoints are widened by
// shifting and squish's by copying the high bits, so 5-bit channels may be
// up to 7 lower and 6-bit ones 3, plus one for rounding where interpolated.
// Three-colour mode: squish keeps it for DXT1 only (and gives transparent
// black at index 3); ours also uses it for DXT3/DXT5 colour.
void CompareWithSquish(int flags, uint32_t format, const uint8_t* block, const uint8_t* ours, const uint8_t* theirs,
                       std::string& failure) {
    const uint8_t* colour = format == kTextureDxt1 ? block : block + 8;
    bool fourColours = (colour[0] | colour[1] << 8) > (colour[2] | colour[3] << 8);
    for (int p = 0; p < 16 && failure.empty(); ++p) {
        const uint8_t* o = ours + 4 * p;
        const uint8_t* s = theirs + 4 * p;
        uint32_t index = (colour[4 + p / 4] >> (2 * (p % 4))) & 3;
        if (o[3] != s[3]) failure = "alpha";
        bool compareColour = fourColours || index < 2 || (flags == squish::kDxt1 && index == 2);
        int slack = index < 2 ? 0 : 1;
        for (int c = 0; c < 3 && compareColour && failure.empty(); ++c) {
            int mine = o[2 - c], other = s[c], limit = (c == 1 ? 3 : 7) + slack;
            if (mine > other || other - mine > limit) failure = "channel " + std::to_string(c);
        }
        if (!failure.empty()) failure += " differs at pixel " + std::to_string(p);
    }
}

}  // namespace

TEST(TextureSquishTest, RandomBlocksDecodeAsSquishDecodesThem) {
    std::mt19937 rng(20240611);
    struct Kind {
        uint32_t format;
        int flags, bytes;
    } kinds[] = {{kTextureDxt1, squish::kDxt1, 8}, {kTextureDxt3, squish::kDxt3, 16}, {kTextureDxt5, squish::kDxt5, 16}};
    for (const Kind& k : kinds) {
        for (int round = 0; round < 20000; ++round) {
            std::string block(k.bytes, '\0');
            for (char& b : block) b = char(rng());
            if (round % 8 == 0) block[k.bytes - 6] = block[k.bytes - 8];  // equal endpoints now and then
            Decoded d;
            DecodeRaw(d, k.format, 4, 4, block);
            ASSERT_TRUE(d.ok);
            uint8_t theirs[64];
            squish::Decompress(theirs, block.data(), k.flags);
            std::string failure;
            CompareWithSquish(k.flags, k.format, reinterpret_cast<const uint8_t*>(block.data()), d.image.pixels, theirs,
                              failure);
            ASSERT_EQ(failure, "") << "format " << k.format << " round " << round;
        }
    }
}
#endif

// ---- The game's own files ---------------------------------------------------

TEST(TextureRealDataTest, EveryRealTextureDecodesToItsHeaderSize) {
    std::string folder = RealData() + "/bloodlines/materials";
    if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no real data at " << folder;
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".tth") continue;
        std::string name = entry.path().string();
        Pair p;
        ASSERT_TRUE(ReadWholeFile(name, p.tth) && ReadWholeFile(name.substr(0, name.size() - 1) + "z", p.ttz));
        Messages m;
        TextureFile t;
        t.message = m.Seam();
        Decoded d;
        if (entry.path().stem() == "null") {
            EXPECT_FALSE(Parse(t, p.tth, p.ttz)) << "its body is 16 bytes short of its full-size level";
            EXPECT_EQ(m.shown, std::vector<std::string>{kHeaderIncorrect});
            continue;
        }
        ASSERT_TRUE(Parse(t, p.tth, p.ttz)) << name;
        ASSERT_TRUE(t.Decode(d.image)) << name;
        size_t embedded = 20 + 8 * uint8_t(p.tth[6]);
        EXPECT_EQ(d.image.width, Get32(p.tth, embedded + 16) & 0xFFFF) << name;
        EXPECT_EQ(d.image.height, Get32(p.tth, embedded + 16) >> 16) << name;
        EXPECT_TRUE(m.shown.empty()) << name;
        ++decoded;
        if (entry.path().stem() == "black") {
            std::string opaqueOnes;
            for (int i = 0; i < 128 * 128; ++i) opaqueOnes += std::string("\x01\x01\x01\xFF", 4);
            EXPECT_TRUE(Pixels(d.image) == opaqueOnes) << "format 3 gains opaque alpha";
        }
    }
    EXPECT_EQ(decoded, 12);
}

TEST(TextureRealDataTest, LoadTextureReadsThePairBesideTheOpenPack) {
    std::string folder = RealData() + "/bloodlines";
    if (!std::filesystem::exists(folder + "/pack103.vpk")) GTEST_SKIP() << "no real data at " << folder;
    CwdGuard cwd;
    AppState app;
    Messages m;
    app.message = m.Seam();
    ASSERT_TRUE(OpenPack(app, (folder + "/pack103.vpk").c_str()));
    struct Case {
        const char* path;
        bool loads;
        uint32_t width, height;
        const char* pathAfter;
        std::vector<std::string> shown;
    } cases[] = {
        {"materials\\models\\weapons\\broadsword\\swordefes.vmt", true, 256, 64,
         "materials\\models\\weapons\\broadsword\\swordefes.ttz", {}},
        {"Materials/HUD/Area_Icons/area_icon_combat", true, 128, 128, "Materials/HUD/Area_Icons/area_icon_combat.ttz", {}},
        {"materials/models/weapons/handleclaws/null.tth", false, 0, 0, "materials/models/weapons/handleclaws/null.ttz",
         {kHeaderIncorrect}},
        {"materials/absent.tth", false, 0, 0, "materials\\absent.tth", {}},
    };
    for (const Case& c : cases) {
        FileEntry key = {};
        std::strcpy(key.name, c.path);
        m.shown.clear();
        Decoded d;
        EXPECT_EQ(LoadTexture(app, key, d.image), c.loads) << c.path;
        EXPECT_EQ(d.image.width, c.width) << c.path;
        EXPECT_EQ(d.image.height, c.height) << c.path;
        EXPECT_STREQ(key.name, c.pathAfter);
        EXPECT_EQ(m.shown, c.shown) << c.path;
    }
}
