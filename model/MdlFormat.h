// The Bloodlines model pair as the readers of this folder see it: the
// fields read, and bounds-checked access to them. Shared by the viewer's
// reader, the .x export and the vertex modification.
#pragma once

#include "model/ByteView.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Model file (.mdl), the fields read; offsets from the file start unless
// said otherwise:
//   0x000 "IDST"
//   0x124 u32 texture count      0x128 u32 texture table (20-byte entries;
//                                          +0 u32 name offset from the entry)
//   0x12C u32 directory count    0x130 u32 directory table (u32 name offsets)
//   0x140 u32 body part count    0x144 u32 body part table (16-byte entries:
//     +4 u32 model count, +12 u32 first model, from the body part)
//   model record, 224 bytes apart within a body part, offsets from its start:
//     +0x88 mesh count   +0x8C mesh table (60-byte entries, +12 vertex base)
//     +0x90 vertex count +0x94 vertex array start  +0x98 its end
//     +0x9C vertex format: 0 float, 1 packed in 12 bytes, 2 packed in 8
//     +0xA0 3 x f32 origin, +0xAC 3 x f32 scale (packed formats only)
//   vertex, format 0 (44 bytes): +0x0C position, +0x18 normal, +0x24 u, v
//   vertex, format 1 (12 bytes): u16 x, y, z (origin + q * scale), u16
//     normal code (12 x an index of the 5,314-entry table), u16 u, u16 v
//   vertex, format 2 (8 bytes): u8 x, y, z (origin + q / 255 * scale), u8
//     normal index (202-entry table), u16 u, u16 v
//   Positions are Z up; packed u and v are value / 65535.
// Strip file (.dx80.vtx):
//   0x1C u32 body part count   0x20 u32 body part table (8-byte entries)
//   body part: +0 u32 model count, +4 u32 models (8 bytes each), from it
//   model: +0 u32 detail levels, +4 u32 level table, from it; level 0 is drawn
//   level: +0 u32 mesh count, +4 u32 mesh headers (8 bytes each), from it
//   mesh header: +0 u16 strip groups, +4 u32 their table, from the header
//   strip group, 20 bytes: +2 u16 index count, +6 u16 flags (0: not drawn;
//     0x10: 2-byte vertex-table entries, else 12 bytes with the id at +10),
//     +8 u32 vertex table, +12 u32 index list, both from the group
// Every offset, count and index is checked against its file: the files come
// from packs and loose folders we do not control.

namespace mdlformat {

const uint32_t kMdlMagic = 0x54534449;  // "IDST"
const uint32_t kMeshEntry = 60;
const uint32_t kTextureEntry = 20;
const uint32_t kStripGroup = 20;
const uint32_t kBodyPart = 16;
// The models of a body part lie one after another; the two-body-part rigs
// show the stride (the second body part's model follows the first's).
const uint32_t kModelRecord = 0xE0;
const uint32_t kModelFieldsRead = 0xB8;

enum VertexFormat : uint32_t { kFloatVertices = 0, kPacked12 = 1, kPacked8 = 2 };
const uint32_t kPacked12Normals = 5314;
const uint32_t kPacked8Normals = 202;

using Bytes = ByteView;

// The NUL-terminated string at pos, or null when it is not terminated
// inside the file.
inline const char* CString(const Bytes& f, uint64_t pos) {
    if (pos >= f.size) return nullptr;
    const void* end = std::memchr(f.data + pos, 0, f.size - pos);
    return end == nullptr ? nullptr : reinterpret_cast<const char*>(f.data + pos);
}

// One model record of a body part that holds geometry, checked.
struct MdlModel {
    uint32_t bodyPart = 0, index = 0;  // where its strip data is
    uint32_t meshCount = 0;
    uint64_t meshTable = 0;  // file offset
    uint32_t vertexCount = 0;
    uint64_t vertexArray = 0;  // file offset
    uint32_t format = kFloatVertices;
    uint32_t stride = 44;
    float origin[3] = {0, 0, 0};
    float scale[3] = {1, 1, 1};
    // Numbers of its first vertex and first mesh in the whole model: the
    // meshes of every body part form one list, their vertices one array.
    uint32_t firstVertex = 0, firstMesh = 0;
};

// The tables of a model file, checked.
struct MdlLayout {
    uint32_t textureCount = 0;
    uint64_t textureTable = 0;
    uint32_t directoryCount = 0;
    uint64_t directoryTable = 0;
    // The models with vertices or meshes, in body part order, and the
    // totals over them.
    std::vector<MdlModel> models;
    uint32_t meshCount = 0;
    uint32_t vertexCount = 0;
};

// Reads and checks the header and texture and directory tables; the body
// parts and their models only with block. A model whose vertex format is
// unknown, or whose vertex array does not hold its vertices in that
// format's size, is refused with a reason naming it; so is a model file
// with no meshes at all.
bool ReadTables(const Bytes& f, MdlLayout& m, bool block, std::string& why);

inline const char* TextureName(const Bytes& f, const MdlLayout& m, uint32_t t) {
    uint64_t entry = m.textureTable + uint64_t(t) * kTextureEntry;
    return CString(f, entry + f.U32(entry));
}

// A vertex as the file means it: Z up.
struct Vertex {
    float position[3];
    float normal[3];
    float uv[2];
};

// Every vertex of every model, in vertex-number order. Fails, naming the
// vertex and its code, when a packed normal code lies outside its table.
bool DecodeVertices(const Bytes& f, const MdlLayout& m, std::vector<Vertex>& out, std::string& why);

// The model that holds vertex number n (n < m.vertexCount).
const MdlModel& ModelOfVertex(const MdlLayout& m, uint32_t n);

// Stores position p (Z up) as vertex n in the model file image bytes:
// floats as they are; packed formats quantised with the model's origin
// and scale to the nearest step. False, with a reason naming the vertex
// and the model's box, when a packed position lies outside the box: in the
// .x file's axes (Y and Z exchanged) unless ownAxes.
bool StorePosition(uint8_t* bytes, const MdlLayout& m, uint32_t n, const float p[3], std::string& why,
                   bool ownAxes = false);

// The normal of entry index of a packed layout's table (ring by ring from
// -Z to +Z); count is kPacked12Normals or kPacked8Normals.
void TableNormal(uint32_t count, uint32_t index, float normal[3]);

// One strip group of the strip file, located and with its tables inside the
// file; its index list is checked separately (CheckStripGroup).
struct StripGroupRef {
    uint32_t mesh;  // in the whole model's mesh list
    uint32_t indexCount;
    uint32_t flags;
    uint64_t table, list;  // file offsets
    uint64_t base;         // the number of the mesh's first vertex
    uint64_t end;          // one past the last vertex of the mesh's model
};

bool LocateStripMeshes(const Bytes& vtx, const MdlModel& model, uint32_t& meshCount, uint64_t& headers,
                       std::string& why);

// Calls visit(const StripGroupRef&) for every strip group of level 0 of
// every model in order; visit returns false to stop. Fails when the strip
// file lacks a model's data, has more meshes than its model, or a table
// lies outside the file.
template <class Visit>
bool ForEachStripGroup(const Bytes& mdl, const MdlLayout& m, const Bytes& vtx, std::string& why, Visit visit) {
    for (const MdlModel& model : m.models) {
        uint32_t meshCount = 0;
        uint64_t headers = 0;
        if (!LocateStripMeshes(vtx, model, meshCount, headers, why)) return false;
        for (uint32_t e = 0; e < meshCount; ++e) {
            uint64_t header = headers + 8 * uint64_t(e);
            uint32_t groupCount = vtx.U16(header);
            uint64_t groups = header + vtx.U32(header + 4);
            if (!vtx.Has(groups, uint64_t(groupCount) * kStripGroup))
                return Fail(why, "a strip group table lies outside the file");
            uint64_t base = model.firstVertex + uint64_t(mdl.U32(model.meshTable + uint64_t(e) * kMeshEntry + 12));
            for (uint32_t g = 0; g < groupCount; ++g) {
                uint64_t group = groups + uint64_t(g) * kStripGroup;
                StripGroupRef ref{model.firstMesh + e,         vtx.U16(group + 2),
                                  vtx.U16(group + 6),          group + vtx.U32(group + 8),
                                  group + vtx.U32(group + 12), base,
                                  uint64_t(model.firstVertex) + model.vertexCount};
                if (!visit(ref)) return false;
            }
        }
    }
    return true;
}

// The vertex-table entry of index k of a group (its list inside the file).
inline uint64_t VertexEntry(const Bytes& vtx, const StripGroupRef& g, uint32_t k) {
    bool shortEntries = (g.flags & 0x10) != 0;
    return g.table + uint64_t(vtx.U16(g.list + 2 * uint64_t(k))) * (shortEntries ? 2 : 12) + (shortEntries ? 0 : 10);
}

// The vertex number of index k of a checked group.
inline uint32_t VertexNumber(const Bytes& vtx, const StripGroupRef& g, uint32_t k) {
    return uint32_t(vtx.U16(VertexEntry(vtx, g, k)) + g.base);
}

// The index list lies inside the file, holds whole triangles, and every
// index names a vertex-table entry inside the file whose vertex is one of
// its own model's.
bool CheckStripGroup(const Bytes& vtx, const StripGroupRef& g, std::string& why);

}  // namespace mdlformat
