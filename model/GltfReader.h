// Reading the triangle meshes of a glTF 2.0 file (.glb, or .gltf with its
// buffers in data URIs or files beside it) back, as a modelling tool wrote
// them from one of our exports: per primitive its positions placed by its
// node, its texture coordinates and its triangles. The file comes from the
// user's other tools, so every accessor, buffer view and index is checked
// against the buffer it reads before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct GltfPrimitive {
    uint32_t mesh = 0, primitive = 0;  // where it is in the file
    std::string meshName;
    bool hasMaterial = false;
    std::string materialName;
    // Per vertex: the position times its node's world transform (a skinned
    // node's own transform is not applied: its vertices stand in the bind
    // pose); glTF's frame, Y up.
    std::vector<float> positions;
    std::vector<float> texcoord0, texcoord1;  // two per vertex; empty when the primitive has none
    std::vector<uint32_t> indices;            // whole triangles, every one a vertex of the primitive

    uint32_t VertexCount() const { return uint32_t(positions.size() / 3); }
};

struct GltfScene {
    // The names of the default scene's root nodes (without scenes, of the
    // nodes without a parent), in order.
    std::vector<std::string> rootNames;
    // Every primitive of every mesh a node shows, in node order.
    std::vector<GltfPrimitive> primitives;
};

// Gives the bytes of a buffer named by a URI that is not a data URI (a file
// beside a .gltf); false when there is none.
using GltfBufferLoader = std::function<bool(const std::string& uri, std::vector<uint8_t>& bytes)>;

// Reads the file in data[0, size): binary glTF when it starts with its
// magic, else glTF JSON. False, with why (naming the mesh, accessor or
// buffer and the numbers), when it is neither, when anything read lies
// outside its buffer or holds a value glTF does not allow, and when it has
// what a write-back cannot follow: morph targets, a primitive other than
// triangles, a mesh shown by two nodes, sparse accessors. Never throws.
bool ReadGltf(const uint8_t* data, size_t size, const GltfBufferLoader& load, GltfScene& out, std::string& why);

// A loader for the buffers of the .gltf file at path: relative URIs
// (percent-escapes decoded) in its folder; absolute ones, and any with a
// scheme, are refused.
GltfBufferLoader FilesBeside(const std::string& path);
