// Models out as binary glTF: the file read back with an independent JSON
// parser, checked against what the viewer's readers make of the same model
// (frame, faces, bones), the Khronos validator, Assimp and Blender as
// independent readers, and the extraction walk (one export per model, notes for
// textures that could not be loaded).
#include "extract/Extract.h"
#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "model/BloodlinesModel.h"
#include "model/RedemptionModel.h"
#include "pack/GameFiles.h"
#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "tools/SampleData.h"
#include "TestGame.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
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

// A .glb read back: its JSON and its binary chunk, with the accessors we
// write (tightly packed floats, 16- or 32-bit indices).
struct Glb {
    Json json;
    std::string bin;

    bool Read(const std::string& path) {
        std::string f;
        if (!ReadWholeFile(path, f) || f.size() < 20) return false;
        uint32_t word[5];
        std::memcpy(word, f.data(), 20);
        if (word[0] != 0x46546C67 || word[1] != 2 || word[2] != f.size() || word[4] != 0x4E4F534A) return false;
        json = Json::parse(f.substr(20, word[3]), nullptr, false);
        size_t at = 20 + word[3];
        if (json.is_discarded() || at + 8 > f.size()) return false;
        uint32_t binSize;
        std::memcpy(&binSize, f.data() + at, 4);
        bin = f.substr(at + 8, binSize);
        return bin.size() == binSize;
    }
    const char* View(const Json& accessor) const {
        const Json& view = json["bufferViews"][accessor["bufferView"].get<size_t>()];
        return bin.data() + view["byteOffset"].get<size_t>();
    }
    std::vector<float> Floats(size_t a) const {
        const Json& accessor = json["accessors"][a];
        size_t width = accessor["type"] == "VEC3" ? 3 : accessor["type"] == "VEC2" ? 2 : 1;
        std::vector<float> out(accessor["count"].get<size_t>() * width);
        std::memcpy(out.data(), View(accessor), out.size() * 4);
        return out;
    }
    std::vector<uint32_t> Indices(size_t a) const {
        const Json& accessor = json["accessors"][a];
        std::vector<uint32_t> out(accessor["count"].get<size_t>());
        for (size_t i = 0; i < out.size(); ++i) {
            uint16_t small;
            if (accessor["componentType"] == 5123)
                std::memcpy(&small, View(accessor) + 2 * i, 2), out[i] = small;
            else
                std::memcpy(&out[i], View(accessor) + 4 * i, 4);
        }
        return out;
    }
    size_t Triangles() const {
        size_t n = 0;
        for (const Json& mesh : json["meshes"])
            for (const Json& p : mesh["primitives"]) n += json["accessors"][p["indices"].get<size_t>()]["count"].get<size_t>() / 3;
        return n;
    }
    // The triangles with different corners in each primitive: a mesh in
    // Blender holds one face per set of corners, so it keeps one of a
    // triangle drawn twice.
    size_t DistinctTriangles() const {
        size_t n = 0;
        for (const Json& mesh : json["meshes"])
            for (const Json& p : mesh["primitives"]) {
                std::vector<uint32_t> idx = Indices(p["indices"].get<size_t>());
                std::set<std::array<uint32_t, 3>> seen;
                for (size_t t = 0; t + 2 < idx.size(); t += 3) {
                    std::array<uint32_t, 3> corners = {idx[t], idx[t + 1], idx[t + 2]};
                    std::sort(corners.begin(), corners.end());
                    seen.insert(corners);
                }
                n += seen.size();
            }
        return n;
    }
};

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

// What Blender's glTF importer makes of each file: the triangles and the
// bounds of its meshes in Blender's Z-up world (tools/blender_check.py).
// Files Blender did not import are missing.
struct BlenderImport {
    long triangles = -1;
    std::array<double, 3> lo{}, hi{};
};
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
        std::string tag, path;
        BlenderImport b;
        if (!std::getline(in, tag, '\t') || tag != "BLENDER" || !std::getline(in, path, '\t')) continue;
        if (in >> b.triangles >> b.lo[0] >> b.lo[1] >> b.lo[2] >> b.hi[0] >> b.hi[1] >> b.hi[2]) imports[path] = b;
    }
    pclose(pipe);
    return imports;
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
#endif

// The sample data folders, written once per test.
struct Sample {
    TempDir dir;
    CwdGuard cwd;
    AppState app;
    Sample(const char* pack) {
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

    // The viewer's triangles, Y and Z exchanged, are glTF's with z negated.
    FileEntry key = {};
    std::strcpy(key.name, "models/samples/Lamp.mdl");
    ASSERT_TRUE(LoadBloodlinesModel(s.app, key));
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    const ModelVertex* v = s.app.viewer.ModelVertices();
    size_t drawn = 0;
    for (uint32_t m = 0; m < s.app.viewer.meshCount; ++m) drawn += 3 * size_t(s.app.viewer.meshes[m].triangleCount);
    for (size_t i = 0; i < drawn; ++i) {
        float p[3] = {v[i].x, v[i].y, -v[i].z};
        for (int c = 0; c < 3; ++c) lo[c] = std::fmin(lo[c], p[c]), hi[c] = std::fmax(hi[c], p[c]);
    }
    float glo[3] = {1e9f, 1e9f, 1e9f}, ghi[3] = {-1e9f, -1e9f, -1e9f};
    for (const Json& mesh : g.json["meshes"]) {
        const Json& a = g.json["accessors"][mesh["primitives"][0]["attributes"]["POSITION"].get<size_t>()];
        for (int c = 0; c < 3; ++c) glo[c] = std::fmin(glo[c], a["min"][c]), ghi[c] = std::fmax(ghi[c], a["max"][c]);
    }
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(lo[c], glo[c]);
        EXPECT_EQ(hi[c], ghi[c]);
    }
    // The .x export's faces: the viewer leaves one strip group out.
    EXPECT_EQ(g.Triangles(), 8u);

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
    FileEntry key = {};
    std::strcpy(key.name, "3D/Models/Knight.NOD");
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
    std::strcpy(key.name, "3D/Models/Knight.NOD");
    ASSERT_TRUE(LoadRedemptionModel(s.app, key));
    float scale = s.app.camera.modelScale;
    std::vector<std::array<double, 16>> world;
    const Json& nodes = g.json["nodes"];
    std::vector<int> parent(nodes.size(), -1);
    for (size_t i = 0; i < nodes.size(); ++i)
        for (const Json& c : nodes[i].value("children", Json::array())) parent[c.get<size_t>()] = int(i);
    auto local = [&](const Json& n) {
        std::array<double, 16> m{};  // column-major, as glTF stores matrices
        std::vector<double> t = n.value("translation", std::vector<double>{0, 0, 0});
        std::vector<double> q = n.value("rotation", std::vector<double>{0, 0, 0, 1});
        std::vector<double> sc = n.value("scale", std::vector<double>{1, 1, 1});
        double x = q[0], y = q[1], z = q[2], w = q[3];
        double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                       2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                       2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) m[col * 4 + row] = r[row * 3 + col] * sc[col];
        for (int row = 0; row < 3; ++row) m[12 + row] = t[row];
        m[15] = 1;
        return m;
    };
    std::function<std::array<double, 3>(size_t)> origin = [&](size_t i) {
        // The node's origin carried up through its ancestors.
        std::array<double, 3> p = {0, 0, 0};
        for (int at = int(i); at >= 0; at = parent[at]) {
            std::array<double, 16> m = local(nodes[at]);
            std::array<double, 3> q;
            for (int row = 0; row < 3; ++row) q[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
            p = q;
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
        FileEntry key = {};
        std::strcpy(key.name, "3D/Models/Knight.NOD");
        ASSERT_TRUE(ExportModelAsGltf(r.app.Export(), key));
        models.push_back({out / "knight/3D/Models/Knight.glb", ""});
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
            FileEntry key = {};
            std::strcpy(key.name, path.c_str());
            app.extraction.report.Clear();
            EXPECT_TRUE(ExportModelAsGltf(app.Export(), key)) << path;
            std::strcpy(key.name, path.c_str());
            app.extraction.report.Clear();
            ExportModelAsX(app.Export(), key);
            std::string stem = out / ("real/" + ModelStemPath(path));
            models.push_back({stem + ".glb", stem + ".x"});
            std::strcpy(key.name, path.c_str());
            ASSERT_TRUE(LoadBloodlinesModel(app, key)) << path;
            fileFrame[stem + ".glb"] = ViewerBoundsInFileFrame(app);
        }
        EXPECT_EQ(models.size(), 12u) << "the two samples and every real model";
    }
    for (const auto& [glb, x] : models) {
        SCOPED_TRACE(glb);
        EXPECT_EQ(ValidatorErrors(validator, glb), 0);
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
        auto own = fileFrame.find(glb);
        if (own == fileFrame.end()) continue;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(b.lo[c], own->second.first[c], 1e-4 + 1e-6 * std::fabs(b.lo[c])) << "file axis " << c;
            EXPECT_NEAR(b.hi[c], own->second.second[c], 1e-4 + 1e-6 * std::fabs(b.hi[c])) << "file axis " << c;
        }
    }
    if (fs::exists(real)) {
        EXPECT_EQ(fileFrame.size(), 10u) << "every real model compared with its own frame";
    }
}
#endif
