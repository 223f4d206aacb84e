#include "tools/SampleData.h"

#include "tools/MdlWriter.h"
#include "tools/NodWriter.h"
#include "tools/TextureWriter.h"

#include <filesystem>
#include <system_error>

namespace {

std::string Lines(const std::string& title, int count) {
    std::string text = "// " + title + "\r\n";
    for (int i = 1; i <= count; ++i) text += "\t\"line\"\t" + std::to_string(i) + "\t\"" + title + "\"\r\n";
    return text;
}

// A small model: textures whose materials lie in the first and the fourth
// material folder and one without a material; bones with and without a
// parent (one rotated, one scaled); the vertex-extra section; and a group
// without triangles. Its motion file is 3d/motions/knight.nms.
std::string SampleNod() {
    NodModel m;
    m.textures = {"Stone", "brick", "cloth"};
    m.boxMin = {-1.0f, -0.5f, 0.0f};
    m.boxMax = {1.0f, 0.5f, 3.0f};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    auto bone = [&](const float* rotation, float x, float y, float z, uint16_t parent) {
        NodBone b{{}, parent};
        for (int i = 0; i < 9; ++i) b.matrix[i] = rotation[i];
        b.matrix[9] = x;
        b.matrix[10] = y;
        b.matrix[11] = z;
        m.bones.push_back(b);
    };
    const float quarterTurn[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    const float doubled[9] = {2, 0, 0, 0, 2, 0, 0, 0, 2};
    bone(identity, 0, 0, 0, 0xFFFF);
    bone(quarterTurn, 0, 0, -1.5f, 0);
    bone(doubled, 0, 0, -5.0f, 1);
    bone(identity, -1, 0, -2, 1);
    m.names = {"head", "body", "cape"};
    m.vertices = {
        {-1, 0, 0, 0, -1, 0, 0, 1},    {1, 0, 0, 0, -1, 0, 1, 1},      {1, 0, 2, 0, -1, 0, 1, 0},
        {-1, 0, 2, 0, -1, 0, 0, 0},    {-0.5f, 0, 2, 0, -1, 0, 0, 1},  {0.5f, 0, 2, 0, -1, 0, 1, 1},
        {0, 0, 3, 0, -1, 0, 0.5f, 0},
    };
    m.vertexExtra = true;
    m.triangles = {{0, 1, 2}, {0, 2, 3}, {0, 1, 2}};
    m.groups = {{0, 2, 4, 1}, {1, 1, 3, 0}, {2, 0, 0, 2}};
    return BuildNod(m);
}

SampleGame Redemption() {
    SampleGame g;
    g.folder = "redemption";
    g.packs.push_back({"data.nob",
                       {
                           {"Dialog/", ""},
                           {"Dialog/Intro.NCO", Lines("intro dialog", 12)},
                           {"Dialog/Town/Elder.npc", Lines("the elder", 30)},
                           {"Scripts/Quest/Main.scr", Lines("main quest", 40)},
                           {"Config/Game.cfg", "difficulty=2\r\nsubtitles=1\r\n"},
                           {"Motions/Walk.NMS", Lines("walk cycle", 8)},
                           {"shared/Common.txt", "from data.nob: the first listed pack wins\r\n"},
                           {"Loose/Override.txt", "packed text: a loose file replaces it\r\n"},
                           {"README.TXT", "Sample Redemption data made by quillon-sample.\r\n"},
                       }});
    g.packs.push_back({"patch.nob",
                       {
                           {"SHARED/common.TXT", "from patch.nob: hidden by data.nob\r\n"},
                           {"Patch/", ""},
                           {"Patch/Notes.txt", Lines("patch notes", 5)},
                           {"Scripts\\Quest\\Side.scr", Lines("side quest", 20)},
                       }});
    g.loose.push_back({"loose/override.txt", "loose text: read in place of the packed file\r\n"});
    // Pictures: Targa and BMP textures named by .nam materials, which are
    // looked for in a fixed list of folders.
    std::vector<PackFile>& data = g.packs[0].files;
    data.push_back({"3D/Materials/WALL.TGA", BuildTga(48, 32, 24)});
    data.push_back({"3D/Materials/Stone.nam", "// stone wall\r\nPASS 0 WALL.TGA\r\nTWOSIDED\r\n"});
    data.push_back({"Materials/General/Floor.bmp", BuildBmp(30, 20, 8, false)});
    data.push_back({"Materials/General/Floor.nam", "texture floor.bmp\nmasked\n"});
    data.push_back({"Materials/General/Sky.bmp", BuildBmp(33, 17, 24, true)});
    data.push_back({"Materials/General/Banner.tga", BuildTga(40, 24, 32)});
    data.push_back({"3D/Models/Knight.NOD", SampleNod()});
    data.push_back({"3D/Motions/Knight.NMS", Lines("knight motions", 6)});
    data.push_back({"Materials/London/Brick.nam", "// found in the fourth folder\r\nTEXTURE brick.bmp\r\nADDBLEND\r\n"});
    data.push_back({"Materials/London/BRICK.BMP", BuildBmp(16, 8, 24, false)});
    return g;
}

// A lamp in three meshes: strip groups of both vertex-table layouts, one
// with flags 0 (left out by the viewer, written by the .x export), and a
// third mesh whose material is missing.
MdlPair SampleLamp() {
    MdlPair m;
    m.textures = {"lampshade", "lampbase", "lampcord"};
    m.dirs = {"models/samples/"};
    m.vertices = {
        // shade: a square at z 12 and a point above it
        {-4, -4, 12, 0, 0, 1, 0, 0}, {4, -4, 12, 0, 0, 1, 1, 0}, {4, 4, 12, 0, 0, 1, 1, 1},
        {-4, 4, 12, 0, 0, 1, 0, 1}, {0, 0, 16, 0, 0, 1, 0.5f, 0.5f},
        // base: a square on the floor and a post
        {-3, -3, 0, 0, 0, -1, 0, 0}, {3, -3, 0, 0, 0, -1, 1, 0}, {3, 3, 0, 0, 0, -1, 1, 1},
        {-3, 3, 0, 0, 0, -1, 0, 1}, {0, 0, 12, 1, 0, 0, 0.5f, 1},
        // cord
        {3, 0, 0, 0, 1, 0, 0, 0}, {8, 0, 0, 0, 1, 0, 1, 0}, {8, 1, 0, 0, 1, 0, 1, 1},
    };
    m.meshes = {
        {0, {{0x10, {0, 1, 4}, {0, 1, 2}}, {0x02, {1, 2, 3, 4}, {0, 1, 3, 1, 2, 3}}}},
        {5, {{0x00, {0, 1, 2}, {0, 1, 2}}, {0x10, {0, 1, 2, 3, 4}, {0, 1, 2, 0, 2, 3, 0, 4, 1}}}},
        {10, {{0x10, {0, 1, 2}, {0, 1, 2}}}},
    };
    return m;
}

SampleGame Bloodlines() {
    SampleGame g;
    g.folder = "bloodlines";
    g.packs.push_back({"pack000.vpk",
                       {
                           {"dlg/Hollywood/Isaac.dlg", Lines("isaac", 25)},
                           {"dlg/main characters/Regent.dlg", Lines("regent", 25)},
                           {"vdata/System/Strings.txt", Lines("strings", 60)},
                           {"scripts/Intro.lst", "intro.vcd\nhaven.vcd\n"},
                           {"cfg/autoexec.cfg", "// packed autoexec\nbind F5 quicksave\n"},
                           {"shared/common.txt", "from pack000.vpk: the first listed pack wins\n"},
                           {"Readme.txt", "Sample Bloodlines data made by quillon-sample.\n"},
                       }});
    g.packs.push_back({"pack001.vpk",
                       {
                           {"Shared/Common.TXT", "from pack001.vpk: hidden by pack000.vpk\n"},
                           {"python/Vamputil.RAD", Lines("vamputil", 15)},
                           {"vdata/hackterminals/Haven_PC.txt", Lines("haven pc", 10)},
                       }});
    g.loose.push_back({"cfg/autoexec.cfg", "// loose autoexec: read in place of the packed one\nbind F9 quickload\n"});
    // Textures in every pixel format the viewer decodes, with materials.
    SamplePack pictures{"pack002.vpk", {}};
    struct {
        const char* name;
        uint32_t format, width, height, mips;
    } textures[] = {
        {"rgba", 0, 64, 32, 7},  {"bgr", 3, 32, 32, 6},   {"bgra", 12, 64, 64, 7}, {"dxt1", 13, 128, 64, 8},
        {"dxt3", 14, 64, 64, 7}, {"dxt5", 15, 64, 128, 8}, {"rgba_alt", 23, 16, 16, 5},
        {"single_level", 15, 32, 32, 1},
    };
    for (const auto& t : textures) {
        std::string tth, ttz;
        if (!BuildTexturePair(t.format, t.width, t.height, t.mips, tth, ttz)) continue;
        std::string stem = std::string("materials/samples/") + t.name;
        pictures.files.push_back({stem + ".tth", tth});
        pictures.files.push_back({stem + ".ttz", ttz});
    }
    pictures.files.push_back({"materials/samples/crate.vmt",
                              "\"VertexLitGeneric\"\n{\n\t\"$baseTexture\" \"samples/dxt1\"\n// a comment\n}\n"});
    pictures.files.push_back({"materials/samples/glass.vmt",
                              "\"LightmappedGeneric\"\r\n{\r\n\t\"$basetexture\" \"samples\\dxt5\"\r\n"
                              "\t\"$translucent\" 1\r\n\t\"$nocull\" \"1\"\r\n}\r\n"});
    pictures.files.push_back({"materials/samples/missing.vmt", "\"$basetexture\" \"samples/none\"\n"});
    MdlPair lamp = SampleLamp();
    pictures.files.push_back({"models/samples/Lamp.mdl", lamp.Mdl()});
    pictures.files.push_back({"models/samples/Lamp.dx80.vtx", lamp.Vtx()});
    pictures.files.push_back({"materials/models/samples/lampshade.vmt",
                              "\"VertexLitGeneric\"\n{\n\t\"$basetexture\" \"samples/dxt5\"\n\t\"$translucent\" 1\n}\n"});
    pictures.files.push_back({"materials/models/samples/LampBase.vmt", "\"$basetexture\" \"samples\\bgr\"\n"});
    pictures.files.push_back({"images/Logo.bmp", BuildBmp(21, 13, 24, false)});
    pictures.files.push_back({"images/Banner.tga", BuildTga(40, 24, 32)});
    g.packs.push_back(pictures);
    return g;
}

}  // namespace

std::vector<SampleGame> SampleGames() { return {Redemption(), Bloodlines()}; }

bool WriteSampleData(const std::string& root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const SampleGame& g : SampleGames()) {
        fs::path folder = fs::path(root) / g.folder;
        fs::create_directories(folder, ec);
        if (ec) return false;
        for (const SamplePack& p : g.packs) {
            bool nob = p.fileName.size() > 4 && p.fileName.substr(p.fileName.size() - 4) == ".nob";
            std::string bytes = nob ? BuildNob(p.files) : BuildVpk(p.files);
            if (!WriteWholeFile((folder / p.fileName).string(), bytes)) return false;
        }
        for (const PackFile& f : g.loose) {
            fs::path target = folder / fs::path(f.name);
            fs::create_directories(target.parent_path(), ec);
            if (ec || !WriteWholeFile(target.string(), f.data)) return false;
        }
    }
    return true;
}
