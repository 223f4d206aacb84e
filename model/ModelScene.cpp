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

void PlaceBone(const double a[16], SceneBone& bone) {
    double axis[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) axis[r][c] = a[4 * r + c];
        bone.translation[r] = float(a[12 + r]);
    }
    auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    double det = axis[0][0] * (axis[1][1] * axis[2][2] - axis[1][2] * axis[2][1]) -
                 axis[0][1] * (axis[1][0] * axis[2][2] - axis[1][2] * axis[2][0]) +
                 axis[0][2] * (axis[1][0] * axis[2][1] - axis[1][1] * axis[2][0]);
    double s[3];
    for (int r = 0; r < 3; ++r) s[r] = std::sqrt(dot(axis[r], axis[r]));
    if (!(s[0] > 1e-12 && s[1] > 1e-12 && s[2] > 1e-12) || !std::isfinite(det)) return;  // leave it unplaced
    if (det < 0)
        for (int c = 0; c < 3; ++c) axis[0][c] = -axis[0][c];
    double x[3], y[3], z[3];
    for (int c = 0; c < 3; ++c) x[c] = axis[0][c] / s[0];
    double d = dot(x, axis[1]);
    for (int c = 0; c < 3; ++c) y[c] = axis[1][c] - d * x[c];
    double ly = std::sqrt(dot(y, y));
    if (!(ly > 1e-12)) return;
    for (double& v : y) v /= ly;
    z[0] = x[1] * y[2] - x[2] * y[1], z[1] = x[2] * y[0] - x[0] * y[2], z[2] = x[0] * y[1] - x[1] * y[0];
    // Column c of the rotation is axis c: m[row][col].
    double m[3][3] = {{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}};
    double q[4], trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        double t = std::sqrt(trace + 1.0) * 2;
        q[3] = 0.25 * t, q[0] = (m[2][1] - m[1][2]) / t, q[1] = (m[0][2] - m[2][0]) / t, q[2] = (m[1][0] - m[0][1]) / t;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        double t = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        q[3] = (m[2][1] - m[1][2]) / t, q[0] = 0.25 * t, q[1] = (m[0][1] + m[1][0]) / t, q[2] = (m[0][2] + m[2][0]) / t;
    } else if (m[1][1] > m[2][2]) {
        double t = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        q[3] = (m[0][2] - m[2][0]) / t, q[0] = (m[0][1] + m[1][0]) / t, q[1] = 0.25 * t, q[2] = (m[1][2] + m[2][1]) / t;
    } else {
        double t = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        q[3] = (m[1][0] - m[0][1]) / t, q[0] = (m[0][2] + m[2][0]) / t, q[1] = (m[1][2] + m[2][1]) / t, q[2] = 0.25 * t;
    }
    double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i) bone.rotation[i] = float(q[i] / n);
    bone.scale[0] = float(det < 0 ? -s[0] : s[0]);
    bone.scale[1] = float(s[1]);
    bone.scale[2] = float(s[2]);
}

