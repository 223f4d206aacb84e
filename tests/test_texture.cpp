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

using Shown = std::vector<std::string>;
// Collects "caption: text" of every message shown through the seam.
MessageSeam Collect(Shown& shown) {
    MessageSeam seam;
    seam.context = &shown;
    seam.show = [](void* c, const char* text, const char* caption) {
        static_cast<Shown*>(c)->push_back(std::string(caption) + ": " + text);
    };
    return seam;
}
const char kHeaderIncorrect[] = "Error In Texture File!: The TTH File Header Is Incorrect!";
const char kUnpackError[] = "Error!: Error Unpacking Texture";

uint32_t Get32(const void* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
void Set32(std::string& s, size_t at, uint32_t v) { std::memcpy(&s[at], &v, 4); }
std::string Le16(uint32_t a, uint32_t b) { return {char(a), char(a >> 8), char(b), char(b >> 8)}; }
uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) { return b | g << 8 | r << 16 | a << 24; }

// A picture released on scope exit. Given sides, it is made with every byte
// differing from its neighbours'.
struct Picture {
    Image32 image = EmptyImage();
    Picture() = default;
    Picture(uint32_t w, uint32_t h) {
        EXPECT_TRUE(image.Create(w, h));
        for (uint64_t i = 0; i < uint64_t(w) * h * 4; ++i) image.pixels[i] = uint8_t(i * 7 + i / 251);
    }
    ~Picture() { image.Release(); }
    uint32_t At(uint32_t x, uint32_t y) const { return Get32(image.Pixel(x, y)); }
    std::string Pixels() const {
        return std::string(reinterpret_cast<char*>(image.pixels), size_t(image.width) * image.height * 4);
    }
};
// One frame of raw pixel data in the given format.
bool DecodeRaw(Picture& d, uint32_t format, uint32_t w, uint32_t h, const std::string& src) {
    EXPECT_TRUE(d.image.Create(w, h));
    return DecodeTexturePixels(format, reinterpret_cast<const uint8_t*>(src.data()), src.size(), w, h, d.image.pixels);
}

struct Pair { std::string tth, ttz; };

std::unique_ptr<uint8_t[]> Copy(const std::string& s) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[s.size() + 1]);
    std::memcpy(bytes.get(), s.data(), s.size());
    return bytes;
}
bool Parse(TextureFile& t, const Pair& p) {
    return t.Parse(Copy(p.tth), uint32_t(p.tth.size()), Copy(p.ttz), uint32_t(p.ttz.size()));
}

Pair Encode(const Image32& image, TextureFile& t, bool* ok = nullptr) {
    TempDir dir;
    FileHandle tth, ttz;
    EXPECT_TRUE(tth.Create((dir / "t.tth").c_str()) && ttz.Create((dir / "t.ttz").c_str()));
    bool written = t.Encode(image, tth, ttz);
    if (ok != nullptr) *ok = written;
    tth.Close(), ttz.Close();
    Pair p;
    EXPECT_TRUE(ReadWholeFile(dir / "t.tth", p.tth) && ReadWholeFile(dir / "t.ttz", p.ttz));
    return p;
}

// A pair laid out as the game's own: the table entries before the last hold
// 16, which matches no level.
struct Layout {
    uint32_t format = kTextureDxt1, width = 4, height = 4, frames = 1, n = 3, minor = 1;
    std::string body = std::string(8, '\x55');
    int64_t endDelta = 0, packedDelta = 0;
};

Pair Build(const Layout& l) {
    const uint32_t base = 192;
    uLongf packed = compressBound(uLong(l.body.size()));
    Pair p{std::string("TTH\0\1\0", 6) + char(l.n) + '\0', std::string(packed, '\0')};
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(&p.ttz[0]), &packed, reinterpret_cast<const Bytef*>(l.body.data()),
                       uLong(l.body.size())), Z_OK);
    p.ttz.resize(packed);
    AppendLE32(p.tth, base);
    for (uint32_t i = 0; i < l.n; ++i) AppendLE32(p.tth, 16), AppendLE32(p.tth, 0);
    AppendLE32(p.tth, uint32_t(base + l.body.size() + l.endDelta));
    AppendLE32(p.tth, uint32_t(p.ttz.size() + l.packedDelta));
    std::string e = std::string("VTF\0", 4) + std::string(60, '\0');
    Set32(e, 4, 7), Set32(e, 8, l.minor), Set32(e, 16, l.width | l.height << 16), Set32(e, 24, l.frames);
    Set32(e, 52, l.format);
    p.tth += e;
    return p;
}

}  // namespace

TEST(TextureEncodeTest, A256SquareHasTheDocumentedLayout) {
    Picture in(256, 256);
    TextureFile t;
    Pair p = Encode(in.image, t);
    ASSERT_EQ(p.tth.size(), 1180u);
    EXPECT_EQ(t.headerSize, 1180u) << "the record keeps what it wrote";
    EXPECT_EQ(p.tth.substr(0, 8), std::string("TTH\0\1\0\x09\x03", 8)) << "magic, version, n, aspect code";
    EXPECT_EQ(Get32(&p.tth[8]), 1088u);
    const uint32_t ends[] = {1092, 1096, 1112, 1176, 1432, 2456, 6552, 22936, 88472, 350616};
    for (uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(Get32(&p.tth[12 + 8 * i]), ends[i]) << i;
        EXPECT_EQ(Get32(&p.tth[16 + 8 * i]), i == 9 ? p.ttz.size() : 0u) << i;
    }
    // The embedded header as the game reads it: version 7.1, sides, flags, reflectivity, bump scale, format 12,
    // mip count, then a 16 x 16 thumbnail of format 12 whose area stays zero.
    const uint32_t words[][2] = {{4, 7}, {8, 1}, {12, 64}, {16, 256 | 256 << 16}, {20, 0x200}, {24, 1},
                                 {32, 0x3EB549E2}, {36, 0x3E9D3ED7}, {40, 0x3EADD447}, {48, 0x3F800000}, {52, 12}};
    for (auto& w : words) EXPECT_EQ(Get32(&p.tth[92 + w[0]]), w[1]) << "embedded offset " << w[0];
    EXPECT_EQ(p.tth.substr(148), std::string("\x09\x0C\0\0\0\x10\x10", 7) + std::string(1025, '\0'));
    // Levels below the full size are point-sampled; the two smallest stay zero.
    ASSERT_TRUE(Parse(t, p));
    ASSERT_EQ(t.bodySize, 349528u);
    for (uint32_t k = 1, side = 128; k < 8; ++k, side /= 2)
        for (uint32_t i = 0; i < side * side; ++i)
            ASSERT_EQ(Get32(&t.body[ends[8 - k] - 1088 + 4 * i]), Get32(in.image.Pixel(i % side << k, i / side << k)))
                << "level " << 9 - k << " pixel " << i;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(t.body.get()), 8), std::string(8, '\0'));
}

TEST(TextureEncodeTest, LevelCountAndAspectCodeFollowTheSidesAndPicturesComeBackExactly) {
    const uint32_t cases[][4] = {{256, 64, 9, 5}, {100, 30, 7, 5}, {64, 256, 9, 5}, {255, 255, 8, 3}, {300, 10, 9, 8},
                                 {1, 1, 1, 3},    {2, 2, 2, 3},    {3, 5, 3, 4},    {3, 1, 2, 5},    {1, 300, 9, 12}};
    for (auto& c : cases) {
        SCOPED_TRACE(std::to_string(c[0]) + "x" + std::to_string(c[1]));
        Picture in(c[0], c[1]);
        TextureFile t;
        Picture d;
        Pair p = Encode(in.image, t);
        ASSERT_EQ(p.tth.size(), 1108u + 8 * c[2]);
        EXPECT_EQ(uint8_t(p.tth[6]), c[2]);
        EXPECT_EQ(uint8_t(p.tth[7]), c[3]);
        ASSERT_TRUE(Parse(t, p) && t.Decode(d.image));
        EXPECT_EQ(t.format, uint32_t(kTextureBgra8888));
        EXPECT_TRUE(d.Pixels() == in.Pixels());
    }
}

TEST(TextureEncodeTest, FailuresAreReportedAsFailures) {
    TextureFile t;
    Picture wide(70000, 1), small(4, 4);
    Image32 empty = EmptyImage();
    for (const Image32* image : {&empty, &wide.image}) {
        bool ok = true;
        Pair p = Encode(*image, t, &ok);
        EXPECT_FALSE(ok) << "empty, or a side the embedded header cannot hold";
        EXPECT_TRUE(p.tth.empty() && p.ttz.empty()) << "nothing written";
    }
    FileHandle closed1, closed2;
    EXPECT_FALSE(t.Encode(small.image, closed1, closed2)) << "a failed write is not success";
}

TEST(TextureParseTest, HeadersAreJudgedByTheirLastEntryAndTheLevelTheyNeed) {
    // Each change is applied to the layout, then to the pair built from it.
    const struct { const char* what; void (*change)(Layout&, Pair&); bool parses; const char* message; } cases[] = {
        {"the game's layout: constants before the last entry", [](Layout&, Pair&) {}, true, ""},
        {"single level: a table of one entry", [](Layout& l, Pair&) { l.n = 0; }, true, ""},
        {"embedded minor version 0", [](Layout& l, Pair&) { l.minor = 0; }, true, ""},
        {"the .ttz longer than its stream", [](Layout&, Pair& p) { p.ttz += "junk"; }, true, ""},
        {"embedded minor version 2", [](Layout& l, Pair&) { l.minor = 2; }, false, ""},
        {"wrong magic", [](Layout&, Pair& p) { p.tth[2] = 'X'; }, false, ""},
        {"no embedded signature", [](Layout&, Pair& p) { p.tth[20 + 8 * 3] = 'X'; }, false, ""},
        {"embedded header cut short", [](Layout&, Pair& p) { p.tth.pop_back(); }, false, kHeaderIncorrect},
        {"n runs past the .tth", [](Layout&, Pair& p) { p.tth[6] = char(200); }, false, kHeaderIncorrect},
        {"end before data base", [](Layout& l, Pair&) { l.endDelta = -9; }, false, kHeaderIncorrect},
        {"body 16 bytes short of a DXT3 level", [](Layout& l, Pair&) {
             l.format = kTextureDxt3, l.width = l.height = 16, l.body.assign(240, 'x'); }, false, kHeaderIncorrect},
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
    for (const auto& c : cases) {
        Layout l;
        Pair p{std::string(256, '\0'), std::string(256, '\0')};  // room for the pair changes, ignored
        c.change(l, p);
        c.change(l, p = Build(l));
        Shown messages;
        TextureFile t;
        t.message = Collect(messages);
        EXPECT_EQ(Parse(t, p), c.parses) << c.what;
        EXPECT_EQ(t.loaded, c.parses ? 1 : 0) << c.what;
        EXPECT_EQ(messages, *c.message ? Shown{c.message} : Shown{}) << c.what;
        EXPECT_NE(t.header, nullptr) << "the record keeps the new header: " << c.what;
        EXPECT_EQ(t.body ? t.bodySize : ~0u, c.parses ? l.body.size() : ~0u) << c.what << ": a body only when parsed";
    }
}

TEST(TexturePixelTest, PlainFormatsReorderAndColourBlocksPickTheirPalette) {
    // Colour blocks: row 0 takes indices 0, 1, 2, 3 (byte 0xE4), other rows 0.
    auto colour = [](uint32_t c0, uint32_t c1) { return Le16(c0, c1) + std::string("\xE4\0\0\0", 4); };
    const std::string dxt3Alpha(8, '\x77'), dxt5Alpha = std::string("\x77\x77", 2) + std::string(6, '\0');
    const struct { uint32_t format; std::string src; std::vector<uint32_t> row; } cases[] = {  // row: side decoded
        {kTextureRgba8888, "\x0A\x14\x1E\x28", {Bgra(30, 20, 10, 40)}},
        {kTextureUvwq8888, "\x0A\x14\x1E\x28", {Bgra(30, 20, 10, 40)}},
        {kTextureBgr888, "\x0A\x14\x1E", {Bgra(10, 20, 30, 255)}},
        {kTextureBgra8888, "\x0A\x14\x1E\x28", {Bgra(10, 20, 30, 40)}},
        // 0xAARRGGBB. Endpoints widen by shifting (31 becomes 248); c0 <= c1
        // gives three colours and transparent cyan, in DXT3/DXT5 colour too,
        // whose alpha blocks then give every pixel 0x77.
        {kTextureDxt1, colour(0xFFFF, 0x0000), {0xFFF8FCF8, 0xFF000000, 0xFFA5A8A5, 0xFF525452}},
        {kTextureDxt1, colour(0x0000, 0xFFFF), {0xFF000000, 0xFFF8FCF8, 0xFF7C7E7C, 0x0000FFFF}},
        {kTextureDxt1, colour(0x1234, 0x1234), {0xFF1044A0, 0xFF1044A0, 0xFF1044A0, 0x0000FFFF}},
        {kTextureDxt3, dxt3Alpha + colour(0x001F, 0xF800), {0x770000F8, 0x77F80000, 0x777C007C, 0x7700FFFF}},
        {kTextureDxt5, dxt5Alpha + colour(0xF800, 0x001F), {0x77F80000, 0x770000F8, 0x77A50052, 0x775200A5}},
    };
    for (const auto& c : cases) {
        Picture d;
        uint32_t side = uint32_t(c.row.size());
        ASSERT_TRUE(DecodeRaw(d, c.format, side, side, c.src)) << "format " << c.format;
        for (uint32_t x = 0; x < side; ++x) EXPECT_EQ(d.At(x, 0), c.row[x]) << "format " << c.format << " pixel " << x;
        EXPECT_EQ(d.At(side - 1, side - 1), c.row[0]) << "format " << c.format;
    }
}

TEST(TexturePixelTest, AlphaBlocksFollowTheirTables) {
    // DXT5 pixel p carries index p & 7; DXT3 pixel p the nibble p.
    const struct { uint8_t a0, a1, want[8]; } cases[] = {
        {200, 0, {200, 0, 171, 142, 114, 85, 57, 28}}, {0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
        {9, 9, {9, 9, 9, 9, 9, 9, 0, 255}}};
    uint64_t bits = 0;
    for (int p = 15; p >= 0; --p) bits = bits << 3 | (p & 7);
    for (const auto& c : cases) {
        Picture d;
        std::string block = {char(c.a0), char(c.a1)};
        block += std::string(reinterpret_cast<char*>(&bits), 6) + std::string(8, '\0');
        ASSERT_TRUE(DecodeRaw(d, kTextureDxt5, 4, 4, block));
        for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(d.At(p % 4, p / 4) >> 24, c.want[p & 7]) << int(c.a0) << " " << p;
    }
    Picture d;
    ASSERT_TRUE(DecodeRaw(d, kTextureDxt3, 4, 4, "\x10\x32\x54\x76\x98\xBA\xDC\xFE" + std::string(8, '\0')));
    for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(d.At(p % 4, p / 4) >> 24, 17 * p) << p;
}

TEST(TexturePixelTest, SidesOffTheBlockGridTakeTheCutBlocks) {
    // Block k has c0 = c1 = k + 1 (blue 8 (k + 1)) and every index 0.
    std::string blocks;
    for (int k = 1; k <= 4; ++k) blocks += Le16(k, k) + std::string(4, '\0');
    Picture small, uneven, shortOfBlocks;
    ASSERT_TRUE(DecodeRaw(small, kTextureDxt1, 2, 2, blocks.substr(0, 8)));
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(small.At(i % 2, i / 2), Bgra(8, 0, 0, 255)) << i;
    // 6 x 5: two blocks a row, two rows; every pixel belongs to one.
    ASSERT_TRUE(DecodeRaw(uneven, kTextureDxt1, 6, 5, blocks));
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(uneven.At(x, y), Bgra(8 * (1 + x / 4 + 2 * (y / 4)), 0, 0, 255)) << x << "," << y;
    EXPECT_FALSE(DecodeRaw(shortOfBlocks, kTextureDxt1, 6, 5, blocks.substr(0, 24)));
    EXPECT_EQ(shortOfBlocks.Pixels(), std::string(6 * 5 * 4, '\0'));
}

TEST(TextureDecodeTest, TakesFrameZeroOfTheLastLevelAndNamesFormatsItCannotDecode) {
    Shown shown;
    TextureFile t;
    t.message = Collect(shown);
    Picture d;
    EXPECT_FALSE(t.Decode(d.image)) << "nothing parsed";
    t.loaded = 1, t.format = kTextureDxt5, t.width = t.height = 8, t.frames = 1, t.bodySize = 63;
    t.body.reset(new uint8_t[63]());
    EXPECT_FALSE(t.Decode(d.image)) << "a record filled by hand, its body short of its level";
    EXPECT_EQ(d.image.pixels, nullptr);
    Layout l;
    l.format = kTextureBgra8888, l.width = 1, l.height = 1, l.frames = 2;
    l.body = std::string("smallXYZ") + "\x01\x02\x03\x04" + "\x05\x06\x07\x08";
    ASSERT_TRUE(Parse(t, Build(l)) && t.Decode(d.image));
    EXPECT_EQ(d.At(0, 0), 0x04030201u);
    l.format = 20;
    ASSERT_TRUE(Parse(t, Build(l))) << "an unsupported format still parses";
    EXPECT_FALSE(t.Decode(d.image));
    EXPECT_EQ(shown, (Shown{kHeaderIncorrect, "Error: Texture Format '20' Is Unsupported!"}));
    EXPECT_EQ(d.Pixels(), std::string(4, '\0')) << "created and left zero";
}

TEST(TextureRobustnessTest, TruncatedPairsFailAndFlippedBytesFailOrDecodeToTheHeaderSize) {
    Picture in(5, 3);
    TextureFile enc;
    Pair good = Encode(in.image, enc);
    const size_t needed = 84 + 8 * 3;  // the thumbnail area is never read
    for (size_t cut = 0; cut < good.tth.size() + good.ttz.size(); ++cut) {
        bool inTth = cut < good.tth.size();
        Pair p = inTth ? Pair{good.tth.substr(0, cut), good.ttz}
                       : Pair{good.tth, good.ttz.substr(0, cut - good.tth.size())};
        TextureFile t;
        Picture d;
        ASSERT_EQ(Parse(t, p), inTth && cut >= needed) << cut;
        EXPECT_TRUE(!t.loaded || (t.Decode(d.image) && d.Pixels() == in.Pixels())) << cut;
    }
    Layout l;
    l.format = kTextureDxt5, l.width = 6, l.height = 5, l.body = std::string(64, '\x9C');
    int decoded = 0, failed = 0;
    for (const Pair& p : {good, Build(l)}) {
        for (size_t i = 0; i < 3 * (p.tth.size() + p.ttz.size()); ++i) {
            Pair q = p;
            size_t at = i / 3;
            (at < q.tth.size() ? q.tth[at] : q.ttz[at - q.tth.size()]) ^= "\x01\x80\xFF"[i % 3];
            TextureFile t;
            Picture d;
            bool ok = Parse(t, q) && t.Decode(d.image);
            ok ? ++decoded : ++failed;
            EXPECT_TRUE(!ok || (d.image.width == t.width && d.image.height == t.height)) << "byte " << at;
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(decoded, 0) << "flips in the thumbnail area and the pixels change nothing that matters";
}

#ifdef QUILLON_HAVE_SQUISH
// Our B G R A against squish's R G B A. Our endpoints widen by shifting and
// squish's by copying the high bits, so 5-bit channels may be up to 7 lower
// and 6-bit ones 3, plus one for rounding where interpolated. Squish keeps
// three-colour mode for DXT1 only (black at index 3), so the third and fourth
// colours of such DXT3/DXT5 blocks, and the fourth of DXT1, are not compared.
TEST(TextureSquishTest, RandomBlocksDecodeAsSquishDecodesThem) {
    std::mt19937 rng(20240611);
    const struct { uint32_t format; int flags, bytes; } kinds[] = {
        {kTextureDxt1, squish::kDxt1, 8}, {kTextureDxt3, squish::kDxt3, 16}, {kTextureDxt5, squish::kDxt5, 16}};
    for (const auto& k : kinds) {
        for (int round = 0; round < 20000; ++round) {
            std::string block(k.bytes, '\0');
            for (char& b : block) b = char(rng());
            if (round % 8 == 0) block[k.bytes - 6] = block[k.bytes - 8];  // equal endpoints now and then
            Picture d;
            ASSERT_TRUE(DecodeRaw(d, k.format, 4, 4, block));
            uint8_t theirs[64];
            squish::Decompress(theirs, block.data(), k.flags);
            const uint8_t* colour = reinterpret_cast<const uint8_t*>(block.data()) + k.bytes - 8;
            bool fourColours = (colour[0] | colour[1] << 8) > (colour[2] | colour[3] << 8);
            for (int p = 0; p < 16; ++p) {
                const uint8_t *o = d.image.pixels + 4 * p, *s = theirs + 4 * p;
                uint32_t index = (colour[4 + p / 4] >> (2 * (p % 4))) & 3;
                bool same = o[3] == s[3];
                bool compare = fourColours || index < 2 || (k.flags == squish::kDxt1 && index == 2);
                for (int c = 0; c < 3 && compare; ++c)
                    same = same && o[2 - c] <= s[c] && s[c] - o[2 - c] <= (c == 1 ? 3 : 7) + (index < 2 ? 0 : 1);
                ASSERT_TRUE(same) << "format " << k.format << " round " << round << " pixel " << p;
            }
        }
    }
}
#endif

TEST(TextureRealDataTest, EveryRealTextureDecodesToItsHeaderSize) {
    std::string folder = RealData() + "/bloodlines/materials";
    if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no real data at " << folder;
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string name = entry.path().string(), stem = entry.path().stem().string();
        Pair p;
        if (entry.path().extension() != ".tth") continue;
        ASSERT_TRUE(ReadWholeFile(name, p.tth) && ReadWholeFile(name.substr(0, name.size() - 1) + "z", p.ttz));
        Shown shown;
        TextureFile t;
        t.message = Collect(shown);
        Picture d;
        // handleclaws/null's body is 16 bytes short of its full-size level.
        bool ok = Parse(t, p) && t.Decode(d.image);
        EXPECT_EQ(ok, stem != "null") << name;
        EXPECT_EQ(shown, stem == "null" ? Shown{kHeaderIncorrect} : Shown{}) << name;
        if (!ok) continue;
        EXPECT_EQ(d.image.width | d.image.height << 16, Get32(&p.tth[20 + 8 * uint8_t(p.tth[6]) + 16])) << name;
        for (uint32_t i = 0; stem == "black" && i < 128 * 128; ++i)
            ASSERT_EQ(d.At(i % 128, i / 128), Bgra(1, 1, 1, 255)) << "format 3 gains opaque alpha";
        ++decoded;
    }
    EXPECT_EQ(decoded, 14);
}
