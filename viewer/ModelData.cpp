#include "viewer/ModelData.h"

#include "viewer/Viewer.h"

#include <cstring>
#include <new>

bool MakeCheckerboard(Image32& image) {
    if (!image.Create(64, 64)) return false;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint8_t c = ((x ^ y) & 8) == 0 ? 0xFF : 0x00;
            uint8_t* p = image.Pixel(x, y);
            p[0] = p[1] = p[2] = c;
            p[3] = 0xFF;
        }
    return true;
}

Viewer::~Viewer() {
    slot0.image.Release();
    for (TextureSlot& slot : slots) slot.image.Release();
}

void Viewer::ReleaseModelTextures() {
    meshCount = 0;
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
