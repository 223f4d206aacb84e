// Builds Bloodlines model pairs (.mdl and .dx80.vtx) in memory, laid out as
// the game's own files are: for the sample data, the tests and fuzz seeds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct MdlStripGroup {
    uint16_t flags;  // 0: not drawn; 0x10: 2-byte vertex-table entries, else 12-byte
    std::vector<uint16_t> table, indices;  // vertex ids, indices into table
};

struct MdlMesh {
    uint32_t base;  // vertex base: added to every vertex id of the mesh
    std::vector<MdlStripGroup> groups;
};

// A vertex record's fields: position x, y, z, normal x, y, z, u, v (Z up).
using MdlVertex = std::array<float, 8>;

struct MdlPair {
    std::vector<std::string> textures = {"skin", "gone"};
    std::vector<std::string> dirs = {"nowhere/", "models/test\\"};
    // Without vertices, vertexCount records are made: vertex i has position
    // (i, 100 + i, 200 + i), normal (1, 2, 3) and uv (0.5, i).
    uint32_t vertexCount = 6;
    std::vector<MdlVertex> vertices;
    std::vector<MdlMesh> meshes = {
        {0, {{0x10, {0, 1, 2}, {0, 1, 2}}, {0, {}, {0, 0, 0}}, {0x02, {2, 1, 0}, {0, 1, 2}}}},
        {2, {{0x10, {0, 1, 3}, {2, 1, 0}}}},
    };

    std::string Mdl() const;
    std::string Vtx() const;
};
