#include "model/RedemptionModel.h"

#include "model/NodFormat.h"
#include "pack/GameFiles.h"
#include "texture/LoadImage.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace nodformat;

namespace {

// Where bone b's origin lies in view space: (0, 0, 0, 1) times the inverse
// of its matrix (the inverse's translation row), mirrored and scaled. A
// matrix without an inverse has no such point; the caller draws nothing for
// it rather than a segment to an arbitrary place.
bool BonePosition(const Bytes& f, const NodLayout& m, uint32_t b, float s, float out[3]) {
    double a[16];
    BoneMatrix(f, m, b, a);
    double inv[16];
    if (!Invert4x4(a, inv)) return false;
    out[0] = float(-s * inv[12]);
    out[1] = float(s * inv[14]);
    out[2] = float(-s * inv[13]);
    return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]);
}

// Walks the bones that have a parent: checks the parent index and counts
// the segments that can be drawn; with viewer, adds them.
bool WalkBones(const Bytes& f, const NodLayout& m, float s, Viewer* viewer, uint32_t& segments, std::string& why) {
    segments = 0;
    for (uint32_t b = 0; b < m.boneCount; ++b) {
        uint16_t parent = BoneParent(f, m, b);
        if (parent == kNoParent) continue;
        if (parent >= m.boneCount) return Fail(why, "a bone's parent is not in the bones");
        float start[3], end[3];
        if (!BonePosition(f, m, parent, s, start) || !BonePosition(f, m, b, s, end)) continue;
        ++segments;
        if (viewer != nullptr) viewer->AddSkeletonSegment(start, end);
    }
    return true;
}

void WriteVertices(const Bytes& f, const NodLayout& m, float s, Viewer& viewer, ModelVertex* write) {
    uint64_t triangle = 0, base = 0;
    for (uint32_t g = 0; g < m.groupCount; ++g) {
        uint64_t entry = m.groups + uint64_t(g) * kGroupRecord;
        uint32_t triangles = f.U16(entry + 0x10);
        for (uint64_t t = triangle; t < triangle + triangles; ++t)
            // The mirroring below turns faces inside out; i2, i1, i0 turns
            // them back.
            for (int k = 2; k >= 0; --k) {
                uint64_t r = m.vertices + (base + f.U16(m.triangles + t * kTriangleRecord + 2 * k)) * kVertexRecord;
                // Mirrored into view space, (x, y, z) -> (-x, z, -y), normals
                // alike; v counts from the other edge.
                *write++ = ModelVertex{-s * f.F32(r),    s * f.F32(r + 0x08), -s * f.F32(r + 0x04),
                                       -f.F32(r + 0x0C), f.F32(r + 0x14),     -f.F32(r + 0x10),
                                       f.F32(r + 0x18),  1.0f - f.F32(r + 0x1C)};
            }
        viewer.AddMesh(f.U32(entry), triangles);
        triangle += triangles;
        base += f.U16(entry + 0x12);
    }
}

// The motion file of a model file: "3d\motions\" and the model's file name
// with its extension replaced by ".nms". The path is the key as
// OpenGameFile left it: lower case with '\' when it came from the index, as
// given (so perhaps with '/') when a loose file was found.
std::string MotionPath(const char* model) {
    std::string name = model;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return "3d\\motions\\" + name + ".nms";
}

bool Refuse(AppState& app, const std::string& why, bool tell) {
    app.viewer.lastModelError = why;
    if (tell) app.message.Show(why.c_str(), "Error!");
    return false;
}

}  // namespace

LoadResult LoadRedemptionTexture(AppState& app, const std::string& name, Image32& image) {
    LoadResult result;
    for (const char* folder : kMaterialFolders) {
        FileEntry material = {};
        std::snprintf(material.name, sizeof material.name, "%s%s.nam", folder, name.c_str());
        image.Release();
        result = LoadImage(app, material, image, false);
        if (result.loaded == 1) break;
    }
    return result;
}

bool LoadRedemptionModel(AppState& app, FileEntry& key) {
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(app, key, size);
    if (!bytes) return Refuse(app, "the model file cannot be read", false);
    Bytes f{bytes.get(), size};

    // Everything is checked before the display changes, so a refused model
    // leaves the previous one on show.
    NodLayout m;
    std::string why;
    if (!ReadLayout(f, m, why) || !CheckGroups(f, m, why)) return Refuse(app, why, false);
    float s = m.size < 10.0f ? 1.0f : 0.1f;
    uint32_t segments = 0;
    if (!WalkBones(f, m, s, nullptr, segments, why)) return Refuse(app, why, false);
    if (m.textureCount > kMaterialTextureCapacity)
        return Refuse(app, "The model has more than 63 textures, the viewer's limit", true);
    if (m.groupCount > kMeshCapacity)
        return Refuse(app, "The model has more than 256 meshes, the viewer's limit", true);
    if (uint64_t(m.triangleCount) * 3 > kModelVertexCapacity)
        return Refuse(app, "The model has more than 32768 vertices, the viewer's limit", true);
    if (segments > kSkeletonSegmentCapacity)
        return Refuse(app, "The model has more than 64 skeleton segments, the viewer's limit", true);

    Viewer& viewer = app.viewer;
    viewer.lastModelError.clear();
    viewer.motionFile.clear();
    viewer.ReleaseModelTextures();
    for (uint32_t t = 0; t < m.textureCount; ++t) {
        Image32 image = Image32{};
        LoadResult result = LoadRedemptionTexture(app, NameField(f, m.textures + uint64_t(t) * kNameField), image);
        // A texture that cannot be made gets the substitute too, so that
        // slot t + 1 stays texture t's.
        if (result.loaded != 1 || !viewer.AddTexture(image, result.twoSided, result.translucent))
            viewer.AddSubstituteTexture();
        image.Release();
    }

    app.camera.modelScale = s;
    viewer.ClearSkeleton();
    WalkBones(f, m, s, &viewer, segments, why);

    viewer.FillImage(0xFF000000u);
    ModelVertex* write = viewer.LockModelVertices(m.triangleCount * 3);
    if (write == nullptr) return Refuse(app, "Error Locking Vertex Buffer", false);
    WriteVertices(f, m, s, viewer, write);
    viewer.UnlockModelVertices();

    // A box that is not finite places the camera at the near limit.
    float d = m.size * s + 4.0f;
    if (!(d >= 16.0f)) d = 16.0f;
    app.camera.eye[0] = 0.0f;
    app.camera.eye[1] = 6.4f;
    app.camera.eye[2] = d > 1000.0f ? -1000.0f : -d;
    app.camera.yaw = app.camera.pitch = app.camera.roll = 0.0f;

    app.textView.entryCount = 0;
    for (uint32_t g = 0; g < m.groupCount; ++g) {
        uint8_t name = f.data[m.groups + uint64_t(g) * kGroupRecord + 0x19];
        app.textView.SetItem(g, NameField(f, m.names + uint64_t(name) * kNameField));
    }

    std::string motion = MotionPath(key.name);
    FileEntry motionKey = {};
    bool shown = false;
    if (motion.size() < sizeof motionKey.name) {
        std::memcpy(motionKey.name, motion.data(), motion.size());
        shown = ShowFileAsText(app, motionKey);
    }
    if (shown)
        viewer.motionFile = motion;
    else
        app.textView.SetText(std::string());
    app.textView.SetMode(1);
    return true;
}
