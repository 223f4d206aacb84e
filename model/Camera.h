// Where the 3D view looks from. The model readers place it when a model is
// loaded; mouse drags move it; every frame turns it into the transforms.
#pragma once

struct Camera {
    // z is negative: the eye stands in front of the model, looking towards +z.
    float eye[3] = {0.0f, 0.0f, 0.0f};
    // Radians. Roll is reset with the others but never applied.
    float yaw = 0.0f;
    float pitch = 0.0f;
    float roll = 0.0f;
    // Only the Redemption reader changes it.
    float modelScale = 1.0f;
};
