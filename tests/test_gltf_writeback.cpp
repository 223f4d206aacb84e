// Edited glTF files written back into Bloodlines models: our own export
// comes back byte for byte in every vertex layout, moved vertices land where
// the file puts them, crafted files are refused with their reasons and leave
// nothing, and the real models go through Blender and back.
#include "extract/Extract.h"
#include "model/GltfExport.h"
#include "model/GltfReader.h"
#include "model/GltfWriteBack.h"
#include "model/ModelPair.h"
#include "model/VertexWriteBack.h"
#include "tools/MdlWriter.h"
#include "TestGame.h"
#include "TestGlb.h"
#include "TestRig.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// Six float vertices (i, 100 + i, 200 + i), uv (0.5, i). Mesh 0 draws its
// first triangle twice (Blender keeps it once); mesh 1 has vertex base 2;
// vertex 4 is drawn by neither.
MdlPair FloatPair() {
    MdlPair m;
    m.meshes = {{0, {{0x10, {0, 1, 2, 3}, {0, 1, 2, 2, 1, 0, 1, 3, 2}}}}, {2, {{0x02, {0, 1, 3}, {2, 1, 0}}}}};
    return m;
}

// Every layout, each in a body part of its own after an empty one: 8-byte,
// 12-byte and float vertices; two meshes share a texture name.
MdlPair PackedPair() {
    MdlPair m;
    m.textures = {"skin", "skin", "gone"};
    m.emptyPartsBefore = 1;
    m.format = 2;
    m.origin = {-2, -3, 0.5f};
    m.scale = {4, 6, 0.75f};
    const int q8[4][3] = {{0, 0, 0}, {254, 10, 3}, {128, 255, 200}, {7, 99, 255}};
    for (int i = 0; i < 4; ++i)
        m.vertices.push_back({-2 + 4 * q8[i][0] / 255.0f, -3 + 6 * q8[i][1] / 255.0f, 0.5f + 0.75f * q8[i][2] / 255.0f, 0, 0, 0,
                              i / 8.0f, 1 - i / 8.0f});
    m.meshes = {{0, {{0x10, {0, 1, 2, 3}, {0, 1, 2, 0, 2, 3}}}}};
    MdlGeometry wide;
    wide.format = 1;
    wide.origin = {-36, -0.875f, -0.0012f};
    wide.scale = {0.0011f, 2.67e-5f, 0.00073f};
    const int q12[3][3] = {{0, 0, 0}, {9000, 60000, 100}, {65000, 1, 30000}};
    for (int i = 0; i < 3; ++i)
        wide.vertices.push_back({-36 + 0.0011f * q12[i][0], -0.875f + 2.67e-5f * q12[i][1], -0.0012f + 0.00073f * q12[i][2], 0, 0, 0,
                                 0.25f * i, 0.5f});
    wide.meshes = {{0, {{0x10, {0, 1, 2}, {0, 2, 1}}}}};
    MdlGeometry flat;
    flat.vertexCount = 3;
    flat.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
    m.laterParts = {wide, flat};
    return m;
}

struct Game : TestGame {
    std::map<std::string, std::string> models;  // path -> .mdl bytes

    Game() {
        std::vector<PackFile> files;
        for (auto [stem, pair] : {std::pair{"models/test/r", TinyRig(RigVariant::Plain)}, {"models/test/m", FloatPair()},
                                  {"models/test/p", PackedPair()}, {"models/test/w.mdl_female", FloatPair()}}) {
            models[stem + std::string(".mdl")] = pair.Mdl();
            files.push_back({stem + std::string(".mdl"), pair.Mdl()});
            files.push_back({stem + std::string(".dx80.vtx"), pair.Vtx()});
        }
        Open("pack000.vpk", files);
    }
    // Our export of model (its path without .mdl).
    Glb Export(const std::string& model) {
        FileEntry key = EntryFor(model + ".mdl");
        EXPECT_TRUE(ExportModelAsGltf(app.Export(), key)) << model;
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(dir / ("out/" + model + ".glb"), bytes)) << model;
        return Glb(bytes);
    }
    // Drops bytes saved as drops/name on item; the loose model written, or
    // "" (with why) when refused.
    std::string Drop(const std::string& item, const std::string& name, const std::string& bytes, std::string& why) {
        dir.Write("drops/" + name, bytes);
        std::string written, loose;
        if (!ModifyModelVertices(app, FindTreeItemByPath(app.tree, item), dir / ("drops/" + name), &written)) {
            why = app.failure.Words();
            return "";
        }
        EXPECT_TRUE(ReadWholeFile(dir / ("data/" + AsciiSlashes(written)), loose));
        EXPECT_TRUE(RemoveFile(AsciiSlashes(written).c_str())) << "the packed model again for the next drop";
        ForgetFolderListings();
        return loose;
    }
    static std::string AsciiSlashes(std::string p) {
        for (char& c : p)
            if (c == '\\') c = '/';
        return p;
    }
};

float FloatAt(const std::string& mdl, size_t at) {
    float v;
    std::memcpy(&v, mdl.data() + at, 4);
    return v;
}

// Where vertex n's position starts in a model file.
size_t PositionOffset(const std::string& mdl, uint32_t n) {
    ByteView f{reinterpret_cast<const uint8_t*>(mdl.data()), uint32_t(mdl.size())};
    mdlformat::MdlLayout m;
    std::string why;
    EXPECT_TRUE(mdlformat::ReadTables(f, m, true, why)) << why;
    const mdlformat::MdlModel& owner = mdlformat::ModelOfVertex(m, n);
    return owner.vertexArray + size_t(n - owner.firstVertex) * owner.stride + (owner.format == 0 ? 0x0C : 0);
}

}  // namespace

TEST(GltfWriteBackTest, OurExportComesBackByteForByteAndMovedVerticesLandWhereTheFileSays) {
    Game g;
    std::string why;
    for (const char* model : {"models/test/m", "models/test/p", "models/test/w.mdl_female"}) {
        std::string glb = g.Export(model).Bytes(), name = fs::path(model).filename().string();
        EXPECT_EQ(g.Drop(std::string(model) + ".mdl", name + ".glb", glb, why), g.models[std::string(model) + ".mdl"]) << model << why;
    }
    Glb p = g.Export("models/test/p");
    EXPECT_EQ(p.json["nodes"].back()["name"], "p.mdl") << "the root, named after the model file";
    EXPECT_EQ(p.json["meshes"][1]["name"], "skin #1");
    EXPECT_EQ(p.json["materials"][1]["name"], "skin #1");
    // The 12-byte part's first triangle starts at its second vertex, which
    // follows the 8-byte part's four.
    EXPECT_EQ(p.Get(p.Attribute(1, "TEXCOORD_1"), 0, 0), 5.0f);
    EXPECT_EQ(p.Get(p.Attribute(1, "TEXCOORD_1"), 0, 1), 1.0f) << "the mesh number";

    // A file saved under another name writes the model its root names.
    Glb m = g.Export("models/test/m");
    const std::string original = g.models["models/test/m.mdl"];
    size_t at = PositionOffset(original, 3), pos = m.Attribute(0, "POSITION"), v = m.VertexOf(0, 3);
    m.Set(pos, v, 0, 7.25f), m.Set(pos, v, 1, 1.5f), m.Set(pos, v, 2, -3.0f);
    // Vertex 3 is drawn by both meshes: its copy in mesh 1 moves along.
    size_t v1 = m.VertexOf(1, 3), pos1 = m.Attribute(1, "POSITION");
    m.Set(pos1, v1, 0, 7.25f), m.Set(pos1, v1, 1, 1.5f), m.Set(pos1, v1, 2, -3.0f);
    std::string moved = g.Drop("models/test/m.mdl", "Blender export.glb", m.Bytes(), why);
    ASSERT_FALSE(moved.empty()) << why;
    // glTF's (x, y, z) is the model's (x, -z, y).
    EXPECT_EQ(FloatAt(moved, at), 7.25f);
    EXPECT_EQ(FloatAt(moved, at + 4), 3.0f);
    EXPECT_EQ(FloatAt(moved, at + 8), 1.5f);
    moved.replace(at, 12, original, at, 12);
    EXPECT_TRUE(moved == original) << "only the moved vertex changes";

    // Packed: the root node moves everything by one 8-bit step in x (4 / 255)
    // and a twelfth of one in z, which rounds away; the 12-byte part moves by
    // its own steps.
    p.json["nodes"].back()["translation"] = {4.0 / 255, 0.75 / 255 / 12, 0};
    std::string shifted = g.Drop("models/test/p.mdl", "p.glb", p.Bytes(), why);
    ASSERT_FALSE(shifted.empty()) << why;
    const std::string packed = g.models["models/test/p.mdl"];
    EXPECT_EQ(uint8_t(shifted[PositionOffset(packed, 0)]), 1) << "vertex 0 was at step 0";
    EXPECT_EQ(uint8_t(shifted[PositionOffset(packed, 0) + 2]), 0) << "z: nearest step";
    EXPECT_EQ(uint8_t(shifted[PositionOffset(packed, 2)]), 129);
    uint16_t wideX;
    std::memcpy(&wideX, shifted.data() + PositionOffset(packed, 4), 2);
    EXPECT_EQ(wideX, 14) << "4 / 255 is 14.26 steps of 0.0011";

    // A skinned mesh comes back through its bind pose, a few float steps off
    // (the rig's largest coordinate is 10: 2e-5 is within, 1e-4 is not);
    // the same few steps in a mesh without a skin are an edit.
    struct Nudge {
        const char* model;
        float by;
        bool kept;
    } nudges[] = {{"models/test/r", 1.5e-5f, true}, {"models/test/r", 1e-4f, false}, {"models/test/m", 1.5e-5f, false}};
    for (const Nudge& n : nudges) {
        Glb e = g.Export(n.model);
        size_t positions = e.Attribute(0, "POSITION"), vertex = e.VertexOf(0, 1);
        e.Set(positions, vertex, 0, e.Get(positions, vertex, 0) + n.by);
        std::string name = fs::path(n.model).filename().string(), back = g.Drop(std::string(n.model) + ".mdl", name + ".glb", e.Bytes(), why);
        ASSERT_FALSE(back.empty()) << why;
        EXPECT_EQ(back == g.models[std::string(n.model) + ".mdl"], n.kept) << n.model << " by " << n.by;
    }
}

TEST(GltfWriteBackTest, WithoutTheMapTrianglesFollowTheModelsInOrder) {
    // Files without TEXCOORD_1 after Blender: the repeated triangle gone; the
    // second "skin" material as an older export's file comes back (skin.001)
    // and as ours does.
    Game g;
    std::string why;
    for (const char* second : {"", "skin.001", "skin #1"}) {
        std::string model = *second == 0 ? "models/test/m" : "models/test/p";
        Glb glb = g.Export(model);
        for (Json& mesh : glb.json["meshes"]) mesh["primitives"][0]["attributes"].erase("TEXCOORD_1");
        if (*second != 0) {
            glb.json["materials"][1]["name"] = second;
        } else {
            std::vector<uint32_t> indices = glb.Indices(glb.Primitive(0)["indices"]);
            indices.erase(indices.begin() + 3, indices.begin() + 6);
            glb.SetIndices(0, indices);
        }
        EXPECT_EQ(g.Drop(model + ".mdl", "old.glb", glb.Bytes(), why), g.models[model + ".mdl"]) << second << why;
    }
}

TEST(GltfWriteBackTest, RefusalsNameTheFileTheMeshAndTheNumbersAndWriteNothing) {
    Game g;
    const Glb m = g.Export("models/test/m"), p = g.Export("models/test/p");
    using Edit = std::function<void(Glb&)>;
    auto map = [](Glb& f, size_t mesh, uint32_t vertex, float n, float e) {
        size_t a = f.Attribute(mesh, "TEXCOORD_1"), i = f.VertexOf(mesh, vertex);
        f.Set(a, i, 0, n), f.Set(a, i, 1, e);
    };
    auto noMap = [](Glb& f) {
        for (Json& mesh : f.json["meshes"]) mesh["primitives"][0]["attributes"].erase("TEXCOORD_1");
    };
    struct Case {
        const char* what;
        bool packed;
        Edit edit;
        std::string words;
        Reason reason = Reason::GltfNotWritable;
    } cases[] = {
        {"vertex number out of range", false, [&](Glb& f) { map(f, 0, 0, 99, 0); },
         "m.glb: the file's mesh 0 (skin), primitive 0: its vertex 2 carries TEXCOORD_1 (99, 0), which names no vertex of the "
         "model (whole vertex numbers below 6, mesh numbers below 2)"},
        {"not a whole number", false, [&](Glb& f) { map(f, 0, 1, 1.5f, 0); }, "carries TEXCOORD_1 (1.5, 0)"},
        {"mesh number out of range", false, [&](Glb& f) { map(f, 0, 1, 1, 2); }, "carries TEXCOORD_1 (1, 2)"},
        {"corners of two meshes", false, [&](Glb& f) { map(f, 0, 1, 1, 1); }, "has corners of the model's meshes 0 and 1"},
        {"a vertex the mesh does not draw", false, [&](Glb& f) { map(f, 0, 1, 4, 0); },
         "names vertex 4, which the model's mesh 0 (skin) does not draw"},
        {"copies apart", false, [&](Glb& f) { map(f, 0, 1, 0, 0); },
         "vertex 0 of the model's mesh 0 (skin) has copies 1.73205 apart, more than 0.0005 (1e-4 of the model's size)"},
        {"mesh only partly present", true, [](Glb& f) { f.SetIndices(0, {0, 1, 2}); },
         "the model's mesh 0 (skin) is only partly present: 1 of its 2 triangles"},
        {"a triangle more", true, [](Glb& f) { f.SetIndices(1, {0, 1, 2, 0, 1, 2}); },
         "the model's mesh 1 (skin) has 2 triangles in the file, 1 in the model"},
        {"morph targets", false, [](Glb& f) { f.Primitive(0)["targets"] = {{{"POSITION", f.Attribute(0, "POSITION")}}}; },
         "primitive 0 has morph targets"},
        {"points", false, [](Glb& f) { f.Primitive(1)["mode"] = 0; }, "is drawn in mode 0; only triangles (mode 4)"},
        {"a mesh used by two nodes", false, [](Glb& f) { f.json["nodes"].push_back({{"mesh", 1}}); },
         "mesh 1 (gone) is used by two nodes (1 and 3)"},
        {"Z up", false,
         [](Glb& f) {
             for (size_t mesh = 0; mesh < 2; ++mesh)
                 for (size_t i = 0; i < f.json["accessors"][f.Attribute(mesh, "POSITION")]["count"].get<size_t>(); ++i) {
                     size_t a = f.Attribute(mesh, "POSITION");
                     float y = f.Get(a, i, 1), z = f.Get(a, i, 2);
                     f.Set(a, i, 1, -z), f.Set(a, i, 2, y);
                 }
         },
         "its positions read as Z up"},
        {"a transform past what a float holds", false, [](Glb& f) { f.json["nodes"].back()["scale"] = {1e38, 1, 1}; },
         "is placed where no number can say"},
        {"none of the model's meshes", false,
         [](Glb& f) {
             f.json["nodes"] = {{{"name", "m.mdl"}}};
             f.json["scenes"][0]["nodes"] = {0};
         },
         "the file holds none of the model's meshes"},
        {"an accessor past its view", false, [](Glb& f) { f.json["accessors"][0]["count"] = 1000000; },
         "accessor 0 (1000000 elements of 12 bytes, 12 apart, from byte 0) runs past the end of buffer view 0"},
        {"a view past its buffer", false, [](Glb& f) { f.json["bufferViews"][0]["byteOffset"] = 1u << 30; }, "lies outside buffer 0"},
        {"an index past the vertices", false, [](Glb& f) { f.SetIndices(1, {0, 1, 3}); }, "index 2 names vertex 3 of its 3"},
        {"not glTF", false, [](Glb& f) { f.json = Json::array(); }, "the file's JSON is not a glTF object"},
        {"an added mesh", false, [&](Glb& f) { f.Primitive(1)["attributes"].erase("TEXCOORD_1"); },
         "has no TEXCOORD_1 while other meshes have one"},
        {"an unknown material", false,
         [&](Glb& f) {
             noMap(f);
             f.json["materials"][0]["name"] = "Material";
         },
         "has no TEXCOORD_1 and its material (Material) names no mesh of the model"},
        {"triangles that do not follow", false,
         [&](Glb& f) {
             noMap(f);
             f.Set(f.Attribute(1, "TEXCOORD_0"), 0, 1, 0.25f);
         },
         "do not follow the model's mesh 1 (gone)'s (texture coordinates (0.5, 0.25) where its vertex 2 has (0.5, 2))"},
        {"outside a packed box", true, [](Glb& f) { f.Set(f.Attribute(0, "POSITION"), f.VertexOf(0, 0), 0, -2.5f); },
         "p.glb: vertex 0 at (-2.5, -3, 0.5) lies outside the model's box (-2, -3, 0.5) to (2, 3, 1.25)",
         Reason::PositionNotStorable},
    };
    for (const Case& c : cases) {
        Glb edited = c.packed ? p : m;
        c.edit(edited);
        g.messages.clear();
        std::string why, model = c.packed ? "models/test/p.mdl" : "models/test/m.mdl";
        EXPECT_EQ(g.Drop(model, c.packed ? "p.glb" : "m.glb", edited.Bytes(), why), "") << c.what;
        EXPECT_EQ(g.app.failure.reason, c.reason) << c.what << ": " << why;
        ASSERT_EQ(g.messages.size(), 1u) << c.what;
        EXPECT_EQ(g.messages[0].rfind("ERROR!|" + std::string(c.packed ? "p.glb: " : "m.glb: "), 0), 0u) << g.messages[0];
        EXPECT_NE(g.messages[0].find(c.words), std::string::npos) << c.what << ": " << g.messages[0];
        EXPECT_FALSE(fs::exists(g.dir / ("data/" + model))) << c.what << ": nothing written";
    }
}

TEST(GltfWriteBackTest, GltfTextFindsItsBuffersInsideOrBesideIt) {
    Game g;
    Glb m = g.Export("models/test/m");
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string base64;
    for (size_t i = 0; i < m.bin.size(); i += 3) {
        size_t have = std::min<size_t>(3, m.bin.size() - i);
        uint32_t n = uint32_t(uint8_t(m.bin[i])) << 16;
        if (have > 1) n |= uint32_t(uint8_t(m.bin[i + 1])) << 8;
        if (have > 2) n |= uint8_t(m.bin[i + 2]);
        for (size_t k = 0; k < 4; ++k) base64 += k <= have ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    std::string why;
    struct Case {
        const char* uri;
        bool written;
    } cases[] = {{nullptr, true}, {"m%20data.bin", true}, {"../m data.bin", false}, {"/etc/m.bin", false}};
    g.dir.Write("drops/m data.bin", m.bin);
    for (const Case& c : cases) {
        Json text = m.json;
        text["buffers"][0]["uri"] = c.uri != nullptr ? std::string(c.uri) : "data:application/octet-stream;base64," + base64;
        std::string loose = g.Drop("models/test/m.mdl", "m.gltf", text.dump(1), why);
        EXPECT_EQ(loose == g.models["models/test/m.mdl"], c.written) << (c.uri ? c.uri : "data URI") << why;
    }
}

TEST(GltfReaderTest, ACutOrDamagedFileIsRefusedNeverReadPast) {
    Game g;
    std::string bytes = g.Export("models/test/p").Bytes();
    GltfScene scene;
    std::string why;
    ASSERT_TRUE(ReadGltf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nullptr, scene, why)) << why;
    EXPECT_EQ(scene.rootNames, std::vector<std::string>{"p.mdl"});
    ASSERT_EQ(scene.primitives.size(), 3u);
    for (size_t n = 0; n < bytes.size(); n += 7) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));  // exactly n bytes
        EXPECT_FALSE(ReadGltf(cut.data(), n, nullptr, scene, why)) << n;
    }
    // Header and chunk lengths that point past what they should hold.
    uint32_t jsonLength;
    std::memcpy(&jsonLength, bytes.data() + 12, 4);
    struct {
        size_t at;
        uint32_t value;
        const char* words;
    } damaged[] = {{8, 12, "says it holds 12 bytes, less than its header"},
                   {8, uint32_t(bytes.size() + 1), "but has"},
                   {12, uint32_t(bytes.size()), "first chunk is not its JSON, inside the file"},
                   {20 + jsonLength, uint32_t(bytes.size()), "binary chunk runs past its end"}};
    for (const auto& d : damaged) {
        std::vector<uint8_t> copy(bytes.begin(), bytes.end());
        std::memcpy(&copy[d.at], &d.value, 4);
        EXPECT_FALSE(ReadGltf(copy.data(), copy.size(), nullptr, scene, why)) << d.words;
        EXPECT_NE(why.find(d.words), std::string::npos) << why;
    }
}

#ifndef _WIN32
namespace {

using Places = std::map<uint32_t, std::vector<std::array<double, 3>>>;

// Where Blender holds each model vertex after an edit (glTF frame), by its
// number, as the round-trip script's --truth file lists it.
Places Truth(const std::string& path) {
    Places truth;
    std::string text;
    if (!ReadWholeFile(path, text)) return truth;
    Json json = Json::parse(text);
    for (auto& [key, list] : json.items())
        if (key != "_by_object")
            for (const Json& p : list) truth[uint32_t(std::stoul(key))].push_back({p[0], p[1], p[2]});
    return truth;
}

// The model's step on an axis of the part that holds vertex n; 0 for floats.
double Step(const ModelPair& p, uint32_t n, int axis) {
    const mdlformat::MdlModel& owner = mdlformat::ModelOfVertex(p.m, n);
    return owner.format == 0 ? 0 : owner.format == 1 ? owner.scale[axis] : owner.scale[axis] / 255.0;
}

// Whether a packed part cannot store where Blender holds one of its vertices.
bool OutsidePackedBox(const ModelPair& p, const Places& truth) {
    for (auto& [n, places] : truth) {
        const mdlformat::MdlModel& owner = mdlformat::ModelOfVertex(p.m, n);
        double own[3] = {places[0][0], -places[0][2], places[0][1]};
        for (int c = 0; c < 3 && owner.format != 0; ++c) {
            double t = (own[c] - owner.origin[c]) / Step(p, n, c);
            if (!(t >= -0.5 && t < (owner.format == 1 ? 65535.5 : 255.5))) return true;
        }
    }
    return false;
}

// One round trip through Blender: the edit, the script's further options,
// and what the write-back must do with it.
struct Trip {
    std::string model, edit, options;
    enum { Lands, Unchanged, Topology, ZUp } expect;
    std::string Out(const TempDir& dir, const char* extension) const {
        return dir / ("trip/" + model + "." + edit + (options.find("export_yup") != std::string::npos ? ".zup" : "") + extension);
    }
};

// Drops the round trip's file on its model: refused as expected, or every
// vertex where Blender holds it (exactly for floats, to the nearest step
// for packed ones; within a millionth of the size through node transforms
// computed in other precisions). Gives the line of the report.
std::string WriteBack(AppState& app, const TempDir& dir, const std::string& real, const Trip& trip) {
    std::string packed, why, written, loose;
    EXPECT_TRUE(ReadWholeFile(real + "/" + trip.model + ".mdl", packed));
    ModelPair before, after;
    EXPECT_TRUE(ReadModelFile(app.Files(), trip.model, before, why)) << why;
    Places truth = Truth(trip.Out(dir, ".json"));
    app.failure.Clear();
    bool ok = ModifyModelVertices(app, FindTreeItemByPath(app.tree, trip.model + ".mdl"), trip.Out(dir, ".glb"), &written);
    EXPECT_EQ(fs::exists(dir / ("data/" + trip.model + ".mdl")), ok) << "written exactly when not refused";
    bool outside = trip.expect == Trip::Lands && OutsidePackedBox(before, truth);
    if (trip.expect == Trip::Topology || trip.expect == Trip::ZUp || outside) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(app.failure.reason, outside ? Reason::PositionNotStorable : Reason::GltfNotWritable) << app.failure.Words();
        EXPECT_TRUE(trip.expect != Trip::ZUp || app.failure.detail.find("read as Z up") != std::string::npos) << app.failure.Words();
        return "refused: " + app.failure.detail;
    }
    if (!ok) {
        ADD_FAILURE() << app.failure.Words();
        return "refused: " + app.failure.detail;
    }
    EXPECT_TRUE(ReadWholeFile(dir / ("data/" + trip.model + ".mdl"), loose));
    EXPECT_TRUE(trip.expect != Trip::Unchanged || loose == packed) << "an unedited round trip gives the model byte for byte";
    EXPECT_TRUE(ReadModelFile(app.Files(), trip.model, after, why)) << why;
    double slack = trip.edit.find("object") != std::string::npos ? 1e-6 : 0;
    // A skinned mesh comes back through Blender's bind pose, a few float
    // steps off, which the write-back leaves at the model's own.
    std::string file;
    EXPECT_TRUE(ReadWholeFile(trip.Out(dir, ".glb"), file));
    double rounding = file.find("\"skins\"") != std::string::npos ? BindPoseRounding(before) : 0;
    size_t moved = 0;
    for (uint32_t n = 0; n < after.m.vertexCount; ++n) {
        moved += std::memcmp(after.vertices[n].position, before.vertices[n].position, 12) != 0;
        auto held = truth.find(n);
        if (held == truth.end()) continue;
        const std::array<double, 3>& q = held->second[0];
        double want[3] = {q[0], -q[2], q[1]};
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(after.vertices[n].position[c], float(want[c]),
                        Step(after, n, c) / 2 + (1e-6 + slack) * std::fabs(want[c]) + rounding)
                << "vertex " << n << " axis " << c;
    }
    RemoveFile((trip.model + ".mdl").c_str());
    ForgetFolderListings();
    return moved == 0 ? "byte for byte" : "vertices moved " + std::to_string(moved);
}

}  // namespace

TEST(GltfWriteBackTest, RealModelsGoThroughBlenderAndBack) {
    std::string real = RealData() + "/bloodlines", script = QUILLON_SHARED "/tools/blender-roundtrip.py";
    ASSERT_TRUE(fs::exists(real)) << "the real data (" << real << ") is missing";
    ASSERT_TRUE(fs::exists(script)) << script << " is missing";
    ASSERT_EQ(access("/usr/bin/blender", X_OK), 0) << "Blender is missing: run tools/install-deps.sh";
    TempDir dir;
    CwdGuard cwd;
    AppState app;
    ASSERT_NO_FATAL_FAILURE(OpenRealModels(dir, real, app));
    RunExtraction(app, FindTreeItemByPath(app.tree, "models"), kExtractModelsGltf);
    ASSERT_EQ(app.extraction.report.written, 10u);

    std::vector<Trip> trips;
    for (auto& e : fs::recursive_directory_iterator(dir / "out"))
        if (e.path().extension() == ".glb") {
            std::string model = ModelStemPath(fs::relative(e.path(), dir / "out").generic_string());
            // Blender samples every frame of every bone when it exports an
            // animation: the 4,701-frame cinematic would take it minutes a
            // trip. Its trips leave the animations out; the other rigged
            // models take theirs through.
            std::string options = model.find("/cinematic/") != std::string::npos ? "--export\texport_animations=False" : "";
            for (auto [edit, expect] : {std::pair{"none", Trip::Unchanged}, {"move-one", Trip::Lands}, {"sculpt", Trip::Lands},
                                        {"tris-to-quads", Trip::Unchanged}, {"add-vertex", Trip::Topology},
                                        {"delete-face", Trip::Topology}})
                trips.push_back({model, edit, options, expect});
            fs::create_directories(fs::path(dir / ("trip/" + model)).parent_path());
        }
    std::stable_sort(trips.begin(), trips.end(), [](const Trip& a, const Trip& b) { return a.model < b.model; });
    // The node transforms Blender writes for moved objects, and its export
    // with "+Y Up" switched off.
    const std::string sword = "models/weapons/broadsword/world/g_sword";
    trips.push_back({sword, "translate-object+rotate-object", "", Trip::Lands});
    trips.push_back({sword, "none", "--export\texport_yup=False", Trip::ZUp});
    std::string jobs;
    for (const Trip& t : trips)
        jobs += dir / ("out/" + t.model + ".glb") + "\t" + t.Out(dir, ".glb") + "\t" + t.edit + "\t" + t.Out(dir, ".json") +
                (t.options.empty() ? "" : "\t" + t.options) + "\n";
    dir.Write("jobs.txt", jobs);
    std::string command = "blender -b --factory-startup --python '" QUILLON_SOURCE "/tools/blender_roundtrips.py' -- '" +
                          script + "' '" + dir / "jobs.txt" + "' > '" + dir / "blender.log" + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "see " << dir / "blender.log";
    for (const Trip& t : trips) {
        SCOPED_TRACE(t.model + " " + t.edit + " " + t.options);
        ASSERT_TRUE(fs::exists(t.Out(dir, ".glb"))) << "Blender did not write it; see " << dir / "blender.log";
        std::string result = WriteBack(app, dir, real, t);
        std::string options = t.options.empty() ? "" : " (" + t.options.substr(t.options.find('\t') + 1) + ")";
        std::printf("ROUNDTRIP\t%s\t%s%s\t%s\n", t.model.substr(NameStart(t.model)).c_str(), t.edit.c_str(),
                    options.c_str(), result.c_str());
    }
}
#endif
