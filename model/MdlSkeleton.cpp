#include "model/MdlSkeleton.h"

#include <cmath>
#include <map>

namespace mdlformat {

namespace {

bool Finite(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

void Floats(const Bytes& f, uint64_t pos, float* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = f.F32(pos + 4 * uint64_t(i));
}

// Says which entry of which table is at fault; always false.
bool Entry(std::string& why, const char* table, uint32_t i, const std::string& what) {
    why = std::string(table) + " " + std::to_string(i) + ": " + what;
    return false;
}

// A table of count records of size bytes at the offset stored at pos.
bool Table(const Bytes& f, uint64_t pos, uint32_t size, uint32_t& count, uint64_t& table) {
    int32_t n = int32_t(f.U32(pos));
    count = n < 0 ? 0 : uint32_t(n);
    table = f.U32(pos + 4);
    return n >= 0 && f.Has(table, uint64_t(count) * size);
}

double Determinant3(const float* m) {  // rows of four: the 3 x 3 part
    return double(m[0]) * (double(m[5]) * m[10] - double(m[6]) * m[9]) -
           double(m[1]) * (double(m[4]) * m[10] - double(m[6]) * m[8]) +
           double(m[2]) * (double(m[4]) * m[9] - double(m[5]) * m[8]);
}

bool ReadBones(const Bytes& f, MdlSkeleton& s, std::string& why) {
    uint32_t count;
    uint64_t table;
    if (!Table(f, 0xF0, kBoneRecord, count, table)) return Fail(why, "the bone table lies outside the file");
    s.bones.resize(count);
    for (uint32_t b = 0; b < count; ++b) {
        uint64_t r = table + uint64_t(b) * kBoneRecord;
        MdlBone& bone = s.bones[b];
        const char* name = CString(f, r + f.U32(r));
        if (name == nullptr) return Entry(why, "bone", b, "its name lies outside the file");
        bone.name = name;
        bone.parent = int32_t(f.U32(r + 4));
        if (bone.parent < -1 || bone.parent >= int32_t(b))
            return Entry(why, "bone", b, "its parent " + std::to_string(bone.parent) + " is not an earlier bone");
        Floats(f, r + 0x20, bone.position, 3);
        Floats(f, r + 0x2C, bone.rotation, 4);
        Floats(f, r + 0x3C, bone.positionScale, 3);
        Floats(f, r + 0x48, bone.rotationScale, 4);
        Floats(f, r + 0x58, bone.poseToBone, 12);
        bone.flags = f.U32(r + 0x88);
        if (!Finite(bone.position, 3) || !Finite(bone.rotation, 4) || !Finite(bone.positionScale, 3) ||
            !Finite(bone.rotationScale, 4) || !Finite(bone.poseToBone, 12))
            return Entry(why, "bone", b, "a value is not a finite number");
        if (!(std::fabs(Determinant3(bone.poseToBone)) > 1e-12))
            return Entry(why, "bone", b, "its pose-to-bone matrix has no inverse");
    }
    return true;
}

bool ReadAttachments(const Bytes& f, MdlSkeleton& s, std::string& why) {
    uint32_t count;
    uint64_t table;
    if (!Table(f, 0x148, kAttachmentRecord, count, table)) return Fail(why, "the attachment table lies outside the file");
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t r = table + uint64_t(i) * kAttachmentRecord;
        MdlAttachment a;
        const char* name = CString(f, r + f.U32(r));
        if (name == nullptr) return Entry(why, "attachment", i, "its name lies outside the file");
        a.name = name;
        a.bone = f.U32(r + 8);
        if (a.bone >= s.bones.size())
            return Entry(why, "attachment", i, "its bone " + std::to_string(int32_t(a.bone)) + " is not in the bone table");
        Floats(f, r + 0xC, a.matrix, 12);
        if (!Finite(a.matrix, 12)) return Entry(why, "attachment", i, "a value is not a finite number");
        s.attachments.push_back(a);
    }
    return true;
}

bool ReadIncludes(const Bytes& f, MdlSkeleton& s, std::string& why) {
    uint32_t count;
    uint64_t table;
    if (!Table(f, 0x194, kIncludeRecord, count, table))
        return Fail(why, "the included-model table lies outside the file");
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t r = table + uint64_t(i) * kIncludeRecord;
        const char* name = CString(f, r + f.U32(r + 4));
        if (name == nullptr) return Entry(why, "included model", i, "its file name lies outside the file");
        s.includes.push_back(name);
    }
    return true;
}

// Decodes the runs of one channel from pos into values, one per frame.
bool DecodeChannel(const Bytes& f, uint64_t pos, std::vector<int16_t>& values) {
    size_t frame = 0;
    while (frame < values.size()) {
        if (!f.Has(pos, 2)) return false;
        uint32_t stored = f.data[pos], covered = f.data[pos + 1];
        if (stored == 0 || !f.Has(pos + 2, 2 * uint64_t(stored))) return false;
        for (uint32_t k = 0; k < covered && frame < values.size(); ++k)
            values[frame++] = int16_t(f.U16(pos + 2 + 2 * uint64_t(k < stored ? k : stored - 1)));
        pos += 2 + 2 * uint64_t(stored);
    }
    return true;
}

// Fills bone b's poses of animation a from its entry.
bool DecodeBone(const Bytes& f, uint64_t entry, const MdlBone& bone, uint32_t b, MdlAnimation& a, std::string& why) {
    for (uint32_t k = 0; k < a.frameCount; ++k) {
        BonePose& p = a.poses[size_t(k) * a.boneCount + b];
        for (int c = 0; c < 3; ++c) p.position[c] = bone.position[c];
        for (int c = 0; c < 4; ++c) p.rotation[c] = bone.rotation[c];
    }
    std::vector<int16_t> values(a.frameCount);
    for (int c = 0; c < 7 && (bone.flags & kBoneProcedural) == 0; ++c) {
        uint32_t offset = f.U32(entry + 4 + 4 * uint64_t(c));
        if (offset == 0) continue;
        if (!DecodeChannel(f, entry + offset, values)) {
            why = "animation " + a.name + ": a channel of bone " + std::to_string(b) +
                  " runs past the end of the file or stores no value";
            return false;
        }
        for (uint32_t k = 0; k < a.frameCount; ++k) {
            BonePose& p = a.poses[size_t(k) * a.boneCount + b];
            // Positions move from the rest position; rotations replace it.
            if (c < 3)
                p.position[c] = bone.position[c] + values[k] * bone.positionScale[c];
            else
                p.rotation[c - 3] = values[k] * bone.rotationScale[c - 3];
        }
    }
    for (uint32_t k = 0; k < a.frameCount; ++k) {
        BonePose& p = a.poses[size_t(k) * a.boneCount + b];
        float* q = p.rotation;
        double length = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3]);
        if (!(length > 1e-6) || !std::isfinite(length) || !Finite(p.position, 3)) {
            why = "animation " + a.name + ": bone " + std::to_string(b) + " has no rotation or position in frame " +
                  std::to_string(k);
            return false;
        }
        for (int c = 0; c < 4; ++c) q[c] = float(q[c] / length);
    }
    return true;
}

bool ReadAnimations(const Bytes& f, MdlSkeleton& s, std::string& why) {
    uint32_t count;
    uint64_t table;
    if (!Table(f, 0x108, kAnimationRecord, count, table)) return Fail(why, "the animation table lies outside the file");
    uint64_t poses = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t r = table + uint64_t(i) * kAnimationRecord;
        MdlAnimation a;
        const char* name = CString(f, r + f.U32(r));
        if (name == nullptr) return Entry(why, "animation", i, "its name lies outside the file");
        a.name = name;
        a.fps = f.F32(r + 4);
        a.frameCount = f.U32(r + 0xC);
        a.boneCount = uint32_t(s.bones.size());
        if (!(a.fps > 0) || !std::isfinite(a.fps)) return Entry(why, "animation", i, "its frame rate is not positive");
        if (a.frameCount == 0 || a.frameCount > 0x7FFFFFFF) return Entry(why, "animation", i, "it has no frames");
        // Held whole in memory: the frames must be ones the file could hold.
        poses += uint64_t(a.frameCount) * (a.boneCount == 0 ? 1 : a.boneCount);
        if (poses > uint64_t(kPosesPerByte) * f.size)
            return Entry(why, "animation", i, "the animations hold more frames than the file can describe");
        uint64_t bones = r + f.U32(r + 0x30);
        if (!f.Has(bones, uint64_t(a.boneCount) * kAnimationBoneEntry))
            return Entry(why, "animation", i, "its bone table lies outside the file");
        a.poses.resize(size_t(a.frameCount) * a.boneCount);
        for (uint32_t b = 0; b < a.boneCount; ++b)
            if (!DecodeBone(f, bones + uint64_t(b) * kAnimationBoneEntry, s.bones[b], b, a, why)) return false;
        a.turned = TurnedFromRest(s, a);
        s.animations.push_back(std::move(a));
    }
    return true;
}

// The angle between two rotations, as the cosine of its half.
double HalfCos(const float* a, const double* b) {
    return std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
}

}  // namespace

bool ReadSkeleton(const Bytes& f, MdlSkeleton& s, std::string& why) {
    s = MdlSkeleton();
    if (!f.Has(0, kStudioHeader)) return Fail(why, "the model header is too short for its bone tables");
    return ReadBones(f, s, why) && ReadAttachments(f, s, why) && ReadAnimations(f, s, why) && ReadIncludes(f, s, why);
}

bool ReadWeights(const Bytes& f, const MdlLayout& m, uint32_t boneCount, std::vector<BoneWeights>& out,
                 std::string& why) {
    out.clear();
    if (boneCount == 0) return true;
    out.reserve(m.vertexCount);
    for (const MdlModel& model : m.models) {
        for (uint32_t i = 0; i < model.vertexCount; ++i) {
            BoneWeights w = {{0, 0, 0, 0}, {255, 0, 0, 0}};
            if (model.format != kFloatVertices) {
                out.push_back(w);
                continue;
            }
            uint64_t r = model.vertexArray + uint64_t(i) * model.stride;
            uint32_t n = model.firstVertex + i;
            uint32_t sum = uint32_t(f.data[r]) + f.data[r + 1] + f.data[r + 2];
            if (sum > 255) return Entry(why, "vertex", n, "its bone weights add up to more than 1");
            uint32_t weight[4] = {f.data[r], f.data[r + 1], f.data[r + 2], 255 - sum};
            int slots = 0;
            for (int k = 0; k < 4; ++k) {
                if (weight[k] == 0) continue;
                int16_t bone = int16_t(f.U16(r + 4 + 2 * uint64_t(k)));
                if (bone < 0 || uint32_t(bone) >= boneCount)
                    return Entry(why, "vertex", n, "it uses bone " + std::to_string(bone) + ", not in the bone table");
                // A bone named twice counts once, with both weights.
                int same = 0;
                while (same < slots && w.bone[same] != bone) ++same;
                if (same == slots) w.bone[slots++] = uint16_t(bone), w.weight[same] = 0;
                w.weight[same] = uint8_t(w.weight[same] + weight[k]);
            }
            for (int k = slots; k < 4; ++k) w.bone[k] = 0, w.weight[k] = 0;
            out.push_back(w);
        }
    }
    return true;
}

bool IsRigged(const std::vector<BoneWeights>& weights) {
    for (const BoneWeights& w : weights)
        for (int k = 0; k < 4; ++k)
            if (w.weight[k] != 0 && w.bone[k] != weights[0].bone[0]) return true;
    return false;
}

void AdoptAnimations(const MdlSkeleton& shared, MdlSkeleton& s) {
    std::map<std::string, uint32_t> byName;
    for (uint32_t b = 0; b < shared.bones.size(); ++b) byName.emplace(shared.bones[b].name, b);
    std::vector<int64_t> from(s.bones.size(), -1);
    for (uint32_t b = 0; b < s.bones.size(); ++b) {
        auto found = byName.find(s.bones[b].name);
        if (found != byName.end()) from[b] = found->second;
    }
    for (const MdlAnimation& in : shared.animations) {
        MdlAnimation a;
        a.name = in.name;
        a.fps = in.fps;
        a.frameCount = in.frameCount;
        a.boneCount = uint32_t(s.bones.size());
        a.poses.resize(size_t(a.frameCount) * a.boneCount);
        for (uint32_t k = 0; k < a.frameCount; ++k)
            for (uint32_t b = 0; b < a.boneCount; ++b) {
                BonePose& p = a.poses[size_t(k) * a.boneCount + b];
                if (from[b] >= 0) {
                    p = in.Frame(k)[from[b]];
                    continue;
                }
                const MdlBone& bone = s.bones[b];
                for (int c = 0; c < 3; ++c) p.position[c] = bone.position[c];
                for (int c = 0; c < 4; ++c) p.rotation[c] = bone.rotation[c];
            }
        a.turned = TurnedFromRest(s, a);
        s.animations.push_back(std::move(a));
    }
}

bool TurnedFromRest(const MdlSkeleton& s, const MdlAnimation& a) {
    uint32_t root = 0;
    while (root < s.bones.size() && s.bones[root].parent >= 0) ++root;
    if (root >= s.bones.size() || a.frameCount == 0) return false;
    const float* rest = s.bones[root].rotation;
    const float* q = a.Frame(0)[root].rotation;
    // A turn of -90 degrees about Z, (0, 0, -sin 45, cos 45), before q.
    const double h = std::sqrt(0.5);
    double undone[4] = {h * (q[0] + q[1]), h * (q[1] - q[0]), h * (q[2] - q[3]), h * (q[3] + q[2])};
    double asIs[4] = {q[0], q[1], q[2], q[3]};
    return HalfCos(rest, undone) > HalfCos(rest, asIs);
}

}  // namespace mdlformat
