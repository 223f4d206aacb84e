#include "tools/MdlWriter.h"

namespace {

void Put(std::string& s, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * i));
}
void Add16(std::string& s, uint16_t v) { s += {char(v), char(v >> 8)}; }

}  // namespace

// Tables first, then the model block with its mesh table and vertex array.
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
    size_t b = s.size() + 16;
    Put(s, 0x144, uint32_t(s.size()));
    s.resize(b + 0x9C);
    Put(s, b + 0x88, uint32_t(meshes.size()));
    Put(s, b + 0x8C, 0x9C);
    s.resize(s.size() + 60 * meshes.size());
    for (size_t i = 0; i < meshes.size(); ++i) Put(s, b + 0x9C + 60 * i + 12, meshes[i].base);
    uint32_t count = vertices.empty() ? vertexCount : uint32_t(vertices.size());
    Put(s, b + 0x90, count);
    Put(s, b + 0x94, uint32_t(s.size() - b));
    for (uint32_t i = 0; i < count; ++i) {
        MdlVertex v = vertices.empty() ? MdlVertex{float(i), 100.0f + i, 200.0f + i, 1, 2, 3, 0.5f, float(i)}
                                       : vertices[i];
        s.append(12, '\0').append(reinterpret_cast<const char*>(v.data()), 32);
    }
    Put(s, b + 0x98, uint32_t(s.size() - b));
    return s;
}

// Strip headers, the group tables, then each group's vertex table and index
// list.
std::string MdlPair::Vtx() const {
    std::string s(0x40 + 8 * meshes.size(), '\0');
    Put(s, 0x34, uint32_t(meshes.size()));
    Put(s, 0x38, 0x0C);
    std::vector<size_t> groupAt;
    for (size_t e = 0; e < meshes.size(); ++e) {
        Put(s, 0x40 + 8 * e, uint16_t(meshes[e].groups.size()), 2);
        Put(s, 0x40 + 8 * e + 4, uint32_t(s.size() - (0x40 + 8 * e)));
        for (size_t g = 0; g < meshes[e].groups.size(); ++g) groupAt.push_back(s.size() + 20 * g);
        s.resize(s.size() + 20 * meshes[e].groups.size());
    }
    size_t n = 0;
    for (const MdlMesh& mesh : meshes)
        for (const MdlStripGroup& group : mesh.groups) {
            size_t at = groupAt[n++];
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
