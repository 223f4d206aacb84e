// The Bloodlines model pair as the readers of this folder see it: the
// fields read, and bounds-checked access to them. Shared by the viewer's
// reader, the .x export and the vertex modification.
#pragma once

#include "model/ByteView.h"

#include <cstdint>
#include <cstring>
#include <string>

// Model file (.mdl), the fields read; offsets from the file start unless
// said otherwise:
//   0x000 "IDST"
//   0x124 u32 texture count      0x128 u32 texture table (20-byte entries;
//                                          +0 u32 name offset from the entry)
//   0x12C u32 directory count    0x130 u32 directory table (u32 name offsets)
//   0x144 u32 M; the model block starts at B = M + 16:
//     B+0x88 mesh count   B+0x8C mesh table (60-byte entries, +12 vertex base)
//     B+0x90 vertex count B+0x94 vertex array start  B+0x98 its end
//   vertex record, 44 bytes: +0x0C position, +0x18 normal, +0x24 u, v (Z up)
// Strip file (.dx80.vtx):
//   0x34 u32 mesh count   0x38 u32 mesh headers, offset from 0x34
//   mesh header, 8 bytes: +0 u16 strip groups, +4 u32 their table, from the header
//   strip group, 20 bytes: +2 u16 index count, +6 u16 flags (0: not drawn;
//     0x10: 2-byte vertex-table entries, else 12 bytes with the id at +10),
//     +8 u32 vertex table, +12 u32 index list, both from the group
// Every offset, count and index is checked against its file: the files come
// from packs and loose folders we do not control.

namespace mdlformat {

const uint32_t kMdlMagic = 0x54534449;  // "IDST"
const uint32_t kVertexRecord = 44;
const uint32_t kMeshEntry = 60;
const uint32_t kTextureEntry = 20;
const uint32_t kStripGroup = 20;

using Bytes = ByteView;

// The NUL-terminated string at pos, or null when it is not terminated
// inside the file.
inline const char* CString(const Bytes& f, uint64_t pos) {
    if (pos >= f.size) return nullptr;
    const void* end = std::memchr(f.data + pos, 0, f.size - pos);
    return end == nullptr ? nullptr : reinterpret_cast<const char*>(f.data + pos);
}

// The tables of a model file, checked.
struct MdlLayout {
    uint32_t textureCount = 0;
    uint64_t textureTable = 0;
    uint32_t directoryCount = 0;
    uint64_t directoryTable = 0;
    uint32_t meshCount = 0;
    uint64_t meshTable = 0;
    uint32_t vertexCount = 0;
    uint64_t vertexArray = 0;
};

// Reads and checks the header and texture and directory tables; the model
// block only with block.
inline bool ReadTables(const Bytes& f, MdlLayout& m, bool block, std::string& why) {
    if (!f.Has(0, 0x148) || f.U32(0) != kMdlMagic) return Fail(why, "not a model file (no IDST header)");
    m.textureCount = f.U32(0x124);
    m.textureTable = f.U32(0x128);
    m.directoryCount = f.U32(0x12C);
    m.directoryTable = f.U32(0x130);
    if (!f.Has(m.textureTable, uint64_t(m.textureCount) * kTextureEntry))
        return Fail(why, "the texture table lies outside the file");
    for (uint32_t i = 0; i < m.textureCount; ++i) {
        uint64_t entry = m.textureTable + uint64_t(i) * kTextureEntry;
        if (CString(f, entry + f.U32(entry)) == nullptr) return Fail(why, "a texture name lies outside the file");
    }
    if (!f.Has(m.directoryTable, uint64_t(m.directoryCount) * 4))
        return Fail(why, "the texture directory table lies outside the file");
    for (uint32_t i = 0; i < m.directoryCount; ++i)
        if (CString(f, f.U32(m.directoryTable + 4 * uint64_t(i))) == nullptr)
            return Fail(why, "a texture directory lies outside the file");
    if (!block) return true;

    uint64_t b = uint64_t(f.U32(0x144)) + 16;
    if (!f.Has(b, 0x9C)) return Fail(why, "the model block lies outside the file");
    m.meshCount = f.U32(b + 0x88);
    m.meshTable = b + f.U32(b + 0x8C);
    m.vertexCount = f.U32(b + 0x90);
    uint32_t start = f.U32(b + 0x94), end = f.U32(b + 0x98);
    m.vertexArray = b + start;
    // Models whose vertices are packed into smaller records fail this too:
    // their array is shorter than vertexCount 44-byte records.
    if ((end - start) / kVertexRecord != m.vertexCount)
        return Fail(why, "the vertex array does not hold 44-byte vertices");
    if (!f.Has(m.vertexArray, uint64_t(m.vertexCount) * kVertexRecord))
        return Fail(why, "the vertex array lies outside the file");
    if (!f.Has(m.meshTable, uint64_t(m.meshCount) * kMeshEntry))
        return Fail(why, "the mesh table lies outside the file");
    return true;
}

inline const char* TextureName(const Bytes& f, const MdlLayout& m, uint32_t t) {
    uint64_t entry = m.textureTable + uint64_t(t) * kTextureEntry;
    return CString(f, entry + f.U32(entry));
}

}  // namespace mdlformat

namespace mdlformat {

// One strip group of the strip file, located and with its tables inside the
// file; its index list is checked separately (CheckStripGroup).
struct StripGroupRef {
    uint32_t mesh;
    uint32_t indexCount;
    uint32_t flags;
    uint64_t table, list;  // file offsets
    uint64_t base;         // the mesh's vertex base from the model's mesh table
};

// Calls visit(const StripGroupRef&) for every strip group of every strip
// mesh in file order; visit returns false to stop. Fails when the strip
// file has more meshes than the model or a table lies outside the file.
template <class Visit>
bool ForEachStripGroup(const Bytes& mdl, const MdlLayout& m, const Bytes& vtx, std::string& why, Visit visit) {
    if (!vtx.Has(0x34, 8)) return Fail(why, "the strip file is too short");
    uint32_t meshCount = vtx.U32(0x34);
    uint64_t headers = 0x34 + uint64_t(vtx.U32(0x38));
    if (meshCount > m.meshCount) return Fail(why, "the strip file has more meshes than the model");
    if (!vtx.Has(headers, uint64_t(meshCount) * 8)) return Fail(why, "the strip mesh table lies outside the file");
    for (uint32_t e = 0; e < meshCount; ++e) {
        uint64_t header = headers + 8 * uint64_t(e);
        uint32_t groupCount = vtx.U16(header);
        uint64_t groups = header + vtx.U32(header + 4);
        if (!vtx.Has(groups, uint64_t(groupCount) * kStripGroup))
            return Fail(why, "a strip group table lies outside the file");
        uint64_t base = mdl.U32(m.meshTable + uint64_t(e) * kMeshEntry + 12);
        for (uint32_t g = 0; g < groupCount; ++g) {
            uint64_t group = groups + uint64_t(g) * kStripGroup;
            StripGroupRef ref{e, vtx.U16(group + 2), vtx.U16(group + 6), group + vtx.U32(group + 8),
                              group + vtx.U32(group + 12), base};
            if (!visit(ref)) return false;
        }
    }
    return true;
}

// The vertex-array number of index k of a checked group.
inline uint64_t VertexNumber(const Bytes& vtx, const StripGroupRef& g, uint32_t k) {
    bool shortEntries = (g.flags & 0x10) != 0;
    uint64_t entry = g.table + vtx.U16(g.list + 2 * uint64_t(k)) * (shortEntries ? 2 : 12) + (shortEntries ? 0 : 10);
    return vtx.U16(entry) + g.base;
}

// The index list lies inside the file, holds whole triangles, and every
// index names a vertex-table entry inside the file whose vertex is in the
// model's vertex array.
inline bool CheckStripGroup(const Bytes& vtx, const StripGroupRef& g, uint32_t vertexCount, std::string& why) {
    if (g.indexCount % 3 != 0) return Fail(why, "an index count is not a multiple of 3");
    if (!vtx.Has(g.list, uint64_t(g.indexCount) * 2)) return Fail(why, "an index list lies outside the file");
    bool shortEntries = (g.flags & 0x10) != 0;
    for (uint32_t k = 0; k < g.indexCount; ++k) {
        uint64_t entry =
            g.table + vtx.U16(g.list + 2 * uint64_t(k)) * (shortEntries ? 2 : 12) + (shortEntries ? 0 : 10);
        if (!vtx.Has(entry, 2)) return Fail(why, "a vertex table entry lies outside the file");
        if (vtx.U16(entry) + g.base >= vertexCount) return Fail(why, "a vertex id is outside the vertex array");
    }
    return true;
}

}  // namespace mdlformat
