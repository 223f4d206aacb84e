// Posing a Bloodlines skeleton: where each bone stands in a frame of an
// animation, the bind pose its pose-to-bone matrices give, and the
// matrices that carry a vertex from the bind pose into a pose. Plain
// arithmetic on the skeleton record, shared by the view and the export.
#pragma once

#include "model/MdlSkeleton.h"

#include <cstdint>
#include <vector>

// A rotation (unit quaternion x, y, z, w), then a move: carries the points
// of a bone's frame into its parent's, or into the model's.
struct Rigid {
    double q[4] = {0, 0, 0, 1};
    double t[3] = {0, 0, 0};
};

// a after b: the points of b's frame carried by b, then by a.
Rigid Compose(const Rigid& a, const Rigid& b);
Rigid Inverse(const Rigid& a);
void Rotate(const double q[4], const double v[3], double out[3]);

// A 3 x 4 matrix, row-major, taking column vectors: p' = M p + column 3.
struct Affine {
    double m[12];
};

// The model-space place of each bone in a frame of an animation (poses,
// one per bone): its parent's place times its own pose, except that a bone
// flagged kBoneModelSpaceRotation takes its rotation in model space (its
// position still follows the chain). An animation stored a quarter turn
// away from the rest pose (turned, MdlAnimation::turned) is turned back, so
// that the model faces the same way posed and at rest.
// With only, just the bones it marks are placed (their parents must be
// marked too); the others are left as they were.
void PoseBones(const mdlformat::MdlSkeleton& s, bool turned, const std::vector<mdlformat::BonePose>& poses,
               std::vector<Rigid>& world, const std::vector<uint8_t>* only = nullptr);

// Each bone of a frame, posed by PoseBones into world, relative to its
// parent (a root: to the model), as a plain hierarchy of transforms needs
// it: the decoded pose itself, except for the bones the model-space rule or
// the turn moved.
void PoseLocals(const mdlformat::MdlSkeleton& s, const std::vector<mdlformat::BonePose>& poses,
                const std::vector<Rigid>& world, std::vector<Rigid>& local);
// The bones whose model-space place PoseLocals needs: the roots, and every
// bone the model-space rule applies to with the chain above it.
std::vector<uint8_t> BonesForLocals(const mdlformat::MdlSkeleton& s);

// The bind pose: each bone's model-space matrix, the inverse of its
// pose-to-bone matrix (ReadSkeleton checked that it has one).
void BindPose(const mdlformat::MdlSkeleton& s, std::vector<Affine>& world);

// The matrices that carry a vertex from the bind pose into the pose world
// gives: world x pose-to-bone, per bone.
void SkinMatrices(const mdlformat::MdlSkeleton& s, const std::vector<Rigid>& world, std::vector<Affine>& skin);

// A vertex (position p, normal n) carried by its bones' skinning matrices,
// weighted; the normal comes back unit length (or as it was, when the
// weighted matrices flatten it).
void SkinVertex(const std::vector<Affine>& skin, const mdlformat::BoneWeights& w, const float p[3], const float n[3],
                float outP[3], float outN[3]);

// The frame of a looping animation shown `seconds` after it started, one
// frame every 1 / fps seconds.
uint32_t FrameAtTime(const mdlformat::MdlAnimation& a, double seconds);
// When (in seconds after its start) the frame after the one shown at
// `seconds` is due.
double NextFrameTime(const mdlformat::MdlAnimation& a, double seconds);
