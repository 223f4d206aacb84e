#include "viewer/Viewer.h"

#include "model/Pose.h"

#include <cstring>
#include <new>

bool Viewer::ShowImage(const Image32& image, bool twoSided, bool alpha) {
    meshCount = 0;
    rig.reset();
    animation = -1;
    slot0.image.Release();
    slot0.filled = false;
    ++slot0.revision;
    if (image.pixels == nullptr || !slot0.image.Create(image.width, image.height)) return false;
    std::memcpy(slot0.image.pixels, image.pixels, uint64_t(image.width) * image.height * 4);
    slot0.twoSided = twoSided;
    slot0.alpha = alpha;
    return true;
}

void Viewer::FillImage(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    meshCount = 0;
    slot0.twoSided = false;
    slot0.alpha = false;
    slot0.filled = true;
    slot0.fillArgb = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    ++slot0.revision;
    if (slot0.image.pixels == nullptr) return;
    uint64_t n = uint64_t(slot0.image.width) * slot0.image.height;
    for (uint64_t i = 0; i < n; ++i) {
        uint8_t* p = slot0.image.pixels + i * 4;
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    }
}

Viewer::~Viewer() {
    slot0.image.Release();
    for (TextureSlot& slot : slots) slot.image.Release();
}

void Viewer::ReleaseModelTextures() {
    meshCount = 0;
    rig.reset();
    animation = -1;
    while (slotCount > 1) {
        --slotCount;
        slots[slotCount].image.Release();
        slots[slotCount] = TextureSlot{};
    }
    ++modelRevision;
}

bool Viewer::AddTexture(const Image32& image, uint8_t twoSided, uint8_t alpha) {
    if (slotCount >= kTextureSlotCapacity || image.pixels == nullptr) return false;
    TextureSlot& slot = slots[slotCount];
    if (!slot.image.Create(image.width, image.height)) return false;
    std::memcpy(slot.image.pixels, image.pixels, uint64_t(image.width) * image.height * 4);
    slot.twoSided = twoSided;
    slot.alpha = alpha;
    slot.substitute = false;
    ++slotCount;
    ++modelRevision;
    return true;
}

bool Viewer::AddSubstituteTexture() {
    Image32 board = Image32{};
    bool added = MakeCheckerboard(board) && AddTexture(board, 1, 0);
    board.Release();
    if (added) slots[slotCount - 1].substitute = true;
    return added;
}

ModelVertex* Viewer::LockModelVertices(uint32_t count) {
    if (count > kModelVertexCapacity) return nullptr;
    // Allocated on first use: most runs never show a model, and AppState
    // often lives on the stack.
    if (!vertices) vertices.reset(new (std::nothrow) ModelVertex[kModelVertexCapacity]);
    if (!vertices) return nullptr;
    lockedVertices = count;
    return vertices.get();
}

void Viewer::UnlockModelVertices() { ++modelRevision; }

bool Viewer::AddMesh(uint32_t textureIndex, uint32_t triangleCount) {
    if (meshCount >= kMeshCapacity) return false;
    meshes[meshCount++] = MeshRange{textureIndex, triangleCount, 1};
    ++modelRevision;
    return true;
}

void Viewer::SetMeshVisible(uint32_t i, bool visible) {
    if (i >= meshCount) return;
    meshes[i].visible = visible ? 1 : 0;
}

void Viewer::ClearSkeleton() { skeleton.pointCount = 0; }

bool Viewer::AddSkeletonSegment(const float start[3], const float end[3]) {
    if (skeleton.pointCount + 2 > 2 * kSkeletonSegmentCapacity) return false;
    std::memcpy(skeleton.points[skeleton.pointCount++], start, sizeof skeleton.points[0]);
    std::memcpy(skeleton.points[skeleton.pointCount++], end, sizeof skeleton.points[0]);
    return true;
}

bool Viewer::ShowModel(LoadedModel& model) {
    ReleaseModelTextures();
    for (TextureSlot& t : model.textures)
        // A texture that cannot be made gets the substitute too, so that
        // slot k + 1 stays mesh k's.
        if (t.substitute || !AddTexture(t.image, t.twoSided, t.alpha)) AddSubstituteTexture();
    if (model.hasSkeleton) {
        ClearSkeleton();
        for (uint32_t i = 0; i + 1 < model.skeleton.pointCount; i += 2)
            AddSkeletonSegment(model.skeleton.points[i], model.skeleton.points[i + 1]);
    }
    FillImage(0xFF000000u);
    ModelVertex* write = LockModelVertices(model.lockCount);
    if (write == nullptr) return false;
    size_t n = model.vertices.size() < model.lockCount ? model.vertices.size() : model.lockCount;
    if (n > 0) std::memcpy(write, model.vertices.data(), n * sizeof(ModelVertex));
    for (const MeshRange& mesh : model.meshes) AddMesh(mesh.textureIndex, mesh.triangleCount);
    UnlockModelVertices();
    rig = model.rig;
    return true;
}

bool Viewer::Play(int32_t a, double now) {
    bool known = rig != nullptr && a >= 0 && size_t(a) < rig->skeleton.animations.size();
    bool wasPlaying = animation >= 0;
    animation = known ? a : -1;
    frame = 0;
    started = now;
    if (rig != nullptr && vertices && (known || wasPlaying)) {
        PoseForView(*rig, animation, 0, vertices.get(), skeleton);
        ++poseRevision;
    }
    return known || a < 0;
}

bool Viewer::Advance(double now) {
    if (animation < 0 || rig == nullptr || !vertices) return false;
    uint32_t due = FrameAtTime(rig->skeleton.animations[size_t(animation)], now - started);
    if (due == frame) return false;
    frame = due;
    PoseForView(*rig, animation, frame, vertices.get(), skeleton);
    ++poseRevision;
    return true;
}

double Viewer::NextFrameDue(double now) const {
    if (animation < 0 || rig == nullptr) return -1;
    return started + NextFrameTime(rig->skeleton.animations[size_t(animation)], now - started);
}
