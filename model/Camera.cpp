#include "model/Camera.h"

#include <cmath>

namespace {

// The game types of pack/GameFiles.h, which this layer cannot include.
const uint32_t kRedemption = 1;
const uint32_t kBloodlines = 2;

Matrix4 Identity() {
    Matrix4 r = {};
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

void Transform(const Matrix4& t, const float in[4], float out[4]) {
    for (int j = 0; j < 4; ++j) {
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k) sum += in[k] * t.m[k][j];
        out[j] = sum;
    }
}

}  // namespace

Matrix4 WorldMatrix(const Camera& camera) {
    Matrix4 move = Identity();
    for (int i = 0; i < 3; ++i) move.m[3][i] = -camera.centre[i];
    Matrix4 x = Identity();
    float c = std::cos(camera.pitch), s = std::sin(camera.pitch);
    x.m[1][1] = c;
    x.m[1][2] = s;
    x.m[2][1] = -s;
    x.m[2][2] = c;
    Matrix4 y = Identity();
    c = std::cos(camera.yaw);
    s = std::sin(camera.yaw);
    y.m[0][0] = c;
    y.m[0][2] = -s;
    y.m[2][0] = s;
    y.m[2][2] = c;
    return Multiply(Multiply(move, x), y);
}

Matrix4 ViewMatrix(const Camera& camera) {
    // The target is straight ahead along +z and up is y, so the look-at basis
    // is the identity and the view only moves the eye to the origin.
    Matrix4 r = Identity();
    for (int i = 0; i < 3; ++i) r.m[3][i] = -camera.eye[i];
    return r;
}

Matrix4 ProjectionMatrix(const Camera& camera) {
    Matrix4 r = {};
    float scale = 1.0f / std::tan(kFieldOfView / 2);
    float zf = camera.farPlane, zn = kNearPlane;
    r.m[0][0] = scale;
    r.m[1][1] = scale;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -zn * zf / (zf - zn);
    return r;
}

bool ProjectModelPoint(const Camera& camera, const float point[3], float out[2]) {
    Matrix4 all = Multiply(Multiply(WorldMatrix(camera), ViewMatrix(camera)), ProjectionMatrix(camera));
    float in[4] = {point[0], point[1], point[2], 1.0f};
    float clip[4];
    Transform(all, in, clip);
    if (!(clip[3] >= kNearPlane)) return false;
    out[0] = clip[0] / clip[3];
    out[1] = clip[1] / clip[3];
    return true;
}

void PanCamera(Camera& camera, int32_t dx, int32_t dy, uint32_t gameType) {
    float speed = gameType == kRedemption ? kPanSpeedRedemption : gameType == kBloodlines ? kPanSpeedBloodlines : 0.0f;
    camera.eye[0] -= float(dx) * speed;
    camera.eye[1] += float(dy) * speed;
}

void TurnCamera(Camera& camera, int32_t dx) { camera.yaw -= float(dx) * kTurnSpeed; }

void ZoomCamera(Camera& camera, int32_t dy) {
    camera.eye[2] += float(dy) * kZoomSpeed;
    ClampEyeZ(camera);
}

void WheelZoomCamera(Camera& camera, int32_t delta) {
    // A share of the distance rather than a fixed step, so that the wheel
    // serves a ring as well as a house.
    camera.eye[2] -= camera.eye[2] * kWheelStep * (float(delta) / float(kWheelNotch));
    ClampEyeZ(camera);
}

void ClampEyeZ(Camera& camera) {
    if (camera.eye[2] > kNearestEyeZ)
        camera.eye[2] = kNearestEyeZ;
    else if (camera.eye[2] < camera.farthestEyeZ)
        camera.eye[2] = camera.farthestEyeZ;
    else if (camera.eye[2] != camera.eye[2])
        camera.eye[2] = kNearestEyeZ;
}
