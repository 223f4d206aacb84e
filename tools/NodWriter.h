// Builds Redemption model files (NOD) in memory, for the sample data, the
// tests and the fuzz seeds. Counts come from the lists; bytes the reader
// skips are filled with a non-zero pattern so that reading them shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct NodBone {
    // Four rows of three: rotation rows 1 to 3, then the translation.
    std::array<float, 12> matrix;
    uint16_t parent;  // 0xFFFF: no parent
};

struct NodVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

struct NodGroup {
    uint32_t texture;  // into the texture names
    uint16_t triangles;
    uint16_t vertices;
    uint8_t name;  // into the name table
};

struct NodModel {
    uint32_t version = 7;
    std::vector<std::string> textures;  // at most 32 characters each
    std::array<float, 3> boxMin = {0, 0, 0};
    std::array<float, 3> boxMax = {1, 1, 1};
    std::vector<NodBone> bones;
    std::vector<std::string> names;  // at most 32 characters each
    std::vector<NodVertex> vertices;
    bool vertexExtra = false;  // the 2-byte-per-vertex section after the vertices
    std::vector<std::array<uint16_t, 3>> triangles;
    std::vector<NodGroup> groups;
};

// Where the sections of a built file start.
struct NodOffsets {
    size_t header, bones, names, vertices, triangles, groups;
};

std::string BuildNod(const NodModel& model, NodOffsets* offsets = nullptr);
