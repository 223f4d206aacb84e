// The model on display, in the form the 3D view draws: a non-indexed
// triangle list, mesh ranges into it, texture slots and skeleton lines.
// Readers convert model files straight into these tables (through Viewer);
// no decoded model is kept anywhere else.
#pragma once

#include "texture/Image32.h"

#include <cstdint>

// One vertex of the model buffer (Direct3D XYZ | NORMAL | TEX1), Y up.
struct ModelVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(ModelVertex) == 32, "ModelVertex is the 32-byte XYZ|NORMAL|TEX1 vertex");

// Capacities of the record. A model that needs more is refused by its
// reader; nothing is ever written past a table.
const uint32_t kModelVertexCapacity = 32768;  // one 1 MiB buffer
const uint32_t kMeshCapacity = 256;
const uint32_t kTextureSlotCapacity = 64;  // slot 0 is the image texture
const uint32_t kMaterialTextureCapacity = kTextureSlotCapacity - 1;
const uint32_t kSkeletonSegmentCapacity = 64;

// Mesh i starts at vertex 3 x (triangles of meshes 0 .. i-1), visible or not.
struct MeshRange {
    uint32_t textureIndex;  // the slot drawn is textureIndex + 1
    uint32_t triangleCount;
    uint8_t visible;
};

// A texture slot as the memory backend keeps it: a copy of the uploaded
// picture (pixels null when it could not be made) and the drawing flags.
struct TextureSlot {
    Image32 image = Image32{};
    uint8_t twoSided = 0;
    uint8_t alpha = 0;
    // The checkerboard stands in for a material that could not be loaded.
    bool substitute = false;
};

struct SkeletonLines {
    bool created = true;  // the memory backend always has its point store
    uint32_t pointCount = 0;
    // Points 2k (start, drawn green) and 2k + 1 (end, red) form segment k.
    float points[2 * kSkeletonSegmentCapacity][3] = {};
};

// The stand-in for a material whose picture cannot be loaded: 64 x 64,
// squares of 8 x 8 pixels, white at (0, 0), opaque black where bit 3 of
// (x XOR y) is set. False when the picture cannot be allocated.
bool MakeCheckerboard(Image32& image);
