#include "model/ModelScene.h"

#include <cmath>

namespace {

// Scales (x, y, z) to unit length; false when it has none (zero or not finite).
bool Normalise(float v[3]) {
    double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    if (!(length > 1e-20) || !std::isfinite(length)) return false;
    for (int i = 0; i < 3; ++i) v[i] = float(v[i] / length);
    return true;
}

}  // namespace

void MeshCollector::Add(uint32_t v, const float position[3], const float normal[3], const float uv[2]) {
    slot[v] = target->VertexCount();
    used.push_back(v);
    target->modelVertices.push_back(v);
    target->positions.insert(target->positions.end(), position, position + 3);
    // A normal without a direction is left zero and made from the faces
    // afterwards (RepairNormals): readers of the file expect unit vectors.
    float n[3] = {normal[0], normal[1], normal[2]};
    if (!Normalise(n)) n[0] = n[1] = n[2] = 0.0f;
    target->normals.insert(target->normals.end(), n, n + 3);
    target->texcoords.insert(target->texcoords.end(), uv, uv + 2);
}

void RepairNormals(SceneMesh& mesh) {
    std::vector<float>& n = mesh.normals;
    const std::vector<float>& p = mesh.positions;
    std::vector<uint8_t> broken(mesh.VertexCount(), 0);
    bool any = false;
    for (uint32_t v = 0; v < mesh.VertexCount(); ++v)
        if (n[3 * v] == 0.0f && n[3 * v + 1] == 0.0f && n[3 * v + 2] == 0.0f) broken[v] = 1, any = true;
    if (!any) return;
    // The sum of the faces' normals, weighted by their area.
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const uint32_t* i = &mesh.indices[t];
        float e1[3], e2[3];
        for (int c = 0; c < 3; ++c) {
            e1[c] = p[3 * i[1] + c] - p[3 * i[0] + c];
            e2[c] = p[3 * i[2] + c] - p[3 * i[0] + c];
        }
        float face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        for (int k = 0; k < 3; ++k)
            if (broken[i[k]])
                for (int c = 0; c < 3; ++c) n[3 * i[k] + c] += face[c];
    }
    for (uint32_t v = 0; v < mesh.VertexCount(); ++v) {
        if (!broken[v] || Normalise(&n[3 * v])) continue;
        n[3 * v] = 0.0f, n[3 * v + 1] = 1.0f, n[3 * v + 2] = 0.0f;  // a point or a sliver: any direction will do
    }
}
