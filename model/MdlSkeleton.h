// The skeleton of a Bloodlines model file: bones, the bones and weights of
// each vertex, attachments, every animation decoded to one pose per bone
// and frame, and the list of other model files whose animations it shares.
// The view and the glTF export read the same record.
#pragma once

#include "model/MdlFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Studio header fields (offsets from the file start); every table offset
// is from the file start unless said otherwise:
//   0xF0 i32 bone count, i32 bone table (160-byte records)
//   0x108 i32 animation count, i32 animation table (72-byte records)
//   0x148 i32 attachment count, i32 attachment table (60-byte records)
//   0x194 i32 included-model count, i32 their table (116-byte records;
//         +4 the file name's offset from the record)
// Bone, offsets from the record: +0 name offset, +4 parent (-1 for a root,
// else an earlier bone), +0x20 rest position and +0x2C rest rotation
// (quaternion x, y, z, w), both parent-relative, +0x3C position scale (3),
// +0x48 rotation scale (4), +0x58 pose-to-bone (3 x 4, row-major: model
// space into the bone's), +0x88 flags.
// Animation: +0 name offset, +4 f32 frames per second, +0xC frame count,
// +0x30 offset of its bone table: per bone 32 bytes, an f32 and seven
// channel offsets from the entry (0: absent) for position x, y, z and
// rotation x, y, z, w. A channel is runs of {u8 stored, u8 covered, stored
// x i16}: frame k of a run is value k, or the last stored value past them.
// Attachment: +0 name offset, +8 bone, +0xC 3 x 4 matrix (row-major, bone
// space).
// Float vertices carry their bones: bytes 0-2 the weights of slots 0-2 out
// of 255 (slot 3 has what they leave of 255), bytes 4-11 four i16 bone
// numbers. Packed vertices carry none: they all lie on bone 0.

namespace mdlformat {

const uint32_t kStudioHeader = 0x1A8;
const uint32_t kBoneRecord = 160;
const uint32_t kAnimationRecord = 72;
const uint32_t kAnimationBoneEntry = 32;
const uint32_t kAttachmentRecord = 60;
const uint32_t kIncludeRecord = 116;
// A helper bone the game moves by a rule of its own (a twist bone): it has
// no channels, and stays at rest here.
const uint32_t kBoneProcedural = 0x1;
// The bone's rotation is taken in model space, not composed with its
// parent's (set on the spine bone of every biped).
const uint32_t kBoneModelSpaceRotation = 0x2;

struct MdlBone {
    std::string name;
    int32_t parent = -1;
    float position[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1};
    float positionScale[3] = {0, 0, 0};
    float rotationScale[4] = {0, 0, 0, 0};
    float poseToBone[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    uint32_t flags = 0;
};

// A bone's place relative to its parent in one frame: position, and
// rotation as a unit quaternion x, y, z, w.
struct BonePose {
    float position[3];
    float rotation[4];
};

// Where one bone's seven channels (position x, y, z, rotation x, y, z, w)
// are, and how their values make a pose: a position moves from the rest
// position by value x scale, a rotation component is value x scale. An
// absent channel keeps the rest value.
struct BoneChannels {
    uint64_t runs[7] = {0, 0, 0, 0, 0, 0, 0};  // file offsets; 0: absent
    float rest[7] = {0, 0, 0, 0, 0, 0, 1};
    float scale[7] = {0, 0, 0, 0, 0, 0, 0};
};

// An animation, decoded frame by frame from its file when asked (a game's
// cinematic holds millions of poses; its runs are far smaller).
struct MdlAnimation {
    std::string name;
    float fps = 30;
    uint32_t frameCount = 0;
    // The file the channels are in, kept alive here, and the channels of
    // each bone of the skeleton that plays the animation.
    std::shared_ptr<const uint8_t[]> file;
    uint32_t fileSize = 0;
    std::vector<BoneChannels> bones;
    // The file's animations face a quarter turn away from its rest pose
    // (see TurnedFromRest); set when this one does.
    bool turned = false;
};

// Gives an animation's poses frame after frame.
class PoseReader {
public:
    // With checkOnly, Next only checks each frame (the poses are not made).
    explicit PoseReader(const MdlAnimation& a, bool checkOnly = false);
    // Decodes the next frame. False, with why, when a channel runs past its
    // file or stores no value, or a rotation has no length (ReadSkeleton
    // refuses such a file, so this only fails there).
    bool Next(std::string& why);
    // The frame last decoded: one pose per bone.
    const std::vector<BonePose>& Poses() const { return poses; }
    // Whether no channel of bone b moves it: its pose is the first frame's.
    bool Still(size_t b) const {
        for (uint64_t run : a.bones[b].runs)
            if (run != 0) return false;
        return true;
    }
    // Whether channel i of bone b gave more than one value so far, and the
    // first it gave.
    bool Varies(size_t b, int i, int16_t& first) const {
        first = cursors[7 * b + size_t(i)].first;
        return cursors[7 * b + size_t(i)].varies;
    }

private:
    struct Cursor {
        uint64_t run = 0;
        uint32_t stored = 0, covered = 0, given = 0;
        bool loaded = false, any = false, varies = false;
        int16_t first = 0;
    };
    bool Value(Cursor& c, int16_t& value) const;
    bool Broken(size_t b, std::string& why) const;
    const MdlAnimation& a;
    ByteView f;
    std::vector<Cursor> cursors;
    std::vector<BonePose> poses;
    uint32_t frame = 0;
    bool checkOnly;

    friend bool FramePoses(const MdlAnimation& a, uint32_t k, std::vector<BonePose>& poses);
};

// The poses of frame k, one per bone, found without decoding the frames
// before it. False only for a file ReadSkeleton refuses.
bool FramePoses(const MdlAnimation& a, uint32_t k, std::vector<BonePose>& poses);

struct MdlAttachment {
    std::string name;
    uint32_t bone = 0;
    float matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};  // 3 x 4, row-major
};

struct MdlSkeleton {
    std::vector<MdlBone> bones;
    std::vector<MdlAttachment> attachments;
    std::vector<MdlAnimation> animations;
    // Other model files whose animations this model plays, as named.
    std::vector<std::string> includes;
};

// Reads the bones, attachments, animations and included-model list of the
// model file f. False, with why naming the table and the entry, when a
// table or name lies outside the file, a parent is not an earlier bone, an
// attachment names no bone, a number is not finite, a pose-to-bone matrix
// has no inverse, an animation has no frames or no positive frame rate, a
// channel runs past the file or stores no value, or a decoded rotation has
// no length (every frame is decoded once to see). The animations keep the
// file alive and decode from it.
bool ReadSkeleton(const std::shared_ptr<const uint8_t[]>& file, uint32_t size, MdlSkeleton& s, std::string& why);

// A vertex's bones: unused slots have weight 0 and bone 0; the weights are
// out of 255 and sum to 255; no bone is in two used slots.
struct BoneWeights {
    uint16_t bone[4];
    uint8_t weight[4];
};

// The bones of every vertex of m, in vertex-number order. Packed vertices
// lie on bone 0 with weight 255. False, naming the vertex, when a used
// slot names a bone outside the table or the stored weights exceed 255.
// Empty (and true) when the model has no bones.
bool ReadWeights(const Bytes& f, const MdlLayout& m, uint32_t boneCount, std::vector<BoneWeights>& out,
                 std::string& why);

// True when the vertices use more than one bone: the model bends.
bool IsRigged(const std::vector<BoneWeights>& weights);

// Adds the animations of another model file (read with ReadSkeleton) to
// s, each bone's poses taken from the bone of the same name there; bones
// the other file lacks keep their rest values.
void AdoptAnimations(const MdlSkeleton& shared, MdlSkeleton& s);

// Whether an animation faces a quarter turn about +Z away from the rest
// pose: the game's animations are stored so (their roots turned by +90
// degrees), while the rest pose faces -Y. Decided on the first root bone at
// frame 0 (poses): true when undoing the turn brings it nearer its rest
// rotation.
bool TurnedFromRest(const MdlSkeleton& s, const std::vector<BonePose>& poses);

}  // namespace mdlformat
