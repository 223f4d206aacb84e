#include "tools/NodWriter.h"

#include "tools/PackWriter.h"

#include <cstring>

namespace {

void Add16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void AddFloat(std::string& out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    AppendLE32(out, v);
}

void AddName(std::string& out, const std::string& name) {
    std::string field = name.substr(0, 32);
    field.resize(32, '\0');
    out += field;
}

void Skipped(std::string& out, size_t n) { out.append(n, '\x5A'); }

}  // namespace

std::string BuildNod(const NodModel& m, NodOffsets* offsets) {
    NodOffsets at;
    std::string out;
    AppendLE32(out, m.version);
    AppendLE32(out, static_cast<uint32_t>(m.textures.size()));
    for (const std::string& t : m.textures) AddName(out, t);

    at.header = out.size();
    Add16(out, static_cast<uint16_t>(m.bones.size()));
    Add16(out, static_cast<uint16_t>(m.names.size()));
    AppendLE32(out, static_cast<uint32_t>(m.vertices.size()));
    AppendLE32(out, static_cast<uint32_t>(m.triangles.size()));
    Add16(out, static_cast<uint16_t>(m.groups.size()));
    // Only bit 0 means anything; the others are set to show they are ignored.
    out.push_back(m.vertexExtra ? '\x0B' : '\x0A');
    Skipped(out, 3);
    for (float f : m.boxMin) AddFloat(out, f);
    for (float f : m.boxMax) AddFloat(out, f);

    at.bones = out.size();
    for (const NodBone& b : m.bones) {
        Skipped(out, 12);
        for (float f : b.matrix) AddFloat(out, f);
        Skipped(out, 4);
        Add16(out, b.parent);
    }
    at.names = out.size();
    for (const std::string& n : m.names) AddName(out, n);
    at.vertices = out.size();
    for (const NodVertex& v : m.vertices) {
        for (float f : {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v}) AddFloat(out, f);
        Skipped(out, 8);
    }
    if (m.vertexExtra) Skipped(out, 2 * m.vertices.size());
    at.triangles = out.size();
    for (const auto& t : m.triangles)
        for (uint16_t i : t) Add16(out, i);
    at.groups = out.size();
    for (const NodGroup& g : m.groups) {
        AppendLE32(out, g.texture);
        Skipped(out, 12);
        Add16(out, g.triangles);
        Add16(out, g.vertices);
        Skipped(out, 5);
        out.push_back(static_cast<char>(g.name));
        Skipped(out, 2);
    }
    if (offsets != nullptr) *offsets = at;
    return out;
}
