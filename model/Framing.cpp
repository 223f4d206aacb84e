#include "model/Framing.h"

#include <cmath>

namespace {

const float kEmptyModelDistance = 16.0f;
const float kQuarterTurn = 1.57079633f;
// Beyond this the float eye and depth range stop meaning anything; a model
// this large is a broken file, and is shown from here as a speck.
const float kLargestDistance = 1.0e7f;

bool Finite(const ModelVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

ModelBounds MeasureModel(const ModelVertex* v, uint64_t vertexCount, const MeshRange* meshes, uint64_t meshCount) {
    ModelBounds b;
    if (v == nullptr) return b;
    uint64_t used = 0;
    for (uint64_t i = 0; i < meshCount; ++i) used += 3ull * meshes[i].triangleCount;
    if (used > vertexCount) used = vertexCount;
    for (uint64_t i = 0; i < used; ++i) {
        if (!Finite(v[i])) continue;
        const float p[3] = {v[i].x, v[i].y, v[i].z};
        for (int k = 0; k < 3; ++k) {
            if (b.empty || p[k] < b.min[k]) b.min[k] = p[k];
            if (b.empty || p[k] > b.max[k]) b.max[k] = p[k];
        }
        b.empty = false;
    }
    if (b.empty) return b;
    // Halved before adding: the sum of two large floats may overflow.
    for (int k = 0; k < 3; ++k) b.centre[k] = b.min[k] / 2 + b.max[k] / 2;
    double largest = 0.0;
    for (uint64_t i = 0; i < used; ++i) {
        if (!Finite(v[i])) continue;
        double dx = double(v[i].x) - b.centre[0], dy = double(v[i].y) - b.centre[1], dz = double(v[i].z) - b.centre[2];
        double d = dx * dx + dy * dy + dz * dz;
        if (d > largest) largest = d;
    }
    b.radius = float(std::sqrt(largest));
    return b;
}

float FramingDistance(float radius) {
    float fit = radius / std::sin(kFieldOfView / 2);
    float clear = radius + kNearPlane;
    float d = fit > clear ? fit : clear;
    return d < kLargestDistance ? d : kLargestDistance;
}

void FrameModel(LoadedModel& model) {
    uint64_t count = model.vertices.size() < model.lockCount ? model.vertices.size() : model.lockCount;
    FrameModel(MeasureModel(model.vertices.data(), count, model.meshes.data(), model.meshes.size()), model.camera);
}

void FrameModel(const ModelBounds& b, Camera& camera) {
    float d = b.empty ? kEmptyModelDistance : FramingDistance(b.radius);
    for (int k = 0; k < 3; ++k) camera.centre[k] = b.centre[k];
    camera.eye[0] = camera.eye[1] = 0.0f;
    camera.eye[2] = -d;
    camera.yaw = camera.pitch = camera.roll = 0.0f;
    // A model longer in depth than across (a sword pointing at the eye, a car
    // seen from behind) fills only a sliver of the view seen end-on; a
    // quarter turn shows its long side instead (its far end goes right).
    if (!b.empty && b.max[2] - b.min[2] > b.max[0] - b.min[0]) camera.yaw = kQuarterTurn;
    camera.farthestEyeZ = -d < kFarthestEyeZ ? -d : kFarthestEyeZ;
    // The far side of the model from the farthest place the zoom allows.
    float reach = -camera.farthestEyeZ + (b.radius < kLargestDistance ? b.radius : kLargestDistance);
    camera.farPlane = reach * 2 > kFarPlane ? reach * 2 : kFarPlane;
}
