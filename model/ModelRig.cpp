#include "model/ModelRig.h"

#include "model/Pose.h"

#include <cstring>

using namespace mdlformat;

namespace {

// Every included model file's animations, matched to our bones by name;
// an included file that includes others is not followed further.
void AddSharedAnimations(const GameFiles& files, ModelRig& rig) {
    for (const std::string& include : rig.skeleton.includes) {
        uint32_t size = 0;
        std::shared_ptr<const uint8_t[]> bytes = ReadGameFile(files, include, size);
        if (!bytes) {
            rig.notes.push_back("shared animations " + include + " not found");
            continue;
        }
        MdlLayout layout;
        MdlSkeleton shared;
        std::string why;
        if (!ReadTables(Bytes{bytes.get(), size}, layout, false, why) || !ReadSkeleton(bytes, size, shared, why)) {
            rig.notes.push_back("shared animations " + include + " cannot be read: " + why);
            continue;
        }
        AdoptAnimations(shared, rig.skeleton);
    }
}

void ToView(const double p[3], float out[3]) {
    out[0] = float(p[0]);
    out[1] = float(p[2]);
    out[2] = float(p[1]);
}

}  // namespace

bool ReadModelRig(const GameFiles& files, const ModelPair& p, ModelRig& rig, std::string& why) {
    if (!ReadSkeleton(p.mdlBytes, p.mdl.size, rig.skeleton, why) ||
        !ReadWeights(p.mdl, p.m, uint32_t(rig.skeleton.bones.size()), rig.weights, why))
        return false;
    rig.vertices = p.vertices;
    rig.rigged = IsRigged(rig.weights);
    AddSharedAnimations(files, rig);
    return true;
}

uint32_t SkeletonSegments(const MdlSkeleton& s) {
    uint32_t n = 0;
    for (const MdlBone& b : s.bones) n += b.parent >= 0 ? 1 : 0;
    return n;
}

void PoseForView(const ModelRig& rig, int32_t animation, uint32_t frame, ModelVertex* out, SkeletonLines& lines) {
    const MdlSkeleton& s = rig.skeleton;
    std::vector<double> origins(3 * s.bones.size());
    bool posed = animation >= 0 && size_t(animation) < s.animations.size() && !rig.weights.empty();
    std::vector<float> skinned;
    std::vector<BonePose> poses;
    posed = posed && FramePoses(s.animations[size_t(animation)], frame, poses);
    if (posed) {
        std::vector<Rigid> world;
        std::vector<Affine> skin;
        PoseBones(s, s.animations[size_t(animation)].turned, poses, world);
        SkinMatrices(s, world, skin);
        for (size_t b = 0; b < world.size(); ++b) std::memcpy(&origins[3 * b], world[b].t, sizeof world[b].t);
        skinned.resize(6 * rig.vertices.size());
        for (size_t v = 0; v < rig.vertices.size(); ++v)
            SkinVertex(skin, rig.weights[v], rig.vertices[v].position, rig.vertices[v].normal, &skinned[6 * v],
                       &skinned[6 * v + 3]);
    } else {
        std::vector<Affine> bind;
        BindPose(s, bind);
        for (size_t b = 0; b < bind.size(); ++b)
            for (int c = 0; c < 3; ++c) origins[3 * b + c] = bind[b].m[4 * c + 3];
    }
    for (size_t k = 0; k < rig.drawn.size(); ++k) {
        const Vertex& v = rig.vertices[rig.drawn[k]];
        const float* p = posed ? &skinned[6 * size_t(rig.drawn[k])] : v.position;
        const float* n = posed ? p + 3 : v.normal;
        // Z up in the file, Y up in the view: exchange, no sign change.
        out[k] = ModelVertex{p[0], p[2], p[1], n[0], n[2], n[1], v.uv[0], v.uv[1]};
    }
    lines.pointCount = 0;
    for (size_t b = 0; b < s.bones.size() && lines.pointCount + 2 <= 2 * kSkeletonSegmentCapacity; ++b) {
        if (s.bones[b].parent < 0) continue;
        ToView(&origins[3 * size_t(s.bones[b].parent)], lines.points[lines.pointCount++]);
        ToView(&origins[3 * b], lines.points[lines.pointCount++]);
    }
}
