// What selecting a file that is no text, picture, model or sound shows: a
// map's directory, pakfile list and entities, a hex view of anything else,
// a texture's facts, a material's missing texture. The real files of each
// kind are shown end to end by cli_test.sh and the GUI tests.
#include "map/BspMap.h"
#include "textview/FileViews.h"
#include "texture/TextureFile.h"
#include "tools/MapWriter.h"
#include "tools/TextureWriter.h"
#include "TestGame.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

const std::string kEntities = "{\n\"classname\" \"worldspawn\"\n}\n";
// A map with entities (ended by a zero byte, with bytes after it), a lump of
// planes and a pakfile of two files behind a zip comment.
std::string SmallMap() {
    std::string zip = BuildZip({{"materials/maps/a/cube.tth", "TTH!"}, {"scripts/a.txt", "hello"}}, "comment");
    return BuildBsp(17, 42, {{0, kEntities + '\0' + "junk"}, {1, std::string(20, 'p')}, {40, zip}});
}
// Where lump i's directory entry lies.
size_t Entry(uint32_t i) { return 8 + 16 * size_t(i); }

}  // namespace

TEST(MapRead, DirectoryEntitiesAndPakfileOfAMap) {
    std::string file = SmallMap();
    BspMap map;
    ASSERT_TRUE(ReadBspMap(Bytes(file), file.size(), map));
    EXPECT_EQ(map.version, 17);
    EXPECT_EQ(map.revision, 42);
    EXPECT_EQ(map.lumps[1].offset, 1036 + int32_t(kEntities.size()) + 5);
    EXPECT_EQ(map.entities, kEntities) << "cut at the zero byte";
    ASSERT_TRUE(map.pakfileRead) << map.pakfileProblem;
    ASSERT_EQ(map.pakfile.size(), 2u);
    EXPECT_EQ(map.pakfile[1].name + " " + std::to_string(map.pakfile[1].size), "scripts/a.txt 5");

    std::string text = MapText(map);
    for (const char* line : {"map version 17, map revision 42, ", "lumps holding data: 3 of 64\n",
                             "   1  planes ", "pakfile: 2 files\n", "         4  materials/maps/a/cube.tth\n",
                             "entities:\n{\n\"classname\" \"worldspawn\"\n}\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    EXPECT_EQ(text.find("outside"), std::string::npos);
}

TEST(MapRead, ADirectoryPointingOutsideIsToldAndTheRestShown) {
    const std::string good = SmallMap();
    auto with = [&](uint32_t lump, int field, uint32_t v) {
        std::string s = good;
        Put32(s, Entry(lump) + 4 * field, v);
        return s;
    };
    // The end record lies 22 bytes and the 7-byte comment before the end.
    size_t end = good.size() - 29;
    std::string noEnd = good, badEntry = good, moreEntries = good;
    noEnd[end] = 'X';
    badEntry[good.find(std::string("PK\1\2", 4))] = 'X';
    moreEntries[end + 10] = 3;  // the entry count
    struct Case { const char* what; std::string file; uint32_t outside; const char* says; };
    const Case cases[] = {
        {"entities past the end", with(0, 1, 0x7FFFFFFF), 0, "entities: cannot be read: the lump lies outside"},
        {"a negative offset", with(1, 0, 0x80000000u), 1, "   1  planes"},
        {"pakfile past the end", with(40, 0, uint32_t(good.size())), 40, "pakfile: cannot be read: the lump lies outside"},
        {"no zip end record", noEnd, 64, "pakfile: cannot be read: no zip end record"},
        {"a damaged directory entry", badEntry, 64, "zip directory entry 1 of 2 is damaged"},
        {"more entries than the directory holds", moreEntries, 64, "pakfile: cannot be read: zip directory entry 3 of 3"},
    };
    for (const Case& c : cases) {
        BspMap map;
        ASSERT_TRUE(ReadBspMap(Bytes(c.file), c.file.size(), map)) << c.what;
        for (uint32_t i = 0; i < kBspLumpCount; ++i) EXPECT_EQ(map.lumps[i].inside, i != c.outside) << c.what << " " << i;
        std::string text = MapText(map);
        EXPECT_NE(text.find(c.says), std::string::npos) << c.what << "\n" << text;
        EXPECT_EQ(map.entities, c.outside == 0 ? "" : kEntities) << c.what;
        EXPECT_EQ(text.find("outside the file") != std::string::npos, c.outside < 64) << c.what;
    }
    // No map at all: too short, or not "VBSP". Every other prefix reads what
    // lies inside it.
    BspMap map;
    EXPECT_FALSE(ReadBspMap(Bytes(good), 1035, map));
    std::string ibsp = good;
    ibsp[0] = 'I';
    EXPECT_FALSE(ReadBspMap(Bytes(ibsp), ibsp.size(), map));
    for (size_t n = 1036; n < good.size(); ++n) {
        ASSERT_TRUE(ReadBspMap(Bytes(good), n, map)) << n;
        EXPECT_FALSE(map.pakfileRead) << n << " bytes: the pakfile ends the file";
        EXPECT_FALSE(MapText(map).empty());
    }
}

TEST(HexView, OffsetsBytesCharactersAndWhatIsLeft) {
    std::string bytes = "VBSP\x11";
    for (int i = 0; i < 300; ++i) bytes += char(i);
    struct Case { size_t size, limit; std::vector<std::string> lines; };
    const Case cases[] = {
        {0, 64, {"(end of file: 0 bytes)"}},
        {5, 64, {"00000000  56 42 53 50 11                                    |VBSP.|", "(end of file: 5 bytes)"}},
        {17, 64,
         {"00000000  56 42 53 50 11 00 01 02  03 04 05 06 07 08 09 0a  |VBSP............|",
          "00000010  0b                                                |.|", "(end of file: 17 bytes)"}},
        {305, 32,
         {"00000000  56 42 53 50 11 00 01 02  03 04 05 06 07 08 09 0a  |VBSP............|",
          "00000010  0b 0c 0d 0e 0f 10 11 12  13 14 15 16 17 18 19 1a  |................|",
          "... 273 more bytes not shown (305 bytes in all)"}},
    };
    for (const Case& c : cases) {
        std::string want;
        for (const std::string& line : c.lines) want += line + "\n";
        EXPECT_EQ(HexDumpText(Bytes(bytes), c.size, c.limit), want) << c.size;
    }
    // Printable characters as they are up to 126; 127 on as dots.
    EXPECT_NE(HexDumpText(Bytes(bytes), 305).find("  |{|}~............|\n"), std::string::npos);
    EXPECT_EQ(HexDumpText(Bytes(bytes), 305).size(), 19 * 79 + 64 + 25u) << "19 whole lines, one of a byte, the end";
}

TEST(TextureFactsLine, FormatMipLevelsFramesAndFlags) {
    struct Case { TextureFacts facts; const char* line; };
    const Case cases[] = {
        {{512, 512, 13, 10, 0x82, 1}, "texture 512x512 DXT1, 10 mip levels, flags trilinear normal"},
        {{256, 64, 14, 9, 0x2000, 1}, "texture 256x64 DXT3, 9 mip levels, flags eightbitalpha"},
        {{32, 32, 12, 1, 0, 4}, "texture 32x32 BGRA8888, 1 mip level, 4 frames, flags none"},
        {{16, 16, 17, 5, 0x80000001u, 1}, "texture 16x16 BGR565 (not shown), 5 mip levels, flags pointsample 0x80000000"},
        {{8, 8, 99, 4, 0x40000, 1}, "texture 8x8 format 99 (not shown), 4 mip levels, flags singlecopy"},
    };
    for (const Case& c : cases) EXPECT_EQ(TextureFactsLine(c.facts), c.line);
}

TEST(ViewTreeItem, EveryKindOfFileShowsSomething) {
    TestGame g;
    std::string tth, ttz;
    ASSERT_TRUE(BuildTexturePair(13, 16, 8, 3, tth, ttz));
    std::string damaged = tth;
    damaged[6] = char(40);  // a level table longer than the header
    g.Open("pack000.vpk", {
        {"maps/small.bsp", SmallMap()},
        {"maps/notamap.bsp", "IBSP, of another game"},
        {"materials/fonts/f.fnt", std::string("\x01\0\0\0\xcc!", 6)},
        {"save/NOEXTENSION", "abc"},
        {"save/empty.sav", ""},
        {"materials/a/rock.tth", tth},
        {"materials/a/rock.ttz", ttz},
        {"materials/a/rock.vmt", "\"LightmappedGeneric\"\n{\n\"$baseTexture\" \"a/rock\"\n}\n"},
        {"materials/a/gone.vmt", "\"LightmappedGeneric\"\n{\n\t\"$baseTexture\" \"Art/Gone\"\n}\n"},
        {"materials/a/half.vmt", "\"$basetexture\" \"a/half\"\n"},
        {"materials/a/half.tth", tth},
        {"materials/a/broken.vmt", "\"$basetexture\" \"a/broken\"\n"},
        {"materials/a/broken.tth", damaged},
        {"materials/a/broken.ttz", ttz},
        {"materials/a/plain.vmt", "\"$surfaceprop\" \"metal\"\n"},
        {"particles/cut.tga", BuildTga(4, 4, 32).substr(0, 40)},
    });
    struct Case { const char* path; ItemView view; std::string lead, starts, failure; };
    const std::string facts = "texture 16x8 DXT1, 3 mip levels, flags eightbitalpha\n";
    const Case cases[] = {
        {"maps/small.bsp", ItemView::Map, "", "map version 17, map revision 42", ""},
        {"maps/notamap.bsp", ItemView::Bytes, "not a map (no VBSP header): its bytes follow\n", "00000000  49 42 53 50", ""},
        {"materials/fonts/f.fnt", ItemView::Bytes, "", "00000000  01 00 00 00 cc 21   ", ""},
        {"save/NOEXTENSION", ItemView::Bytes, "", "00000000  61 62 63 ", ""},
        {"save/empty.sav", ItemView::Bytes, "", "(end of file: 0 bytes)\n", ""},
        {"materials/a/rock.ttz", ItemView::Picture, facts, "\"LightmappedGeneric\"", ""},
        {"materials/a/rock.vmt", ItemView::Picture, facts, "\"LightmappedGeneric\"", ""},
        {"materials/a/gone.vmt", ItemView::NoPicture, "$basetexture Art/Gone: not in the packs or the data folder\n",
         "\"LightmappedGeneric\"", "materials/a/gone.vmt: $basetexture Art/Gone: not in the packs or the data folder"},
        {"materials/a/half.vmt", ItemView::NoPicture,
         "$basetexture a/half: its .tth is there, its .ttz is not in the packs or the data folder\n", "\"$basetexture\"",
         "materials/a/half.vmt: $basetexture a/half: its .tth is there, its .ttz is not in the packs or the data folder"},
        {"materials/a/broken.vmt", ItemView::NoPicture,
         "$basetexture a/broken: damaged or of a format Quillon cannot show\n", "\"$basetexture\"",
         "materials/a/broken.vmt: $basetexture a/broken: damaged or of a format Quillon cannot show"},
        {"materials/a/plain.vmt", ItemView::NoPicture, "the material names no texture\n", "\"$surfaceprop\"",
         "materials/a/plain.vmt: the material names no texture"},
        {"particles/cut.tga", ItemView::NoPicture, "particles/cut.tga: the file ends before its pixels do\n", "",
         "particles/cut.tga: the file ends before its pixels do"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ViewTreeItem(g.app, FindTreeItemByPath(g.app.tree, c.path)), c.view);
        const TextContent& pane = g.app.textView;
        EXPECT_EQ(pane.text.substr(0, pane.leadSize), c.lead);
        EXPECT_EQ(pane.Body().substr(0, c.starts.size()), c.starts) << pane.text;
        EXPECT_EQ(g.app.failure.Failed() ? g.app.failure.Words() : std::string(), c.failure);
        // A material's missing texture shows as the checkerboard; a picture
        // that cannot be read empties the view.
        if (c.view == ItemView::NoPicture) {
            EXPECT_EQ(g.app.viewer.slot0.filled, c.starts.empty());
        }
    }
    // Any file as bytes, on asking.
    EXPECT_EQ(ShowItemBytes(g.app, FindTreeItemByPath(g.app.tree, "materials/a/rock.vmt")), ItemView::Bytes);
    EXPECT_EQ(g.app.textView.text.substr(0, 15), "00000000  22 4c");
    EXPECT_EQ(ShowItemBytes(g.app, FindTreeItemByPath(g.app.tree, "materials")), ItemView::Nothing);
}
