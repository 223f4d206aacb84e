// The model record and the Bloodlines model reader: real models, and small
// .mdl/.dx80.vtx pairs built here to reach every branch and every refusal.
#include "model/BloodlinesModel.h"
#include "pack/GameFiles.h"
#include "tools/MdlWriter.h"
#include "tools/TextureWriter.h"
#include "session/ViewItem.h"
#include "TestGame.h"

#include <cstring>
#include <filesystem>

namespace {

// Little-endian integers and floats into a byte string, in place.
void Put(std::string& s, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * i));
}
uint32_t Get32(const std::string& s, size_t at) {
    uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

using Group = MdlStripGroup;
using Mesh = MdlMesh;
using ModelPair = MdlPair;

struct Game : TestGame {
    Game() {
        std::string tth, ttz;
        EXPECT_TRUE(BuildTexturePair(12, 16, 8, 1, tth, ttz));
        Open("pack000.vpk", {{"materials/models/test/skin.vmt",
                              "\"$basetexture\" \"models/test/skin\"\n\"$nocull\" 1\n\"$translucent\" 1\n"},
                             {"materials/models/test/skin.tth", tth},
                             {"materials/models/test/skin.ttz", ttz},
                             {"models/test/m.mdl", ModelPair().Mdl()},
                             {"models/test/m.dx80.vtx", ModelPair().Vtx()}});
    }
    bool Load(const std::string& mdl, const std::string& vtx, const char* select = "models/test/m.mdl") {
        dir.Write("data/models/test/m.mdl", mdl);
        dir.Write("data/models/test/m.dx80.vtx", vtx);
        FileEntry key = {};
        std::strcpy(key.name, select);
        return LoadBloodlinesModel(app, key);
    }
};

// The record as text: meshes (texture index, triangles, visible), slots
// (size, twoSided, alpha, "sub" for the substitute), vertices (x, y, z, ny,
// nz, v).
std::string Describe(const Viewer& v, bool vertices = true) {
    std::string out;
    for (uint32_t i = 0; i < v.meshCount; ++i)
        out += "m" + std::to_string(v.meshes[i].textureIndex) + "/" + std::to_string(v.meshes[i].triangleCount) + "/" +
               std::to_string(v.meshes[i].visible) + " ";
    for (uint32_t i = 1; i < v.slotCount; ++i)
        out += "s" + std::to_string(v.slots[i].image.width) + "x" + std::to_string(v.slots[i].image.height) + "/" +
               std::to_string(v.slots[i].twoSided) + std::to_string(v.slots[i].alpha) +
               (v.slots[i].substitute ? "sub " : " ");
    uint32_t written = 0;
    for (uint32_t i = 0; i < v.meshCount; ++i) written += 3 * v.meshes[i].triangleCount;
    for (uint32_t k = 0; vertices && k < written && k < v.lockedVertices; ++k) {
        const ModelVertex& x = v.ModelVertices()[k];
        for (float f : {x.x, x.y, x.z, x.ny, x.nz, x.v}) out += std::to_string(int(f)) + ",";
        out.back() = ' ';
    }
    return out;
}

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
    ASSERT_EQ(view("models/test/m.dx80.vtx"), ItemView::Model) << g.app.viewer.lastModelError;
    // Mesh 0's middle strip group has flags 0: no range and no vertices, but
    // its indices count towards the locked size. Vertex ids come through both
    // table layouts and mesh 1's base of 2; Y and Z are exchanged. Slot 1 is
    // found in the second directory (which ends in a backslash) with the
    // material's flags; the missing material gets the checkerboard.
    EXPECT_EQ(Describe(g.app.viewer),
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
    g.dir.Write("data/models/test/m.mdl", "IDSX");
    EXPECT_EQ(view("models/test/m.mdl"), ItemView::NoModel) << "a loose model file wins, and is refused";
    EXPECT_EQ(g.app.viewer.meshCount, 3u);
    EXPECT_TRUE(g.messages.empty());
}

TEST(BloodlinesModelTest, RefusesDamagedFilesAndKeepsThePreviousModel) {
    std::string mdl = ModelPair().Mdl(), vtx = ModelPair().Vtx();
    uint32_t block = Get32(mdl, 0x144) + 16;
    uint32_t dirs = Get32(mdl, 0x130);
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
        {"packed vertices", !kStrip, block + 0x90, 5, 4},
        {"texture name outside", !kStrip, 0x148, 0x100000, 4},
        {"texture name without terminator", !kStrip, 0x148 + 20, uint32_t(mdl.size() - 1 - (0x148 + 20)), 4},
        {"texture table outside", !kStrip, 0x124, 0x10000000, 4},
        {"directory outside", !kStrip, dirs, 0xFFFFFFF0, 4},
        {"model block outside", !kStrip, 0x144, 0xFFFFFFF0, 4},
        {"mesh table outside", !kStrip, block + 0x8C, 0x7FFFFFFF, 4},
        {"more meshes than textures", !kStrip, 0x124, 1, 4},
        {"strip data with more meshes", !kStrip, block + 0x88, 1, 4},
        {"vertex id past the array", !kStrip, block + 0x9C + 60 + 12, 3, 4},
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
        EXPECT_FALSE(g.app.viewer.lastModelError.empty()) << c.what;
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
        ModelPair model;
        const char* limit;
    } cases[] = {{"64 textures", ModelPair(), "63"},
                 {"257 strip groups", ModelPair(), "256"},
                 {"65535 indices", ModelPair(), "32768"}};
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
    ModelPair full;
    full.textures.assign(63, "gone");
    full.meshes.resize(63, Mesh{0, {}});
    full.meshes[1].groups.assign(254, Group{0x10, {}, {}});
    full.meshes[0].groups = {Group{0, {}, std::vector<uint16_t>(32768 - 3 * 2, 0)}, Group{0x10, {0}, {0, 0, 0}}};
    full.meshes[2].groups = {Group{0x10, {0}, {0, 0, 0}}};
    ASSERT_TRUE(g.Load(full.Mdl(), full.Vtx())) << g.app.viewer.lastModelError;
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

TEST(BloodlinesModelTest, RealModelsLoadWithTheirTextures) {
    std::string pack = RealData() + "/bloodlines/pack103.vpk";
    if (!std::filesystem::exists(pack)) GTEST_SKIP() << "no real data";
    CwdGuard cwd;
    AppState app;
    ASSERT_TRUE(OpenPack(app, pack.c_str()));
    auto load = [&](const char* path) {
        FileEntry key = {};
        std::strcpy(key.name, path);
        return LoadBloodlinesModel(app, key);
    };
    struct {
        const char* path;
        const char* record;
    } cases[] = {{"models/scenery/furniture/computer/mouseb.mdl", "m0/60/1 s512x512/00 "},
                 {"models/weapons/broadsword/world/g_sword.dx80.vtx",
                  "m0/228/1 m1/80/1 m2/40/1 m3/72/1 s256x64/00 s32x32/00 s64x64/00 s256x64/00 "}};
    for (const auto& c : cases) {
        EXPECT_TRUE(load(c.path)) << c.path << ": " << app.viewer.lastModelError;
        EXPECT_EQ(Describe(app.viewer, false), c.record) << "real textures, no checkerboard";
    }
    EXPECT_EQ(app.textView.entries[3].name, "swordblade");
    EXPECT_FALSE(load("models/scenery/misc/plates/crapy.mdl")) << "packed vertices";
    EXPECT_EQ(app.viewer.meshCount, 4u) << "the sword stays on show";
}
