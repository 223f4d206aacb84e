// The .x export of Bloodlines models and the vertex modification that reads
// such files back: exact text, refusals that leave nothing behind, round
// trips, and the real models.
#include "extract/Extract.h"
#include "model/ModelExport.h"
#include "model/ModelPair.h"
#include "model/VertexWriteBack.h"
#include "model/XReader.h"
#include "model/XWriter.h"
#include "pack/GameFiles.h"
#include "session/Operations.h"
#include "tools/MdlWriter.h"
#include "tools/TextureWriter.h"
#include "TestGame.h"

#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

// Mesh 0: a drawn group and one with flags 0 (exported all the same); mesh
// 1 with vertex base 2 through 12-byte vertex-table entries. Texture "skin"
// has a material, "gone" has none.
MdlPair SmallPair() {
    MdlPair m;
    m.meshes = {
        {0, {{0x10, {0, 1, 2}, {0, 1, 2}}, {0, {0, 1, 2}, {2, 1, 0}}}},
        {2, {{0x02, {0, 1, 3}, {2, 1, 0}}}},
    };
    return m;
}

struct Game : TestGame {
    explicit Game(const MdlPair& pair = SmallPair()) {
        std::string tth, ttz;
        EXPECT_TRUE(BuildTexturePair(12, 16, 8, 1, tth, ttz));
        MdlPair other = pair;
        other.vertices.assign(pair.vertexCount, MdlVertex{7, 7, 7, 0, 0, 1, 0, 0});
        Open("pack000.vpk", {{"materials/models/test/skin.vmt", "\"$basetexture\" \"models/test/skin\"\n"},
                             {"materials/models/test/skin.tth", tth},
                             {"materials/models/test/skin.ttz", ttz},
                             {"models/test/m.mdl", pair.Mdl()},
                             {"models/test/m.dx80.vtx", pair.Vtx()},
                             {"models/test/Other.MDL", other.Mdl()},
                             {"models/v1.0/m.mdl", pair.Mdl()},
                             {"models/v1.0/m.dx80.vtx", pair.Vtx()}});
    }
    bool Export(const char* path) {
        FileEntry key = EntryFor(path);
        return ExportModelAsX(app.Export(), key);
    }
    bool Drop(const char* item, const std::string& xName, const std::string& text, std::string* why = nullptr) {
        dir.Write(xName, text);
        std::string written;
        bool ok = ModifyModelVertices(app, FindTreeItemByPath(app.tree, item), dir / xName, &written);
        if (why != nullptr) *why = ok ? written : app.failure.Words();
        return ok;
    }
    std::string Read(const std::string& name) {
        std::string bytes;
        ReadWholeFile(dir / name, bytes);
        return bytes;
    }
};

const char kSmallX[] =
    "xof 0303txt 0032\n\nMesh\n{\n\t6;\n"
    "\t0.000000;200.000000;100.000000;,\n\t1.000000;201.000000;101.000000;,\n"
    "\t2.000000;202.000000;102.000000;,\n\t3.000000;203.000000;103.000000;,\n"
    "\t4.000000;204.000000;104.000000;,\n\t5.000000;205.000000;105.000000;;\n"
    "\t3;\n\t3;0,1,2;,\n\t3;2,1,0;,\n\t3;5,3,2;;\n\n"
    "\tMeshNormals\n\t{\n\t\t6;\n"
    "\t\t1.000000;3.000000;2.000000;,\n\t\t1.000000;3.000000;2.000000;,\n\t\t1.000000;3.000000;2.000000;,\n"
    "\t\t1.000000;3.000000;2.000000;,\n\t\t1.000000;3.000000;2.000000;,\n\t\t1.000000;3.000000;2.000000;;\n"
    "\t3;\n\t3;0,1,2;,\n\t3;2,1,0;,\n\t3;5,3,2;;\n\n"
    "\t}\n\n\tMeshTextureCoords\n\t{\n\t\t6;\n"
    "\t\t0.500000;0.000000;,\n\t\t0.500000;1.000000;,\n\t\t0.500000;2.000000;,\n"
    "\t\t0.500000;3.000000;,\n\t\t0.500000;4.000000;,\n\t\t0.500000;5.000000;;\n\t}\n\n"
    "\tMeshMaterialList\n\t{\n\t\t2;\n\t\t3;\n\t\t0,\n\t\t0,\n\t\t1;\n"
    "\n\t\tMaterial\n\t\t{\n\t\t\t1.000000;1.000000;1.000000;1.000000;;\n\t\t\t0.000000;\n"
    "\t\t\t0.000000;0.000000;0.000000;;\n\t\t\t0.000000;0.000000;0.000000;;\n"
    "\t\t\tTextureFilename { \"skin.tga\"; }\n\t\t}\n"
    "\n\t\tMaterial\n\t\t{\n\t\t\t1.000000;1.000000;1.000000;1.000000;;\n\t\t\t0.000000;\n"
    "\t\t\t0.000000;0.000000;0.000000;;\n\t\t\t0.000000;0.000000;0.000000;;\n"
    "\t\t\tTextureFilename { \"gone.tga\"; }\n\t\t}\n"
    "\t}\n}\n";

float PositionAt(const std::string& mdl, uint32_t i, int axis) {
    uint32_t block, start;
    std::memcpy(&block, mdl.data() + 0x144, 4);
    std::memcpy(&start, mdl.data() + block + 16 + 0x94, 4);
    float v;
    std::memcpy(&v, mdl.data() + block + 16 + start + 44 * i + 0x0C + 4 * axis, 4);
    return v;
}

}  // namespace

TEST(ModelExportTest, WritesTheMeshTextAndTheFoundTexturesBesideIt) {
    Game g;
    ASSERT_TRUE(g.Export("models/test/m.dx80.vtx"));
    EXPECT_EQ(g.Read("out/models/test/m.x"), kSmallX);
    // Only the found texture is written; the missing one is still named.
    EXPECT_TRUE(std::filesystem::exists(g.dir / "out/models/test/skin.tga"));
    EXPECT_FALSE(std::filesystem::exists(g.dir / "out/models/test/gone.tga"));
    // The stem is cut in the file name, not in a folder with a dot.
    ASSERT_TRUE(g.Export("models/v1.0/m.mdl"));
    EXPECT_EQ(g.Read("out/models/v1.0/m.x"), kSmallX);
    EXPECT_EQ(g.app.extraction.report.written, 2u);

    // An existing .x is kept, and its textures are not written either.
    g.app.extraction.report.Clear();
    std::filesystem::remove(g.dir / "out/models/test/skin.tga");
    g.dir.Write("out/models/test/m.x", "mine");
    ASSERT_TRUE(g.Export("models/test/m.mdl"));
    EXPECT_EQ(g.Read("out/models/test/m.x"), "mine");
    EXPECT_FALSE(std::filesystem::exists(g.dir / "out/models/test/skin.tga"));
    EXPECT_EQ(g.app.extraction.report.skipped, 1u);
}

TEST(ModelExportTest, ModelsThatCannotBeReadLeaveNothingBehind) {
    struct Case {
        const char* what;
        MdlPair pair;
        const char* path;
        GameType game = kGameBloodlines;
    } cases[] = {
        {"no strip file", SmallPair(), "models/test/other.mdl"},
        {"index count not a multiple of 3", SmallPair(), "models/test/m.mdl"},
        {"a flags-0 group naming a vertex past the array", SmallPair(), "models/test/m.mdl"},
        {"more meshes than textures", SmallPair(), "models/test/m.mdl"},
        {"not a Bloodlines game", SmallPair(), "models/test/m.mdl", kGameRedemption},
    };
    cases[1].pair.meshes[0].groups[0].indices = {0, 1, 2, 0};
    cases[2].pair.meshes[0].groups[1].table = {0, 1, 9};
    cases[3].pair.textures = {"skin"};
    for (Case& c : cases) {
        Game g(c.pair);
        g.app.gameType = c.game;
        EXPECT_FALSE(g.Export(c.path)) << c.what;
        EXPECT_EQ(g.app.extraction.report.failed, 1u) << c.what;
        EXPECT_FALSE(std::filesystem::exists(g.dir / "out")) << c.what << ": not even an empty .x";
    }
}

TEST(ModelExportTest, AnExtractionCountsEachModelOnce) {
    Game g;
    // m.dx80.vtx and m.mdl are one model; Other.MDL has no strip file and
    // fails once, not once per file.
    TreeItem folder = FindTreeItemByPath(g.app.tree, "models/test");
    ASSERT_NE(folder, kNoItem);
    EXPECT_EQ(RunExtraction(g.app, folder, kExtractModels), 3u) << "the walk still meets three model files";
    const ExtractReport& r = g.app.extraction.report;
    EXPECT_EQ(r.written, 1u);
    EXPECT_EQ(r.skipped, 0u);
    EXPECT_EQ(r.failed, 1u);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].Words(), "models/test/Other.MDL: the strip file (.dx80.vtx) cannot be read");
    // A second extraction of the same folder finds the .x there: skipped once.
    g.app.extraction.report.Clear();
    RunExtraction(g.app, folder, kExtractModels);
    EXPECT_EQ(r.written, 0u);
    EXPECT_EQ(r.skipped, 1u);
    EXPECT_EQ(r.failed, 1u);
}

namespace {

// A packed model of every layout and several body parts: an empty one,
// then 8-byte vertices, then 12-byte ones.
MdlPair PackedPair() {
    MdlPair m;
    m.textures = {"skin", "gone"};
    m.emptyPartsBefore = 1;
    m.format = 2;
    m.origin = {-2, -3, 0.5f};
    m.scale = {4, 6, 0.75f};
    for (int i = 0; i < 6; ++i)
        m.vertices.push_back({-2 + 4 * (i * 40 % 255) / 255.0f, -3 + 6 * (i * 11 % 255) / 255.0f, 0.5f + 0.75f * i / 255,
                              float(89 + i), 0, 0, i / 8.0f, 1 - i / 8.0f});
    m.meshes = {{0, {{0x10, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}}}}};
    MdlGeometry wide;
    wide.format = 1;
    wide.origin = {-36, -0.875f, -0.0012f};
    wide.scale = {0.0011f, 2.67e-5f, 0.00073f};
    for (int i = 0; i < 3; ++i)
        wide.vertices.push_back({-36 + 0.0011f * 9000 * i, -0.875f + 2.67e-5f * 60000 * i, -0.0012f + 0.00073f * 65535 * i / 2,
                                 float(12 * 2625), 0, 0, 0.25f * i, 0.5f});
    wide.meshes = {{0, {{0x10, {0, 1, 2}, {0, 2, 1}}}}};
    m.laterParts.push_back(wide);
    return m;
}

}  // namespace

TEST(ModelExportTest, PackedModelsComeBackByteForByteAndRefuseLeavingTheirBox) {
    MdlPair packed = PackedPair();
    Game g(packed);
    ASSERT_TRUE(g.Export("models/test/m.mdl")) << (g.app.extraction.report.problems.empty() ? "" : g.app.extraction.report.problems[0].Words());
    std::string x = g.Read("out/models/test/m.x");
    EXPECT_NE(x.find("\tMeshMaterialList\n\t{\n\t\t2;\n\t\t3;\n\t\t0,\n\t\t0,\n\t\t1;\n"), std::string::npos)
        << "one mesh list over both body parts";
    EXPECT_NE(x.find("\t3;6,8,7;;\n"), std::string::npos) << "the second model's vertices follow the first's";
    std::string why;
    ASSERT_TRUE(g.Drop("models/test/m.mdl", "drops/m.x", x, &why)) << why;
    EXPECT_EQ(g.Read("data/models/test/m.mdl"), packed.Mdl()) << "an unchanged .x gives the model byte for byte";

    // One 8-byte vertex moved by whole steps: only its three position bytes change.
    std::string moved = x;
    size_t line = moved.find("\t-2.000000;");
    ASSERT_NE(line, std::string::npos);
    moved.replace(line, 11, "\t-1.984314;");  // one 8-bit step right of the origin
    ASSERT_TRUE(g.Drop("models/test/m.mdl", "drops/m.x", moved, &why)) << why;
    std::string written = g.Read("data/models/test/m.mdl"), original = packed.Mdl();
    ASSERT_EQ(written.size(), original.size());
    size_t differ = 0;
    for (size_t i = 0; i < written.size(); ++i) differ += written[i] != original[i];
    EXPECT_EQ(differ, 1u);

    // Outside the box: the whole file is refused, naming the vertex and the
    // box in the .x file's axes, and the loose model stays as it was.
    std::string outside = x;
    line = outside.find("\t-2.000000;");
    outside.replace(line, 11, "\t-2.100000;");
    g.messages.clear();
    EXPECT_FALSE(g.Drop("models/test/m.mdl", "drops/m.x", outside, &why));
    EXPECT_EQ(g.app.failure.reason, Reason::PositionNotStorable);
    ASSERT_EQ(g.messages.size(), 1u);
    EXPECT_EQ(g.messages[0],
              "ERROR!|The .x file's vertex 0 at (-2.1, 0.5, -3) lies outside the model's box (-2, 0.5, -3) to (2, 1.25, 3); "
              "packed vertices cannot leave it");
    EXPECT_EQ(g.Read("data/models/test/m.mdl"), written);
}

TEST(ModelExportTest, DroppedPositionsGoToTheModelNamedAfterTheFile) {
    Game g;
    std::string x = "xof 0303txt 0032\n\nMesh\n{\n\t6;\n";
    for (int i = 0; i < 6; ++i)
        x += "\t" + std::to_string(i) + ".5;" + std::to_string(10 + i) + ";" + std::to_string(20 + i) + ";" +
             (i == 5 ? ";" : ",") + "\n";
    // other.x on m.mdl: Other.MDL gets m's bytes with the dropped positions;
    // the second number is the model's z, the third its y. Names match in
    // any case.
    std::string why;
    ASSERT_TRUE(g.Drop("models/test/M.MDL", "drops/other.x", x, &why)) << why;
    std::string written = g.Read("data/models/test/Other.MDL");
    std::string expected = SmallPair().Mdl();
    ASSERT_EQ(written.size(), expected.size());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(PositionAt(written, i, 0), i + 0.5f);
        EXPECT_EQ(PositionAt(written, i, 1), 20.0f + i);
        EXPECT_EQ(PositionAt(written, i, 2), 10.0f + i);
    }
    EXPECT_TRUE(g.messages.empty());

    // Refusals: nothing is written, the loose model stays as it was.
    struct Case {
        const char* what;
        const char* item;
        std::string name, text, message;
        Reason reason;
    } cases[] = {
        {"count mismatch", "models/test/m.mdl", "other.x", "Mesh\n{\n\t7;\n", "ERROR!|Vertex Count Does Not Match Original File!",
         Reason::VertexCountMismatch},
        {"no brace", "models/test/m.mdl", "other.x", "xof 0303txt 0032\n", "ERROR!|The .x file has no vertex count",
         Reason::XNoVertexCount},
        {"too few numbers", "models/test/m.mdl", "other.x", x.substr(0, x.size() - 20),
         "ERROR!|The .x file ends before all of its vertex positions", Reason::XPositionsUnreadable},
        {"malformed number", "models/test/m.mdl", "other.x", "Mesh\n{\n\t6;\n\t1;x2;3;;\n",
         "ERROR!|The .x file has a malformed vertex position at byte 14", Reason::XPositionsUnreadable},
        {"no model of that name", "models/test/m.mdl", "third.x", x, "", Reason::NoModelBesideTarget},
        {"no model beside the target", "materials/models/test/skin.vmt", "other.x", x, "", Reason::NoModelBesideTarget},
        {"folder target", "models/test", "other.x", x, "", Reason::DropTargetNotFile},
    };
    for (const Case& c : cases) {
        g.messages.clear();
        EXPECT_FALSE(g.Drop(c.item, "drops/" + c.name, c.text, &why)) << c.what;
        EXPECT_EQ(g.app.failure.reason, c.reason) << c.what << ": " << why;
        EXPECT_EQ(g.messages.empty() ? "" : g.messages[0], c.message) << c.what;
        EXPECT_EQ(g.Read("data/models/test/Other.MDL"), written) << c.what;
    }
}

TEST(ModelExportTest, AMaterialNameTooLongForItsBlockIsCutNotTheBlock) {
    TempDir dir;
    FileHandle out;
    ASSERT_TRUE(out.Create((dir / "m.x").c_str()));
    XWriter x(out);
    x.Material(std::string(2000, 'n').c_str());
    out.Close();
    std::string text;
    ASSERT_TRUE(ReadWholeFile(dir / "m.x", text));
    EXPECT_EQ(text.size(), 1023u) << "the 1,024-byte block, full";
    EXPECT_EQ(text.substr(text.size() - 10), "n\"; }\n\t\t}\n");
    EXPECT_FALSE(x.Failed());
}

TEST(ModelExportTest, XVertexParserNeverReadsPastTheText) {
    std::vector<float> xyz;
    std::string why;
    uint32_t count = 0;
    size_t at = 0;
    // A text that ends at every possible place is read only once its last
    // number is whole, and never from beyond its end.
    std::string full = "Mesh\n{\n\t2;\n\t1.5;-2e1;+3;,\n\t4;5;6;;\n";
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<char> cut(full.begin(), full.begin() + long(n));  // exactly n bytes, no terminator
        bool ok = ReadXVertexCount(cut.data(), n, count, at) && ReadXPositions(cut.data(), n, at, count, xyz, why);
        EXPECT_EQ(ok, n > full.rfind('6')) << n;
    }
    ASSERT_TRUE(ReadXVertexCount(full.data(), full.size(), count, at));
    ASSERT_TRUE(ReadXPositions(full.data(), full.size(), at, count, xyz, why)) << why;
    EXPECT_EQ(xyz, (std::vector<float>{1.5f, -20, 3, 4, 5, 6}));
    for (const char* bad : {"Mesh\n{\n\t1;\n\tnan;0;0;;\n", "Mesh\n{\n\t1;\n\t1e99;0;0;;\n", "Mesh\n{\n\t-1;\n"}) {
        std::string text = bad;
        bool ok = ReadXVertexCount(text.data(), text.size(), count, at) &&
                  ReadXPositions(text.data(), text.size(), at, count, xyz, why);
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(ModelExportTest, RealModelsExportAndComeBackWithinSixDecimals) {
    std::string real = RealData() + "/bloodlines";
    if (!std::filesystem::exists(real)) GTEST_SKIP() << "no real data";
    TempDir dir;
    CwdGuard cwd;
    AppState app;
    ASSERT_NO_FATAL_FAILURE(OpenRealModels(dir, real, app));
    // Every real model exports, each counted once though the walk meets
    // both of its files.
    EXPECT_EQ(RunExtraction(app, FindTreeItemByPath(app.tree, "models"), kExtractModels), 22u);
    EXPECT_EQ(app.extraction.report.written, 10u);
    EXPECT_EQ(app.extraction.report.failed, 0u) << app.extraction.report.problems[0].Words();
    EXPECT_TRUE(std::filesystem::exists(dir / "out/models/scenery/misc/wineglass/wineglass.mdl_female.x"));
    struct {
        const char* model;
        bool packed;
    } models[] = {{"models/scenery/furniture/computer/mouseb", false},
                  {"models/weapons/broadsword/world/g_sword", false},
                  {"models/cinematic/santa_monica/courtroom/courtroom_bip1", false},
                  {"models/scenery/misc/wineglass/wineglass.mdl_female", false},
                  {"models/items/license/ground/lisense", true},
                  {"models/scenery/misc/plates/crapy", true},
                  {"models/scenery/structural/warrens/warr_00_map", true}};
    for (const auto& m : models) {
        std::string model = m.model, why, packed, written;
        TreeItem item = FindTreeItemByPath(app.tree, model + ".mdl");
        ASSERT_TRUE(ModifyModelVertices(app, item, dir / ("out/" + model + ".x"), &why)) << app.failure.Words();
        ASSERT_TRUE(ReadWholeFile(real + "/" + model + ".mdl", packed));
        ASSERT_TRUE(ReadWholeFile(dir / ("data/" + model + ".mdl"), written));
        if (m.packed) {
            EXPECT_TRUE(written == packed) << model << ": an unchanged .x gives the packed model byte for byte";
            continue;
        }
        ASSERT_EQ(written.size(), packed.size());
        ModelPair pair;
        ASSERT_TRUE(ReadModelFile(app.Files(), model, pair, why)) << why;
        for (uint32_t i = 0; i < pair.m.vertexCount; ++i) {
            const mdlformat::MdlModel& owner = mdlformat::ModelOfVertex(pair.m, i);
            size_t at = owner.vertexArray + 44 * size_t(i - owner.firstVertex) + 0x0C;
            for (int axis = 0; axis < 3; ++axis) {
                float was, now;
                std::memcpy(&was, packed.data() + at + 4 * axis, 4);
                std::memcpy(&now, written.data() + at + 4 * axis, 4);
                ASSERT_NEAR(now, was, 5e-7 + std::fabs(was) * 1e-7) << model << " " << i;
            }
            written.replace(at, 12, packed, at, 12);
        }
        EXPECT_TRUE(written == packed) << model << ": only positions may change";
    }
    size_t targas = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir / "out")) targas += e.path().extension() == ".tga";
    EXPECT_EQ(targas, 9u) << "the textures found: mouseb's, the sword's four, both licenses', the plate's, the map's";
}
