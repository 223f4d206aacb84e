// The Redemption model file (NOD) as the readers of this folder see it: the
// layout, bounds-checked reading of its sections, and the bone matrices.
// Shared by the viewer's reader and the glTF export.
#pragma once

#include "model/ByteView.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

// Model file (NOD), little-endian, read front to back: every section starts
// where the previous one ends.
//   u32 version (7), u32 texture count T
//   T x 32  texture names, NUL-padded, without extension
//   42      model header: +0x00 u16 bones B, +0x02 u16 names N,
//           +0x04 u32 vertices V, +0x08 u32 triangles F, +0x0C u16 groups G,
//           +0x0E u8 flags (bit 0: the vertex-extra section is present),
//           +0x12 3 x f32 box minimum, +0x1E 3 x f32 box maximum
//   B x 66  bones: +0x0C 12 x f32 matrix (three rotation rows, then the
//           translation row), +0x40 u16 parent (0xFFFF: none)
//   N x 32  group names, NUL-padded (a 32-character name has no NUL)
//   V x 40  vertices: +0x00 position, +0x0C normal, +0x18 u, +0x1C v
//   V x 2   vertex extra, only when flagged; not used
//   F x 6   triangles: u16 i0, i1, i2 from their group's vertex base
//   G x 28  groups: +0x00 u32 texture, +0x10 u16 triangles,
//           +0x12 u16 vertices, +0x19 u8 name index
// Groups own consecutive runs: group g's triangles follow group g-1's, and
// its vertex base is the sum of the vertex counts before it. The file comes
// from packs and loose folders we do not control, so every count and index
// is checked before anything on display changes.

namespace nodformat {

const uint32_t kVersion = 7;
const uint32_t kNameField = 32;
const uint32_t kModelHeader = 42;
const uint32_t kBoneRecord = 66;
const uint32_t kVertexRecord = 40;
const uint32_t kVertexExtra = 2;
const uint32_t kTriangleRecord = 6;
const uint32_t kGroupRecord = 28;
const uint16_t kNoParent = 0xFFFF;

using Bytes = ByteView;

// A NUL-padded name field: up to its first NUL, all 32 characters when it
// has none.
inline std::string NameField(const Bytes& f, uint64_t pos) {
    const char* p = reinterpret_cast<const char*>(f.data + pos);
    const void* nul = std::memchr(p, 0, kNameField);
    return std::string(p, nul == nullptr ? kNameField : size_t(static_cast<const char*>(nul) - p));
}

// Where the sections lie, with the header's counts; filled by ReadLayout.
struct NodLayout {
    uint32_t textureCount = 0;
    uint32_t boneCount = 0, nameCount = 0, vertexCount = 0, triangleCount = 0, groupCount = 0;
    float size = 0.0f;  // the largest extent of the bounding box
    uint64_t textures = 0, bones = 0, names = 0, vertices = 0, triangles = 0, groups = 0;
};

// The next section of n bytes: starts at pos, which moves past it.
inline bool Section(const Bytes& f, uint64_t& pos, uint64_t n, uint64_t& start) {
    if (!f.Has(pos, n)) return false;
    start = pos;
    pos += n;
    return true;
}

inline bool ReadLayout(const Bytes& f, NodLayout& m, std::string& why) {
    if (!f.Has(0, 8)) return Fail(why, "the model file is too short");
    if (f.U32(0) != kVersion) return Fail(why, "not a Redemption model (version is not 7)");
    m.textureCount = f.U32(4);
    uint64_t pos = 8, header = 0;
    if (!Section(f, pos, uint64_t(m.textureCount) * kNameField, m.textures))
        return Fail(why, "the texture names lie outside the file");
    if (!Section(f, pos, kModelHeader, header)) return Fail(why, "the model header lies outside the file");
    m.boneCount = f.U16(header);
    m.nameCount = f.U16(header + 0x02);
    m.vertexCount = f.U32(header + 0x04);
    m.triangleCount = f.U32(header + 0x08);
    m.groupCount = f.U16(header + 0x0C);
    bool vertexExtra = (f.data[header + 0x0E] & 1) != 0;
    float extent[3];
    for (int i = 0; i < 3; ++i) extent[i] = f.F32(header + 0x1E + 4 * i) - f.F32(header + 0x12 + 4 * i);
    m.size = extent[0];
    if (extent[1] > m.size) m.size = extent[1];
    if (extent[2] > m.size) m.size = extent[2];

    uint64_t extra = 0;
    if (!Section(f, pos, uint64_t(m.boneCount) * kBoneRecord, m.bones))
        return Fail(why, "the bones lie outside the file");
    if (!Section(f, pos, uint64_t(m.nameCount) * kNameField, m.names))
        return Fail(why, "the name table lies outside the file");
    if (!Section(f, pos, uint64_t(m.vertexCount) * kVertexRecord, m.vertices))
        return Fail(why, "the vertices lie outside the file");
    if (vertexExtra && !Section(f, pos, uint64_t(m.vertexCount) * kVertexExtra, extra))
        return Fail(why, "the vertex extra section lies outside the file");
    if (!Section(f, pos, uint64_t(m.triangleCount) * kTriangleRecord, m.triangles))
        return Fail(why, "the triangles lie outside the file");
    if (!Section(f, pos, uint64_t(m.groupCount) * kGroupRecord, m.groups))
        return Fail(why, "the mesh groups lie outside the file");
    return true;
}

// Every group's texture and name index, its runs of triangles and vertices,
// and every vertex its triangles use.
inline bool CheckGroups(const Bytes& f, const NodLayout& m, std::string& why) {
    uint64_t triangle = 0, base = 0;
    for (uint32_t g = 0; g < m.groupCount; ++g) {
        uint64_t entry = m.groups + uint64_t(g) * kGroupRecord;
        if (f.U32(entry) >= m.textureCount) return Fail(why, "a group's texture is not in the texture names");
        if (f.data[entry + 0x19] >= m.nameCount) return Fail(why, "a group's name is not in the name table");
        uint32_t triangles = f.U16(entry + 0x10), vertices = f.U16(entry + 0x12);
        if (triangle + triangles > m.triangleCount) return Fail(why, "the groups hold more triangles than the file");
        if (base + vertices > m.vertexCount) return Fail(why, "the groups hold more vertices than the file");
        for (uint64_t t = triangle; t < triangle + triangles; ++t)
            for (uint64_t k = 0; k < 3; ++k)
                if (base + f.U16(m.triangles + t * kTriangleRecord + 2 * k) >= m.vertexCount)
                    return Fail(why, "a triangle uses a vertex outside the vertices");
        triangle += triangles;
        base += vertices;
    }
    return true;
}

// The inverse of a 4 x 4 matrix (rows of four) by cofactors, from the 2 x 2
// minors of its upper and lower halves. False when there is none: the
// determinant is 0, or something is not finite.
inline bool Invert4x4(const double a[16], double inv[16]) {
    auto at = [a](int r, int c) { return a[4 * r + c]; };
    double s0 = at(0, 0) * at(1, 1) - at(1, 0) * at(0, 1), s1 = at(0, 0) * at(1, 2) - at(1, 0) * at(0, 2);
    double s2 = at(0, 0) * at(1, 3) - at(1, 0) * at(0, 3), s3 = at(0, 1) * at(1, 2) - at(1, 1) * at(0, 2);
    double s4 = at(0, 1) * at(1, 3) - at(1, 1) * at(0, 3), s5 = at(0, 2) * at(1, 3) - at(1, 2) * at(0, 3);
    double c5 = at(2, 2) * at(3, 3) - at(3, 2) * at(2, 3), c4 = at(2, 1) * at(3, 3) - at(3, 1) * at(2, 3);
    double c3 = at(2, 1) * at(3, 2) - at(3, 1) * at(2, 2), c2 = at(2, 0) * at(3, 3) - at(3, 0) * at(2, 3);
    double c1 = at(2, 0) * at(3, 2) - at(3, 0) * at(2, 2), c0 = at(2, 0) * at(3, 1) - at(3, 0) * at(2, 1);
    double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (det == 0.0 || !std::isfinite(det)) return false;
    double adj[16] = {
        at(1, 1) * c5 - at(1, 2) * c4 + at(1, 3) * c3,  -at(0, 1) * c5 + at(0, 2) * c4 - at(0, 3) * c3,
        at(3, 1) * s5 - at(3, 2) * s4 + at(3, 3) * s3,  -at(2, 1) * s5 + at(2, 2) * s4 - at(2, 3) * s3,
        -at(1, 0) * c5 + at(1, 2) * c2 - at(1, 3) * c1, at(0, 0) * c5 - at(0, 2) * c2 + at(0, 3) * c1,
        -at(3, 0) * s5 + at(3, 2) * s2 - at(3, 3) * s1, at(2, 0) * s5 - at(2, 2) * s2 + at(2, 3) * s1,
        at(1, 0) * c4 - at(1, 1) * c2 + at(1, 3) * c0,  -at(0, 0) * c4 + at(0, 1) * c2 - at(0, 3) * c0,
        at(3, 0) * s4 - at(3, 1) * s2 + at(3, 3) * s0,  -at(2, 0) * s4 + at(2, 1) * s2 - at(2, 3) * s0,
        -at(1, 0) * c3 + at(1, 1) * c1 - at(1, 2) * c0, at(0, 0) * c3 - at(0, 1) * c1 + at(0, 2) * c0,
        -at(3, 0) * s3 + at(3, 1) * s1 - at(3, 2) * s0, at(2, 0) * s3 - at(2, 1) * s1 + at(2, 2) * s0,
    };
    for (int i = 0; i < 16; ++i) {
        inv[i] = adj[i] / det;
        if (!std::isfinite(inv[i])) return false;
    }
    return true;
}

// Bone b's matrix as stored, completed to 4 x 4 (rows of four): three
// rotation rows and the translation row, points taken as row vectors. It
// carries a model point into the bone's frame; its inverse places the bone.
inline void BoneMatrix(const Bytes& f, const NodLayout& m, uint32_t b, double a[16]) {
    uint64_t matrix = m.bones + uint64_t(b) * kBoneRecord + 0x0C;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) a[4 * r + c] = f.F32(matrix + 4 * (3 * r + c));
        a[4 * r + 3] = r == 3 ? 1.0 : 0.0;
    }
}

inline uint16_t BoneParent(const Bytes& f, const NodLayout& m, uint32_t b) {
    return f.U16(m.bones + uint64_t(b) * kBoneRecord + 0x40);
}

}  // namespace nodformat
