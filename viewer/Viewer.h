// The 3D view's state that the core fills: the picture shown in image slot 0
// with its flags, and the model record (vertex buffer, mesh table, texture
// slots, skeleton). The GUI uploads it to Direct3D; the CLI summarises it.
#pragma once

#include "model/ModelData.h"
#include "model/ModelRig.h"
#include "texture/Image32.h"

#include <cstdint>
#include <memory>
#include <string>

struct ShownImage {
    Image32 image = Image32{};  // owned copy; pixels null when nothing is shown
    bool twoSided = false;
    bool alpha = false;
    // Bumped whenever the picture changes, so the GUI knows to upload again.
    uint32_t revision = 0;
    // Set by FillImage: the whole view shows fillArgb, not just the last
    // picture's width x height.
    bool filled = false;
    uint32_t fillArgb = 0;
};

struct Viewer {
    // Slot 0 of the texture table: the image texture.
    ShownImage slot0;
    // Slots 1 .. slotCount - 1 hold material textures; slots[0] is unused
    // (slot 0 lives in slot0).
    TextureSlot slots[kTextureSlotCapacity];
    uint32_t slotCount = 1;
    MeshRange meshes[kMeshCapacity] = {};
    uint32_t meshCount = 0;  // 0: the image in slot 0 is shown
    SkeletonLines skeleton;
    // Bumped whenever the vertices, meshes or texture slots change, so the
    // GUI knows to upload them. Mesh visibility and the skeleton are read
    // by every frame and need no upload.
    uint32_t modelRevision = 0;
    // The motion file the Redemption reader showed beside its model; empty
    // when none was found.
    std::string motionFile;

    // The bones and animations of the Bloodlines model on show (null when
    // it has none), the animation playing (-1: none, the rest pose), the
    // frame shown and when the animation started, on the front end's
    // clock in seconds.
    std::shared_ptr<const ModelRig> rig;
    int32_t animation = -1;
    uint32_t frame = 0;
    double started = 0;
    // Bumped whenever the vertices and skeleton are posed anew, so the GUI
    // uploads the vertices again (and nothing else).
    uint32_t poseRevision = 0;

    Viewer() = default;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;
    ~Viewer();

    // Takes a copy of image for slot 0; mesh count := 0.
    bool ShowImage(const Image32& image, bool twoSided, bool alpha);
    // Fills slot 0 with one colour (B, G, R, A), as when nothing is shown;
    // mesh count := 0, slot 0's flags := 0.
    void FillImage(uint8_t b, uint8_t g, uint8_t r, uint8_t a);
    // The same with a 32-bit ARGB colour (0xFF000000 is opaque black).
    void FillImage(uint32_t argb) {
        FillImage(uint8_t(argb), uint8_t(argb >> 8), uint8_t(argb >> 16), uint8_t(argb >> 24));
    }

    // Mesh count := 0; releases slots from the last down to slot 1.
    void ReleaseModelTextures();
    // A copy of image in the next slot with its flags; slot count + 1. False,
    // with the slot count unchanged, when the table is full or the image
    // holds no pixels.
    bool AddTexture(const Image32& image, uint8_t twoSided, uint8_t alpha);
    // AddTexture with the checkerboard, two-sided, not blended.
    bool AddSubstituteTexture();

    // The model vertex buffer: lock the first count vertices, write them,
    // unlock. Null when count exceeds kModelVertexCapacity or no memory.
    ModelVertex* LockModelVertices(uint32_t count);
    void UnlockModelVertices();
    // The vertices last written (memory backend only), lockedVertices of them.
    const ModelVertex* ModelVertices() const { return vertices.get(); }
    uint32_t lockedVertices = 0;

    // Appends a visible mesh; false when the table is full.
    bool AddMesh(uint32_t textureIndex, uint32_t triangleCount);
    // textureIndex of mesh i, or 0 when there is no mesh i.
    uint32_t MeshTextureIndex(uint32_t i) const { return i < meshCount ? meshes[i].textureIndex : 0; }
    // Ignored when there is no mesh i.
    void SetMeshVisible(uint32_t i, bool visible);

    void ClearSkeleton();
    // False, adding nothing, when 64 segments are already held.
    bool AddSkeletonSegment(const float start[3], const float end[3]);

    // Plays animation a of the model's rig, looping, from time now; a < 0
    // (or a model without animations) stops and shows the rest pose. False
    // when there is no such animation (then it stops as well).
    bool Play(int32_t a, double now);
    // Poses the frame due at time now; true when it differs from the one
    // shown (and the vertices changed).
    bool Advance(double now);
    // The time after now when the next frame is due, or a negative number
    // when nothing plays: the front end draws no faster than this.
    double NextFrameDue(double now) const;

    // Puts a loaded model on display: its textures in slots 1, 2, ... (the
    // checkerboard where one could not be made), its skeleton when it has
    // one, slot 0 filled black, its vertices and meshes. False when the
    // vertex buffer cannot be had (the textures are already replaced).
    bool ShowModel(LoadedModel& model);

private:
    std::unique_ptr<ModelVertex[]> vertices;
};
