// Builds Bloodlines model pairs (.mdl and .dx80.vtx) in memory, laid out as
// the game's own files are: for the sample data, the tests and fuzz seeds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
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

// The bone slots of a float vertex: the weights of slots 0-2 out of 255
// (slot 3 has the rest) and the bone of each slot.
struct MdlVertexBones {
    std::array<uint8_t, 3> weight;
    std::array<int16_t, 4> bone;
};

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
    // Float vertices: the bone slots of vertex i (none: bytes 0-11 zero,
    // that is all on slot 3 with bone 0).
    std::vector<MdlVertexBones> vertexBones;
};

struct MdlWriterBone {
    MdlWriterBone(std::string name_, int32_t parent_, std::array<float, 3> position_,
                  std::array<float, 4> rotation_ = {0, 0, 0, 1})
        : name(std::move(name_)), parent(parent_), position(position_), rotation(rotation_) {}

    std::string name;
    int32_t parent = -1;
    std::array<float, 3> position = {0, 0, 0};
    std::array<float, 4> rotation = {0, 0, 0, 1};  // x, y, z, w
    std::array<float, 3> positionScale = {1, 1, 1};
    std::array<float, 4> rotationScale = {1, 1, 1, 1};
    // 3 x 4 row-major; empty: the inverse of the rest pose's model-space
    // place (parent x local), as the game's files have it.
    std::vector<float> poseToBone;
    uint32_t flags = 0;
};

// One run of a channel: values stored, frames covered.
struct MdlRun {
    uint8_t covered;
    std::vector<int16_t> values;
};

struct MdlWriterAnimation {
    std::string name;
    float fps = 30;
    uint32_t frames = 1;
    // Per bone, the runs of its seven channels (position x, y, z, rotation
    // x, y, z, w); a channel without runs is absent. Missing bones have no
    // channels.
    std::vector<std::array<std::vector<MdlRun>, 7>> channels;
};

struct MdlWriterAttachment {
    std::string name;
    uint32_t bone;
    std::array<float, 12> matrix;
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
    std::vector<MdlWriterBone> bones;
    std::vector<MdlWriterAnimation> animations;
    std::vector<MdlWriterAttachment> attachments;
    std::vector<std::string> includes;  // other model files, by path

    std::string Mdl() const;
    std::string Vtx() const;
};
