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

void AddVertex(std::string& s, const MdlGeometry& g, uint32_t i, const MdlVertex& v) {
    if (g.format == 0) {
        size_t at = s.size();
        s.append(12, '\0').append(reinterpret_cast<const char*>(v.data()), 32);
        if (i < g.vertexBones.size()) {
            const MdlVertexBones& b = g.vertexBones[i];
            for (int k = 0; k < 3; ++k) s[at + k] = char(b.weight[k]);
            for (int k = 0; k < 4; ++k) Put(s, at + 4 + 2 * k, uint16_t(b.bone[k]), 2);
        }
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
        AddVertex(s, *g, i,
                  g->vertices.empty() ? MdlVertex{float(i), 100.0f + i, 200.0f + i, 1, 2, 3, 0.5f, float(i)}
                                      : g->vertices[i]);
    Put(s, rec + 0x98, uint32_t(s.size() - rec));
}

// The rest pose's model-space place of each bone (rotation rows of three,
// then the translation), and its inverse as a 3 x 4 pose-to-bone matrix.
std::vector<float> RestPoseToBone(const std::vector<MdlWriterBone>& bones, size_t b) {
    std::vector<std::array<double, 12>> world(b + 1);
    for (size_t i = 0; i <= b; ++i) {
        const MdlWriterBone& bone = bones[i];
        double x = bone.rotation[0], y = bone.rotation[1], z = bone.rotation[2], w = bone.rotation[3];
        double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                       2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                       2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
        std::array<double, 12>& m = world[i];
        if (bone.parent < 0) {
            for (int k = 0; k < 9; ++k) m[k] = r[k];
            for (int k = 0; k < 3; ++k) m[9 + k] = bone.position[k];
            continue;
        }
        const std::array<double, 12>& p = world[size_t(bone.parent)];
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col)
                m[3 * row + col] = p[3 * row] * r[col] + p[3 * row + 1] * r[3 + col] + p[3 * row + 2] * r[6 + col];
            m[9 + row] = p[9 + row] + p[3 * row] * bone.position[0] + p[3 * row + 1] * bone.position[1] +
                         p[3 * row + 2] * bone.position[2];
        }
    }
    const std::array<double, 12>& m = world[b];
    std::vector<float> out(12);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) out[4 * row + col] = float(m[3 * col + row]);
        out[4 * row + 3] = float(-(m[row] * m[9] + m[3 + row] * m[10] + m[6 + row] * m[11]));
    }
    return out;
}

// Appends a table of count records of size bytes, its count and offset
// stored in the header at countAt; gives where it starts.
size_t AddTable(std::string& s, size_t countAt, size_t count, size_t size) {
    size_t table = s.size();
    Put(s, countAt, uint32_t(count));
    Put(s, countAt + 4, uint32_t(table));
    s.resize(table + size * count);
    return table;
}

size_t Name(std::string& s, size_t record, const std::string& name) {
    size_t at = s.size();
    s += name + '\0';
    return at - record;
}

void AddBones(std::string& s, const MdlPair& pair) {
    size_t table = AddTable(s, 0xF0, pair.bones.size(), 160);
    for (size_t b = 0; b < pair.bones.size(); ++b) {
        const MdlWriterBone& bone = pair.bones[b];
        size_t r = table + 160 * b;
        Put(s, r, uint32_t(Name(s, r, bone.name)));
        Put(s, r + 4, uint32_t(bone.parent));
        for (int k = 0; k < 6; ++k) Put(s, r + 8 + 4 * k, 0xFFFFFFFFu);
        for (int k = 0; k < 3; ++k) PutF(s, r + 0x20 + 4 * k, bone.position[k]);
        for (int k = 0; k < 4; ++k) PutF(s, r + 0x2C + 4 * k, bone.rotation[k]);
        for (int k = 0; k < 3; ++k) PutF(s, r + 0x3C + 4 * k, bone.positionScale[k]);
        for (int k = 0; k < 4; ++k) PutF(s, r + 0x48 + 4 * k, bone.rotationScale[k]);
        std::vector<float> p = bone.poseToBone.empty() ? RestPoseToBone(pair.bones, b) : bone.poseToBone;
        for (int k = 0; k < 12; ++k) PutF(s, r + 0x58 + 4 * k, p[k]);
        Put(s, r + 0x88, bone.flags);
    }
}

void AddAttachments(std::string& s, const MdlPair& pair) {
    size_t table = AddTable(s, 0x148, pair.attachments.size(), 60);
    for (size_t i = 0; i < pair.attachments.size(); ++i) {
        const MdlWriterAttachment& a = pair.attachments[i];
        size_t r = table + 60 * i;
        Put(s, r, uint32_t(Name(s, r, a.name)));
        Put(s, r + 8, a.bone);
        for (int k = 0; k < 12; ++k) PutF(s, r + 0xC + 4 * k, a.matrix[k]);
    }
}

// Each animation's record, then its bone table, then each channel's runs.
void AddAnimations(std::string& s, const MdlPair& pair) {
    size_t table = AddTable(s, 0x108, pair.animations.size(), 72);
    for (size_t i = 0; i < pair.animations.size(); ++i) {
        const MdlWriterAnimation& a = pair.animations[i];
        size_t r = table + 72 * i;
        Put(s, r, uint32_t(Name(s, r, a.name)));
        PutF(s, r + 4, a.fps);
        Put(s, r + 0xC, a.frames);
        size_t entries = s.size();
        Put(s, r + 0x30, uint32_t(entries - r));
        s.resize(entries + 32 * pair.bones.size());
        for (size_t b = 0; b < pair.bones.size(); ++b) {
            size_t e = entries + 32 * b;
            PutF(s, e, 1.0f);
            for (int c = 0; c < 7 && b < a.channels.size(); ++c) {
                if (a.channels[b][c].empty()) continue;
                Put(s, e + 4 + 4 * c, uint32_t(s.size() - e));
                for (const MdlRun& run : a.channels[b][c]) {
                    s += char(run.values.size());
                    s += char(run.covered);
                    for (int16_t v : run.values) Add16(s, uint16_t(v));
                }
            }
        }
    }
}

void AddIncludes(std::string& s, const MdlPair& pair) {
    size_t table = AddTable(s, 0x194, pair.includes.size(), 116);
    for (size_t i = 0; i < pair.includes.size(); ++i) {
        size_t r = table + 116 * i;
        Put(s, r, uint32_t(Name(s, r, "")));
        Put(s, r + 4, uint32_t(Name(s, r, pair.includes[i])));
    }
}

}  // namespace

// The header, the texture tables, then the body parts, their model
// records, and each model's mesh table and vertex array; then the bones,
// attachments, animations and included models.
std::string MdlPair::Mdl() const {
    const size_t kHeader = 0x1A8;
    std::string s(kHeader, '\0');
    s.replace(0, 4, "IDST");
    Put(s, 4, 2531);
    Put(s, 0x124, uint32_t(textures.size()));
    Put(s, 0x128, uint32_t(kHeader));
    s.resize(s.size() + 20 * textures.size());
    for (size_t i = 0; i < textures.size(); ++i) {
        Put(s, kHeader + 20 * i, uint32_t(s.size() - (kHeader + 20 * i)));
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
    AddBones(s, *this);
    AddAttachments(s, *this);
    AddAnimations(s, *this);
    AddIncludes(s, *this);
    Put(s, 0x8C, uint32_t(s.size()));
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
