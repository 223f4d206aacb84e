// Bloodlines skeletons: bones, vertex weights, attachments and animations
// read from the model file, posed and played in the view. The tiny rig's
// poses are worked out by hand (TestRig.h); the real rigged models are
// checked against facts measured on them independently.
#include "model/ModelPair.h"
#include "model/ModelRig.h"
#include "model/Pose.h"
#include "TestGame.h"
#include "TestRig.h"

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

namespace {

using Point = std::array<float, 3>;
const double kPi = 3.14159265358979323846;


struct RigGame : TestGame {
    explicit RigGame(const MdlPair& m, const std::vector<PackFile>& more = {}) {
        std::vector<PackFile> files = {{"models/test/m.mdl", m.Mdl()}, {"models/test/m.dx80.vtx", m.Vtx()},
                                       {"notes.txt", "text"}};
        files.insert(files.end(), more.begin(), more.end());
        Open("pack000.vpk", files);
    }
    bool Load(const std::string& mdl = "") {
        if (!mdl.empty()) dir.Write("data/models/test/m.mdl", mdl);
        FileEntry key = EntryFor("models/test/m.mdl");
        return LoadBloodlinesModel(app, key);
    }
    // Vertex k of the view in the file's frame (the view has Y and Z
    // exchanged), and point k of the skeleton lines likewise.
    Point Vertex(uint32_t k) const {
        const ModelVertex& v = app.viewer.ModelVertices()[k];
        return {v.x, v.z, v.y};
    }
    Point Line(uint32_t k) const {
        const float* p = app.viewer.skeleton.points[k];
        return {p[0], p[2], p[1]};
    }
};

void ExpectNear(const Point& got, const Point& want, const std::string& what) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-4) << what << " axis " << c;
}

}  // namespace

TEST(SkeletonTest, TinyRigPosesAsWorkedOutByHand) {
    // frame -1: the rest pose, the vertices as stored.
    struct Case {
        RigVariant variant;
        int frame;
        Point v[3];
    } cases[] = {
        {RigVariant::Plain, -1, {{0, 0, 10}, {5, 0, 10}, {10, 0, 10}}},
        {RigVariant::Plain, 0, {{0, 0, 10}, {5, 0, 10}, {10, 0, 10}}},  // the arm as at rest
        // Straightened and moved out: vertex 2 is 0.2 x (10, 0, 10) + 0.8 x (6, -5, 10).
        {RigVariant::Plain, 1, {{0, 0, 10}, {6, 0, 10}, {6.8f, -4, 10}}},
        {RigVariant::Plain, 2, {{0, 0, 10}, {7, 0, 10}, {7.6f, -4, 10}}},  // the runs' last values repeat
        // The root's stored +90 degrees is undone; its stored move (1, 0, 0)
        // turns with it to (0, -1, 0).
        {RigVariant::Turned, 0, {{0, -1, 10}, {5, -1, 10}, {10, -1, 10}}},
        {RigVariant::Turned, 1, {{0, -1, 10}, {6, -1, 10}, {6.8f, -5, 10}}},
        // The arm keeps the model's axes, not the turned root's: one unit
        // along the arm is +X, where plain composition would give +Y.
        {RigVariant::ModelSpace, -1, {{0, 0, 10}, {0, 5, 10}, {0, 6, 10}}},
        {RigVariant::ModelSpace, 0, {{0, 0, 10}, {0, 5, 10}, {1, 5, 10}}},
        {RigVariant::ModelSpace, 1, {{0, 0, 10}, {0, 6, 10}, {1, 6, 10}}},
    };
    for (const Case& c : cases) {
        std::string what = "variant " + std::to_string(int(c.variant)) + " frame " + std::to_string(c.frame);
        RigGame g(TinyRig(c.variant));
        ASSERT_TRUE(g.Load()) << g.app.failure.detail;
        if (c.frame >= 0) {
            ASSERT_TRUE(g.app.viewer.Play(0, 0.0));
            g.app.viewer.Advance(c.frame / 10.0 + 0.05);
            EXPECT_EQ(g.app.viewer.frame, uint32_t(c.frame)) << what;
        }
        for (uint32_t k = 0; k < 3; ++k) ExpectNear(g.Vertex(k), c.v[k], what + " vertex " + std::to_string(k));
        // One segment, from the root's origin to the arm's: vertex 0 and 1
        // lie on them.
        ASSERT_EQ(g.app.viewer.skeleton.pointCount, 2u) << what;
        ExpectNear(g.Line(0), c.v[0], what + " root");
        ExpectNear(g.Line(1), c.v[1], what + " arm");
    }
}

TEST(SkeletonTest, PlaysLoopingAtItsOwnRateAndStops) {
    RigGame g(TinyRig(RigVariant::Plain));
    ASSERT_TRUE(g.Load());
    Viewer& v = g.app.viewer;
    ASSERT_NE(v.rig, nullptr);
    EXPECT_EQ(v.animation, -1) << "a model is shown at rest";
    EXPECT_LT(v.NextFrameDue(0), 0) << "nothing plays: no frame is due";
    EXPECT_FALSE(v.Play(1, 0)) << "there is one animation";
    ASSERT_TRUE(v.Play(0, 100.0));
    uint32_t posed = v.poseRevision;
    // Time in seconds after the start, the frame due then, whether the
    // vertices change, and when the next frame is due.
    struct Step {
        double at;
        uint32_t frame;
        bool changed;
        double next;
    } steps[] = {{0.05, 0, false, 0.1}, {0.1001, 1, true, 0.2}, {0.25, 2, true, 0.3}, {0.35, 0, true, 0.4},
                 {1.0, 1, true, 1.1}};
    for (const Step& s : steps) {
        EXPECT_EQ(v.Advance(100.0 + s.at), s.changed) << s.at;
        EXPECT_EQ(v.frame, s.frame) << s.at;
        EXPECT_NEAR(v.NextFrameDue(100.0 + s.at), 100.0 + s.next, 1e-9) << s.at;
        EXPECT_EQ(v.poseRevision - posed, s.changed ? 1u : 0u) << s.at;
        posed = v.poseRevision;
    }
    ExpectNear(g.Vertex(1), {6, 0, 10}, "frame 1");
    // Selecting another item stops it: the model stays, at rest.
    ASSERT_EQ(ViewTreeItem(g.app, FindTreeItemByPath(g.app.tree, "notes.txt")), ItemView::Text);
    EXPECT_EQ(v.animation, -1);
    EXPECT_FALSE(v.Advance(101.5)) << "idle stays idle";
    ExpectNear(g.Vertex(1), {5, 0, 10}, "rest");
    ASSERT_TRUE(v.Play(0, 0));
    EXPECT_TRUE(v.Play(-1, 0)) << "(rest pose)";
    EXPECT_LT(v.NextFrameDue(1), 0);
}

TEST(SkeletonTest, RefusesDamagedTablesNamingThem) {
    const std::string mdl = TinyRig(RigVariant::Plain).Mdl();
    uint32_t bones = Get32(mdl, 0xF4), attachments = Get32(mdl, 0x14C), animation = Get32(mdl, 0x10C);
    uint32_t arm = animation + Get32(mdl, animation + 0x30) + 32;  // the arm's entry in the animation
    uint32_t block = Get32(mdl, 0x144) + 16, vertices = block + Get32(mdl, block + 0x94);
    float zero = 0;
    uint32_t zeroBits;
    std::memcpy(&zeroBits, &zero, 4);
    struct Case {
        const char* what;
        uint32_t at, value;
        int bytes;
        const char* words;
    } cases[] = {
        {"bone table outside", 0xF4, 0x7FFFFFF0, 4, "the bone table lies outside the file"},
        {"a parent not earlier", bones + 160 + 4, 1, 4, "bone 1: its parent 1 is not an earlier bone"},
        {"a parent below -1", bones + 4, 0xFFFFFFFE, 4, "bone 0: its parent -2 is not an earlier bone"},
        {"bone name outside", bones + 160, 0x7FFFFFF0, 4, "bone 1: its name lies outside the file"},
        {"flat pose-to-bone", bones + 160 + 0x58 + 40, zeroBits, 4, "bone 1: its pose-to-bone matrix has no inverse"},
        {"attachment on no bone", attachments + 8, 2, 4, "attachment 0: its bone 2 is not in the bone table"},
        {"no frames", animation + 0xC, 0, 4, "animation 0: it has no frames"},
        {"frame rate 0", animation + 4, zeroBits, 4, "animation 0: its frame rate is not positive"},
        {"frames the file cannot hold", animation + 0xC, 0x01000000, 4, "more frames than the file can describe"},
        {"channel past the end", arm + 4, 0x00FFFFFF, 4, "@wave: a channel of bone 1 runs past the end"},
        {"a run storing nothing", arm + Get32(mdl, arm + 4), 0, 1, "@wave: a channel of bone 1 runs past the end"},
        {"animation bones outside", animation + 0x30, 0x7FFFFFF0, 4, "animation 0: its bone table lies outside"},
        {"vertex on a bone not there", vertices + 44 + 10, 7, 2, "vertex 1: it uses bone 7, not in the bone table"},
        {"weights over 1", vertices + 2 * 44 + 1, 250, 1, "vertex 2: its bone weights add up to more than 1"},
        {"included models outside", 0x198, 0x7FFFFFF0, 4, "the included-model table lies outside the file"},
    };
    RigGame g(TinyRig(RigVariant::Plain));
    for (const Case& c : cases) {
        std::string damaged = mdl;
        Put(damaged, c.at, c.value, c.bytes);
        EXPECT_FALSE(g.Load(damaged)) << c.what;
        EXPECT_NE(g.app.failure.detail.find(c.words), std::string::npos) << c.what << ": " << g.app.failure.detail;
    }
    for (size_t n = 0; n < mdl.size(); n += 5) EXPECT_FALSE(g.Load(mdl.substr(0, n))) << "cut at " << n;
    ASSERT_TRUE(g.Load(mdl)) << g.app.failure.detail;
    EXPECT_TRUE(g.messages.empty()) << "damaged files are refused silently";
}

TEST(SkeletonTest, SharedAnimationsComeFromIncludedFilesByBoneName) {
    // The shared file's bones are in another order, one of them unknown
    // here; its animation moves "arm" to x = 3, then 7, unturned.
    MdlPair shared;
    shared.bones = {MdlWriterBone{"other", -1, {0, 0, 0}}, MdlWriterBone{"arm", 0, {3, 0, 0}}};
    MdlWriterAnimation moves{"@shared", 5, 2, {}};
    moves.channels.resize(2);
    moves.channels[1][0] = {{2, {0, 4}}};
    shared.animations = {moves};
    MdlPair model = TinyRig(RigVariant::Plain);
    model.includes = {"models/shared/anims.mdl", "models/shared/gone.mdl"};
    RigGame g(model, {{"models/shared/anims.mdl", shared.Mdl()}});
    ASSERT_TRUE(g.Load()) << g.app.failure.detail;
    const ModelRig& rig = *g.app.viewer.rig;
    ASSERT_EQ(rig.skeleton.animations.size(), 2u);
    EXPECT_EQ(rig.skeleton.animations[1].name, "@shared");
    EXPECT_EQ(rig.notes, std::vector<std::string>{"shared animations models/shared/gone.mdl not found"});
    // The arm straight at (7, 0, 0) from the root, which the shared file
    // does not move: vertex 2 is 0.2 x (10, 0, 10) + 0.8 x (7, -5, 10).
    g.app.viewer.Play(1, 0);
    g.app.viewer.Advance(0.25);
    ExpectNear(g.Vertex(1), {7, 0, 10}, "arm");
    ExpectNear(g.Vertex(2), {7.6f, -4, 10}, "blend");
}

namespace {

// The real models' pack opened, and a model's rig read from it.
struct RealGame : RealPack {
    std::string why;
    bool Read(const std::string& stem, ModelRig& rig) {
        ModelPair p;
        return ReadModelPair(app.Files(), stem, p, why) && ReadModelRig(app.Files(), p, rig, why);
    }
};

// The real rigged models, facts measured on them with a decoder of our own.
struct RealRig {
    const char* stem;
    size_t bones, animations;
    std::map<int, int> bonesPerVertex;  // bones used: vertices
    double restSkinned;                 // how far skinning at rest may move a vertex
};

}  // namespace

TEST(SkeletonTest, RealRiggedModelsHoldWhatWasMeasuredOnThem) {
    RealGame g;
    if (!g.open) GTEST_SKIP() << "no real data";
    const RealRig rigs[] = {
        {"models/character/shared/female/pc/br", 68, 3, {{1, 2519}, {2, 1061}, {3, 315}}, 2e-4},
        {"models/weapons/thaumaturgy/view_nosferatu/v_thaumaturgy", 42, 9, {{1, 877}, {2, 187}}, 2e-4},
        // The large cinematic rig: 280 bones hundreds of units out.
        {"models/cinematic/santa_monica/courtroom/courtroom_bip1", 280, 1, {{1, 4992}}, 2e-3},
    };
    for (const RealRig& r : rigs) {
        SCOPED_TRACE(r.stem);
        ModelRig rig;
        ASSERT_TRUE(g.Read(r.stem, rig)) << g.why;
        EXPECT_TRUE(rig.rigged);
        EXPECT_EQ(rig.skeleton.bones.size(), r.bones);
        EXPECT_EQ(rig.skeleton.animations.size(), r.animations);
        std::map<int, int> used;
        for (const mdlformat::BoneWeights& w : rig.weights)
            ++used[(w.weight[0] > 0) + (w.weight[1] > 0) + (w.weight[2] > 0) + (w.weight[3] > 0)];
        EXPECT_EQ(used, r.bonesPerVertex);
        // The rest values composed plainly, times pose-to-bone, leave every
        // vertex where it is.
        std::vector<Rigid> rest(rig.skeleton.bones.size());
        for (size_t b = 0; b < rest.size(); ++b) {
            const mdlformat::MdlBone& bone = rig.skeleton.bones[b];
            Rigid local;
            for (int c = 0; c < 4; ++c) local.q[c] = bone.rotation[c];
            for (int c = 0; c < 3; ++c) local.t[c] = bone.position[c];
            rest[b] = bone.parent < 0 ? local : Compose(rest[size_t(bone.parent)], local);
        }
        std::vector<Affine> skin;
        SkinMatrices(rig.skeleton, rest, skin);
        double moved = 0;
        for (size_t v = 0; v < rig.vertices.size(); ++v) {
            float p2[3], n2[3];
            SkinVertex(skin, rig.weights[v], rig.vertices[v].position, rig.vertices[v].normal, p2, n2);
            for (int c = 0; c < 3; ++c) moved = std::fmax(moved, std::fabs(p2[c] - rig.vertices[v].position[c]));
        }
        EXPECT_LT(moved, r.restSkinned);
    }
}

// The spine rule: with it the character's shoulders stay in line with its
// hips in every frame; and the stored quarter turn undone, the hips face
// as at rest (the left thigh on +X).
TEST(SkeletonTest, RealCharacterKeepsShouldersOverHipsFacingAsAtRest) {
    RealGame g;
    if (!g.open) GTEST_SKIP() << "no real data";
    ModelRig rig;
    ASSERT_TRUE(g.Read("models/character/shared/female/pc/br", rig)) << g.why;
    std::string& why = g.why;
    const mdlformat::MdlSkeleton& s = rig.skeleton;
    auto bone = [&](const char* name) {
        for (size_t b = 0; b < s.bones.size(); ++b)
            if (s.bones[b].name == name) return b;
        ADD_FAILURE() << name;
        return size_t(0);
    };
    size_t lArm = bone("Bip01 L UpperArm"), rArm = bone("Bip01 R UpperArm"), lHip = bone("Bip01 L Thigh"),
           rHip = bone("Bip01 R Thigh");
    EXPECT_EQ(s.bones[bone("Bip01 Spine1")].flags & mdlformat::kBoneModelSpaceRotation, 2u);
    int frames = 0;
    for (const mdlformat::MdlAnimation& a : s.animations) {
        EXPECT_TRUE(a.turned) << a.name;
        mdlformat::PoseReader reader(a);
        for (uint32_t k = 0; k < a.frameCount && reader.Next(why); ++k, ++frames) {
            std::vector<Rigid> world;
            PoseBones(s, a.turned, reader.Poses(), world);
            double shoulders = std::atan2(world[lArm].t[1] - world[rArm].t[1], world[lArm].t[0] - world[rArm].t[0]);
            double hips = std::atan2(world[lHip].t[1] - world[rHip].t[1], world[lHip].t[0] - world[rHip].t[0]);
            double apart = std::remainder(shoulders - hips, 2 * kPi);
            EXPECT_LT(std::fabs(apart), 30 * kPi / 180) << a.name << " frame " << k;
            EXPECT_LT(std::fabs(hips), 45 * kPi / 180) << a.name << " frame " << k << ": the hips face -Y";
        }
    }
    EXPECT_EQ(frames, 75 + 101 + 7);
}
