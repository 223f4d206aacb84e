// Pictures by path: materials, the Targa export, the conversion of dropped
// Targa files, and what selecting a file shows.
#include "extract/Extract.h"
#include "pack/GameFiles.h"
#include "texture/ImageFiles.h"
#include "texture/LoadImage.h"
#include "texture/TextureExport.h"
#include "texture/TextureFile.h"
#include "tools/TextureWriter.h"
#include "session/ViewItem.h"
#include "TestGame.h"

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<PackFile> Texture(const std::string& stem, uint32_t w, uint32_t h, uint32_t format = 12) {
    std::string tth, ttz;
    EXPECT_TRUE(BuildTexturePair(format, w, h, 1, tth, ttz));
    return {{stem + ".tth", tth}, {stem + ".ttz", ttz}};
}

struct Game : TestGame {
    Game(const std::string& pack, const std::vector<PackFile>& files) { Open(pack, files); }
    LoadResult Load(const std::string& path, Image32& image, bool showText = false) {
        FileEntry key = {};
        std::strcpy(key.name, path.c_str());
        return LoadImage(app, key, image, showText);
    }
};

std::string Text(const uint8_t* p) {
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]);
}
std::string Pixel(const Image32& image, uint32_t x, uint32_t y) { return Text(image.Pixel(x, y)); }
std::string PatternAt(uint32_t x, uint32_t y) {
    uint8_t p[4];
    PatternPixel(x, y, p);
    return Text(p);
}

template <typename... Files>
std::vector<PackFile> Join(std::vector<PackFile> a, Files... rest) {
    for (const auto& more : {rest...}) a.insert(a.end(), more.begin(), more.end());
    return a;
}

}  // namespace

TEST(LineListTest, SplitsCutsAndUpperCases) {
    struct {
        const char* what;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF ends", "ab\r\ncd\r\n", {"AB", "CD"}},
        {"bare LF keeps the last character", "\"$x\" \"v\"\nq\n", {"\"$X\" \"V\"", "Q"}},
        {"a leading LF is an empty line", "\nz", {"", "Z"}},
        {"text after the last line end is a line", "a\nlast", {"A", "LAST"}},
        {"// comments", "\"$basetexture\" \"a/b\" // note\n// whole\n", {"\"$BASETEXTURE\" \"A/B\" ", ""}},
        {"\\\\ comments", "x \\\\ y\n", {"X "}},
        {"a single backslash stays", "a\\b\n", {"A\\B"}},
    };
    for (const auto& c : cases) {
        LineList list;
        list.Read(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size());
        EXPECT_EQ(list.lines, c.lines) << c.what;
    }
}

TEST(VmtTest, NamesItsTextureWithFlags) {
    Game g("p.vpk", Join(Texture("materials/models/crate", 8, 4),
                         std::vector<PackFile>{
                             {"materials/lf.vmt", "\"VertexLitGeneric\"\n{\n\t\"$baseTexture\" \"Models/Crate\"\n}\n"},
                             {"materials/crlf.vmt", "{\r\n\"$basetexture\"\t\"models\\crate\"\r\n\"$translucent\" 1\r\n"
                                                    "\"$nocull\" \"10\"\r\n}\r\n"},
                             {"materials/off.vmt", "\"$basetexture\" \"models/crate\"\n\"$translucent\" \"0\"\n"},
                             {"materials/tight.vmt", "\"$basetexture\"\"models/crate\""},
                             // as real materials write it, with a leading separator
                             {"materials/rooted.vmt", "\"$basetexture\" \"/models/crate\""},
                             {"materials/gone.vmt", "\"$basetexture\" \"models/none\"\n"},
                         }));
    struct {
        const char* path;
        uint8_t loaded, translucent, twoSided;
    } cases[] = {
        {"materials/lf.vmt", 1, 0, 0},   {"materials/crlf.vmt", 1, 1, 1}, {"materials/off.vmt", 1, 0, 0},
        {"materials/tight.vmt", 1, 0, 0}, {"materials/rooted.vmt", 1, 0, 0}, {"materials/gone.vmt", 0, 0, 0},
        {"materials/absent.vmt", 0, 0, 0},
    };
    for (const auto& c : cases) {
        Image32 image = Image32{};
        LoadResult r = g.Load(c.path, image);
        EXPECT_EQ(r.loaded, c.loaded) << c.path;
        EXPECT_EQ(r.translucent, c.translucent) << c.path;
        EXPECT_EQ(r.twoSided, c.twoSided) << c.path;
        if (r.loaded) {
            EXPECT_EQ(image.width, 8u);
            EXPECT_EQ(Pixel(image, 7, 3), PatternAt(7, 3)) << c.path;
        }
        image.Release();
    }
}

TEST(VmtTest, IrisBlendsOverOrReplacesTheBaseTexture) {
    // The iris is a plain texture whose alpha we know: make it by hand.
    Image32 iris = Image32{};
    ASSERT_TRUE(iris.Create(8, 4));
    for (uint32_t i = 0; i < 32; ++i) {
        uint8_t* p = iris.pixels + i * 4;
        p[0] = 200, p[1] = 100, p[2] = 0, p[3] = static_cast<uint8_t>(i * 8);
    }
    TempDir scratch;
    FileHandle tth, ttz;
    ASSERT_TRUE(tth.Create((scratch / "i.tth").c_str()) && ttz.Create((scratch / "i.ttz").c_str()));
    TextureFile encoder;
    ASSERT_TRUE(encoder.Encode(iris, tth, ttz));
    tth.Close(), ttz.Close();
    std::string irisTth, irisTtz;
    ASSERT_TRUE(ReadWholeFile(scratch / "i.tth", irisTth) && ReadWholeFile(scratch / "i.ttz", irisTtz));

    Game g("p.vpk", Join(Texture("materials/eye/base", 8, 4), Texture("materials/eye/big", 16, 16),
                         std::vector<PackFile>{
                             {"materials/eye/iris.tth", irisTth},
                             {"materials/eye/iris.ttz", irisTtz},
                             {"materials/eye/same.vmt", "\"$iris\" \"eye/iris\"\n\"$basetexture\" \"eye/base\"\n"},
                             {"materials/eye/other.vmt", "\"$basetexture\" \"eye/big\"\n\"$iris\" \"eye/iris\"\n"},
                             {"materials/eye/frame.vmt", "\"$basetexture\" \"eye/base\"\n\"$irisframe\" \"0\"\n"},
                         }));
    Image32 image = Image32{};
    ASSERT_EQ(g.Load("materials/eye/same.vmt", image).loaded, 1) << "the base, loaded last, is reported";
    for (uint32_t i : {0u, 5u, 31u}) {
        uint8_t base[4];
        PatternPixel(i % 8, i / 8, base);
        uint32_t a = i * 8;
        const uint8_t* got = image.pixels + i * 4;
        EXPECT_EQ(got[0], (200 * a + base[0] * (255 - a)) >> 8) << i;
        EXPECT_EQ(got[2], (0 * a + base[2] * (255 - a)) >> 8) << i;
        EXPECT_EQ(got[3], base[3]) << "alpha stays the base's";
    }
    image.Release();
    ASSERT_EQ(g.Load("materials/eye/other.vmt", image).loaded, 1);
    EXPECT_EQ(image.width, 8u) << "an iris of another size replaces the picture";
    EXPECT_EQ(Pixel(image, 1, 0), "200,100,0,8");
    image.Release();
    EXPECT_EQ(g.Load("materials/eye/frame.vmt", image).loaded, 1) << "$irisframe is not an iris";
    image.Release();
    iris.Release();
}

TEST(NamTest, SearchesTheMaterialFoldersInOrder) {
    Game g("p.nob", {
                        {"materials/london/WALL.TGA", BuildTga(6, 5, 24)},
                        {"materials/vienna/WALL.TGA", BuildTga(9, 9, 24)},
                        {"3d/materials/stone.nam", "PASS 0 WALL.TGA\r\nTWOSIDED\r\n"},
                        {"3d/materials/loop.nam", "TEXTURE OTHER.NAM\r\n"},
                        {"3d/materials/self.nam", "MASKED\r\n"},
                        {"3d/materials/self.tga", BuildTga(3, 2, 32)},
                        {"3d/materials/lone.tga", BuildTga(4, 4, 32)},
                    });
    // A Targa shown in Redemption mode brings its material's text, or none.
    const struct {
        const char *path, *why;
        uint8_t loaded, twoSided, translucent;
        uint32_t width;
        const char* text;  // the text view, when asked for
    } cases[] = {
        {"3d/materials/stone.nam", "london comes before vienna", 1, 1, 0, 6, nullptr},
        {"3d/materials/loop.nam", "a material never names a material", 0, 0, 0, 0, nullptr},
        {"3d/materials/self.nam", "no texture line: the Targa beside it", 1, 0, 1, 3, nullptr},
        {"3d/materials/self.tga", "its material's text", 1, 0, 0, 3, "MASKED\r\n"},
        {"3d/materials/lone.tga", "no material, no text", 1, 0, 0, 4, ""},
    };
    for (const auto& c : cases) {
        Image32 image = Image32{};
        LoadResult r = g.Load(c.path, image, c.text != nullptr);
        EXPECT_EQ(r.loaded, c.loaded) << c.why;
        EXPECT_EQ(r.twoSided, c.twoSided) << c.why;
        EXPECT_EQ(r.translucent, c.translucent) << c.why;
        EXPECT_EQ(image.width, c.width) << c.why;
        EXPECT_TRUE(!c.text || g.app.textView.text == c.text) << c.why << ": " << g.app.textView.text;
        image.Release();
    }
}

TEST(TgaExportTest, WritesEachPictureOnceAndNothingForFailures) {
    std::string badTth = Texture("x", 4, 4)[0].data;
    Game g("p.vpk", Join(Texture("materials/Rock", 8, 4), Texture("materials/Wall.Old", 4, 4),
                         std::vector<PackFile>{
                             {"materials/Broken.tth", badTth},
                             {"materials/Broken.ttz", "not zlib at all"},
                             {"materials/Pic.bmp", BuildBmp(5, 3, 24, false)},
                             {"materials/notes.txt", "not a picture"},
                         }));
    EXPECT_EQ(RunExtraction(g.app, FindTreeItemByPath(g.app.tree, "materials"), kExtractTextures), 7u);
    const ExtractReport& r = g.app.extraction.report;
    EXPECT_EQ(r.written, 3u);  // Rock, Wall, Pic
    EXPECT_EQ(r.skipped, 2u) << "the second file of each texture pair finds its Targa there";
    EXPECT_EQ(r.failed, 2u) << "both files of the broken pair";
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(g.dir / "out/materials")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Pic.tga", "Rock.tga", "Wall.tga"}));
    Image32 back = Image32{};
    ASSERT_TRUE(ReadTgaFile(back, (g.dir / "out/materials/Rock.tga").c_str()));
    EXPECT_EQ(back.width, 8u);
    EXPECT_EQ(Pixel(back, 5, 2), PatternAt(5, 2));
    back.Release();
}

TEST(ConvertTest, ReplacesBothFilesOfThePairOrNothing) {
    Game g("p.vpk", Join(Texture("materials/crate", 4, 4), Texture("materials/wall.final", 4, 4),
                         std::vector<PackFile>{{"materials/lonely.tth", Texture("x", 4, 4)[0].data}}));
    g.dir.Write("drop/CRATE.TGA", BuildTga(12, 10, 32));
    g.dir.Write("drop/wall.final.tga", BuildTga(2, 2, 24));
    g.dir.Write("drop/lonely.tga", BuildTga(2, 2, 24));
    TreeItem any = FindTreeItemByPath(g.app.tree, "materials/lonely.tth");

    ASSERT_TRUE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/CRATE.TGA").c_str()));
    EXPECT_EQ(g.app.tree.Selected(), FindTreeItemByPath(g.app.tree, "materials/crate.ttz"));
    EXPECT_TRUE(fs::exists(g.dir / "data/materials/crate.tth"));
    Image32 image = Image32{};
    ASSERT_EQ(g.Load("materials/crate.tth", image).loaded, 1) << "read back from the loose pair";
    EXPECT_EQ(image.width, 12u);
    EXPECT_EQ(Pixel(image, 11, 9), PatternAt(11, 9));
    image.Release();

    EXPECT_TRUE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/wall.final.tga").c_str()));
    EXPECT_TRUE(fs::exists(g.dir / "data/materials/wall.final.ttz"));

    g.messages.clear();
    EXPECT_FALSE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/lonely.tga").c_str()));
    EXPECT_EQ(g.messages, (std::vector<std::string>{"File Not Found In Current Directory.|lonely"}));
    EXPECT_FALSE(fs::exists(g.dir / "data/materials/lonely.tth")) << "no half pair";
    EXPECT_FALSE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/missing.tga").c_str()));
    EXPECT_EQ(g.messages.back(), "File Not Found In Current Directory.|missing.tga");
    // A file that is there but cannot be read is named with why.
    g.dir.Write("drop/crate.tga", BuildTga(12, 10, 32).substr(0, 100));
    EXPECT_FALSE(ConvertTgaToTexture(g.app, any, (g.dir / "drop/crate.tga").c_str()));
    EXPECT_EQ(g.messages.back(), "Error!|crate.tga: the file ends before its pixels do");
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(g.dir / "data")) left.push_back(e.path().filename().string());
    for (const std::string& name : left) EXPECT_EQ(name.find(".~q"), std::string::npos) << name;
}
