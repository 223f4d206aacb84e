// Models out as binary glTF: the file read back with an independent JSON
// parser, checked against what the viewer's readers make of the same model
// (frame, faces, bones), the Khronos validator, Assimp and Blender as
// independent readers, and the extraction walk (one export per model, notes for
// textures that could not be loaded).
#include "extract/Extract.h"
#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "model/BloodlinesModel.h"
#include "model/ModelRig.h"
#include "model/Pose.h"
#include "model/RedemptionModel.h"
#include "pack/GameFiles.h"
#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "tools/SampleData.h"
#include "TestGame.h"
#include "TestGlb.h"
#include "TestRig.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// Of the triangles, how many face the way their vertices' normals point:
// counter-clockwise seen from the front, as glTF wants, gives all of them.
double FacingShare(const Glb& g) {
    size_t agree = 0, total = 0;
    for (const Json& mesh : g.json["meshes"]) {
        const Json& p = mesh["primitives"][0];
        std::vector<float> pos = g.Floats(p["attributes"]["POSITION"]), n = g.Floats(p["attributes"]["NORMAL"]);
        std::vector<uint32_t> idx = g.Indices(p["indices"]);
        for (size_t t = 0; t + 2 < idx.size(); t += 3) {
            const float *a = &pos[3 * idx[t]], *b = &pos[3 * idx[t + 1]], *c = &pos[3 * idx[t + 2]];
            float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            float face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            double d = 0;
            for (int k = 0; k < 3; ++k)
                for (int i = 0; i < 3; ++i) d += face[i] * n[3 * idx[t + k] + i];
            if (d == 0) continue;  // degenerate
            ++total;
            if (d > 0) ++agree;
        }
    }
    return total == 0 ? 0 : double(agree) / total;
}

using Bounds = std::pair<std::array<double, 3>, std::array<double, 3>>;

// The bounds of the model the viewer holds, in the model file's own frame:
// the viewer has Y and Z exchanged.
Bounds ViewerBoundsInFileFrame(const AppState& app) {
    Bounds b;
    b.first.fill(1e30);
    b.second.fill(-1e30);
    const ModelVertex* v = app.viewer.ModelVertices();
    size_t drawn = 0;
    for (uint32_t m = 0; m < app.viewer.meshCount; ++m) drawn += 3 * size_t(app.viewer.meshes[m].triangleCount);
    for (size_t i = 0; i < drawn; ++i) {
        double p[3] = {v[i].x, v[i].z, v[i].y};
        for (int c = 0; c < 3; ++c) b.first[c] = std::fmin(b.first[c], p[c]), b.second[c] = std::fmax(b.second[c], p[c]);
    }
    return b;
}

// The bounds of every mesh's positions, as the file's accessors give them.
void AccessorBounds(const Glb& g, std::array<double, 3>& lo, std::array<double, 3>& hi) {
    lo.fill(1e30);
    hi.fill(-1e30);
    for (const Json& mesh : g.json["meshes"])
        for (const Json& p : mesh["primitives"]) {
            const Json& a = g.json["accessors"][p["attributes"]["POSITION"].get<size_t>()];
            for (int c = 0; c < 3; ++c) lo[c] = std::fmin(lo[c], a["min"][c]), hi[c] = std::fmax(hi[c], a["max"][c]);
        }
}

// Independent readers, run natively where the install script put them.
#ifndef _WIN32
// The volume the meshes enclose, counting a triangle positive when it runs
// counter-clockwise seen from outside: positive for a closed model whose
// front faces are as glTF wants, whatever its normals say.
double SignedVolume(const Glb& g) {
    double volume = 0;
    for (const Json& mesh : g.json["meshes"]) {
        const Json& p = mesh["primitives"][0];
        std::vector<float> pos = g.Floats(p["attributes"]["POSITION"]);
        std::vector<uint32_t> idx = g.Indices(p["indices"]);
        for (size_t t = 0; t + 2 < idx.size(); t += 3) {
            const float *a = &pos[3 * idx[t]], *b = &pos[3 * idx[t + 1]], *c = &pos[3 * idx[t + 2]];
            volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) +
                       a[2] * (b[0] * c[1] - b[1] * c[0])) / 6;
        }
    }
    return volume;
}

std::string Validator() {
    const char* root = std::getenv("QUILLON_GLTF_VALIDATOR");
    std::string path = root != nullptr ? root : QUILLON_SOURCE "/.tools/node_modules/gltf-validator";
    return fs::exists(path) && access("/usr/bin/node", X_OK) == 0 ? path : std::string();
}

// The validator's report on path: the number of errors and warnings, or -1
// when it did not run. Infos and hints are printed for the record.
int ValidatorErrors(const std::string& validator, const std::string& path) {
    std::string script = "const v=require('" + validator + "');const fs=require('fs');"
                         "v.validateBytes(new Uint8Array(fs.readFileSync(process.argv[1])))"
                         ".then(r=>{for(const m of r.issues.messages)console.error(m.code,m.pointer||'',m.message);"
                         "console.log(r.issues.numErrors+r.issues.numWarnings)}).catch(e=>{console.error(e);console.log(-1)})";
    std::string command = "node -e \"" + script + "\" '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    int errors = -1;
    if (std::fscanf(pipe, "%d", &errors) != 1) errors = -1;
    pclose(pipe);
    return errors;
}

// Assimp's face count of a file, or -1 when it cannot read it.
long AssimpFaces(const std::string& path) {
    if (access("/usr/bin/assimp", X_OK) != 0) return -1;
    FILE* pipe = popen(("assimp info '" + path + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    char line[512];
    long faces = -1;
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        if (std::sscanf(line, " Faces: %ld", &faces) == 1) break;
    pclose(pipe);
    return faces;
}

// What Blender's glTF importer makes of each file (tools/blender_check.py):
// the triangles and the bounds of its meshes in Blender's Z-up world; for
// a skinned model the armature's bones with their heads, the actions, and
// the meshes' bounds as each action deforms them half a second in. Files
// Blender did not import are missing.
struct BlenderImport {
    long triangles = -1;
    std::array<double, 3> lo{}, hi{};
    long bones = -1, actions = -1;
    std::map<std::string, std::array<double, 3>> heads;
    std::map<std::string, Bounds> posed;  // by action
};
bool ReadTriple(std::istream& in, std::array<double, 3>& v) { return bool(in >> v[0] >> v[1] >> v[2]); }
std::map<std::string, BlenderImport> BlenderImports(const std::vector<std::string>& paths) {
    std::map<std::string, BlenderImport> imports;
    if (access("/usr/bin/blender", X_OK) != 0) return imports;
    std::string command = "blender -b --factory-startup --python '" QUILLON_SOURCE "/tools/blender_check.py' --";
    for (const std::string& p : paths) command += " '" + p + "'";
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return imports;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream in(line);
        std::string tag, path, name;
        if (!std::getline(in, tag, '\t') || !std::getline(in, path, '\t')) continue;
        BlenderImport& b = imports[path];
        Bounds bounds;
        std::array<double, 3> head;
        if (tag == "BLENDER" && (in >> b.triangles) && ReadTriple(in, b.lo) && ReadTriple(in, b.hi)) continue;
        if (tag == "ARMATURE" && (in >> b.bones >> b.actions)) continue;
        if (tag == "BONE" && std::getline(in, name, '\t') && ReadTriple(in, head)) b.heads[name] = head;
        if (tag == "POSED" && std::getline(in, name, '\t') && (in >> head[0]) && ReadTriple(in, bounds.first) &&
            ReadTriple(in, bounds.second))
            b.posed[name] = bounds;
    }
    pclose(pipe);
    for (auto i = imports.begin(); i != imports.end();) i = i->second.triangles < 0 ? imports.erase(i) : std::next(i);
    return imports;
}

// What a rigged model on show should look like in Blender: its bones' heads
// at rest (where pose-to-bone puts them, in the file's frame, which is
// Blender's), and the drawn vertices' bounds half a second into each
// animation that lasts so long and has a frame at that instant.
struct RigFacts {
    size_t bones = 0, animations = 0;
    std::map<std::string, std::array<double, 3>> heads;
    std::map<std::string, Bounds> posed;
};
RigFacts OwnRigFacts(AppState& app) {
    RigFacts facts;
    const ModelRig& rig = *app.viewer.rig;
    facts.bones = rig.skeleton.bones.size();
    facts.animations = rig.skeleton.animations.size();
    std::vector<Affine> bind;
    BindPose(rig.skeleton, bind);
    for (size_t b = 0; b < bind.size(); ++b)
        facts.heads[rig.skeleton.bones[b].name] = {bind[b].m[3], bind[b].m[7], bind[b].m[11]};
    for (size_t a = 0; a < facts.animations; ++a) {
        const mdlformat::MdlAnimation& anim = rig.skeleton.animations[a];
        double frame = 0.5 * anim.fps;
        if (frame != std::floor(frame) || frame > anim.frameCount - 1) continue;
        app.viewer.Play(int32_t(a), 0);
        app.viewer.Advance(0.5);
        facts.posed[anim.name] = ViewerBoundsInFileFrame(app);
    }
    app.viewer.Play(-1, 0);
    return facts;
}

// Blender's armature against our own rig: every bone where pose-to-bone
// puts it, an action per animation, and the meshes deformed as we pose them.
void ExpectRigInBlender(const RigFacts& own, const BlenderImport& b) {
    EXPECT_EQ(size_t(b.bones), own.bones);
    EXPECT_EQ(size_t(b.actions), own.animations);
    auto near = [](double got, double want) { return std::fabs(got - want) <= 1e-3 + 1e-5 * std::fabs(want); };
    for (const auto& [name, head] : own.heads) {
        auto found = b.heads.find(name);
        ASSERT_NE(found, b.heads.end()) << name;
        for (int c = 0; c < 3; ++c) EXPECT_PRED2(near, found->second[c], head[c]) << name << " axis " << c;
    }
    for (const auto& [name, bounds] : own.posed) {
        auto action = b.posed.begin();
        while (action != b.posed.end() && action->first.rfind(name + "_", 0) != 0) ++action;
        ASSERT_NE(action, b.posed.end()) << name;
        for (int c = 0; c < 3; ++c) {
            EXPECT_PRED2(near, action->second.first[c], bounds.first[c]) << name << " axis " << c;
            EXPECT_PRED2(near, action->second.second[c], bounds.second[c]) << name << " axis " << c;
        }
    }
}
#endif

// The sample data folders, written once per test.
struct Sample : TestGame {
    explicit Sample(const char* pack) {
        EXPECT_TRUE(WriteSampleData(dir.path));
        ForgetFolderListings();
        EXPECT_TRUE(OpenPack(app, (dir / pack).c_str()));
        app.extraction.outputFolder = dir / "out";
    }
};

}  // namespace

TEST(GltfExportTest, BloodlinesModelKeepsItsFacesFrameAndMaterials) {
    Sample s("bloodlines/pack002.vpk");
    ASSERT_EQ(RunExtraction(s.app, FindTreeItemByPath(s.app.tree, "models"), kExtractModelsGltf), 2u);
    const ExtractReport& r = s.app.extraction.report;
    EXPECT_EQ(r.written, 1u) << "the .mdl and the .dx80.vtx are one model";
    EXPECT_EQ(r.skipped + r.failed, 0u);
    Glb g;
    ASSERT_TRUE(g.Read(s.dir / "out/models/samples/Lamp.glb"));

    // The viewer's model in the file's frame: glTF has its (x, y, z) at (x, z, -y).
    FileEntry key = EntryFor("models/samples/Lamp.mdl");
    ASSERT_TRUE(LoadBloodlinesModel(s.app, key));
    Bounds own = ViewerBoundsInFileFrame(s.app);
    std::array<double, 3> lo, hi;
    AccessorBounds(g, lo, hi);
    const double wantLo[3] = {own.first[0], own.first[2], -own.second[1]}, wantHi[3] = {own.second[0], own.second[2], -own.first[1]};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(float(lo[c]), float(wantLo[c])) << c;
        EXPECT_EQ(float(hi[c]), float(wantHi[c])) << c;
    }
    // The .x export's faces: the viewer leaves one strip group out.
    EXPECT_EQ(g.Triangles(), 8u);
    EXPECT_FALSE(g.json.contains("skins") || g.json.contains("animations")) << "a model without bones stays a mesh";

    ASSERT_EQ(g.json["materials"].size(), 3u);
    EXPECT_EQ(g.json["materials"][0]["name"], "lampshade");
    EXPECT_EQ(g.json["materials"][0]["alphaMode"], "BLEND") << "$translucent 1";
    EXPECT_FALSE(g.json["materials"][1].contains("alphaMode"));
    EXPECT_TRUE(g.json["materials"][0]["pbrMetallicRoughness"].contains("baseColorTexture"));
    // lampcord has no material file: no texture, and the report says so.
    EXPECT_FALSE(g.json["materials"][2]["pbrMetallicRoughness"].contains("baseColorTexture"));
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("lampcord"), std::string::npos) << r.notes[0];
    EXPECT_EQ(g.json["meshes"][0]["name"], "lampshade");

    // Again: the existing file is kept, and counted once.
    s.app.extraction.report.Clear();
    RunExtraction(s.app, FindTreeItemByPath(s.app.tree, "models"), kExtractModelsGltf);
    EXPECT_EQ(r.skipped, 1u);
    EXPECT_EQ(r.written + r.failed, 0u);
}

TEST(GltfExportTest, RedemptionModelBringsItsBonesAsPlacedNodes) {
    Sample s("redemption/data.nob");
    FileEntry key = EntryFor("3D/Models/Knight.NOD");
    ASSERT_TRUE(ExportModelAsGltf(s.app.Export(), key));
    Glb g;
    ASSERT_TRUE(g.Read(s.dir / "out/3D/Models/Knight.glb"));
    EXPECT_EQ(FacingShare(g), 1.0);
    EXPECT_EQ(g.Triangles(), 3u) << "the group without triangles has no mesh";
    EXPECT_EQ(g.json["meshes"][0]["name"], "body");
    EXPECT_EQ(g.json["materials"][0]["doubleSided"], true) << "Stone.nam is TWOSIDED";
    EXPECT_EQ(g.json["materials"][1]["alphaMode"], "BLEND") << "brick.nam is ADDBLEND";

    // Where the viewer draws each bone (mirrored and scaled into its view)
    // is where the node hierarchy puts it in glTF's frame.
    ASSERT_TRUE(LoadRedemptionModel(s.app, key = EntryFor("3D/Models/Knight.NOD")));
    float scale = s.app.camera.modelScale;
    const Json& nodes = g.json["nodes"];
    std::vector<int> parent(nodes.size(), -1);
    for (size_t i = 0; i < nodes.size(); ++i)
        for (const Json& c : nodes[i].value("children", Json::array())) parent[c.get<size_t>()] = int(i);
    // The node's origin carried up through its ancestors: scaled, turned
    // (v + 2w (q x v) + 2 q x (q x v)), then moved.
    auto origin = [&](size_t i) {
        std::array<double, 3> p = {0, 0, 0};
        auto cross = [](const double* a, const std::array<double, 3>& b) {
            return std::array<double, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        };
        for (int at = int(i); at >= 0; at = parent[at]) {
            std::vector<double> t = nodes[at].value("translation", std::vector<double>{0, 0, 0});
            std::vector<double> q = nodes[at].value("rotation", std::vector<double>{0, 0, 0, 1});
            std::vector<double> sc = nodes[at].value("scale", std::vector<double>{1, 1, 1});
            for (int c = 0; c < 3; ++c) p[c] *= sc[c];
            std::array<double, 3> u = cross(q.data(), p), uu = cross(q.data(), u);
            for (int c = 0; c < 3; ++c) p[c] += 2 * q[3] * u[c] + 2 * uu[c] + t[c];
        }
        return p;
    };
    size_t firstBone = 0;
    while (firstBone < nodes.size() && nodes[firstBone].contains("mesh")) ++firstBone;
    ASSERT_EQ(nodes.size() - firstBone, 5u) << "four bones, then the root named after the model file";
    EXPECT_EQ(nodes.back()["name"], "Knight.NOD");
    const float* segments = &s.app.viewer.skeleton.points[0][0];
    ASSERT_EQ(s.app.viewer.skeleton.pointCount, 6u);
    // Segment k ends at bone k + 1 (bones 1 to 3 have parents); the viewer
    // shows a file point p at s (-x, z, -y), glTF at (x, z, -y).
    for (size_t k = 0; k < 3; ++k) {
        std::array<double, 3> p = origin(firstBone + k + 1);
        const float* end = &segments[3 * (2 * k + 1)];
        EXPECT_NEAR(p[0], -end[0] / scale, 1e-4) << "bone " << k + 1;
        EXPECT_NEAR(p[1], end[1] / scale, 1e-4) << "bone " << k + 1;
        EXPECT_NEAR(p[2], end[2] / scale, 1e-4) << "bone " << k + 1;
    }
}

namespace {

// A node's name, by number.
std::string NodeName(const Glb& g, const Json& number) { return g.json["nodes"][number.get<size_t>()]["name"]; }

// The values an animation gives a node's path: their count, and the first
// of them as wanted.
void ExpectChannel(const Glb& g, const Json& animation, const std::string& node, const char* path, size_t count,
                   const std::vector<float>& first, double tolerance) {
    std::vector<float> got;
    for (const Json& c : animation["channels"])
        if (NodeName(g, c["target"]["node"]) == node && c["target"]["path"] == path)
            got = g.Floats(animation["samplers"][c["sampler"].get<size_t>()]["output"]);
    ASSERT_EQ(got.size(), count) << node << " " << path;
    for (size_t i = 0; i < first.size(); ++i) EXPECT_NEAR(got[i], first[i], tolerance) << node << " " << path << " " << i;
}

}  // namespace

// The tiny rig of TestRig.h, its numbers worked out by hand in glTF's frame,
// where a file point (x, y, z) is (x, z, -y).
TEST(GltfExportTest, RiggedModelCarriesItsSkinAttachmentsAndAnimations) {
    const float h = 0.70710678f;
    // Per variant: a point one unit along the arm at rest (glTF's frame),
    // the arm's rotations (every frame, or one value held), and the root's
    // place while the animation plays.
    struct Case {
        RigVariant variant;
        std::array<float, 3> alongArm;
        std::vector<float> armTurns;
        std::vector<float> rootAt, rootTurn;
    } cases[] = {
        {RigVariant::Plain, {5, 10, -1}, {0, h, 0, h, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 10, 0}, {0, 0, 0, 1}},
        // The stored quarter turn of the root undone: its move (1, 0, 0)
        // turns to the file's (0, -1, 0), glTF's (0, 0, 1).
        {RigVariant::Turned, {5, 10, -1}, {0, h, 0, h, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 10, 1}, {0, 0, 0, 1}},
        // The arm keeps the model's axes under a root turned +90 degrees:
        // relative to the root it turns -90 degrees, all along.
        {RigVariant::ModelSpace, {0, 10, -6}, {0, -h, 0, h, 0, -h, 0, h}, {0, 10, 0}, {0, h, 0, h}},
    };
    for (const Case& c : cases) {
        RigVariant variant = c.variant;
        SCOPED_TRACE(int(variant));
        MdlPair rig = TinyRig(variant);
        rig.includes = {"models/shared/gone.mdl"};
        TestGame t;
        t.Open("p.vpk", {{"models/test/m.mdl", rig.Mdl()}, {"models/test/m.dx80.vtx", rig.Vtx()}});
        FileEntry key = EntryFor("models/test/m.mdl");
        ASSERT_TRUE(ExportModelAsGltf(t.app.Export(), key)) << t.app.extraction.report.problems.size();
        EXPECT_EQ(t.app.extraction.report.notes.back(),
                  "models/test/m.glb: shared animations models/shared/gone.mdl not found");
        Glb g;
        ASSERT_TRUE(g.Read(t.dir / "out/models/test/m.glb"));
        const Json& nodes = g.json["nodes"];
        // The skeleton below a node named after the model file, the skinned
        // mesh at the scene's root beside it.
        const Json& roots = g.json["scenes"][0]["nodes"];
        ASSERT_EQ(roots.size(), 2u);
        EXPECT_EQ(NodeName(g, roots[0]), "m.mdl");
        EXPECT_EQ(nodes[roots[1].get<size_t>()]["skin"], 0);
        const Json& skin = g.json["skins"][0];
        ASSERT_EQ(skin["joints"].size(), 2u);
        const Json& root = nodes[skin["joints"][0].get<size_t>()];
        const Json& arm = nodes[skin["joints"][1].get<size_t>()];
        EXPECT_EQ(root["name"], "root");
        EXPECT_EQ(nodes[roots[0].get<size_t>()]["children"], Json::array({skin["joints"][0]}));
        EXPECT_EQ(root["children"], Json::array({skin["joints"][1]}));
        EXPECT_EQ(root["translation"], Json::array({0.0, 10.0, 0.0}));
        ASSERT_EQ(arm["children"].size(), 1u);
        const Json& tip = nodes[arm["children"][0].get<size_t>()];
        EXPECT_EQ(tip["name"], "tip");
        EXPECT_EQ(tip["translation"], Json::array({2.0, 0.0, 0.0}));
        // The arm's inverse bind matrix takes the point one unit along it to
        // the arm's (1, 0, 0).
        std::vector<float> m = g.Floats(skin["inverseBindMatrices"]);
        ASSERT_EQ(m.size(), 32u);
        const float p[4] = {c.alongArm[0], c.alongArm[1], c.alongArm[2], 1};
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(m[16 + r] * p[0] + m[20 + r] * p[1] + m[24 + r] * p[2] + m[28 + r], r == 0 ? 1 : 0, 1e-5) << r;
        // Vertex 2 (at the file's (10, 0, 10)) one fifth on the root, four
        // fifths on the arm; vertex 0 all on the root.
        const Json& attributes = g.json["meshes"][0]["primitives"][0]["attributes"];
        std::vector<float> positions = g.Floats(attributes["POSITION"]);
        std::vector<uint32_t> joints = g.Indices(attributes["JOINTS_0"]), weights = g.Indices(attributes["WEIGHTS_0"]);
        ASSERT_EQ(joints.size(), 12u);
        std::map<float, std::vector<uint32_t>> bones;  // by x: joints, then weights
        for (size_t v = 0; v < 3; ++v) {
            bones[positions[3 * v]].assign(joints.begin() + 4 * v, joints.begin() + 4 * v + 4);
            bones[positions[3 * v]].insert(bones[positions[3 * v]].end(), weights.begin() + 4 * v, weights.begin() + 4 * v + 4);
        }
        if (variant != RigVariant::ModelSpace) {
            EXPECT_EQ(bones[10], (std::vector<uint32_t>{0, 1, 0, 0, 51, 204, 0, 0}));
            EXPECT_EQ(bones[0], (std::vector<uint32_t>{0, 0, 0, 0, 255, 0, 0, 0}));
        }
        // "@wave" at 10 frames a second: the arm out to 5, 6, 7 along its
        // parent's x, turned from +90 degrees about the file's Z (glTF's Y)
        // to none. The root keeps still: one value at either end.
        const Json& wave = g.json["animations"][0];
        EXPECT_EQ(wave["name"], "@wave");
        EXPECT_EQ(g.Floats(wave["samplers"][0]["input"]).size(), 2u);
        ExpectChannel(g, wave, "arm", "translation", 9, {5, 0, 0, 6, 0, 0, 7, 0, 0}, 1e-5);
        ExpectChannel(g, wave, "arm", "rotation", c.armTurns.size(), c.armTurns, 1e-6);
        for (const Json& sampler : wave["samplers"]) {
            std::vector<float> times = g.Floats(sampler["input"]);
            EXPECT_TRUE(times == (std::vector<float>{0, 0.1f, 0.2f}) || times == (std::vector<float>{0, 0.2f}));
        }
        ExpectChannel(g, wave, "root", "translation", 6, c.rootAt, 1e-5);
        ExpectChannel(g, wave, "root", "rotation", 8, c.rootTurn, 1e-6);
    }
}

TEST(GltfExportTest, ModelsThatCannotBeReadLeaveNothing) {
    TestGame g;
    g.Open("p.vpk", {{"models/bad.mdl", "IDST but far too short"}, {"models/bad.dx80.vtx", "x"}, {"models/lonely.phy", "x"}});
    EXPECT_EQ(RunExtraction(g.app, FindTreeItemByPath(g.app.tree, "models"), kExtractModelsGltf), 3u);
    const ExtractReport& r = g.app.extraction.report;
    EXPECT_EQ(r.failed, 2u) << "bad once, lonely once";
    EXPECT_EQ(r.written, 0u);
    EXPECT_FALSE(fs::exists(g.dir / "out/models"));
}

#ifndef _WIN32
TEST(GltfIndependentReaders, ValidatorAssimpAndBlenderAcceptEveryRealAndSampleModel) {
    std::string validator = Validator();
    ASSERT_FALSE(validator.empty()) << "gltf-validator is missing: run tools/install-deps.sh";
    std::vector<std::pair<std::string, std::string>> models;  // .glb, its .x (Bloodlines)
    std::map<std::string, Bounds> fileFrame;                   // .glb, its real model's own bounds
    std::map<std::string, RigFacts> rigs;                      // .glb, its rig as we pose it
    TempDir out;
    {
        Sample s("bloodlines/pack002.vpk");
        s.app.extraction.outputFolder = out / "lamp";
        RunExtraction(s.app, FindTreeItemByPath(s.app.tree, "models"), kExtractModelsGltf);
        s.app.extraction.report.Clear();
        RunExtraction(s.app, FindTreeItemByPath(s.app.tree, "models"), kExtractModels);
        models.push_back({out / "lamp/models/samples/Lamp.glb", out / "lamp/models/samples/Lamp.x"});
        Sample r("redemption/data.nob");
        r.app.extraction.outputFolder = out / "knight";
        FileEntry key = EntryFor("3D/Models/Knight.NOD");
        ASSERT_TRUE(ExportModelAsGltf(r.app.Export(), key));
        models.push_back({out / "knight/3D/Models/Knight.glb", ""});
        // The tiny rig, its model-space rule resolved into plain transforms.
        MdlPair rig = TinyRig(RigVariant::ModelSpace);
        TestGame t;
        t.Open("p.vpk", {{"models/rig.mdl", rig.Mdl()}, {"models/rig.dx80.vtx", rig.Vtx()}});
        key = EntryFor("models/rig.mdl");
        ASSERT_TRUE(ExportModelAsGltf(t.app.Export(), key));
        std::string glb = out / "rig.glb";
        fs::copy_file(t.dir / "out/models/rig.glb", glb);
        models.push_back({glb, ""});
        key = EntryFor("models/rig.mdl");
        ASSERT_TRUE(LoadBloodlinesModel(t.app, key));
        rigs[glb] = OwnRigFacts(t.app);
    }
    std::string real = RealData() + "/bloodlines";
    if (fs::exists(real)) {
        CwdGuard cwd;
        AppState app;
        ASSERT_TRUE(OpenPack(app, (real + "/pack103.vpk").c_str()));
        app.extraction.outputFolder = out / "real";
        for (const auto& e : fs::recursive_directory_iterator(real + "/models")) {
            if (e.path().extension() != ".mdl") continue;
            std::string path = fs::relative(e.path(), real).generic_string();
            FileEntry key = EntryFor(path);
            app.extraction.report.Clear();
            EXPECT_TRUE(ExportModelAsGltf(app.Export(), key)) << path;
            app.extraction.report.Clear();
            ExportModelAsX(app.Export(), key = EntryFor(path));
            std::string stem = out / ("real/" + ModelStemPath(path));
            models.push_back({stem + ".glb", stem + ".x"});
            ASSERT_TRUE(LoadBloodlinesModel(app, key = EntryFor(path))) << path;
            fileFrame[stem + ".glb"] = ViewerBoundsInFileFrame(app);
            if (app.viewer.rig != nullptr && app.viewer.rig->rigged) rigs[stem + ".glb"] = OwnRigFacts(app);
        }
        EXPECT_EQ(models.size(), 13u) << "the three samples and every real model";
    }
    for (const auto& [glb, x] : models) {
        SCOPED_TRACE(glb);
        EXPECT_EQ(ValidatorErrors(validator, glb), 0) << "errors and warnings";
        Glb g;
        ASSERT_TRUE(g.Read(glb));
        // Real models are closed; the samples are a few loose faces.
        if (glb.find("/real/") != std::string::npos) {
            EXPECT_GT(SignedVolume(g), 0) << "front faces counter-clockwise";
        }
        EXPECT_EQ(AssimpFaces(glb), long(g.Triangles()));
        if (!x.empty()) {
            EXPECT_EQ(AssimpFaces(x), long(g.Triangles())) << "the same faces as the .x";
        }
    }

    // Blender, as an artist imports: every triangle (the sample lamp draws
    // one twice, which Blender keeps once), and upright. glTF's (x, y, z)
    // with Y up is Blender's (x, -z, y) with Z up, and a Bloodlines model
    // stands in Blender as in its own file (Z up).
    std::vector<std::string> glbs;
    for (const auto& m : models) glbs.push_back(m.first);
    std::map<std::string, BlenderImport> imports = BlenderImports(glbs);
    ASSERT_EQ(imports.size(), models.size()) << "Blender with python3-numpy is missing: run tools/install-deps.sh";
    for (const std::string& glb : glbs) {
        SCOPED_TRACE(glb);
        Glb g;
        ASSERT_TRUE(g.Read(glb));
        const BlenderImport& b = imports[glb];
        EXPECT_EQ(b.triangles, long(g.DistinctTriangles()));
        std::array<double, 3> lo, hi;
        AccessorBounds(g, lo, hi);
        std::array<double, 3> upLo = {lo[0], -hi[2], lo[1]}, upHi = {hi[0], -lo[2], hi[1]};
        for (int c = 0; c < 3; ++c) {
            // Blender's script prints four decimals.
            EXPECT_NEAR(b.lo[c], upLo[c], 1e-4 + 1e-6 * std::fabs(upLo[c])) << "axis " << c;
            EXPECT_NEAR(b.hi[c], upHi[c], 1e-4 + 1e-6 * std::fabs(upHi[c])) << "axis " << c;
        }
        if (rigs.count(glb) != 0) ExpectRigInBlender(rigs[glb], b);
        auto own = fileFrame.find(glb);
        if (own == fileFrame.end()) continue;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(b.lo[c], own->second.first[c], 1e-4 + 1e-6 * std::fabs(b.lo[c])) << "file axis " << c;
            EXPECT_NEAR(b.hi[c], own->second.second[c], 1e-4 + 1e-6 * std::fabs(b.hi[c])) << "file axis " << c;
        }
    }
    if (fs::exists(real)) {
        EXPECT_EQ(fileFrame.size(), 10u) << "every real model compared with its own frame";
        EXPECT_EQ(rigs.size(), 4u) << "the tiny rig and the rigged real ones: br, v_thaumaturgy, courtroom_bip1";
    }
}
#endif
