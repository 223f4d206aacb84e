// PNG in and out: our encoding and decoding against netpbm as the
// independent reader and ImageMagick as another writer, damaged files, the PNG export of pictures
// (real textures included) and PNG files dropped on a texture.
#include "extract/Extract.h"
#include "pack/GameFiles.h"
#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "texture/LoadImage.h"
#include "texture/Png.h"
#include "texture/TextureExport.h"
#include "tools/TextureWriter.h"
#include "IndependentReaders.h"
#include "TestGame.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Every channel depends on x and y in its own way, so a swapped channel, a
// flip or a skew changes the picture; alpha varies unless opaque.
Image32 PatternImage(uint32_t w, uint32_t h, bool opaque) {
    Image32 image = Image32{};
    EXPECT_TRUE(image.Create(w, h));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.Pixel(x, y);
            p[0] = uint8_t(x * 37 + y * 11 + 1);
            p[1] = uint8_t(x * 5 + y * 71 + 3);
            p[2] = uint8_t((x ^ y) * 29 + 7);
            p[3] = opaque ? 255 : uint8_t(x * 13 + y * 53 + 9);
        }
    return image;
}

bool SamePixels(const Image32& a, const Image32& b) {
    return a.width == b.width && a.height == b.height &&
           std::memcmp(a.pixels, b.pixels, size_t(a.width) * a.height * 4) == 0;
}

// ImageMagick writes PNGs of every colour type and depth; netpbm decodes
// them (and ours) independently. ImageMagick's own decoding is no yardstick
// for 16-bit files: it cuts 16-bit samples to 8 bits one step low for a third
// of the values, where netpbm's pamdepth rounds to the nearest. Under
// Windows (and Wine) the checks are left out: the codec is the same portable
// code checked natively.
#ifndef _WIN32
using independent::Convert;
using independent::Q;
void ExpectNetpbmSees(const TempDir& dir, const std::string& path, const Image32& image) {
    std::string theirs;
    ASSERT_TRUE(independent::NetpbmBgra(dir, "pngtopam -alphapam " + Q(path), theirs)) << path;
    ASSERT_EQ(theirs.size(), size_t(image.width) * image.height * 4) << path;
    for (size_t i = 0; i < theirs.size(); ++i)
        ASSERT_EQ(image.pixels[i], uint8_t(theirs[i])) << path << " byte " << i;
}
#endif

}  // namespace

TEST(PngTest, RoundTripKeepsEveryPixelAndDropsAlphaOnlyWhenOpaque) {
    for (bool opaque : {false, true}) {
        Image32 image = PatternImage(13, 7, opaque);
        std::vector<uint8_t> png;
        ASSERT_TRUE(EncodePng(image, png));
        // IHDR's colour type: 2 RGB, 6 RGBA; bit depth 8.
        ASSERT_GT(png.size(), 26u);
        EXPECT_EQ(png[24], 8);
        EXPECT_EQ(png[25], opaque ? 2 : 6);
        Image32 back = Image32{};
        ASSERT_TRUE(ReadPngBytes(back, png.data(), png.size()));
        EXPECT_TRUE(SamePixels(image, back)) << (opaque ? "opaque" : "with alpha");
        image.Release();
        back.Release();
    }
    Image32 empty = Image32{};
    std::vector<uint8_t> png{1, 2, 3};
    EXPECT_FALSE(EncodePng(empty, png));
    EXPECT_TRUE(png.empty());
}

TEST(PngTest, DamagedFilesFailCleanlyAndLeaveTheRecordAlone) {
    Image32 image = PatternImage(9, 6, false);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(image, png));
    image.Release();
    Image32 out = Image32{};
    for (size_t n = 0; n < png.size(); ++n) {
        // A file cut anywhere before its last chunk's end loses pixel data
        // or the end marker; it must never read past what it was given.
        std::vector<uint8_t> cut(png.begin(), png.begin() + long(n));
        bool ok = ReadPngBytes(out, cut.data(), cut.size());
        if (ok) {
            EXPECT_GE(n, png.size() - 12) << "only the IEND chunk may be missing";
            out.Release();
        } else {
            EXPECT_EQ(out.pixels, nullptr);
        }
    }
    for (size_t at = 8; at < png.size(); at += 3) {
        std::vector<uint8_t> bad = png;
        bad[at] ^= 0x5A;
        if (ReadPngBytes(out, bad.data(), bad.size())) {
            EXPECT_EQ(out.width * out.height, 54u);
            out.Release();
        }
    }
    // A header stating 100000 x 100000 pixels is refused before any
    // allocation; so is a file that is no PNG at all.
    std::vector<uint8_t> huge = png;
    const uint8_t side[4] = {0x00, 0x01, 0x86, 0xA0};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    EXPECT_FALSE(ReadPngBytes(out, huge.data(), huge.size()));
    std::string text = "not a picture at all";
    EXPECT_FALSE(ReadPngBytes(out, Bytes(text), text.size()));
    EXPECT_FALSE(ReadPngBytes(out, nullptr, 0));
    EXPECT_EQ(out.pixels, nullptr);
}

#ifndef _WIN32
TEST(PngCrossCheck, NetpbmReadsWhatWeWriteAndWeReadWhatImageMagickWrites) {
    TempDir dir;
    for (bool opaque : {false, true}) {
        Image32 image = PatternImage(37, 21, opaque);
        FileHandle f;
        ASSERT_TRUE(f.Create((dir / "ours.png").c_str()) && WritePng(image, f));
        f.Close();
        ExpectNetpbmSees(dir, dir / "ours.png", image);
        image.Release();
    }
    // The colour types and depths other writers produce.
    std::string source = dir / "source.png";
    ASSERT_TRUE(Convert("-seed 3 -size 29x17 plasma:fractal -channel A -fx '(i+j)/50' +channel " + Q(source)));
    for (const char* options : {"PNG8:", "PNG24:", "PNG32:", "PNG64:", "-colorspace Gray PNG:",
                                "-colorspace Gray -depth 16 PNG:", "-interlace PNG PNG32:"}) {
        SCOPED_TRACE(options);
        std::string path = dir / "theirs.png", bytes;
        ASSERT_TRUE(Convert(Q(source) + " " + options + Q(path)) && ReadWholeFile(path, bytes));
        Image32 image = Image32{};
        ASSERT_TRUE(ReadPngBytes(image, Bytes(bytes), bytes.size()));
        ExpectNetpbmSees(dir, path, image);
        image.Release();
    }
}
#endif

TEST(PngExportTest, WritesEachPictureOnceWithThePixelsOfItsTexture) {
    TestGame g;
    std::string tth, ttz;
    ASSERT_TRUE(BuildTexturePair(12, 8, 4, 1, tth, ttz));
    g.Open("p.vpk", {{"materials/Rock.tth", tth}, {"materials/Rock.ttz", ttz}, {"materials/notes.txt", "text"}});
    EXPECT_EQ(RunExtraction(g.app, FindTreeItemByPath(g.app.tree, "materials"), kExtractTexturesPng), 2u);
    const ExtractReport& r = g.app.extraction.report;
    EXPECT_EQ(r.written, 1u);
    EXPECT_EQ(r.skipped, 1u) << "the second file of the pair finds its PNG there";
    EXPECT_EQ(r.failed, 0u);
    EXPECT_FALSE(fs::exists(g.dir / "out/materials/Rock.tga"));
    Image32 png = Image32{}, decoded = Image32{};
    ASSERT_TRUE(ReadPngFile(png, (g.dir / "out/materials/Rock.png").c_str()));
    FileEntry key = {};
    std::strcpy(key.name, "materials/Rock.tth");
    ASSERT_EQ(LoadImage(g.app, key, decoded, false).loaded, 1);
    EXPECT_TRUE(SamePixels(png, decoded));
    png.Release();
    decoded.Release();
}

TEST(PngConvertTest, ADroppedPngBecomesATextureOfTheSamePixels) {
    TestGame g;
    std::string tth, ttz;
    ASSERT_TRUE(BuildTexturePair(12, 4, 4, 1, tth, ttz));
    g.Open("p.vpk", {{"materials/crate.tth", tth}, {"materials/crate.ttz", ttz}});
    Image32 image = PatternImage(12, 10, false);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(image, png));
    g.dir.Write("drop/CRATE.PNG", std::string(png.begin(), png.end()));
    g.dir.Write("drop/broken.png", std::string(png.begin(), png.begin() + 40));
    TreeItem any = FindTreeItemByPath(g.app.tree, "materials/crate.tth");

    ASSERT_TRUE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/CRATE.PNG").c_str()));
    Image32 back = Image32{};
    FileEntry key = {};
    std::strcpy(key.name, "materials/crate.ttz");
    ASSERT_EQ(LoadImage(g.app, key, back, false).loaded, 1) << "read back from the loose pair";
    // The texture is stored uncompressed, so every pixel comes back exactly.
    EXPECT_TRUE(SamePixels(image, back));
    back.Release();
    image.Release();

    EXPECT_FALSE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/broken.png").c_str()));
    // It is there: named with what is wrong, not as missing.
    EXPECT_EQ(g.messages.back(), "Error!|broken.png: " + std::string(ReasonWords(Reason::PngUnreadable)));
    EXPECT_FALSE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/gone.png").c_str()));
    EXPECT_EQ(g.messages.back(), "File Not Found In Current Directory.|gone.png");
}

TEST(PngRealDataTest, EveryRealTextureExportsToAPngEqualToOurDecode) {
    std::string pack = RealData() + "/bloodlines/pack103.vpk";
    if (!fs::exists(pack)) GTEST_SKIP() << "no real data";
    TempDir out;
    CwdGuard cwd;
    AppState app;
    ASSERT_TRUE(OpenPack(app, pack.c_str()));
    app.extraction.outputFolder = out.path;
    int exported = 0;
    for (const auto& entry : fs::recursive_directory_iterator(RealData() + "/bloodlines/materials")) {
        if (entry.path().extension() != ".tth") continue;
        std::string path = fs::relative(entry.path(), RealData() + "/bloodlines").generic_string();
        FileEntry key = {};
        std::strcpy(key.name, path.c_str());
        bool damaged = entry.path().stem() == "null";  // its body is short of its full-size level
        EXPECT_EQ(ExportTextureAsPng(app.Export(), key), !damaged) << path;
        if (damaged) continue;
        std::string written = out / (path.substr(0, path.size() - 4) + ".png");
        Image32 ours = Image32{}, decoded = Image32{};
        std::strcpy(key.name, path.c_str());
        ASSERT_EQ(LoadImage(app, key, decoded, false).loaded, 1) << path;
        ASSERT_TRUE(ReadPngFile(ours, written.c_str())) << written;
        EXPECT_TRUE(SamePixels(ours, decoded)) << path;
#ifndef _WIN32
        ExpectNetpbmSees(out, written, decoded);
#endif
        ours.Release();
        decoded.Release();
        ++exported;
    }
    EXPECT_EQ(exported, 14);
}
