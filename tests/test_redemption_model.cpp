// The Redemption model reader on small NOD files built here: what a load
// puts on display, the view-space conversions, and every refusal.
#include "model/RedemptionModel.h"
#include "pack/GameFiles.h"
#include "tools/NodWriter.h"
#include "tools/TextureWriter.h"
#include "session/ViewItem.h"
#include "TestGame.h"

#include <cmath>
#include <cstring>

namespace {

const uint16_t kNone = 0xFFFF;

NodBone Bone(std::array<float, 9> rotation, float x, float y, float z, uint16_t parent) {
    NodBone b{{}, parent};
    std::copy(rotation.begin(), rotation.end(), b.matrix.begin());
    b.matrix[9] = x;
    b.matrix[10] = y;
    b.matrix[11] = z;
    return b;
}
const std::array<float, 9> kIdentity = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// Vertex i: position (i, 10 + i, 20 + i), normal (1, 2, 3), uv (i, i / 4).
// Groups: stone with two triangles on vertices 0-3; an empty group; brick
// with one triangle on vertices 4-6 (base 4). Vertex 7 is not used.
NodModel TestModel() {
    NodModel m;
    m.textures = {"Stone", "cloth", "brick"};
    m.boxMax = {2, 1, 3};
    m.names = {"head", "body", "abcdefghijklmnopqrstuvwxyz012345"};
    for (int i = 0; i < 8; ++i) m.vertices.push_back({float(i), 10.0f + i, 20.0f + i, 1, 2, 3, float(i), i / 4.0f});
    m.vertexExtra = true;
    m.triangles = {{0, 1, 2}, {3, 2, 0}, {1, 2, 0}};
    m.groups = {{0, 2, 4, 1}, {1, 0, 0, 2}, {2, 1, 3, 0}};
    return m;
}

struct Game : TestGame {
    Game() {
        Open("data.nob", {{"3D/Materials/Stone.nam", "PASS 0 WALL.TGA\r\nTWOSIDED\r\n"},
                          {"3D/Materials/WALL.TGA", BuildTga(8, 4, 24)},
                          {"Materials/London/Brick.nam", "TEXTURE brick.bmp\r\nMASKED\r\n"},
                          {"Materials/London/Brick.bmp", BuildBmp(4, 2, 24, false)},
                          {"3D/Motions/M.nms", "motion of m\r\n"},
                          {"3D/Motions/Hero.NMS", "motion of the hero\r\n"},
                          {"Characters/Hero.NOD", BuildNod(TestModel())}});
    }
    // Loads bytes as the loose file models/NAME.
    bool Load(const std::string& bytes, const std::string& name = "m.nod") {
        dir.Write("data/models/" + name, bytes);
        FileEntry key = EntryFor("models/" + name);
        return LoadRedemptionModel(app, key);
    }
};

std::vector<float> Point(const float* p) { return {p[0], p[1], p[2]}; }

}  // namespace

TEST(RedemptionModelTest, FillsTheRecordInDrawingOrder) {
    for (bool extra : {true, false}) {
        Game g;
        NodModel model = TestModel();
        model.vertexExtra = extra;
        ASSERT_TRUE(g.Load(BuildNod(model))) << g.app.failure.detail;
        const Viewer& v = g.app.viewer;
        // Each triangle reversed (i2, i1, i0), the third group from base 4;
        // the empty group takes a range and a check-list entry.
        ASSERT_EQ(v.lockedVertices, 9u);
        std::vector<int> order;
        for (uint32_t k = 0; k < 9; ++k) {
            const ModelVertex& x = v.ModelVertices()[k];
            float i = -x.x;
            order.push_back(int(i));
            // (x, y, z) -> (-x, z, -y); normals alike; v flipped.
            EXPECT_EQ(std::vector<float>({x.y, x.z, x.nx, x.ny, x.nz, x.u, x.v}),
                      std::vector<float>({20 + i, -(10 + i), -1, 3, -2, i, 1 - i / 4}))
                << "vertex " << k << (extra ? " with" : " without") << " the extra section";
        }
        EXPECT_EQ(order, (std::vector<int>{2, 1, 0, 0, 2, 3, 4, 6, 5}));
        // Materials from the first and the fourth folder with their flags;
        // the missing one is the checkerboard.
        EXPECT_EQ(DescribeModel(v, false), "m0/2/1 m1/0/1 m2/1/1 s8x4/10 s64x64/10sub s4x2/01 ");
        const TextContent& t = g.app.textView;
        ASSERT_EQ(t.entryCount, 3u);
        EXPECT_EQ(t.entries[0].name + "|" + t.entries[1].name + "|" + t.entries[2].name,
                  "body|abcdefghijklmnopqrstuvwxyz012345|head")
            << "names through the group's index; a 32-character name has no NUL";
        EXPECT_EQ(t.mode, 1u);
        EXPECT_EQ(t.text, "motion of m\r\n");
        EXPECT_EQ(v.motionFile, "3d\\motions\\m.nms");
        // Framed about the vertices the triangles use, in view space.
        EXPECT_EQ(Point(g.app.camera.centre), (std::vector<float>{-3, 23, -13}));
        EXPECT_EQ(g.app.camera.eye[0] + g.app.camera.eye[1], 0.0f);
        EXPECT_NEAR(g.app.camera.eye[2], -std::sqrt(27.0f) / std::sin(kFieldOfView / 2), 1e-3);
        EXPECT_EQ(g.app.camera.modelScale, 1.0f);
        EXPECT_TRUE(g.messages.empty());
    }
    // The motion file is named after the model, in any folder.
    Game g;
    EXPECT_EQ(ViewTreeItem(g.app, FindTreeItemByPath(g.app.tree, "characters/hero.nod")), ItemView::Model);
    EXPECT_EQ(g.app.viewer.motionFile, "3d\\motions\\hero.nms");
    EXPECT_EQ(g.app.textView.text, "motion of the hero\r\n");
    ASSERT_TRUE(g.Load(BuildNod(TestModel()), "Still.NOD"));
    EXPECT_EQ(g.app.viewer.motionFile, "") << "no 3d/motions/still.nms";
    EXPECT_EQ(g.app.textView.text, "") << "the previous motion text is blanked";
}

TEST(RedemptionModelTest, ScaleFollowsTheLargestExtent) {
    struct {
        std::array<float, 3> boxMin, boxMax;
        float scale;
    } cases[] = {
        {{0, 0, 0}, {1, 2, 9.99f}, 1.0f},
        {{-5, 0, 0}, {5, 1, 1}, 0.1f},  // exactly 10 is large
        {{0, -150, 0}, {1, 50, 1}, 0.1f},
        {{0, 0, -1e6f}, {0, 0, 1e6f}, 0.1f},
    };
    Game g;
    for (const auto& c : cases) {
        NodModel m;
        m.textures = {"cloth"};
        m.names = {"n"};
        m.boxMin = c.boxMin;
        m.boxMax = c.boxMax;
        m.vertices = {{1, 2, 3, 0, 0, 1, 0, 0}};
        m.triangles = {{0, 0, 0}};
        m.groups = {{0, 1, 1, 0}};
        m.bones = {Bone(kIdentity, 0, 0, 0, kNone), Bone(kIdentity, -10, -20, -30, 0)};
        ASSERT_TRUE(g.Load(BuildNod(m))) << g.app.failure.detail;
        float s = c.scale;
        EXPECT_EQ(g.app.camera.modelScale, s);
        const ModelVertex& x = g.app.viewer.ModelVertices()[0];
        EXPECT_EQ(std::vector<float>({x.x, x.y, x.z}), std::vector<float>({-s, 3 * s, -2 * s}));
        EXPECT_EQ(Point(g.app.viewer.skeleton.points[1]), std::vector<float>({-10 * s, 30 * s, -20 * s}))
            << "bones are scaled too";
    }
}

TEST(RedemptionModelTest, SkeletonJoinsEachBoneToItsParentThroughTheInverseMatrix) {
    Game g;
    NodModel m = TestModel();
    // Translation rows as the file stores them; where the bone sits is the
    // translation row of the inverse: -t x R^-1 (row vectors).
    m.bones = {
        Bone(kIdentity, 0, 0, 0, kNone),
        Bone({0, 1, 0, -1, 0, 0, 0, 0, 1}, 1, 2, 3, 0),  // a quarter turn: at (-2, 1, -3)
        Bone({1, 0, 0, 1, 1, 0, 0, 0, 2}, 1, 1, 2, 1),   // shear and scale: at (0, -1, -1)
        Bone({0, 0, 0, 0, 1, 0, 0, 0, 1}, 5, 5, 5, 1),   // singular: drawn nowhere
        Bone(kIdentity, 1, 1, 1, 3),                     // its parent is singular
        Bone(kIdentity, 0, 0, 0, kNone),
    };
    ASSERT_TRUE(g.Load(BuildNod(m))) << g.app.failure.detail;
    const SkeletonLines& s = g.app.viewer.skeleton;
    ASSERT_EQ(s.pointCount, 4u) << "two segments: no parent and no inverse draw nothing";
    // View space: (-x, z, -y).
    EXPECT_EQ(Point(s.points[0]), std::vector<float>({0, 0, 0}));
    EXPECT_EQ(Point(s.points[1]), std::vector<float>({2, -3, -1}));
    EXPECT_EQ(Point(s.points[2]), std::vector<float>({2, -3, -1}));
    EXPECT_EQ(Point(s.points[3]), std::vector<float>({0, -1, 1}));

    // The skeleton goes with the model: a picture shown, or a pack opened,
    // leaves none to draw over it.
    ASSERT_EQ(ViewTreeItem(g.app, FindTreeItemByPath(g.app.tree, "3D/Materials/WALL.TGA")), ItemView::Picture);
    EXPECT_EQ(s.pointCount, 0u);
    ASSERT_TRUE(g.Load(BuildNod(m)));
    ASSERT_TRUE(OpenPack(g.app, (g.dir / "data/data.nob").c_str()));
    EXPECT_EQ(s.pointCount, 0u);
}

TEST(RedemptionModelTest, RefusesDamagedFilesAndKeepsThePreviousModel) {
    NodModel model = TestModel();
    model.bones = {Bone(kIdentity, 0, 0, 0, kNone), Bone(kIdentity, 1, 2, 3, 0)};
    NodOffsets at;
    std::string good = BuildNod(model, &at);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int bytes;
    } cases[] = {
        {"version 6", 0, 6, 4},
        {"texture names past the end", 4, 1000, 4},
        {"bones past the end", at.header, 0xFFFF, 2},
        {"names past the end", at.header + 2, 0xFFFF, 2},
        {"vertices past the end", at.header + 4, 0x10000000, 4},
        {"triangles past the end", at.header + 8, 0xFFFFFFFF, 4},
        {"groups past the end", at.header + 0x0C, 4, 2},
        {"parent outside the bones", at.bones + 66 + 0x40, 2, 2},
        {"texture index outside the names", at.groups + 28 * 2, 3, 4},
        {"name index outside the table", at.groups + 28 * 2 + 0x19, 3, 1},
        {"group triangles past the section", at.groups + 28 * 2 + 0x10, 2, 2},
        {"group vertices past the section", at.groups + 28 * 2 + 0x12, 5, 2},
        {"vertex index past the vertices", at.triangles, 8, 2},
        {"index past the vertices from the base", at.triangles + 6 * 2 + 4, 4, 2},
    };
    Game g;
    ASSERT_TRUE(g.Load(good));
    std::string text = g.app.textView.text;
    for (const Case& c : cases) {
        std::string bad = good;
        for (int i = 0; i < c.bytes; ++i) bad[c.at + i] = char(c.value >> (8 * i));
        EXPECT_FALSE(g.Load(bad)) << c.what;
        EXPECT_FALSE(g.app.failure.detail.empty()) << c.what;
        EXPECT_EQ(g.app.viewer.meshCount, 3u) << c.what << ": the previous model stays";
        EXPECT_EQ(g.app.viewer.slotCount, 4u) << c.what;
        EXPECT_EQ(g.app.viewer.skeleton.pointCount, 2u) << c.what;
        EXPECT_EQ(g.app.textView.text, text) << c.what;
    }
    // Every prefix is refused cleanly (the sanitizers watch the reads).
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(g.Load(good.substr(0, n))) << "cut at " << n;
    EXPECT_EQ(g.app.viewer.meshCount, 3u);
    EXPECT_TRUE(g.messages.empty()) << "damaged files are refused silently";
}

TEST(RedemptionModelTest, RefusesModelsBeyondTheCapacitiesWithAMessage) {
    // At every limit at once: 63 textures, 256 groups, 32,766 vertices
    // written, 512 segments. Then one more of each.
    NodModel full;
    full.textures.assign(63, "cloth");
    full.names = {"n"};
    full.vertices = {{0, 0, 0, 0, 0, 1, 0, 0}};
    full.triangles.assign(10922, {0, 0, 0});
    full.groups.assign(256, {62, 0, 0, 0});
    full.groups[0].triangles = 10922;
    full.bones.assign(513, Bone(kIdentity, 0, 0, 0, 0));
    full.bones[0].parent = kNone;
    Game g;
    ASSERT_TRUE(g.Load(BuildNod(full))) << g.app.failure.detail;
    EXPECT_EQ(g.app.viewer.slotCount, 64u);
    EXPECT_EQ(g.app.viewer.meshCount, 256u);
    EXPECT_EQ(g.app.textView.entryCount, 256u);
    EXPECT_EQ(g.app.viewer.skeleton.pointCount, 1024u);

    struct Case {
        const char* limit;
        NodModel model;
    } cases[] = {{"63", full}, {"256", full}, {"32768", full}, {"512", full}};
    cases[0].model.textures.push_back("cloth");
    cases[1].model.groups.push_back({0, 0, 0, 0});
    cases[2].model.triangles.push_back({0, 0, 0});
    cases[3].model.bones.push_back(Bone(kIdentity, 0, 0, 0, 0));
    for (const Case& c : cases) {
        g.messages.clear();
        EXPECT_FALSE(g.Load(BuildNod(c.model))) << c.limit;
        ASSERT_EQ(g.messages.size(), 1u) << c.limit;
        EXPECT_NE(g.messages[0].find(std::string("more than ") + c.limit), std::string::npos) << g.messages[0];
        EXPECT_EQ(g.app.viewer.meshCount, 256u) << "the previous model stays";
    }
}
