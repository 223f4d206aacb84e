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
// Packed formats store a normal as a code of their table: nx holds it
// (12 x the index for the 12-byte format, the index for the 8-byte one).
using MdlVertex = std::array<float, 8>;

// The geometry of one model record of a body part.
struct MdlGeometry {
    // Without vertices, vertexCount records are made: vertex i has position
    // (i, 100 + i, 200 + i), normal (1, 2, 3) and uv (0.5, i).
    uint32_t vertexCount = 6;
    std::vector<MdlVertex> vertices;
    std::vector<MdlMesh> meshes = {
        {0, {{0x10, {0, 1, 2}, {0, 1, 2}}, {0, {}, {0, 0, 0}}, {0x02, {2, 1, 0}, {0, 1, 2}}}},
        {2, {{0x10, {0, 1, 3}, {2, 1, 0}}}},
    };
    // 0: 44-byte float vertices; 1: packed in 12 bytes, 2: packed in 8,
    // positions quantised to the nearest step of origin and scale (scale
    // is one step in format 1, the whole size in format 2).
    uint32_t format = 0;
    std::array<float, 3> origin = {0, 0, 0};
    std::array<float, 3> scale = {1, 1, 1};
};

struct MdlPair : MdlGeometry {
    std::vector<std::string> textures = {"skin", "gone"};
    std::vector<std::string> dirs = {"nowhere/", "models/test\\"};
    // Body parts before the one above whose only model holds neither
    // vertices nor meshes, as in the game's cinematic rigs.
    uint32_t emptyPartsBefore = 0;
    // Body parts after it, one model each; their meshes follow the ones
    // above in the model's mesh list.
    std::vector<MdlGeometry> laterParts;

    std::string Mdl() const;
    std::string Vtx() const;
};
