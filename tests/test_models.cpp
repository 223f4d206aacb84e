// The model record and the Bloodlines model reader: real models, and small
// .mdl/.dx80.vtx pairs built here to reach every branch and every refusal.
#include "model/BloodlinesModel.h"
#include "model/ModelPair.h"
#include "pack/GameFiles.h"
#include "tools/MdlWriter.h"
#include "tools/TextureWriter.h"
#include "session/ViewItem.h"
#include "TestGame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {


using Group = MdlStripGroup;
using Mesh = MdlMesh;

struct Game : TestGame {
    Game() {
        std::string tth, ttz;
        EXPECT_TRUE(BuildTexturePair(12, 16, 8, 1, tth, ttz));
        Open("pack000.vpk", {{"materials/models/test/skin.vmt",
                              "\"$basetexture\" \"models/test/skin\"\n\"$nocull\" 1\n\"$translucent\" 1\n"},
                             {"materials/models/test/skin.tth", tth},
                             {"materials/models/test/skin.ttz", ttz},
                             {"materials/models/test/none.vmt", "\"$basetexture\" \"models/test/none\"\n"},
                             {"models/test/m.mdl", MdlPair().Mdl()},
                             {"models/test/m.dx80.vtx", MdlPair().Vtx()}});
    }
    bool Load(const std::string& mdl, const std::string& vtx, const char* select = "models/test/m.mdl") {
        dir.Write("data/models/test/m.mdl", mdl);
        dir.Write("data/models/test/m.dx80.vtx", vtx);
        FileEntry key = EntryFor(select);
        return LoadBloodlinesModel(app, key);
    }
};

bool IsCheckerboard(const Image32& image) {
    struct {
        uint32_t x, y;
        uint8_t c;
    } at[] = {{0, 0, 255}, {8, 0, 0}, {8, 8, 255}, {7, 8, 0}, {63, 48, 0}, {63, 56, 255}};
    if (image.width != 64 || image.height != 64) return false;
    for (const auto& p : at)
        if (image.Pixel(p.x, p.y)[0] != p.c || image.Pixel(p.x, p.y)[2] != p.c || image.Pixel(p.x, p.y)[3] != 255)
            return false;
    return true;
}

}  // namespace

TEST(BloodlinesModelTest, SelectingEitherFileFillsTheRecordInDrawingOrder) {
    Game g;
    auto view = [&](const char* path) { return ViewTreeItem(g.app, FindTreeItemByPath(g.app.tree, path)); };
    ASSERT_EQ(view("models/test/m.dx80.vtx"), ItemView::Model) << g.app.failure.detail;
    // Mesh 0's middle strip group has flags 0: no range and no vertices, but
    // its indices count towards the locked size. Vertex ids come through both
    // table layouts and mesh 1's base of 2; Y and Z are exchanged. Slot 1 is
    // found in the second directory (which ends in a backslash) with the
    // material's flags; the missing material gets the checkerboard.
    EXPECT_EQ(DescribeModel(g.app.viewer),
              "m0/1/1 m0/1/1 m1/1/1 s16x8/11 s64x64/10sub "
              "0,200,100,3,2,0 1,201,101,3,2,1 2,202,102,3,2,2 2,202,102,3,2,2 1,201,101,3,2,1 0,200,100,3,2,0 "
              "5,205,105,3,2,5 3,203,103,3,2,3 2,202,102,3,2,2 ");
    EXPECT_EQ(g.app.viewer.lockedVertices, 12u);
    EXPECT_TRUE(IsCheckerboard(g.app.viewer.slots[2].image));
    const TextContent& t = g.app.textView;
    EXPECT_EQ(t.text, "Material  1 skin.vmt\nMaterial  2 gone.vmt\n");
    EXPECT_EQ(t.entryCount, 3u);
    EXPECT_EQ(t.entries[0].name + t.entries[1].name + t.entries[2].name, "skinskingone");
    EXPECT_EQ(t.mode, 1u);
    EXPECT_EQ(std::vector<float>(g.app.camera.centre, g.app.camera.centre + 3),
              (std::vector<float>{2.5f, 202.5f, 102.5f}))
        << "framed about the middle of the drawn vertices";
    EXPECT_TRUE(g.messages.empty());

    // A refused selection does not leave the previous model on show as if it
    // were the selection: the view is emptied and the text pane says why.
    g.dir.Write("data/models/test/m.mdl", "IDSX");
    EXPECT_EQ(view("models/test/m.mdl"), ItemView::NoModel) << "a loose model file wins, and is refused";
    EXPECT_EQ(g.app.viewer.meshCount, 0u);
    EXPECT_EQ(g.app.viewer.slotCount, 1u);
    EXPECT_TRUE(g.app.viewer.slot0.filled && g.app.viewer.slot0.fillArgb == 0xFF000000u);
    EXPECT_EQ(g.app.textView.mode, 0u);
    EXPECT_EQ(g.app.textView.entryCount, 0u);
    EXPECT_EQ(g.app.textView.text, "models/test/m.mdl: not a model file (no IDST header)\n");
    ASSERT_EQ(view("materials/models/test/skin.vmt"), ItemView::Picture);
    // A material without its texture: the checkerboard, and its text after
    // a line naming the texture and why.
    EXPECT_EQ(view("materials/models/test/none.vmt"), ItemView::NoPicture);
    EXPECT_EQ(g.app.viewer.slotCount, 1u);
    EXPECT_TRUE(IsCheckerboard(g.app.viewer.slot0.image));
    const std::string missing = "$basetexture models/test/none: not in the packs or the data folder";
    EXPECT_EQ(g.app.textView.text, missing + "\n\"$basetexture\" \"models/test/none\"\n");
    EXPECT_EQ(g.app.failure.Words(), "materials/models/test/none.vmt: " + missing);
    EXPECT_TRUE(g.messages.empty());
}

TEST(BloodlinesModelTest, RefusesDamagedFilesAndKeepsThePreviousModel) {
    std::string mdl = MdlPair().Mdl(), vtx = MdlPair().Vtx();
    uint32_t block = Get32(mdl, 0x144) + 16;
    uint32_t dirs = Get32(mdl, 0x130), textures = Get32(mdl, 0x128);
    const bool kStrip = true;
    // One value written into a good pair: in the strip file, or in the model
    // file at a file offset (the block's and the directory table's added).
    struct Case {
        const char* what;
        bool strip;
        uint32_t at, value;
        int bytes;
    } cases[] = {
        {"wrong magic", !kStrip, 3, 'X', 1},
        {"vertex count not the array's", !kStrip, block + 0x90, 5, 4},
        {"texture name outside", !kStrip, textures, 0x100000, 4},
        {"texture name without terminator", !kStrip, textures + 20, uint32_t(mdl.size() - 1 - (textures + 20)), 4},
        {"texture table outside", !kStrip, 0x124, 0x10000000, 4},
        {"directory outside", !kStrip, dirs, 0xFFFFFFF0, 4},
        {"model block outside", !kStrip, 0x144, 0xFFFFFFF0, 4},
        {"mesh table outside", !kStrip, block + 0x8C, 0x7FFFFFFF, 4},
        {"more meshes than textures", !kStrip, 0x124, 1, 4},
        {"strip data with more meshes", !kStrip, block + 0x88, 1, 4},
        {"vertex id past the array", !kStrip, block + 0xE0 + 60 + 12, 3, 4},
        {"unknown vertex format", !kStrip, block + 0x9C, 3, 4},
        {"body parts outside", !kStrip, 0x140, 0x10000000, 4},
        {"strip body part missing", kStrip, 0x1C, 0, 4},
        {"strip model without levels", kStrip, 0x2C, 0, 4},
        {"strip mesh table outside", kStrip, 0x38, 0xFFFFFFF0, 4},
        {"strip group table outside", kStrip, 0x44, 0x8000, 4},
        {"index list outside", kStrip, 0x50 + 12, 0xFFFFFFFF, 4},
        {"vertex table entry outside", kStrip, 0x50 + 8, 0x7FFFFFFF, 4},
        {"index count not a multiple of 3", kStrip, 0x50 + 2, 2, 2},
    };
    Game g;
    for (const Case& c : cases) {
        ASSERT_TRUE(g.Load(mdl, vtx));
        std::string m = mdl, v = vtx;
        Put(c.strip ? v : m, c.at, c.value, c.bytes);
        EXPECT_FALSE(g.Load(m, v)) << c.what;
        EXPECT_FALSE(g.app.failure.detail.empty()) << c.what;
        EXPECT_EQ(g.app.viewer.meshCount, 3u) << c.what << ": the previous model stays";
        EXPECT_EQ(g.app.viewer.slotCount, 3u) << c.what;
    }
    // Every prefix of either file is refused cleanly (the sanitizers watch
    // the reads).
    for (size_t n = 0; n < mdl.size(); n += 7) EXPECT_FALSE(g.Load(mdl.substr(0, n), vtx)) << "model cut at " << n;
    for (size_t n = 0; n < vtx.size(); ++n) EXPECT_FALSE(g.Load(mdl, vtx.substr(0, n))) << "strips cut at " << n;
    EXPECT_TRUE(g.messages.empty()) << "damaged files are refused silently";
}

TEST(BloodlinesModelTest, RefusesModelsBeyondTheCapacitiesWithAMessage) {
    struct Case {
        const char* what;
        MdlPair model;
        const char* limit;
    } cases[] = {{"64 textures", MdlPair(), "63"},
                 {"257 strip groups", MdlPair(), "256"},
                 {"65535 indices", MdlPair(), "32768"}};
    cases[0].model.textures.assign(64, "skin");
    cases[0].model.meshes.assign(64, Mesh{0, {}});
    cases[1].model.meshes[1].groups.assign(257, Group{0x10, {}, {}});
    cases[2].model.meshes[1].groups = {Group{0, {}, std::vector<uint16_t>(32767, 0)}};
    cases[2].model.meshes[0].groups.resize(1);  // 3 + 32767 indices: one too many
    Game g;
    for (const Case& c : cases) {
        g.messages.clear();
        EXPECT_FALSE(g.Load(c.model.Mdl(), c.model.Vtx())) << c.what;
        ASSERT_EQ(g.messages.size(), 1u) << c.what;
        EXPECT_NE(g.messages[0].find(c.limit), std::string::npos) << g.messages[0];
    }
    // At the limits the model loads.
    MdlPair full;
    full.textures.assign(63, "gone");
    full.meshes.resize(63, Mesh{0, {}});
    full.meshes[1].groups.assign(254, Group{0x10, {}, {}});
    full.meshes[0].groups = {Group{0, {}, std::vector<uint16_t>(32768 - 3 * 2, 0)}, Group{0x10, {0}, {0, 0, 0}}};
    full.meshes[2].groups = {Group{0x10, {0}, {0, 0, 0}}};
    ASSERT_TRUE(g.Load(full.Mdl(), full.Vtx())) << g.app.failure.detail;
    EXPECT_EQ(g.app.viewer.meshCount, 256u);
    EXPECT_EQ(g.app.viewer.slotCount, 64u);
    EXPECT_EQ(g.app.viewer.lockedVertices, 32768u);
    EXPECT_EQ(g.app.textView.text.size(), 1023u) << "the material list is cut to its room";
}

TEST(ViewerTest, TablesRefuseEntriesPastTheirCapacities) {
    Viewer v;
    for (uint32_t i = 1; i < kTextureSlotCapacity; ++i) ASSERT_TRUE(v.AddSubstituteTexture());
    EXPECT_FALSE(v.AddSubstituteTexture());
    for (uint32_t i = 0; i < kMeshCapacity; ++i) ASSERT_TRUE(v.AddMesh(i, 1));
    EXPECT_FALSE(v.AddMesh(0, 1));
    EXPECT_EQ(v.MeshTextureIndex(256), 0u);
    v.SetMeshVisible(256, false);  // ignored: nothing is written past the table
    float p[3] = {1, 2, 3};
    for (uint32_t i = 0; i < kSkeletonSegmentCapacity; ++i) ASSERT_TRUE(v.AddSkeletonSegment(p, p));
    EXPECT_FALSE(v.AddSkeletonSegment(p, p));
    EXPECT_EQ(v.LockModelVertices(kModelVertexCapacity + 1), nullptr);
    v.FillImage(0xFF102030u);
    EXPECT_EQ(v.meshCount, 0u) << "the image is shown again";
    EXPECT_TRUE(v.slot0.filled && v.slot0.fillArgb == 0xFF102030u) << "the whole view takes the colour";
    v.ReleaseModelTextures();
    EXPECT_EQ(v.slotCount, 1u);
}

namespace {

// Two triangles of six vertices whose normals are the table entries of the
// poles and of the equator at +X, +Y, -X, -Y (codes of the 8-byte table;
// the 12-byte table's are 12 x its indices). Positions sit on exact steps.
MdlPair Packed(uint32_t format) {
    bool wide = format == 1;
    const float codes8[] = {0, 201, 89, 95, 101, 107};
    const float codes12[] = {0, 12 * 5313, 12 * 2593, 12 * 2625, 12 * 2657, 12 * 2689};
    MdlPair m;
    m.textures = {"skin"};
    m.format = format;
    m.origin = wide ? std::array<float, 3>{-36, -0.875f, -0.0012f} : std::array<float, 3>{-2, -3, 0};
    m.scale = wide ? std::array<float, 3>{0.0011f, 2.67e-5f, 0.00073f} : std::array<float, 3>{4, 6, 0.5f};
    const uint32_t q[6][3] = {{0, 0, 0}, {255, 255, 255}, {51, 17, 1}, {1, 2, 3}, {200, 100, 50}, {7, 0, 254}};
    for (int i = 0; i < 6; ++i) {
        MdlVertex v = {0, 0, 0, wide ? codes12[i] : codes8[i], 0, 0, i * 0.2f, 1 - i * 0.125f};
        for (int k = 0; k < 3; ++k)
            v[k] = m.origin[k] + (wide ? q[i][k] * 250 * m.scale[k] : q[i][k] * m.scale[k] / 255);
        m.vertices.push_back(v);
    }
    m.meshes = {{0, {{0x10, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}}}}};
    return m;
}

}  // namespace

TEST(BloodlinesModelTest, PackedVerticesDecodeWithTheModelsOriginScaleAndNormalTables) {
    const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
    Game g;
    for (uint32_t format : {1u, 2u}) {
        MdlPair m = Packed(format);
        ASSERT_TRUE(g.Load(m.Mdl(), m.Vtx())) << format << ": " << g.app.failure.detail;
        ASSERT_EQ(g.app.viewer.lockedVertices, 6u);
        for (int i = 0; i < 6; ++i) {
            const ModelVertex& v = g.app.viewer.ModelVertices()[i];
            const MdlVertex& want = m.vertices[i];
            // Z up in the file, Y up in the view.
            float got[3] = {v.x, v.z, v.y}, n[3] = {v.nx, v.nz, v.ny};
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(got[k], want[k], 1e-5 + std::fabs(want[k]) * 1e-6) << format << " vertex " << i << " axis " << k;
                EXPECT_NEAR(n[k], normals[i][k], 1e-6) << format << " normal " << i << " axis " << k;
            }
            EXPECT_NEAR(v.u, want[6], 1e-5) << format << " vertex " << i;
            EXPECT_NEAR(v.v, want[7], 1e-5) << format << " vertex " << i;
        }
    }
}

TEST(BloodlinesModelTest, RefusesUnreadableVertexDataNamingTheReason) {
    struct Case {
        const char* what;
        MdlPair model;
        uint32_t vertex, code;  // a normal code written into one vertex (code 0: none)
        const char* reason;
    } cases[] = {
        {"8-byte code past the table", Packed(2), 4, 202, "vertex 4 has normal code 202, outside the 8-byte"},
        {"12-byte code past the table", Packed(1), 5, 12 * 5314, "vertex 5 has normal code 63768, outside the 12-byte"},
        {"12-byte code between entries", Packed(1), 2, 13, "vertex 2 has normal code 13"},
        {"a model of empty body parts", MdlPair(), 0, 0, "the model holds no meshes"},
    };
    cases[3].model.meshes.clear();
    cases[3].model.vertexCount = 0;
    cases[3].model.emptyPartsBefore = 2;
    for (Case& c : cases)
        if (c.code != 0) c.model.vertices[c.vertex][3] = float(c.code);
    Game g;
    for (const Case& c : cases) {
        EXPECT_FALSE(g.Load(c.model.Mdl(), c.model.Vtx())) << c.what;
        EXPECT_NE(g.app.failure.detail.find(c.reason), std::string::npos)
            << c.what << ": " << g.app.failure.detail;
    }
    // A vertex array one vertex short of its count, in each layout.
    for (uint32_t format : {0u, 1u, 2u}) {
        MdlPair m = Packed(format == 0 ? 2 : format);
        m.format = format;
        std::string mdl = m.Mdl();
        uint32_t rec = Get32(mdl, 0x144) + 16;
        Put(mdl, rec + 0x90, 7);
        EXPECT_FALSE(g.Load(mdl, m.Vtx()));
        std::string size = format == 0 ? "44" : format == 1 ? "12" : "8";
        EXPECT_NE(g.app.failure.detail.find("does not hold 7 vertices of " + size + " bytes"), std::string::npos)
            << g.app.failure.detail;
    }
}

TEST(BloodlinesModelTest, EveryBodyPartsGeometryIsOneModel) {
    // An empty body part first (as in the cinematic rigs), then two with
    // geometry; the third's meshes and vertices follow the second's.
    MdlPair m;
    m.textures = {"skin", "gone", "skin"};
    m.emptyPartsBefore = 1;
    MdlPair third = Packed(2);
    third.meshes = {{1, {{0x10, {0, 1, 2}, {2, 1, 0}}}}};  // the base counts in its own model
    m.laterParts.push_back(third);
    Game g;
    ASSERT_TRUE(g.Load(m.Mdl(), m.Vtx())) << g.app.failure.detail;
    EXPECT_EQ(DescribeModel(g.app.viewer),
              "m0/1/1 m0/1/1 m1/1/1 m2/1/1 s16x8/11 s64x64/10sub s16x8/11 "
              "0,200,100,3,2,0 1,201,101,3,2,1 2,202,102,3,2,2 2,202,102,3,2,2 1,201,101,3,2,1 0,200,100,3,2,0 "
              "5,205,105,3,2,5 3,203,103,3,2,3 2,202,102,3,2,2 -1,0,-2,0,1,0 -1,0,-2,0,0,0 2,0,3,1,0,0 ");
    EXPECT_EQ(g.app.textView.entries[3].name, "skin");

    // The strip file must hold the data of every body part with geometry.
    std::string vtx = m.Vtx();
    Put(vtx, 0x1C, 2);
    EXPECT_FALSE(g.Load(m.Mdl(), vtx));
    EXPECT_EQ(g.app.failure.detail, "the strip file has fewer body parts than the model");
    // A vertex id names a vertex of its own model only, even where the
    // next model's vertices follow.
    m.meshes[1].groups[0].table = {0, 1, 4};
    EXPECT_FALSE(g.Load(m.Mdl(), m.Vtx()));
    EXPECT_EQ(g.app.failure.detail, "a vertex id is outside the vertex array");
}

TEST(BloodlinesModelTest, CompanionsReplaceTheKnownExtensionOnly) {
    struct {
        const char* path;
        const char* stem;
    } cases[] = {
        {"models/a/wineglass.mdl_female.mdl", "models/a/wineglass.mdl_female"},
        {"models/a/wineglass.mdl_female.DX80.vtx", "models/a/wineglass.mdl_female"},
        {"models/a/lamp.phy", "models/a/lamp"},
        {"models/a/lamp.sw.vtx", "models/a/lamp"},
        {"models/a/g_sword.dx7_2bone.vtx", "models/a/g_sword"},
        {"models/a/wineglass.mdl_female.DX7_2bone.VTX", "models/a/wineglass.mdl_female"},
        {"models/a/wineglass.mdl_female.vtx", "models/a/wineglass.mdl_female"},
        {"models/v1.0/lamp.mdl", "models/v1.0/lamp"},
        {"models/v1.0\\lamp", "models/v1.0\\lamp"},
        {"models/a/lamp.nod", "models/a/lamp"},
    };
    for (const auto& c : cases) EXPECT_EQ(ModelStemPath(c.path), c.stem) << c.path;

    Game g;
    g.dir.Write("data/models/test/cup.mdl_female.mdl", MdlPair().Mdl());
    g.dir.Write("data/models/test/cup.mdl_female.dx80.vtx", MdlPair().Vtx());
    FileEntry key = EntryFor("models/test/cup.mdl_female.dx80.vtx");
    EXPECT_TRUE(LoadBloodlinesModel(g.app, key)) << g.app.failure.detail;
    EXPECT_STREQ(key.name, "models/test/cup.mdl_female.mdl");
}

namespace {

struct RealGame : RealPack {
    bool Load(const char* path) {
        FileEntry key = EntryFor(path);
        return LoadBloodlinesModel(app, key);
    }
    // The model pair with the vertex numbers of its triangles in order.
    bool Read(const std::string& stem, ModelPair& p, std::vector<uint32_t>& triangles) {
        std::string why;
        if (!ReadModelPair(app.Files(), stem, p, why)) return false;
        return mdlformat::ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const mdlformat::StripGroupRef& g) {
            for (uint32_t k = 0; k < g.indexCount; ++k) triangles.push_back(mdlformat::VertexNumber(p.vtx, g, k));
            return true;
        });
    }
};

}  // namespace

TEST(BloodlinesModelTest, RealModelsLoadWithTheirTextures) {
    RealGame g;
    if (!g.open) GTEST_SKIP() << "no real data";
    AppState& app = g.app;
    struct {
        const char* path;
        const char* record;
    } cases[] = {{"models/scenery/furniture/computer/mouseb.mdl", "m0/60/1 s512x512/00 "},
                 {"models/weapons/broadsword/world/g_sword.dx80.vtx",
                  "m0/228/1 m1/80/1 m2/40/1 m3/72/1 s256x64/00 s32x32/00 s64x64/00 s256x64/00 "},
                 {"models/items/license/ground/lisense.mdl", "m0/44/1 s512x512/00 "},
                 {"models/scenery/misc/plates/crapy.mdl", "m0/188/1 s256x256/00 "},
                 {"models/scenery/structural/warrens/warr_00_map.dx80.vtx", "m0/120/1 s512x512/00 "},
                 {"models/scenery/misc/wineglass/wineglass.mdl_female.mdl", "m0/332/1 s64x64/10sub "},
                 {"models/cinematic/santa_monica/courtroom/courtroom_bip1.mdl",
                  "m0/624/1 m1/624/1 m2/624/1 m3/624/1 s64x64/10sub s64x64/10sub s64x64/10sub s64x64/10sub "}};
    for (const auto& c : cases) {
        EXPECT_TRUE(g.Load(c.path)) << c.path << ": " << app.failure.detail;
        EXPECT_EQ(DescribeModel(app.viewer, false), c.record) << c.path;
    }
    ModelPair rig;
    std::vector<uint32_t> triangles;
    ASSERT_TRUE(g.Read("models/cinematic/santa_monica/courtroom/courtroom_bip1", rig, triangles));
    EXPECT_EQ(rig.m.vertexCount, 4992u) << "all in the second body part";
    EXPECT_EQ(triangles.size(), 3u * 2496);
}

// The same card twice: packed in 8 bytes on the ground, in 44-byte floats in
// the inventory. The triangles match, the texture coordinates match, and the
// positions match up to a move and a scale, within one 8-bit step.
TEST(BloodlinesModelTest, RealPackedLicenseMatchesItsFloatTwin) {
    RealGame g;
    if (!g.open) GTEST_SKIP() << "no real data";
    ModelPair packed, floats;
    std::vector<uint32_t> packedTriangles, floatTriangles;
    ASSERT_TRUE(g.Read("models/items/license/ground/lisense", packed, packedTriangles));
    ASSERT_TRUE(g.Read("models/items/license/info/info_lisense", floats, floatTriangles));
    ASSERT_EQ(packed.m.models[0].format, 2u);
    ASSERT_EQ(floats.m.models[0].format, 0u);
    EXPECT_EQ(packedTriangles, floatTriangles);
    ASSERT_EQ(packed.vertices.size(), floats.vertices.size());
    size_t n = packed.vertices.size();
    for (size_t i = 0; i < n; ++i)
        for (int k = 0; k < 2; ++k) EXPECT_NEAR(packed.vertices[i].uv[k], floats.vertices[i].uv[k], 1e-5) << i;
    // The twin stands in another frame: each of its axes is one of the
    // packed model's, moved, scaled and perhaps turned round.
    auto range = [&](const ModelPair& p, int axis, double& lo, double& hi) {
        lo = hi = p.vertices[0].position[axis];
        for (const mdlformat::Vertex& v : p.vertices) lo = std::min(lo, double(v.position[axis])), hi = std::max(hi, double(v.position[axis]));
    };
    auto fits = [&](int to, int from, bool turned) {
        double plo, phi, flo, fhi;
        range(packed, from, plo, phi);
        range(floats, to, flo, fhi);
        if (phi - plo <= 0) return false;
        double a = (fhi - flo) / (phi - plo), step = a * packed.m.models[0].scale[from] / 255;
        for (size_t i = 0; i < n; ++i) {
            double p = packed.vertices[i].position[from];
            double mapped = turned ? fhi - a * (p - plo) : flo + a * (p - plo);
            if (std::fabs(mapped - floats.vertices[i].position[to]) > step) return false;
        }
        return true;
    };
    for (int to = 0; to < 3; ++to) {
        int found = 0;
        for (int from = 0; from < 3; ++from) found += fits(to, from, false) + fits(to, from, true);
        EXPECT_EQ(found, 1) << "axis " << to << " of the twin";
    }
}

// A framed map whose text reads the right way round: seen from the side its
// normals face (Y up, X right, the view's left-handed axes), texture u must
// run right and v down over the picture's triangles, so the frame (u, v, n)
// has the view's own handedness; a mirrored u or v flips it.
TEST(BloodlinesModelTest, RealPackedMapReadsTheRightWayRound) {
    RealGame g;
    if (!g.open) GTEST_SKIP() << "no real data";
    ASSERT_TRUE(g.Load("models/scenery/structural/warrens/warr_00_map.mdl")) << g.app.failure.detail;
    const ModelVertex* v = g.app.viewer.ModelVertices();
    int right = 0, mirrored = 0;
    for (uint32_t t = 0; t + 2 < g.app.viewer.lockedVertices; t += 3) {
        const ModelVertex &a = v[t], &b = v[t + 1], &c = v[t + 2];
        // The picture is the upper part of the texture; the frame below it.
        if (std::max({a.v, b.v, c.v}) > 0.62f) continue;
        double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        double du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
        // The directions of u and v on the triangle, each times the uv
        // area, whose square leaves their cross product's sign alone.
        double tu[3], tv[3], n[3] = {a.nx + b.nx + c.nx, a.ny + b.ny + c.ny, a.nz + b.nz + c.nz};
        for (int k = 0; k < 3; ++k) {
            tu[k] = e1[k] * dv2 - e2[k] * dv1;
            tv[k] = e2[k] * du1 - e1[k] * du2;
        }
        double cross[3] = {tu[1] * tv[2] - tu[2] * tv[1], tu[2] * tv[0] - tu[0] * tv[2], tu[0] * tv[1] - tu[1] * tv[0]};
        double side = cross[0] * n[0] + cross[1] * n[1] + cross[2] * n[2];
        (side > 0 ? right : mirrored) += 1;
    }
    EXPECT_EQ(right, 24);
    EXPECT_EQ(mirrored, 0);
}
