#include "model/GltfReader.h"

#include "model/ByteView.h"
#include "pack/FileHandle.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <memory>

using Json = nlohmann::json;

namespace {

const uint32_t kGlbMagic = 0x46546C67, kJsonChunk = 0x4E4F534A, kBinChunk = 0x004E4942;
const int kByte = 5120, kUnsignedByte = 5121, kShort = 5122, kUnsignedShort = 5123, kUnsignedInt = 5125,
          kFloat = 5126;
const uint64_t kTriangles = 4;

bool Refuse(std::string& why, const std::string& text) {
    why = text;
    return false;
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The JSON text and the binary chunk of a .glb; the whole input as JSON
// otherwise.
bool SplitContainer(const uint8_t* data, size_t size, std::string& json, const uint8_t*& bin, size_t& binSize,
                    std::string& why) {
    bin = nullptr;
    binSize = 0;
    if (size == 0) return Refuse(why, "the file is empty");
    if (size < 4 || Le32(data) != kGlbMagic) {
        json.assign(reinterpret_cast<const char*>(data), size);
        return true;
    }
    if (size < 20) return Refuse(why, "the binary glTF file is shorter than its header");
    if (Le32(data + 4) != 2) return Refuse(why, "the binary glTF file is of version " + std::to_string(Le32(data + 4)) + ", not 2");
    uint64_t length = Le32(data + 8);
    if (length < 20) return Refuse(why, "the binary glTF file says it holds " + std::to_string(length) + " bytes, less than its header");
    if (length > size) return Refuse(why, "the binary glTF file says it holds " + std::to_string(length) + " bytes, but has " + std::to_string(size));
    uint64_t jsonLength = Le32(data + 12);
    if (Le32(data + 16) != kJsonChunk || jsonLength > length - 20)
        return Refuse(why, "the binary glTF file's first chunk is not its JSON, inside the file");
    json.assign(reinterpret_cast<const char*>(data + 20), size_t(jsonLength));
    uint64_t at = 20 + jsonLength;
    if (at + 8 <= length && Le32(data + at + 4) == kBinChunk) {
        uint64_t chunk = Le32(data + at);
        if (chunk > length - at - 8) return Refuse(why, "the binary glTF file's binary chunk runs past its end");
        bin = data + at + 8;
        binSize = size_t(chunk);
    }
    return true;
}

// A member that is a non-negative integer no larger than limit.
bool Count(const Json& object, const char* key, uint64_t limit, uint64_t& out) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_number_unsigned()) return false;
    out = found->get<uint64_t>();
    return out <= limit;
}

// A text member, or "" when it is missing or not text.
std::string Text(const Json& object, const char* key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::string Name(const Json& object) { return Text(object, "name"); }

// Up to n finite numbers of an array member; false when it is there and
// is not that.
bool Numbers(const Json& object, const char* key, size_t n, double* out) {
    auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_array() || found->size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (!(*found)[i].is_number()) return false;
        out[i] = (*found)[i].get<double>();
        if (!std::isfinite(out[i])) return false;
    }
    return true;
}

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

bool DecodeBase64(const std::string& text, size_t from, std::vector<uint8_t>& out) {
    uint32_t bits = 0;
    int have = 0;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '=') break;
        int d = Base64Digit(text[i]);
        if (d < 0) return false;
        bits = (bits << 6) | uint32_t(d);
        if ((have += 6) >= 8) {
            have -= 8;
            out.push_back(uint8_t(bits >> have));
        }
    }
    return true;
}

// An accessor located: count elements of size bytes, stride apart, from at.
struct Located {
    const uint8_t* at = nullptr;
    uint64_t count = 0, stride = 0;
    int componentType = 0;
    int components = 0;
    bool normalized = false;
};

struct Reader {
    const Json& root;
    const GltfBufferLoader& load;
    const uint8_t* bin;
    size_t binSize;
    std::string& why;
    // Buffers read so far; their bytes, and those the file declares.
    std::vector<std::unique_ptr<std::vector<uint8_t>>> loaded;
    std::vector<int> state;  // 0 not read, 1 read
    std::vector<const uint8_t*> bufferData;
    std::vector<uint64_t> bufferSize;
    // Accessors may share their bytes: what they decode to is bounded by a
    // multiple of the bytes there are, so a small file cannot ask for more
    // memory than a large one.
    uint64_t decoded = 0, available = 0;

    bool Spend(uint64_t bytes, const std::string& what) {
        decoded += bytes;
        if (decoded <= 8 * available + (1u << 20)) return true;
        return Refuse(why, what + ": the file's accessors read its bytes over and over (" + std::to_string(decoded) +
                               " bytes decoded from " + std::to_string(available) + ")");
    }

    const Json& Array(const char* key) const {
        static const Json kEmpty = Json::array();
        auto found = root.find(key);
        return found != root.end() && found->is_array() ? *found : kEmpty;
    }

    bool Buffer(uint64_t b, std::string& where) {
        const Json& buffers = Array("buffers");
        if (b >= buffers.size() || !buffers[b].is_object()) return Refuse(why, where + " names buffer " + std::to_string(b) + ", which the file does not have");
        if (state.size() < buffers.size()) state.resize(buffers.size(), 0), bufferData.resize(buffers.size()), bufferSize.resize(buffers.size());
        if (state[b] == 1) return true;
        const Json& buffer = buffers[b];
        std::string name = "buffer " + std::to_string(b);
        uint64_t declared = 0;
        if (!Count(buffer, "byteLength", 0xFFFFFFFFu, declared)) return Refuse(why, name + " has no byte length glTF allows");
        auto uri = buffer.find("uri");
        const uint8_t* bytes = nullptr;
        uint64_t have = 0;
        if (uri == buffer.end()) {
            if (b != 0 || bin == nullptr) return Refuse(why, name + " has no URI and the file no binary chunk");
            bytes = bin, have = binSize;
        } else {
            if (!uri->is_string()) return Refuse(why, name + "'s URI is not text");
            std::string text = uri->get<std::string>();
            auto data = std::make_unique<std::vector<uint8_t>>();
            if (text.compare(0, 5, "data:") == 0) {
                size_t comma = text.find(',');
                if (comma == std::string::npos || text.rfind(";base64", comma) == std::string::npos ||
                    !DecodeBase64(text, comma + 1, *data))
                    return Refuse(why, name + "'s data URI is not base64 data");
            } else if (!load || !load(text, *data)) {
                return Refuse(why, name + "'s file " + text + " cannot be read");
            }
            bytes = data->data(), have = data->size();
            loaded.push_back(std::move(data));
        }
        if (declared > have)
            return Refuse(why, name + " says it holds " + std::to_string(declared) + " bytes, but has " + std::to_string(have));
        bufferData[b] = bytes;
        bufferSize[b] = declared;
        available += declared;
        state[b] = 1;
        return true;
    }

    // Accessor a, its view and its buffer, checked: every element lies
    // inside the view, and the view inside the buffer.
    bool Locate(uint64_t a, Located& out) {
        const Json& accessors = Array("accessors");
        std::string name = "accessor " + std::to_string(a);
        if (a >= accessors.size() || !accessors[a].is_object()) return Refuse(why, name + " is not in the file");
        const Json& accessor = accessors[a];
        if (accessor.contains("sparse")) return Refuse(why, name + " is sparse; sparse accessors are not read");
        uint64_t type = 0, count = 0, viewIndex = 0, offset = 0;
        if (!Count(accessor, "componentType", 0xFFFF, type) || !Count(accessor, "count", 0xFFFFFFFFu, count))
            return Refuse(why, name + " has no component type or count glTF allows");
        const std::string kind = Text(accessor, "type");
        int components = kind == "SCALAR" ? 1 : kind == "VEC2" ? 2 : kind == "VEC3" ? 3 : kind == "VEC4" ? 4 : 0;
        int size = type == kByte || type == kUnsignedByte ? 1 : type == kShort || type == kUnsignedShort ? 2
                 : type == kUnsignedInt || type == kFloat ? 4 : 0;
        if (components == 0 || size == 0) return Refuse(why, name + " is of a type or component type glTF does not have");
        if (!Count(accessor, "bufferView", 0xFFFFFFFFu, viewIndex)) return Refuse(why, name + " has no buffer view");
        if (accessor.contains("byteOffset") && !Count(accessor, "byteOffset", 0xFFFFFFFFu, offset))
            return Refuse(why, name + "'s byte offset is not one glTF allows");

        const Json& views = Array("bufferViews");
        std::string viewName = "buffer view " + std::to_string(viewIndex);
        if (viewIndex >= views.size() || !views[viewIndex].is_object()) return Refuse(why, name + " names " + viewName + ", which the file does not have");
        const Json& view = views[viewIndex];
        uint64_t buffer = 0, viewOffset = 0, viewLength = 0, stride = 0;
        if (!Count(view, "buffer", 0xFFFFFFFFu, buffer) || !Count(view, "byteLength", 0xFFFFFFFFu, viewLength) ||
            (view.contains("byteOffset") && !Count(view, "byteOffset", 0xFFFFFFFFu, viewOffset)) ||
            (view.contains("byteStride") && !Count(view, "byteStride", 252, stride)))
            return Refuse(why, viewName + " has a buffer, offset, length or stride glTF does not allow");
        if (!Buffer(buffer, viewName)) return false;
        if (viewOffset > bufferSize[buffer] || viewLength > bufferSize[buffer] - viewOffset)
            return Refuse(why, viewName + " (bytes " + std::to_string(viewOffset) + " to " + std::to_string(viewOffset + viewLength) +
                                 ") lies outside buffer " + std::to_string(buffer) + " of " + std::to_string(bufferSize[buffer]) + " bytes");
        uint64_t element = uint64_t(components) * uint64_t(size);
        if (stride == 0) stride = element;
        if (stride < element) return Refuse(why, viewName + "'s stride is shorter than the elements of " + name);
        // All in 64 bits: count < 2^32, stride <= 252.
        if (count > 0 && (offset > viewLength || (count - 1) * stride + element > viewLength - offset))
            return Refuse(why, name + " (" + std::to_string(count) + " elements of " + std::to_string(element) + " bytes, " +
                                 std::to_string(stride) + " apart, from byte " + std::to_string(offset) + ") runs past the end of " + viewName +
                                 " (" + std::to_string(viewLength) + " bytes)");
        out.at = bufferData[buffer] + viewOffset + offset;
        out.count = count;
        out.stride = stride;
        out.componentType = int(type);
        out.components = components;
        auto normalized = accessor.find("normalized");
        out.normalized = normalized != accessor.end() && normalized->is_boolean() && normalized->get<bool>();
        return true;
    }

    // Float vectors of width components; normalised unsigned bytes and
    // shorts too when allowNormalised (as texture coordinates may be).
    bool Floats(uint64_t a, int width, bool allowNormalised, const std::string& what, std::vector<float>& out) {
        Located l;
        if (!Locate(a, l)) return false;
        bool normalised = allowNormalised && l.normalized && (l.componentType == kUnsignedByte || l.componentType == kUnsignedShort);
        if (l.components != width || (l.componentType != kFloat && !normalised))
            return Refuse(why, what + " (accessor " + std::to_string(a) + ") is not of " + std::to_string(width) + " floats per vertex");
        if (!Spend(l.count * width * 4, what)) return false;
        out.resize(size_t(l.count) * width);
        for (uint64_t i = 0; i < l.count; ++i)
            for (int c = 0; c < width; ++c) {
                const uint8_t* p = l.at + i * l.stride;
                float& v = out[size_t(i) * width + c];
                if (l.componentType == kFloat) {
                    std::memcpy(&v, p + 4 * c, 4);
                } else if (l.componentType == kUnsignedShort) {
                    v = float((p[2 * c] | p[2 * c + 1] << 8) / 65535.0);
                } else {
                    v = float(p[c] / 255.0);
                }
            }
        return true;
    }

    bool Indices(uint64_t a, uint32_t vertexCount, const std::string& what, std::vector<uint32_t>& out) {
        Located l;
        if (!Locate(a, l)) return false;
        if (l.components != 1 || (l.componentType != kUnsignedByte && l.componentType != kUnsignedShort && l.componentType != kUnsignedInt))
            return Refuse(why, what + "'s indices (accessor " + std::to_string(a) + ") are not unsigned integers");
        if (l.count % 3 != 0) return Refuse(why, what + " has " + std::to_string(l.count) + " indices, not whole triangles");
        if (!Spend(l.count * 4, what)) return false;
        out.resize(size_t(l.count));
        for (uint64_t i = 0; i < l.count; ++i) {
            const uint8_t* p = l.at + i * l.stride;
            uint32_t v = l.componentType == kUnsignedInt ? Le32(p) : l.componentType == kUnsignedShort ? uint32_t(p[0] | p[1] << 8) : p[0];
            if (v >= vertexCount)
                return Refuse(why, what + "'s index " + std::to_string(i) + " names vertex " + std::to_string(v) + " of its " +
                                     std::to_string(vertexCount));
            out[size_t(i)] = v;
        }
        return true;
    }
};

// A node's transform, column-major as glTF writes matrices.
struct Matrix {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool identity = true;
};

Matrix Times(const Matrix& a, const Matrix& b) {
    if (a.identity) return b;
    if (b.identity) return a;
    Matrix r;
    r.identity = false;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + row] * b.m[4 * col + k];
            r.m[4 * col + row] = sum;
        }
    return r;
}

bool LocalTransform(const Json& node, Matrix& out) {
    double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, t[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1},
           s[3] = {1, 1, 1};
    if (!Numbers(node, "matrix", 16, matrix) || !Numbers(node, "translation", 3, t) || !Numbers(node, "rotation", 4, q) ||
        !Numbers(node, "scale", 3, s))
        return false;
    double x = q[0], y = q[1], z = q[2], w = q[3];
    double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                   2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                   2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    Matrix trs;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) trs.m[4 * col + row] = r[3 * row + col] * s[col];
        trs.m[12 + row] = t[row];
    }
    Matrix given;
    std::memcpy(given.m, matrix, sizeof matrix);
    given.identity = trs.identity = false;
    out = Times(given, trs);
    const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    out.identity = std::memcmp(out.m, kIdentity, sizeof kIdentity) == 0;
    return true;
}

// Every node's parent (-1 for none) and world transform; a node that is the
// child of two, or a loop, is refused.
bool NodeTransforms(const Json& nodes, std::vector<int64_t>& parent, std::vector<Matrix>& world, std::string& why) {
    size_t n = nodes.size();
    parent.assign(n, -1);
    std::vector<Matrix> local(n);
    for (size_t i = 0; i < n; ++i) {
        const Json& node = nodes[i];
        if (!node.is_object() || !LocalTransform(node, local[i]))
            return Refuse(why, "node " + std::to_string(i) + " has a transform glTF does not allow");
        auto children = node.find("children");
        if (children == node.end()) continue;
        if (!children->is_array()) return Refuse(why, "node " + std::to_string(i) + "'s children are not a list");
        for (const Json& c : *children) {
            if (!c.is_number_unsigned() || c.get<uint64_t>() >= n)
                return Refuse(why, "node " + std::to_string(i) + " has a child that is not a node of the file");
            size_t child = size_t(c.get<uint64_t>());
            if (parent[child] != -1 || child == i)
                return Refuse(why, "node " + std::to_string(child) + " is the child of two nodes");
            parent[child] = int64_t(i);
        }
    }
    world.assign(n, Matrix());
    for (size_t i = 0; i < n; ++i) {
        Matrix m = local[i];
        size_t steps = 0;
        for (int64_t at = parent[i]; at >= 0; at = parent[size_t(at)]) {
            if (++steps > n) return Refuse(why, "the nodes' children form a loop");
            m = Times(local[size_t(at)], m);
        }
        world[i] = m;
    }
    return true;
}

// The primitives of mesh m, shown by node (placed by world).
bool ReadMesh(Reader& r, uint64_t m, const Matrix& world, GltfScene& out) {
    const Json& meshes = r.Array("meshes");
    const Json& mesh = meshes[m];
    std::string meshName = Name(mesh);
    std::string label = "mesh " + std::to_string(m) + " (" + meshName + ")";
    auto primitives = mesh.find("primitives");
    if (primitives == mesh.end() || !primitives->is_array()) return Refuse(r.why, label + " has no primitives");
    const Json& materials = r.Array("materials");
    for (size_t p = 0; p < primitives->size(); ++p) {
        const Json& prim = (*primitives)[p];
        std::string what = label + ", primitive " + std::to_string(p);
        if (!prim.is_object()) return Refuse(r.why, what + " is not an object");
        uint64_t mode = kTriangles;
        if (prim.contains("mode") && !Count(prim, "mode", 0xFFFF, mode)) mode = 0xFFFF;
        if (mode != kTriangles) return Refuse(r.why, what + " is drawn in mode " + std::to_string(mode) + "; only triangles (mode 4) can be written back");
        auto targets = prim.find("targets");
        if (targets != prim.end() && !(targets->is_array() && targets->empty()))
            return Refuse(r.why, what + " has morph targets (shape keys); apply or remove them before the export");
        auto attributes = prim.find("attributes");
        uint64_t position = 0;
        if (attributes == prim.end() || !attributes->is_object() || !Count(*attributes, "POSITION", 0xFFFFFFFFu, position))
            return Refuse(r.why, what + " has no POSITION");
        GltfPrimitive g;
        g.mesh = uint32_t(m);
        g.primitive = uint32_t(p);
        g.meshName = meshName;
        if (prim.contains("material")) {
            uint64_t material = 0;
            if (!Count(prim, "material", 0xFFFFFFFFu, material) || material >= materials.size() || !materials[material].is_object())
                return Refuse(r.why, what + " names a material the file does not have");
            g.hasMaterial = true;
            g.materialName = Name(materials[material]);
        }
        if (!r.Floats(position, 3, false, what + "'s POSITION", g.positions)) return false;
        for (float v : g.positions)
            if (!std::isfinite(v)) return Refuse(r.why, what + "'s POSITION holds a number that is not finite");
        const char* sets[2] = {"TEXCOORD_0", "TEXCOORD_1"};
        std::vector<float>* coords[2] = {&g.texcoord0, &g.texcoord1};
        for (int s = 0; s < 2; ++s) {
            if (!attributes->contains(sets[s])) continue;
            uint64_t a = 0;
            if (!Count(*attributes, sets[s], 0xFFFFFFFFu, a)) return Refuse(r.why, what + "'s " + sets[s] + " is not an accessor");
            if (!r.Floats(a, 2, s == 0, what + "'s " + sets[s], *coords[s])) return false;
            if (coords[s]->size() / 2 != g.VertexCount())
                return Refuse(r.why, what + "'s " + sets[s] + " has " + std::to_string(coords[s]->size() / 2) + " entries for " +
                                       std::to_string(g.VertexCount()) + " vertices");
        }
        if (prim.contains("indices")) {
            uint64_t a = 0;
            if (!Count(prim, "indices", 0xFFFFFFFFu, a)) return Refuse(r.why, what + "'s indices are not an accessor");
            if (!r.Indices(a, g.VertexCount(), what, g.indices)) return false;
        } else {
            if (g.VertexCount() % 3 != 0) return Refuse(r.why, what + " has no indices and its vertices are not whole triangles");
            if (!r.Spend(4 * uint64_t(g.VertexCount()), what)) return false;
            for (uint32_t i = 0; i < g.VertexCount(); ++i) g.indices.push_back(i);
        }
        if (!world.identity)
            for (size_t i = 0; i + 2 < g.positions.size(); i += 3) {
                double v[3] = {g.positions[i], g.positions[i + 1], g.positions[i + 2]};
                for (int row = 0; row < 3; ++row)
                    g.positions[i + row] = float(world.m[row] * v[0] + world.m[4 + row] * v[1] + world.m[8 + row] * v[2] + world.m[12 + row]);
            }
        out.primitives.push_back(std::move(g));
    }
    return true;
}

bool ReadScene(Reader& r, GltfScene& out) {
    const Json& root = r.root;
    if (!root.is_object()) return Refuse(r.why, "the file's JSON is not a glTF object");
    auto asset = root.find("asset");
    if (asset == root.end() || !asset->is_object() || Text(*asset, "version").compare(0, 2, "2.") != 0)
        return Refuse(r.why, "the file is not glTF 2.0 (its asset names no version 2)");
    const Json& nodes = r.Array("nodes");
    const Json& meshes = r.Array("meshes");
    std::vector<int64_t> parent;
    std::vector<Matrix> world;
    if (!NodeTransforms(nodes, parent, world, r.why)) return false;

    std::vector<int64_t> shownBy(meshes.size(), -1);
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i].contains("mesh")) continue;
        uint64_t m = 0;
        if (!Count(nodes[i], "mesh", 0xFFFFFFFFu, m) || m >= meshes.size() || !meshes[m].is_object())
            return Refuse(r.why, "node " + std::to_string(i) + " names a mesh the file does not have");
        if (shownBy[m] >= 0)
            return Refuse(r.why, "mesh " + std::to_string(m) + " (" + Name(meshes[m]) + ") is used by two nodes (" +
                                   std::to_string(shownBy[m]) + " and " + std::to_string(i) + ")");
        shownBy[m] = int64_t(i);
        // A skinned mesh's vertices stand where its joints put them; at
        // rest that is where they are, whatever the node's own transform.
        if (!ReadMesh(r, m, nodes[i].contains("skin") ? Matrix() : world[i], out)) return false;
    }

    const Json& scenes = r.Array("scenes");
    uint64_t s = 0;
    if (root.contains("scene") && (!Count(root, "scene", 0xFFFFFFFFu, s) || s >= scenes.size()))
        return Refuse(r.why, "the file's default scene is not one of its scenes");
    if (s < scenes.size() && scenes[s].is_object() && scenes[s].contains("nodes")) {
        const Json& roots = scenes[s]["nodes"];
        if (!roots.is_array()) return Refuse(r.why, "scene " + std::to_string(s) + "'s nodes are not a list");
        for (const Json& n : roots) {
            if (!n.is_number_unsigned() || n.get<uint64_t>() >= nodes.size())
                return Refuse(r.why, "scene " + std::to_string(s) + " names a node the file does not have");
            out.rootNames.push_back(Name(nodes[n.get<size_t>()]));
        }
    } else if (scenes.empty()) {
        for (size_t i = 0; i < nodes.size(); ++i)
            if (parent[i] < 0) out.rootNames.push_back(Name(nodes[i]));
    }
    return true;
}

}  // namespace

bool ReadGltf(const uint8_t* data, size_t size, const GltfBufferLoader& load, GltfScene& out, std::string& why) {
    out = GltfScene();
    why.clear();
    // The JSON library throws on values of an unexpected type; nothing of
    // that leaves this reader.
    try {
        std::string text;
        const uint8_t* bin = nullptr;
        size_t binSize = 0;
        if (!SplitContainer(data, size, text, bin, binSize, why)) return false;
        Json root = Json::parse(text, nullptr, false);
        if (root.is_discarded()) return Refuse(why, "the file is neither binary glTF nor glTF JSON");
        Reader r{root, load, bin, binSize, why, {}, {}, {}, {}};
        if (ReadScene(r, out)) return true;
    } catch (const std::exception& e) {
        why = std::string("the file cannot be read: ") + e.what();
    }
    out = GltfScene();
    return false;
}

namespace {

bool Percent(const std::string& in, std::string& out) {
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
        if (i + 2 >= in.size() || hex(in[i + 1]) < 0 || hex(in[i + 2]) < 0) return false;
        out += char(hex(in[i + 1]) * 16 + hex(in[i + 2]));
        i += 2;
    }
    return true;
}

}  // namespace

GltfBufferLoader FilesBeside(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return [folder](const std::string& uri, std::vector<uint8_t>& bytes) {
        std::string name;
        if (uri.empty() || uri.find(':') != std::string::npos || uri[0] == '/' || uri[0] == '\\' || !Percent(uri, name) ||
            name.find('\0') != std::string::npos)
            return false;
        // Only below the file's own folder.
        for (size_t at = 0; at <= name.size();) {
            size_t end = name.find_first_of("/\\", at);
            if (end == std::string::npos) end = name.size();
            if (name.compare(at, end - at, "..") == 0 && end - at == 2) return false;
            at = end + 1;
        }
        FileHandle file;
        if (!file.Open((folder + name).c_str())) return false;
        uint32_t size = file.Size();
        std::unique_ptr<uint8_t[]> all = size > 0 ? file.ReadAll(size) : nullptr;
        if (size > 0 && !all) return false;
        bytes.assign(all.get(), all.get() + size);
        return true;
    };
}
