#include "model/GltfWriteBack.h"

#include "model/ModelExport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <set>

using namespace mdlformat;

namespace {

bool Refuse(std::string& why, const std::string& text) {
    why = text;
    return false;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

using Triangle = std::array<uint32_t, 3>;

// A mesh of the model as the export writes it: its triangles in order,
// corners as written, and which of them Blender leaves out.
struct ModelMesh {
    std::string name;
    std::vector<Triangle> triangles;
    std::vector<uint8_t> dropped;
    uint32_t drops = 0;
};

bool ModelMeshes(const ModelPair& p, std::vector<ModelMesh>& meshes, std::string& why) {
    uint32_t faces = 0;
    if (!CountFaces(p, faces, why)) return false;
    meshes.assign(p.m.meshCount, ModelMesh());
    for (uint32_t e = 0; e < p.m.meshCount; ++e) meshes[e].name = TextureName(p.mdl, p.m, e);
    ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const StripGroupRef& g) {
        for (uint32_t k = 0; k + 2 < g.indexCount; k += 3)
            // Each triangle turned round, as the export writes it.
            meshes[g.mesh].triangles.push_back(
                {VertexNumber(p.vtx, g, k + 2), VertexNumber(p.vtx, g, k + 1), VertexNumber(p.vtx, g, k)});
        return true;
    });
    // A mesh in Blender holds one face per set of corners, and none with a
    // corner twice.
    for (ModelMesh& mesh : meshes) {
        std::set<Triangle> seen;
        for (const Triangle& t : mesh.triangles) {
            Triangle key = t;
            std::sort(key.begin(), key.end());
            bool drop = key[0] == key[1] || key[1] == key[2] || !seen.insert(key).second;
            mesh.dropped.push_back(drop);
            mesh.drops += drop;
        }
    }
    return true;
}

std::string Label(const GltfPrimitive& g) {
    return "the file's mesh " + std::to_string(g.mesh) + " (" + g.meshName + "), primitive " + std::to_string(g.primitive);
}

std::string ModelLabel(const std::vector<ModelMesh>& meshes, uint32_t e) {
    return "the model's mesh " + std::to_string(e) + " (" + meshes[e].name + ")";
}

// Gathers the copies of each model vertex the file holds (glTF frame).
struct Placer {
    const std::vector<ModelMesh>& meshes;
    double tolerance;
    PlacedVertices& out;
    std::string& why;
    // (mesh << 32 | vertex) of every corner, and per mesh its triangles.
    std::vector<uint64_t> named;
    std::vector<uint64_t> triangles;

    bool Place(uint32_t n, uint32_t e, const float* p) {
        // Finite in the file, a node's transform can still carry it past
        // what a float holds.
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return Refuse(why, "vertex " + std::to_string(n) + " of " + ModelLabel(meshes, e) +
                                   " is placed where no number can say (its node's transform is too large)");
        named.push_back(uint64_t(e) << 32 | n);
        float* at = &out.xyz[3 * size_t(n)];
        if (!out.placed[n]) {
            out.placed[n] = 1;
            std::copy(p, p + 3, at);
            return true;
        }
        double d = std::sqrt(double(p[0] - at[0]) * (p[0] - at[0]) + double(p[1] - at[1]) * (p[1] - at[1]) +
                             double(p[2] - at[2]) * (p[2] - at[2]));
        if (d <= tolerance) return true;
        return Refuse(why, "vertex " + std::to_string(n) + " of " + ModelLabel(meshes, e) + " has copies " + Number(d) +
                               " apart, more than " + Number(tolerance) +
                               " (1e-4 of the model's size): copies of one vertex must stay together");
    }
};

bool Whole(float v, uint32_t below) { return v >= 0 && v < float(below) && v == std::floor(v); }

// Every corner names its model vertex and mesh through TEXCOORD_1.
bool PlaceByMap(const GltfPrimitive& g, const std::vector<std::vector<uint32_t>>& drawn, uint32_t vertexCount, Placer& placer) {
    std::string& why = placer.why;
    uint32_t meshCount = uint32_t(placer.meshes.size());
    for (size_t t = 0; t < g.indices.size() / 3; ++t) {
        uint32_t e = 0;
        for (int c = 0; c < 3; ++c) {
            uint32_t i = g.indices[3 * t + c];
            float n = g.texcoord1[2 * size_t(i)], m = g.texcoord1[2 * size_t(i) + 1];
            if (!Whole(n, vertexCount) || !Whole(m, meshCount))
                return Refuse(why, Label(g) + ": its vertex " + std::to_string(i) + " carries TEXCOORD_1 (" + Number(n) + ", " +
                                       Number(m) + "), which names no vertex of the model (whole vertex numbers below " +
                                       std::to_string(vertexCount) + ", mesh numbers below " + std::to_string(meshCount) + ")");
            uint32_t vertex = uint32_t(n), mesh = uint32_t(m);
            if (c == 0) e = mesh;
            if (mesh != e)
                return Refuse(why, Label(g) + ": triangle " + std::to_string(t) + " has corners of the model's meshes " +
                                       std::to_string(e) + " and " + std::to_string(mesh));
            if (!std::binary_search(drawn[e].begin(), drawn[e].end(), vertex))
                return Refuse(why, Label(g) + ": its vertex " + std::to_string(i) + " names vertex " + std::to_string(vertex) +
                                       ", which " + ModelLabel(placer.meshes, e) + " does not draw");
            if (!placer.Place(vertex, e, &g.positions[3 * size_t(i)])) return false;
        }
        ++placer.triangles[e];
    }
    return true;
}

// The model mesh a material names: the name our export gives it (a repeated
// name with the mesh's number), or, as Blender renames the repeats of an
// older export's names, its own name for the first mesh of that name,
// NAME.001 for the second, and so on.
int64_t MeshOfMaterial(const std::vector<ModelMesh>& meshes, const std::string& name) {
    std::set<std::string> taken;
    for (size_t e = 0; e < meshes.size(); ++e) {
        std::string unique = meshes[e].name;
        while (!taken.insert(unique).second) unique += " #" + std::to_string(e);
        if (unique == name) return int64_t(e);
    }
    std::string base = name;
    uint32_t repeat = 0;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && name.size() - dot >= 4 &&
        name.find_first_not_of("0123456789", dot + 1) == std::string::npos && name.size() - dot <= 8) {
        base = name.substr(0, dot);
        repeat = uint32_t(std::stoul(name.substr(dot + 1)));
    }
    uint32_t seen = 0;
    for (size_t e = 0; e < meshes.size() && base != name; ++e)
        if (meshes[e].name == base && seen++ == repeat) return int64_t(e);
    return -1;
}

struct Corner {
    const GltfPrimitive* g;
    uint32_t vertex;
};

// Without TEXCOORD_1: primitive by material to a model mesh, then its
// triangles in order with the model's (with or without Blender's drops).
bool PlaceByOrder(const GltfScene& file, const ModelPair& p, Placer& placer) {
    std::string& why = placer.why;
    const std::vector<ModelMesh>& meshes = placer.meshes;
    std::vector<std::vector<Corner>> corners(meshes.size());
    for (const GltfPrimitive& g : file.primitives) {
        int64_t e = g.hasMaterial ? MeshOfMaterial(meshes, g.materialName) : -1;
        if (e < 0)
            return Refuse(why, Label(g) + " has no TEXCOORD_1 and its material (" + g.materialName +
                                   ") names no mesh of the model");
        if (g.texcoord0.empty()) return Refuse(why, Label(g) + " has neither TEXCOORD_1 nor TEXCOORD_0");
        for (uint32_t i : g.indices) corners[size_t(e)].push_back({&g, i});
    }
    for (uint32_t e = 0; e < meshes.size(); ++e) {
        const ModelMesh& mesh = meshes[e];
        size_t count = corners[e].size() / 3, all = mesh.triangles.size(), kept = all - mesh.drops;
        if (count == 0) continue;
        if (count != all && count != kept)
            return Refuse(why, ModelLabel(meshes, e) + " has " + std::to_string(count) + " triangles in the file; the model has " +
                                   std::to_string(all) + (mesh.drops > 0 ? " (" + std::to_string(kept) + " without those Blender drops)" : "") +
                                   ": only vertex positions can be written back, not a changed topology");
        size_t c = 0;
        for (size_t t = 0; t < all; ++t) {
            if (count != all && mesh.dropped[t]) continue;
            for (int k = 0; k < 3; ++k, ++c) {
                const Corner& corner = corners[e][c];
                uint32_t n = mesh.triangles[t][k];
                const float* uv = &corner.g->texcoord0[2 * size_t(corner.vertex)];
                const float* own = p.vertices[n].uv;
                if (!(std::fabs(uv[0] - own[0]) <= 1e-5f && std::fabs(uv[1] - own[1]) <= 1e-5f))
                    return Refuse(why, Label(*corner.g) + ": the corners of triangle " + std::to_string(c / 3) + " do not follow " +
                                           ModelLabel(meshes, e) + "'s (texture coordinates (" + Number(uv[0]) + ", " + Number(uv[1]) +
                                           ") where its vertex " + std::to_string(n) + " has (" + Number(own[0]) + ", " +
                                           Number(own[1]) + "))");
                if (!placer.Place(n, e, &corner.g->positions[3 * size_t(corner.vertex)])) return false;
            }
        }
        placer.triangles[e] = count;
    }
    return true;
}

// Every mesh the file holds holds all of its triangles but those Blender
// drops, and all of its vertices.
bool MeshesWhole(const std::vector<ModelMesh>& meshes, Placer& placer) {
    std::sort(placer.named.begin(), placer.named.end());
    bool any = false;
    for (uint32_t e = 0; e < meshes.size(); ++e) {
        uint64_t count = placer.triangles[e], all = meshes[e].triangles.size(), kept = all - meshes[e].drops;
        if (count == 0) continue;
        any = true;
        if (count < kept)
            return Refuse(placer.why, ModelLabel(meshes, e) + " is only partly present: " + std::to_string(count) + " of its " +
                                          std::to_string(all) + " triangles");
        if (count > all)
            return Refuse(placer.why, ModelLabel(meshes, e) + " has " + std::to_string(count) + " triangles in the file, " +
                                          std::to_string(all) + " in the model: only vertex positions can be written back, not a changed topology");
        for (size_t t = 0; t < all; ++t) {
            if (meshes[e].dropped[t]) continue;
            for (uint32_t n : meshes[e].triangles[t])
                if (!std::binary_search(placer.named.begin(), placer.named.end(), uint64_t(e) << 32 | n))
                    return Refuse(placer.why, ModelLabel(meshes, e) + " is only partly present: no corner names its vertex " +
                                                  std::to_string(n));
        }
    }
    return any || Refuse(placer.why, "the file holds none of the model's meshes");
}

// Blender's export with "+Y Up" switched off leaves the file Z up: the
// positions then match the model's better as they are than turned back.
// Compared about their centres, so that moving the whole model decides
// nothing.
bool ReadsAsZUp(const PlacedVertices& placed, const ModelPair& p) {
    double centre[2][3] = {}, own[3] = {};
    size_t count = 0;
    for (uint32_t n = 0; n < p.m.vertexCount; ++n) {
        if (!placed.placed[n]) continue;
        const float* q = &placed.xyz[3 * size_t(n)];
        double asY[3] = {q[0], -double(q[2]), q[1]};
        for (int c = 0; c < 3; ++c) centre[0][c] += asY[c], centre[1][c] += q[c], own[c] += p.vertices[n].position[c];
        ++count;
    }
    double spread[2] = {0, 0};
    for (uint32_t n = 0; n < p.m.vertexCount; ++n) {
        if (!placed.placed[n]) continue;
        const float* q = &placed.xyz[3 * size_t(n)];
        double as[2][3] = {{q[0], -double(q[2]), q[1]}, {q[0], q[1], q[2]}};
        for (int k = 0; k < 2; ++k)
            for (int c = 0; c < 3; ++c) {
                double d = (as[k][c] - centre[k][c] / count) - (p.vertices[n].position[c] - own[c] / count);
                spread[k] += d * d;
            }
    }
    return 2 * spread[1] < spread[0];
}

double ModelSize(const ModelPair& p) {
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Vertex& v : p.vertices)
        for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], double(v.position[c])), hi[c] = std::max(hi[c], double(v.position[c]));
    double size = 0;
    for (int c = 0; c < 3; ++c) size = std::max(size, hi[c] - lo[c]);
    return size;
}

}  // namespace

bool PlaceGltfVertices(const GltfScene& file, const ModelPair& p, PlacedVertices& out, std::string& why) {
    std::vector<ModelMesh> meshes;
    if (!ModelMeshes(p, meshes, why)) return false;
    out.placed.assign(p.m.vertexCount, 0);
    out.xyz.assign(3 * size_t(p.m.vertexCount), 0.0f);
    Placer placer{meshes, 1e-4 * ModelSize(p), out, why, {}, std::vector<uint64_t>(meshes.size(), 0)};

    size_t mapped = 0;
    for (const GltfPrimitive& g : file.primitives) mapped += !g.texcoord1.empty();
    if (mapped == 0) {
        if (!PlaceByOrder(file, p, placer)) return false;
    } else {
        // The vertices each mesh draws, for checking what a corner names.
        std::vector<std::vector<uint32_t>> drawn(meshes.size());
        for (uint32_t e = 0; e < meshes.size(); ++e) {
            for (const Triangle& t : meshes[e].triangles) drawn[e].insert(drawn[e].end(), t.begin(), t.end());
            std::sort(drawn[e].begin(), drawn[e].end());
            drawn[e].erase(std::unique(drawn[e].begin(), drawn[e].end()), drawn[e].end());
        }
        for (const GltfPrimitive& g : file.primitives) {
            if (g.texcoord1.empty())
                return Refuse(why, Label(g) + " has no TEXCOORD_1 while other meshes have one: a mesh added to the model "
                                              "cannot be written back");
            if (!PlaceByMap(g, drawn, p.m.vertexCount, placer)) return false;
        }
    }
    if (!MeshesWhole(meshes, placer)) return false;
    if (ReadsAsZUp(out, p))
        return Refuse(why, "its positions read as Z up: export it from Blender with \"+Y Up\" switched on");
    for (uint32_t n = 0; n < p.m.vertexCount; ++n) {
        float* q = &out.xyz[3 * size_t(n)];
        float y = q[1];
        q[1] = -q[2];
        q[2] = y;
    }
    return true;
}
