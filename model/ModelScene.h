// A model of either game as a scene for exporters: indexed meshes in a
// right-handed, Y-up frame with counter-clockwise front faces, materials
// with their pictures, and the bones as a hierarchy of placed nodes. The
// readers of the games fill it; the glTF writer writes it.
#pragma once

#include "texture/Image32.h"

#include <cstdint>
#include <string>
#include <vector>

enum class AlphaMode : uint8_t { Opaque, Mask, Blend };

struct SceneMaterial {
    std::string name;
    // Where the picture came from (a material file), so that models sharing
    // it can share its encoding; empty when unknown.
    std::string source;
    Image32 picture = Image32{};  // no pixels and no png: the material has no texture
    std::vector<uint8_t> png;     // the picture already encoded, when it is
    AlphaMode alpha = AlphaMode::Opaque;
    bool doubleSided = false;
};

struct SceneMesh {
    std::string name;
    uint32_t material = 0;
    // Per vertex: x, y, z; nx, ny, nz (unit length); u, v (v down from the
    // picture's top row).
    std::vector<float> positions, normals, texcoords;
    std::vector<uint32_t> indices;  // triangles, counter-clockwise seen from the front
    // Per vertex: its number in the model file; with the mesh's own number
    // there, what the file carries (TEXCOORD_1) so that an edited copy finds
    // its way back to the model's vertices.
    std::vector<uint32_t> modelVertices;
    uint32_t modelMesh = 0;

    uint32_t VertexCount() const { return uint32_t(positions.size() / 3); }
};

// A bone's place relative to its parent (or to the scene for a root) as
// translation, rotation (unit quaternion x, y, z, w) and scale.
struct SceneBone {
    std::string name;
    int32_t parent = -1;  // an earlier or later bone; never a loop
    float translation[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1};
    float scale[3] = {1, 1, 1};
};

struct ModelScene {
    std::string name;
    std::string fileName;  // the model file's name: the root node's
    std::vector<SceneMaterial> materials;
    std::vector<SceneMesh> meshes;
    std::vector<SceneBone> bones;
    // Materials whose picture could not be loaded, by name.
    std::vector<std::string> missingTextures;

    ModelScene() = default;
    ModelScene(const ModelScene&) = delete;
    ModelScene& operator=(const ModelScene&) = delete;
    ~ModelScene() {
        for (SceneMaterial& m : materials) m.picture.Release();
    }
};

// Collects the triangles of one mesh from a model's shared vertex array:
// each source vertex used becomes one vertex of the mesh, in order of first
// use, so a mesh carries only what it draws.
class MeshCollector {
public:
    // vertexCount: the size of the model's vertex array.
    explicit MeshCollector(uint32_t vertexCount) : slot(vertexCount, kUnused) {}

    // Starts the next mesh; the vertices of the last one are forgotten.
    void Begin(SceneMesh& mesh) {
        for (uint32_t v : used) slot[v] = kUnused;
        used.clear();
        target = &mesh;
    }
    // Whether source vertex v is in the current mesh yet; Add must follow
    // when it is not.
    bool Has(uint32_t v) const { return slot[v] != kUnused; }
    // Adds source vertex v with its attributes in the scene's frame.
    void Add(uint32_t v, const float position[3], const float normal[3], const float uv[2]);
    // Appends source vertex v (already added) to the index list.
    void Index(uint32_t v) { target->indices.push_back(slot[v]); }

private:
    static constexpr uint32_t kUnused = 0xFFFFFFFFu;
    std::vector<uint32_t> slot;  // source vertex -> mesh vertex
    std::vector<uint32_t> used;
    SceneMesh* target = nullptr;
};

// Gives every vertex whose normal is zero (the file's had no direction) the
// normalised sum of its faces' normals, or +Y when even that has none.
void RepairNormals(SceneMesh& mesh);
