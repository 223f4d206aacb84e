// What bends and moves a Bloodlines model: its skeleton with every
// animation (its own and those of the model files it includes), its rest
// vertices and their bones. The view poses it frame by frame; the glTF
// export writes it as a skin with animations.
#pragma once

#include "model/MdlSkeleton.h"
#include "model/ModelData.h"
#include "model/ModelPair.h"
#include "pack/GameFiles.h"

#include <cstdint>
#include <string>
#include <vector>

struct ModelRig {
    mdlformat::MdlSkeleton skeleton;
    std::vector<mdlformat::Vertex> vertices;  // every vertex of the model, Z up
    std::vector<mdlformat::BoneWeights> weights;
    // More than one bone carries vertices.
    bool rigged = false;
    // For each vertex the view draws, in drawing order, the model vertex it
    // shows (filled by the view's reader).
    std::vector<uint32_t> drawn;
    // The included model files whose animations could not be added, and
    // why, one line each.
    std::vector<std::string> notes;
};

// Reads the skeleton and vertex bones of p's model file, and adds the
// animations of every included model file found through files (one that
// is missing or unreadable is named in rig.notes, and the others still
// count). False, with why, when the model file's own tables are damaged.
bool ReadModelRig(const GameFiles& files, const ModelPair& p, ModelRig& rig, std::string& why);

// Poses the drawn vertices at frame `frame` of animation `animation`
// (negative: the rest pose, the vertices as stored) into out (rig.drawn
// .size() of them), in the view's frame (Y and Z exchanged), and makes
// lines one segment per bone with a parent, from the parent's origin to
// the bone's (at most kSkeletonSegmentCapacity).
void PoseForView(const ModelRig& rig, int32_t animation, uint32_t frame, ModelVertex* out, SkeletonLines& lines);

// How many segments the view draws for the skeleton.
uint32_t SkeletonSegments(const mdlformat::MdlSkeleton& s);
