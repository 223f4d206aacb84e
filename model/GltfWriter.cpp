#include "model/GltfWriter.h"

#include "texture/Png.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>

using Json = nlohmann::ordered_json;

namespace {

// glTF's numbers for the parts we use.
const int kFloat = 5126, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125;
const int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
const int kLinear = 9729, kLinearMipmapLinear = 9987, kRepeat = 10497;
const uint32_t kGlbMagic = 0x46546C67, kJsonChunk = 0x4E4F534A, kBinChunk = 0x004E4942;

// The binary chunk and the JSON arrays that describe its parts.
struct GlbBuilder {
    std::vector<uint8_t> bin;
    Json bufferViews = Json::array(), accessors = Json::array();

    // Appends bytes as a new buffer view, 4-byte aligned; gives its number.
    size_t View(const void* data, size_t size, int target) {
        while (bin.size() % 4 != 0) bin.push_back(0);
        Json view = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
        if (target != 0) view["target"] = target;
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        bin.insert(bin.end(), bytes, bytes + size);
        bufferViews.push_back(view);
        return bufferViews.size() - 1;
    }
    size_t Accessor(size_t view, int componentType, size_t count, const char* type) {
        accessors.push_back({{"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}});
        return accessors.size() - 1;
    }
    size_t Floats(const std::vector<float>& values, int width, const char* type) {
        return Accessor(View(values.data(), values.size() * 4, kArrayBuffer), kFloat, values.size() / width, type);
    }
};

// Positions need their bounds; they are also where a damaged model shows
// numbers no reader can use.
bool PositionBounds(const SceneMesh& mesh, Json& min, Json& max) {
    float lo[3], hi[3];
    for (int c = 0; c < 3; ++c) lo[c] = hi[c] = mesh.positions[c];
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        float v = mesh.positions[i];
        if (!std::isfinite(v)) return false;
        lo[i % 3] = std::fmin(lo[i % 3], v);
        hi[i % 3] = std::fmax(hi[i % 3], v);
    }
    min = {lo[0], lo[1], lo[2]};
    max = {hi[0], hi[1], hi[2]};
    return true;
}

// Index 65535 is the primitive-restart value for 16-bit indices, which glTF
// forbids; such meshes take 32-bit indices.
size_t Indices(GlbBuilder& glb, const SceneMesh& mesh) {
    if (mesh.VertexCount() <= 65535) {
        std::vector<uint16_t> small(mesh.indices.begin(), mesh.indices.end());
        size_t view = glb.View(small.data(), small.size() * 2, kElementArrayBuffer);
        return glb.Accessor(view, kUnsignedShort, small.size(), "SCALAR");
    }
    size_t view = glb.View(mesh.indices.data(), mesh.indices.size() * 4, kElementArrayBuffer);
    return glb.Accessor(view, kUnsignedInt, mesh.indices.size(), "SCALAR");
}

bool Meshes(ModelScene& scene, GlbBuilder& glb, Json& meshes, Json& nodes, Json& roots, std::string& why) {
    for (const SceneMesh& mesh : scene.meshes) {
        if (mesh.indices.empty()) continue;
        Json min, max;
        if (!PositionBounds(mesh, min, max)) {
            why = "a vertex position is not a finite number";
            return false;
        }
        size_t position = glb.Floats(mesh.positions, 3, "VEC3");
        glb.accessors[position]["min"] = min;
        glb.accessors[position]["max"] = max;
        Json attributes = {{"POSITION", position},
                           {"NORMAL", glb.Floats(mesh.normals, 3, "VEC3")},
                           {"TEXCOORD_0", glb.Floats(mesh.texcoords, 2, "VEC2")}};
        bool skinned = !mesh.joints.empty();
        if (skinned) {
            size_t joints = glb.View(mesh.joints.data(), mesh.joints.size() * 2, kArrayBuffer);
            attributes["JOINTS_0"] = glb.Accessor(joints, kUnsignedShort, mesh.VertexCount(), "VEC4");
            size_t weights = glb.View(mesh.weights.data(), mesh.weights.size(), kArrayBuffer);
            attributes["WEIGHTS_0"] = glb.Accessor(weights, kUnsignedByte, mesh.VertexCount(), "VEC4");
            glb.accessors[attributes["WEIGHTS_0"].get<size_t>()]["normalized"] = true;
        }
        Json primitive = {{"attributes", attributes}, {"indices", Indices(glb, mesh)}, {"mode", 4}};
        if (mesh.material < scene.materials.size()) primitive["material"] = mesh.material;
        meshes.push_back({{"name", mesh.name}, {"primitives", Json::array({primitive})}});
        nodes.push_back({{"name", mesh.name}, {"mesh", meshes.size() - 1}});
        // The skin places a skinned mesh; glTF wants its node at the root.
        if (skinned) nodes.back()["skin"] = 0;
        roots.push_back(nodes.size() - 1);
    }
    if (meshes.empty()) {
        why = "the model holds no triangles";
        return false;
    }
    return true;
}

void Materials(ModelScene& scene, GlbBuilder& glb, Json& gltf) {
    Json materials = Json::array(), textures = Json::array(), images = Json::array();
    for (SceneMaterial& m : scene.materials) {
        Json pbr = {{"metallicFactor", 0.0}, {"roughnessFactor", 1.0}};
        std::vector<uint8_t>& png = m.png;
        if (png.empty() && m.picture.pixels != nullptr && !EncodePng(m.picture, png))
            scene.missingTextures.push_back(m.name);
        if (!png.empty()) {
            images.push_back({{"name", m.name}, {"mimeType", "image/png"}, {"bufferView", glb.View(png.data(), png.size(), 0)}});
            textures.push_back({{"sampler", 0}, {"source", images.size() - 1}});
            pbr["baseColorTexture"] = {{"index", textures.size() - 1}};
        }
        Json material = {{"name", m.name}, {"pbrMetallicRoughness", pbr}};
        if (m.alpha == AlphaMode::Mask) material["alphaMode"] = "MASK", material["alphaCutoff"] = 0.5;
        if (m.alpha == AlphaMode::Blend) material["alphaMode"] = "BLEND";
        if (m.doubleSided) material["doubleSided"] = true;
        materials.push_back(material);
    }
    if (!materials.empty()) gltf["materials"] = materials;
    if (!textures.empty()) {
        gltf["textures"] = textures;
        gltf["images"] = images;
        gltf["samplers"] = Json::array(
            {{{"magFilter", kLinear}, {"minFilter", kLinearMipmapLinear}, {"wrapS", kRepeat}, {"wrapT", kRepeat}}});
    }
}

// One node per bone below its parent. With joints, a node named after the
// model file holds the skeleton's roots (glTF wants the joints of a skin
// to share one), and the skin lists the joints with their inverse bind
// matrices. Gives the number of the first bone's node.
size_t Bones(const ModelScene& scene, GlbBuilder& glb, Json& gltf, Json& nodes, Json& roots) {
    size_t first = nodes.size();
    std::vector<float> inverseBinds;
    Json joints = Json::array();
    for (const SceneBone& b : scene.bones) {
        Json node = {{"name", b.name}};
        if (b.translation[0] != 0 || b.translation[1] != 0 || b.translation[2] != 0)
            node["translation"] = {b.translation[0], b.translation[1], b.translation[2]};
        if (b.rotation[3] != 1) node["rotation"] = {b.rotation[0], b.rotation[1], b.rotation[2], b.rotation[3]};
        if (b.scale[0] != 1 || b.scale[1] != 1 || b.scale[2] != 1)
            node["scale"] = {b.scale[0], b.scale[1], b.scale[2]};
        if (b.joint) {
            joints.push_back(nodes.size());
            inverseBinds.insert(inverseBinds.end(), b.inverseBind, b.inverseBind + 16);
        }
        nodes.push_back(node);
    }
    Json skeletonRoots = Json::array();
    for (size_t i = 0; i < scene.bones.size(); ++i) {
        int32_t parent = scene.bones[i].parent;
        if (parent < 0) {
            (joints.empty() ? roots : skeletonRoots).push_back(first + i);
        } else {
            Json& children = nodes[first + size_t(parent)]["children"];
            if (children.is_null()) children = Json::array();
            children.push_back(first + i);
        }
    }
    if (joints.empty()) return first;
    nodes.push_back({{"name", scene.fileName.empty() ? scene.name : scene.fileName}, {"children", skeletonRoots}});
    roots.insert(roots.begin(), nodes.size() - 1);
    size_t matrices = glb.Accessor(glb.View(inverseBinds.data(), inverseBinds.size() * 4, 0), kFloat,
                                   inverseBinds.size() / 16, "MAT4");
    gltf["skins"] = Json::array({{{"name", scene.name}, {"inverseBindMatrices", matrices},
                                  {"skeleton", nodes.size() - 1}, {"joints", joints}}});
    return first;
}

// A channel's values as a sampler: all its frames, or, when it never
// changes, its value at the first and the last frame only.
size_t Sampler(GlbBuilder& glb, Json& samplers, size_t times, size_t ends, const SceneAnimation& a, size_t joints,
               size_t joint, bool rotation) {
    const std::vector<float>& all = rotation ? a.rotations : a.translations;
    size_t width = rotation ? 4 : 3;
    const float* first = &all[width * joint];
    bool still = true;
    for (uint32_t k = 1; k < a.frameCount && still; ++k)
        for (size_t c = 0; c < width; ++c) still = still && all[width * (k * joints + joint) + c] == first[c];
    std::vector<float> values;
    uint32_t keys = still ? (a.frameCount > 1 ? 2 : 1) : a.frameCount;
    for (uint32_t k = 0; k < keys; ++k) {
        const float* v = still ? first : &all[width * (k * joints + joint)];
        values.insert(values.end(), v, v + width);
    }
    size_t output = glb.Accessor(glb.View(values.data(), values.size() * 4, 0), kFloat, keys, rotation ? "VEC4" : "VEC3");
    samplers.push_back({{"input", still ? ends : times}, {"output", output}, {"interpolation", "LINEAR"}});
    return samplers.size() - 1;
}

// Each animation moves every joint: its frames at 1 / fps seconds apart.
void Animations(const ModelScene& scene, GlbBuilder& glb, Json& gltf, size_t firstBone) {
    size_t joints = 0;
    while (joints < scene.bones.size() && scene.bones[joints].joint) ++joints;
    Json animations = Json::array();
    for (const SceneAnimation& a : scene.animations) {
        if (a.frameCount == 0 || joints == 0) continue;
        std::vector<float> t(a.frameCount);
        for (uint32_t k = 0; k < a.frameCount; ++k) t[k] = float(double(k) / a.fps);
        std::vector<float> ends = {t.front(), t.back()};
        if (a.frameCount == 1) ends.pop_back();
        size_t times = glb.Accessor(glb.View(t.data(), t.size() * 4, 0), kFloat, t.size(), "SCALAR");
        glb.accessors[times]["min"] = {t.front()};
        glb.accessors[times]["max"] = {t.back()};
        size_t endTimes = glb.Accessor(glb.View(ends.data(), ends.size() * 4, 0), kFloat, ends.size(), "SCALAR");
        glb.accessors[endTimes]["min"] = {ends.front()};
        glb.accessors[endTimes]["max"] = {ends.back()};
        Json samplers = Json::array(), channels = Json::array();
        for (size_t j = 0; j < joints; ++j)
            for (bool rotation : {false, true}) {
                size_t sampler = Sampler(glb, samplers, times, endTimes, a, joints, j, rotation);
                channels.push_back({{"sampler", sampler},
                                    {"target", {{"node", firstBone + j}, {"path", rotation ? "rotation" : "translation"}}}});
            }
        animations.push_back({{"name", a.name}, {"channels", channels}, {"samplers", samplers}});
    }
    if (!animations.empty()) gltf["animations"] = animations;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

bool WriteGlb(ModelScene& scene, std::vector<uint8_t>& out, std::string& why) {
    out.clear();
    GlbBuilder glb;
    Json gltf = {{"asset", {{"version", "2.0"}, {"generator", "Quillon " QUILLON_VERSION}}}};
    Json meshes = Json::array(), nodes = Json::array(), roots = Json::array();
    if (!Meshes(scene, glb, meshes, nodes, roots, why)) return false;
    Materials(scene, glb, gltf);
    size_t firstBone = Bones(scene, glb, gltf, nodes, roots);
    Animations(scene, glb, gltf, firstBone);
    gltf["scene"] = 0;
    gltf["scenes"] = Json::array({{{"name", scene.name}, {"nodes", roots}}});
    gltf["nodes"] = nodes;
    gltf["meshes"] = meshes;
    gltf["accessors"] = glb.accessors;
    gltf["bufferViews"] = glb.bufferViews;
    while (glb.bin.size() % 4 != 0) glb.bin.push_back(0);
    gltf["buffers"] = Json::array({{{"byteLength", glb.bin.size()}}});

    // Names come from game files in the system code page; anything that is
    // not UTF-8 is replaced rather than thrown over.
    std::string json = gltf.dump(-1, ' ', false, Json::error_handler_t::replace);
    while (json.size() % 4 != 0) json += ' ';
    uint64_t total = 12 + 8 + uint64_t(json.size()) + 8 + glb.bin.size();
    if (total > 0xFFFFFFFFu) {
        why = "the model is too large for one .glb file";
        return false;
    }
    out.reserve(size_t(total));
    Put32(out, kGlbMagic);
    Put32(out, 2);
    Put32(out, uint32_t(total));
    Put32(out, uint32_t(json.size()));
    Put32(out, kJsonChunk);
    out.insert(out.end(), json.begin(), json.end());
    Put32(out, uint32_t(glb.bin.size()));
    Put32(out, kBinChunk);
    out.insert(out.end(), glb.bin.begin(), glb.bin.end());
    return true;
}
