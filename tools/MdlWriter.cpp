#include "tools/MdlWriter.h"

#include <cmath>

namespace {

const size_t kModelRecord = 0xE0;

void Put(std::string& s, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * i));
}
void PutF(std::string& s, size_t at, float f) { s.replace(at, 4, reinterpret_cast<const char*>(&f), 4); }
void Add16(std::string& s, uint32_t v) { s += {char(v), char(v >> 8)}; }

// The body parts in file order: empty ones (null), then the geometry.
std::vector<const MdlGeometry*> Parts(const MdlPair& pair) {
    std::vector<const MdlGeometry*> parts(pair.emptyPartsBefore, nullptr);
    parts.push_back(&pair);
    for (const MdlGeometry& g : pair.laterParts) parts.push_back(&g);
    return parts;
}

uint32_t Quantise(float p, float origin, float step, uint32_t max) {
    long q = std::lround((p - origin) / step);
    return uint32_t(q < 0 ? 0 : q > long(max) ? max : q);
}

void AddVertex(std::string& s, const MdlGeometry& g, const MdlVertex& v) {
    if (g.format == 0) {
        s.append(12, '\0').append(reinterpret_cast<const char*>(v.data()), 32);
        return;
    }
    bool wide = g.format == 1;
    for (int k = 0; k < 3; ++k) {
        uint32_t q = Quantise(v[k], g.origin[k], wide ? g.scale[k] : g.scale[k] / 255, wide ? 65535 : 255);
        if (wide) Add16(s, q); else s += char(q);
    }
    if (wide) Add16(s, uint32_t(v[3])); else s += char(uint32_t(v[3]));
    Add16(s, uint32_t(std::lround(v[6] * 65535)));
    Add16(s, uint32_t(std::lround(v[7] * 65535)));
}

// The model record at rec, with its mesh table and vertex array appended.
void AddModel(std::string& s, size_t rec, const MdlGeometry* g) {
    if (g == nullptr) return;  // no meshes, no vertices
    Put(s, rec + 0x88, uint32_t(g->meshes.size()));
    Put(s, rec + 0x8C, uint32_t(s.size() - rec));
    Put(s, rec + 0x9C, g->format);
    for (int k = 0; k < 3; ++k) {
        PutF(s, rec + 0xA0 + 4 * k, g->origin[k]);
        PutF(s, rec + 0xAC + 4 * k, g->scale[k]);
    }
    size_t table = s.size();
    s.resize(s.size() + 60 * g->meshes.size());
    for (size_t i = 0; i < g->meshes.size(); ++i) Put(s, table + 60 * i + 12, g->meshes[i].base);
    uint32_t count = g->vertices.empty() ? g->vertexCount : uint32_t(g->vertices.size());
    Put(s, rec + 0x90, count);
    Put(s, rec + 0x94, uint32_t(s.size() - rec));
    for (uint32_t i = 0; i < count; ++i)
        AddVertex(s, *g,
                  g->vertices.empty() ? MdlVertex{float(i), 100.0f + i, 200.0f + i, 1, 2, 3, 0.5f, float(i)}
                                      : g->vertices[i]);
    Put(s, rec + 0x98, uint32_t(s.size() - rec));
}

}  // namespace

// Tables first, then the body parts, their model records, and each model's
// mesh table and vertex array.
std::string MdlPair::Mdl() const {
    std::string s(0x148, '\0');
    s.replace(0, 4, "IDST");
    Put(s, 0x124, uint32_t(textures.size()));
    Put(s, 0x128, 0x148);
    s.resize(s.size() + 20 * textures.size());
    for (size_t i = 0; i < textures.size(); ++i) {
        Put(s, 0x148 + 20 * i, uint32_t(s.size() - (0x148 + 20 * i)));
        s += textures[i] + '\0';
    }
    Put(s, 0x12C, uint32_t(dirs.size()));
    Put(s, 0x130, uint32_t(s.size()));
    size_t table = s.size();
    s.resize(s.size() + 4 * dirs.size());
    for (size_t i = 0; i < dirs.size(); ++i) {
        Put(s, table + 4 * i, uint32_t(s.size()));
        s += dirs[i] + '\0';
    }
    std::vector<const MdlGeometry*> parts = Parts(*this);
    size_t first = s.size();
    Put(s, 0x140, uint32_t(parts.size()));
    Put(s, 0x144, uint32_t(first));
    s.resize(first + 16 * parts.size() + kModelRecord * parts.size());
    for (size_t b = 0; b < parts.size(); ++b) {
        size_t part = first + 16 * b, rec = first + 16 * parts.size() + kModelRecord * b;
        Put(s, part + 4, 1);
        Put(s, part + 12, uint32_t(rec - part));
    }
    for (size_t b = 0; b < parts.size(); ++b) AddModel(s, first + 16 * parts.size() + kModelRecord * b, parts[b]);
    return s;
}

// Body parts, models and level 0 of each; the strip headers; the group
// tables; then each group's vertex table and index list.
std::string MdlPair::Vtx() const {
    std::vector<const MdlGeometry*> parts = Parts(*this);
    size_t n = parts.size();
    // Body part b at 0x24 + 8b, its model at 0x24 + 8n + 8b, that model's
    // level at 0x24 + 16n + 12b; mesh headers after.
    std::string s(0x24 + 28 * n, '\0');
    Put(s, 0x1C, uint32_t(n));
    Put(s, 0x20, 0x24);
    std::vector<size_t> groupAt;
    std::vector<const MdlStripGroup*> groups;
    for (size_t b = 0; b < n; ++b) {
        size_t part = 0x24 + 8 * b, model = 0x24 + 8 * n + 8 * b, level = 0x24 + 16 * n + 12 * b;
        Put(s, part, 1);
        Put(s, part + 4, uint32_t(model - part));
        Put(s, model, 1);
        Put(s, model + 4, uint32_t(level - model));
        const std::vector<MdlMesh> none;
        const std::vector<MdlMesh>& list = parts[b] == nullptr ? none : parts[b]->meshes;
        Put(s, level, uint32_t(list.size()));
        Put(s, level + 4, uint32_t(s.size() - level));
        size_t headers = s.size();
        s.resize(s.size() + 8 * list.size());
        for (size_t e = 0; e < list.size(); ++e) {
            Put(s, headers + 8 * e, uint16_t(list[e].groups.size()), 2);
            Put(s, headers + 8 * e + 4, uint32_t(s.size() - (headers + 8 * e)));
            for (const MdlStripGroup& group : list[e].groups) {
                groupAt.push_back(s.size());
                groups.push_back(&group);
                s.resize(s.size() + 20);
            }
        }
    }
    for (size_t i = 0; i < groups.size(); ++i) {
        const MdlStripGroup& group = *groups[i];
        size_t at = groupAt[i];
        Put(s, at + 2, uint16_t(group.indices.size()), 2);
        Put(s, at + 6, group.flags, 2);
        Put(s, at + 8, uint32_t(s.size() - at));
        for (uint16_t id : group.table) {
            if ((group.flags & 0x10) == 0) s.append(10, '\x7f');  // 12-byte entries, id at +10
            Add16(s, id);
        }
        Put(s, at + 12, uint32_t(s.size() - at));
        for (uint16_t k : group.indices) Add16(s, k);
    }
    return s;
}
