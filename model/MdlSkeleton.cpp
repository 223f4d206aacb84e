#include "model/MdlSkeleton.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// The name of entry i of a table, at the offset the record's first field
// gives from the record.
bool RecordName(const Bytes& f, uint64_t record, const char* table, uint32_t i, std::string& name, std::string& why) {
    const char* text = CString(f, record + f.U32(record));
    if (text == nullptr) return Entry(why, table, i, "its name lies outside the file");
    name = text;
    return true;
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
        if (!RecordName(f, r, "bone", b, bone.name, why)) return false;
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
        if (!RecordName(f, r, "attachment", i, a.name, why)) return false;
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

// The channels of bone b of the animation whose bone table is at table.
// A helper bone the game moves by rule keeps its rest values.
BoneChannels ChannelsOf(const Bytes& f, uint64_t table, const MdlBone& bone, uint32_t b) {
    BoneChannels c;
    uint64_t entry = table + uint64_t(b) * kAnimationBoneEntry;
    for (int i = 0; i < 7; ++i) {
        uint32_t offset = (bone.flags & kBoneProcedural) != 0 ? 0 : f.U32(entry + 4 + 4 * uint64_t(i));
        c.runs[i] = offset == 0 ? 0 : entry + offset;
        c.rest[i] = i < 3 ? bone.position[i] : bone.rotation[i - 3];
        c.scale[i] = i < 3 ? bone.positionScale[i] : bone.rotationScale[i - 3];
    }
    return c;
}

// The work of decoding is bounded by the file: a file whose animations
// hold more than this many poses per byte is refused (the real cinematic
// holds 0.7).
const uint64_t kPosesPerByte = 16;

bool ReadAnimations(const std::shared_ptr<const uint8_t[]>& file, const Bytes& f, MdlSkeleton& s, std::string& why) {
    uint32_t count;
    uint64_t table;
    if (!Table(f, 0x108, kAnimationRecord, count, table)) return Fail(why, "the animation table lies outside the file");
    uint64_t poses = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t r = table + uint64_t(i) * kAnimationRecord;
        MdlAnimation a;
        if (!RecordName(f, r, "animation", i, a.name, why)) return false;
        a.fps = f.F32(r + 4);
        a.frameCount = f.U32(r + 0xC);
        if (!(a.fps > 0) || !std::isfinite(a.fps)) return Entry(why, "animation", i, "its frame rate is not positive");
        if (a.frameCount == 0) return Entry(why, "animation", i, "it has no frames");
        poses += uint64_t(a.frameCount) * (s.bones.empty() ? 1 : s.bones.size());
        if (poses > kPosesPerByte * f.size)
            return Entry(why, "animation", i, "the animations hold more frames than the file can describe");
        uint64_t bones = r + f.U32(r + 0x30);
        if (!f.Has(bones, uint64_t(s.bones.size()) * kAnimationBoneEntry))
            return Entry(why, "animation", i, "its bone table lies outside the file");
        a.file = file;
        a.fileSize = f.size;
        for (uint32_t b = 0; b < s.bones.size(); ++b) a.bones.push_back(ChannelsOf(f, bones, s.bones[b], b));
        // Every frame once: a damaged channel refuses the file now, not
        // when it is played.
        PoseReader reader(a, true);
        for (uint32_t k = 0; k < a.frameCount; ++k)
            if (!reader.Next(why)) return false;
        // A channel that holds one value throughout is kept as that value:
        // most of a long animation's channels do, and every later decoding
        // skips them.
        for (size_t b = 0; b < a.bones.size(); ++b)
            for (int c = 0; c < 7; ++c) {
                BoneChannels& ch = a.bones[b];
                int16_t value;
                if (ch.runs[c] == 0 || reader.Varies(b, c, value)) continue;
                ch.rest[c] = c < 3 ? ch.rest[c] + value * ch.scale[c] : value * ch.scale[c];
                ch.runs[c] = 0;
            }
        std::vector<BonePose> first;
        a.turned = FramePoses(a, 0, first) && TurnedFromRest(s, first);
        s.animations.push_back(std::move(a));
    }
    return true;
}

// The angle between two rotations, as the cosine of its half.
double HalfCos(const float* a, const double* b) {
    return std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
}

}  // namespace

bool ReadSkeleton(const std::shared_ptr<const uint8_t[]>& file, uint32_t size, MdlSkeleton& s, std::string& why) {
    s = MdlSkeleton();
    Bytes f{file.get(), size};
    if (!f.Has(0, kStudioHeader)) return Fail(why, "the model header is too short for its bone tables");
    return ReadBones(f, s, why) && ReadAttachments(f, s, why) && ReadAnimations(file, f, s, why) &&
           ReadIncludes(f, s, why);
}

PoseReader::PoseReader(const MdlAnimation& animation, bool check)
    : a(animation), f{animation.file.get(), animation.fileSize}, cursors(7 * animation.bones.size()), checkOnly(check) {
    for (size_t b = 0; b < a.bones.size(); ++b)
        for (int i = 0; i < 7; ++i) cursors[7 * b + i].run = a.bones[b].runs[i];
}

// Frame k of a run is its value k, or its last stored value past them.
bool PoseReader::Value(Cursor& c, int16_t& value) const {
    while (!c.loaded || c.given >= c.covered) {
        if (c.loaded) c.run += 2 + 2 * uint64_t(c.stored);
        c.loaded = true;
        if (!f.Has(c.run, 2)) return false;
        c.stored = f.data[c.run], c.covered = f.data[c.run + 1], c.given = 0;
        if (c.stored == 0 || !f.Has(c.run + 2, 2 * uint64_t(c.stored))) return false;
    }
    value = int16_t(f.U16(c.run + 2 + 2 * uint64_t(c.given < c.stored ? c.given : c.stored - 1)));
    ++c.given;
    c.varies = c.varies || (c.any && value != c.first);
    if (!c.any) c.first = value, c.any = true;
    return true;
}

bool PoseReader::Next(std::string& why) {
    poses.resize(a.bones.size());
    for (size_t b = 0; b < a.bones.size(); ++b) {
        const BoneChannels& ch = a.bones[b];
        // What no channel moves stays as the first frame made it.
        bool moves = frame == 0, turns = frame == 0;
        for (int i = 0; i < 7; ++i) (i < 3 ? moves : turns) |= ch.runs[i] != 0;
        if (!moves && !turns) continue;
        float v[7];
        for (int i = 0; i < 7; ++i) {
            int16_t value = 0;
            if (ch.runs[i] != 0 && !Value(cursors[7 * b + i], value)) {
                why = "animation " + a.name + ": a channel of bone " + std::to_string(b) +
                      " runs past the end of the file or stores no value";
                return false;
            }
            // Positions move from the rest position; rotations replace it.
            v[i] = ch.runs[i] == 0 ? ch.rest[i] : i < 3 ? ch.rest[i] + value * ch.scale[i] : value * ch.scale[i];
        }
        BonePose& p = poses[b];
        if (moves) {
            if (!Finite(v, 3)) return Broken(b, why);
            for (int i = 0; i < 3; ++i) p.position[i] = v[i];
        }
        if (turns) {
            double square = double(v[3]) * v[3] + double(v[4]) * v[4] + double(v[5]) * v[5] + double(v[6]) * v[6];
            if (!(square > 1e-12) || !std::isfinite(square)) return Broken(b, why);
            double length = checkOnly ? 1.0 : std::sqrt(square);
            for (int i = 0; i < 4; ++i) p.rotation[i] = float(v[3 + i] / length);
        }
    }
    ++frame;
    return true;
}

bool PoseReader::Broken(size_t b, std::string& why) const {
    why = "animation " + a.name + ": bone " + std::to_string(b) + " has no rotation or position in frame " +
          std::to_string(frame);
    return false;
}

bool FramePoses(const MdlAnimation& a, uint32_t k, std::vector<BonePose>& poses) {
    PoseReader reader(a);
    // Skip k frames of every channel run by run.
    for (PoseReader::Cursor& c : reader.cursors) {
        if (c.run == 0) continue;
        for (uint32_t skip = k; skip > 0;) {
            int16_t unused;
            if (c.loaded && c.given < c.covered) {
                uint32_t take = std::min(skip, c.covered - c.given);
                c.given += take, skip -= take;
            } else if (!reader.Value(c, unused)) {
                return false;
            } else {
                --skip;
            }
        }
    }
    // Every channel stands at frame k; the first frame read decodes all.
    std::string why;
    if (!reader.Next(why)) return false;
    poses = reader.Poses();
    return true;
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
    std::string why;
    for (const MdlAnimation& in : shared.animations) {
        MdlAnimation a = in;
        a.bones.clear();
        for (const MdlBone& bone : s.bones) {
            auto found = byName.find(bone.name);
            if (found != byName.end()) {
                a.bones.push_back(in.bones[found->second]);
                continue;
            }
            BoneChannels still;
            std::memcpy(still.rest, bone.position, sizeof bone.position);
            std::memcpy(still.rest + 3, bone.rotation, sizeof bone.rotation);
            a.bones.push_back(still);
        }
        PoseReader reader(a);
        a.turned = reader.Next(why) && TurnedFromRest(s, reader.Poses());
        s.animations.push_back(std::move(a));
    }
}

bool TurnedFromRest(const MdlSkeleton& s, const std::vector<BonePose>& poses) {
    uint32_t root = 0;
    while (root < s.bones.size() && s.bones[root].parent >= 0) ++root;
    if (root >= s.bones.size() || root >= poses.size()) return false;
    const float* rest = s.bones[root].rotation;
    const float* q = poses[root].rotation;
    // A turn of -90 degrees about Z, (0, 0, -sin 45, cos 45), before q.
    const double h = std::sqrt(0.5);
    double undone[4] = {h * (q[0] + q[1]), h * (q[1] - q[0]), h * (q[2] - q[3]), h * (q[3] + q[2])};
    double asIs[4] = {q[0], q[1], q[2], q[3]};
    return HalfCos(rest, undone) > HalfCos(rest, asIs);
}

}  // namespace mdlformat
