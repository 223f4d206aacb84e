// Where the 3D view looks from. A model load frames the model (Framing.h);
// mouse drags and the wheel move the camera; every frame turns it into the
// three transforms below (row vectors, left-handed, as Direct3D takes them).
#pragma once

#include <cstdint>

// The eye always looks straight down +z at the plane z = 0.
const float kFieldOfView = 0.785398163f;  // pi/4, vertical; the view is square
const float kNearPlane = 1.0f;
const float kFarPlane = 10000.0f;
const float kNearestEyeZ = -1.0f;
const float kFarthestEyeZ = -1000.0f;
// Per pixel of mouse movement.
const float kPanSpeedRedemption = 0.1f;
const float kPanSpeedBloodlines = 0.3f;
const float kTurnSpeed = 0.01f;
const float kZoomSpeed = 1.0f;
// One notch of the mouse wheel (WHEEL_DELTA) moves the eye by this share of
// its distance to the plane z = 0.
const int kWheelNotch = 120;
const float kWheelStep = 0.1f;

struct Camera {
    // z is negative: the eye stands in front of the model, looking towards +z.
    float eye[3] = {0.0f, 0.0f, 0.0f};
    // Radians. Roll is reset with the others but never applied.
    float yaw = 0.0f;
    float pitch = 0.0f;
    float roll = 0.0f;
    // Only the Redemption reader changes it.
    float modelScale = 1.0f;
    // The model turns about this point: the world transform moves it to the
    // origin before turning.
    float centre[3] = {0.0f, 0.0f, 0.0f};
    // The zoom's far limit for the eye and the far plane. Framing widens them
    // for a model too large to be seen whole from within the usual ones.
    float farthestEyeZ = kFarthestEyeZ;
    float farPlane = kFarPlane;
};

// A row-major 4 x 4 matrix; points are row vectors multiplied on the left.
struct Matrix4 {
    float m[4][4];
};

// world = move centre to the origin x rotation X(pitch) x rotation Y(yaw).
Matrix4 WorldMatrix(const Camera& camera);
// Looking from the eye towards (eye.x, eye.y, 0) with y up.
Matrix4 ViewMatrix(const Camera& camera);
// Perspective with kFieldOfView, aspect 1, kNearPlane and the camera's far plane.
Matrix4 ProjectionMatrix(const Camera& camera);
// Where a model point lands in the view: x and y from -1 (left, bottom) to
// 1 (right, top). False when the point is not in front of the near plane.
bool ProjectModelPoint(const Camera& camera, const float point[3], float out[2]);

// The mouse's moves, in pixels (dx right, dy down). Panning moves by the open
// game's speed (no other game type pans); zooming and the wheel keep the eye
// z within [farthestEyeZ, kNearestEyeZ].
void PanCamera(Camera& camera, int32_t dx, int32_t dy, uint32_t gameType);
void TurnCamera(Camera& camera, int32_t dx);
void ZoomCamera(Camera& camera, int32_t dy);
// delta as WM_MOUSEWHEEL gives it: positive (away from the user) nears.
void WheelZoomCamera(Camera& camera, int32_t delta);
void ClampEyeZ(Camera& camera);
