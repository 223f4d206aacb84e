// The model on display, in the form the 3D view draws: a non-indexed
// triangle list, mesh ranges into it, texture slots and skeleton lines.
// Readers convert model files into a LoadedModel; showing it copies the
// tables into the Viewer, and no decoded model is kept anywhere else.
#pragma once

#include "model/Camera.h"
#include "texture/Image32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
// The view's line buffer (16,384 bytes of 16-byte vertices) holds 512
// segments: a Bloodlines rig has up to a few hundred bones.
const uint32_t kSkeletonSegmentCapacity = 512;
const char kTooManySegments[] = "The model has more than 512 skeleton segments, the viewer's limit";

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

struct ModelRig;

// What a model reader made of a model, complete and checked, for the view
// to show: nothing on display changes until it is shown, so a refused model
// leaves the previous one in place.
struct LoadedModel {
    // Slots 1, 2, ... in order: a copy of each material's picture, or a
    // substitute (checkerboard) where it could not be loaded.
    std::vector<TextureSlot> textures;
    // The vertex buffer: lockCount vertices are locked, the meshes draw the
    // first ones.
    uint32_t lockCount = 0;
    std::vector<ModelVertex> vertices;
    std::vector<MeshRange> meshes;
    // Redemption models and Bloodlines models with bones replace the
    // skeleton.
    bool hasSkeleton = false;
    SkeletonLines skeleton;
    // The bones and animations of a Bloodlines model with bones, for the
    // view to pose; null otherwise.
    std::shared_ptr<const ModelRig> rig;
    // The text pane: its text and the check list, one name per mesh.
    std::string text;
    std::vector<std::string> checkList;
    Camera camera;
    // Only the Redemption reader sets the model scale; otherwise it stays.
    bool setsScale = false;
    // The motion file whose text is shown (Redemption), empty when none.
    std::string motionFile;

    LoadedModel() = default;
    LoadedModel(const LoadedModel&) = delete;
    LoadedModel& operator=(const LoadedModel&) = delete;
    ~LoadedModel() {
        for (TextureSlot& slot : textures) slot.image.Release();
    }
    // Takes the picture (the caller's image is left empty), or a substitute
    // when loaded is false.
    void AddTexture(Image32& image, bool loaded, uint8_t twoSided, uint8_t alpha);
    bool AddSkeletonSegment(const float start[3], const float end[3]);
};
