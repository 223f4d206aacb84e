#include "model/GltfWriter.h"

#include "texture/Png.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <set>

using Json = nlohmann::ordered_json;

namespace {

// glTF's numbers for the parts we use.
const int kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125;
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

// Names unique within their kind: an importer that needs them so (Blender
// does) would otherwise rename repeats NAME.001, ... A repeat gets its
// number in the model.
std::string UniqueName(std::set<std::string>& taken, const std::string& name, uint32_t number) {
    std::string unique = name;
    while (!taken.insert(unique).second) unique += " #" + std::to_string(number);
    return unique;
}

// TEXCOORD_1: per vertex, its number in the model file and its mesh's.
std::vector<float> ModelMap(const SceneMesh& mesh) {
    std::vector<float> map;
    map.reserve(2 * mesh.modelVertices.size());
    for (uint32_t v : mesh.modelVertices) map.push_back(float(v)), map.push_back(float(mesh.modelMesh));
    return map;
}

bool Meshes(ModelScene& scene, GlbBuilder& glb, Json& meshes, Json& nodes, Json& roots, std::string& why) {
    std::set<std::string> nodeNames = {scene.fileName}, meshNames;
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
        if (mesh.modelVertices.size() == mesh.VertexCount())
            attributes["TEXCOORD_1"] = glb.Floats(ModelMap(mesh), 2, "VEC2");
        Json primitive = {{"attributes", attributes}, {"indices", Indices(glb, mesh)}, {"mode", 4}};
        if (mesh.material < scene.materials.size()) primitive["material"] = mesh.material;
        meshes.push_back({{"name", UniqueName(meshNames, mesh.name, mesh.modelMesh)}, {"primitives", Json::array({primitive})}});
        nodes.push_back({{"name", UniqueName(nodeNames, mesh.name, mesh.modelMesh)}, {"mesh", meshes.size() - 1}});
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
    std::set<std::string> names;
    for (SceneMaterial& m : scene.materials) {
        std::string name = UniqueName(names, m.name, uint32_t(materials.size()));
        Json pbr = {{"metallicFactor", 0.0}, {"roughnessFactor", 1.0}};
        std::vector<uint8_t>& png = m.png;
        if (png.empty() && m.picture.pixels != nullptr && !EncodePng(m.picture, png))
            scene.missingTextures.push_back(m.name);
        if (!png.empty()) {
            images.push_back({{"name", name}, {"mimeType", "image/png"}, {"bufferView", glb.View(png.data(), png.size(), 0)}});
            textures.push_back({{"sampler", 0}, {"source", images.size() - 1}});
            pbr["baseColorTexture"] = {{"index", textures.size() - 1}};
        }
        Json material = {{"name", name}, {"pbrMetallicRoughness", pbr}};
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

void Bones(const ModelScene& scene, Json& nodes, Json& roots) {
    size_t first = nodes.size();
    for (const SceneBone& b : scene.bones) {
        Json node = {{"name", b.name}};
        if (b.translation[0] != 0 || b.translation[1] != 0 || b.translation[2] != 0)
            node["translation"] = {b.translation[0], b.translation[1], b.translation[2]};
        if (b.rotation[3] != 1) node["rotation"] = {b.rotation[0], b.rotation[1], b.rotation[2], b.rotation[3]};
        if (b.scale[0] != 1 || b.scale[1] != 1 || b.scale[2] != 1)
            node["scale"] = {b.scale[0], b.scale[1], b.scale[2]};
        nodes.push_back(node);
    }
    for (size_t i = 0; i < scene.bones.size(); ++i) {
        int32_t parent = scene.bones[i].parent;
        if (parent < 0) {
            roots.push_back(first + i);
        } else {
            Json& children = nodes[first + size_t(parent)]["children"];
            if (children.is_null()) children = Json::array();
            children.push_back(first + i);
        }
    }
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
    Bones(scene, nodes, roots);
    // One root named after the model file: the file says which model it
    // was made from, whatever name it is saved under.
    if (!scene.fileName.empty()) {
        nodes.push_back({{"name", scene.fileName}, {"children", roots}});
        roots = Json::array({nodes.size() - 1});
    }
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
