#include "model/RedemptionModel.h"

#include "model/NodFormat.h"
#include "texture/LoadImage.h"
#include "model/Framing.h"

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
// the segments that can be drawn; with out, adds them.
bool WalkBones(const Bytes& f, const NodLayout& m, float s, LoadedModel* out, uint32_t& segments, std::string& why) {
    segments = 0;
    for (uint32_t b = 0; b < m.boneCount; ++b) {
        uint16_t parent = BoneParent(f, m, b);
        if (parent == kNoParent) continue;
        if (parent >= m.boneCount) return Fail(why, "a bone's parent is not in the bones");
        float start[3], end[3];
        if (!BonePosition(f, m, parent, s, start) || !BonePosition(f, m, b, s, end)) continue;
        ++segments;
        if (out != nullptr) out->AddSkeletonSegment(start, end);
    }
    return true;
}

void WriteVertices(const Bytes& f, const NodLayout& m, float s, LoadedModel& out, ModelVertex* write) {
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
        out.meshes.push_back(MeshRange{f.U32(entry), triangles, 1});
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
    name.erase(0, FileNameStart(name));
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return "3d\\motions\\" + name + ".nms";
}

bool Refuse(const MessageSeam& message, std::string& reason, const std::string& why, bool tell) {
    reason = why;
    if (tell) message.Show(why.c_str(), "Error!");
    return false;
}

}  // namespace

LoadResult LoadRedemptionTexture(const GameFiles& files, const MessageSeam& message, const std::string& name,
                                 Image32& image) {
    LoadResult result;
    for (const char* folder : kMaterialFolders) {
        FileEntry material = {};
        std::snprintf(material.name, sizeof material.name, "%s%s.nam", folder, name.c_str());
        image.Release();
        result = LoadImage(files, message, material, image, nullptr);
        if (result.loaded == 1) break;
    }
    return result;
}

bool LoadRedemptionModel(const GameFiles& files, const MessageSeam& message, FileEntry& key, LoadedModel& out,
                         std::string& reason) {
    auto refuse = [&](const std::string& why, bool tell) { return Refuse(message, reason, why, tell); };
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size);
    if (!bytes) return refuse("the model file cannot be read", false);
    Bytes f{bytes.get(), size};

    // Everything is checked before anything is loaded.
    NodLayout m;
    std::string why;
    if (!ReadLayout(f, m, why) || !CheckGroups(f, m, why)) return refuse(why, false);
    float s = m.size < 10.0f ? 1.0f : 0.1f;
    uint32_t segments = 0;
    if (!WalkBones(f, m, s, nullptr, segments, why)) return refuse(why, false);
    if (m.textureCount > kMaterialTextureCapacity)
        return refuse("The model has more than 63 textures, the viewer's limit", true);
    if (m.groupCount > kMeshCapacity)
        return refuse("The model has more than 256 meshes, the viewer's limit", true);
    if (uint64_t(m.triangleCount) * 3 > kModelVertexCapacity)
        return refuse("The model has more than 32768 vertices, the viewer's limit", true);
    if (segments > kSkeletonSegmentCapacity)
        return refuse(kTooManySegments, true);

    reason.clear();
    for (uint32_t t = 0; t < m.textureCount; ++t) {
        Image32 image = Image32{};
        LoadResult result =
            LoadRedemptionTexture(files, message, NameField(f, m.textures + uint64_t(t) * kNameField), image);
        out.AddTexture(image, result.loaded == 1, result.twoSided, result.translucent);
        image.Release();
    }

    out.setsScale = true;
    out.camera.modelScale = s;
    out.hasSkeleton = true;
    WalkBones(f, m, s, &out, segments, why);

    out.lockCount = m.triangleCount * 3;
    out.vertices.assign(out.lockCount, ModelVertex{});
    WriteVertices(f, m, s, out, out.vertices.data());

    FrameModel(out);

    for (uint32_t g = 0; g < m.groupCount; ++g) {
        uint8_t name = f.data[m.groups + uint64_t(g) * kGroupRecord + 0x19];
        out.checkList.push_back(NameField(f, m.names + uint64_t(name) * kNameField));
    }

    std::string motion = MotionPath(key.name);
    FileEntry motionKey = {};
    if (motion.size() < sizeof motionKey.name) {
        std::memcpy(motionKey.name, motion.data(), motion.size());
        uint32_t textSize = 0;
        std::unique_ptr<uint8_t[]> text = ReadGameFile(files, motionKey, textSize);
        if (text) {
            out.text.assign(reinterpret_cast<const char*>(text.get()), textSize);
            out.motionFile = motion;
        }
    }
    return true;
}
