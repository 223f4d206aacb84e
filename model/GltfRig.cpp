#include "model/GltfRig.h"

#include "model/Pose.h"

#include <cstring>

using namespace mdlformat;

namespace {

// A file-frame 3 x 4 matrix (column vectors) seen in the scene's frame,
// where a file point (x, y, z) is (x, z, -y): C M C^-1.
void ToScene(const double m[12], double out[12]) {
    // Rows of C: x <- x, y <- z, z <- -y; C^-1 = C transposed.
    const int from[3] = {0, 2, 1};
    const double sign[3] = {1, 1, -1};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) out[4 * r + c] = sign[r] * sign[c] * m[4 * from[r] + from[c]];
        out[4 * r + 3] = sign[r] * m[4 * from[r] + 3];
    }
}

// Places a bone by a scene-frame 3 x 4 matrix. Bloodlines bones neither
// scale nor mirror: the scale that orthogonalising leaves is rounding.
void Place(const double m[12], SceneBone& bone) {
    double rows[16] = {};  // PlaceBone's layout: rows are the images of the axes
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) rows[4 * c + r] = m[4 * r + c];
        rows[12 + r] = m[4 * r + 3];
    }
    rows[15] = 1;
    PlaceBone(rows, bone);
    bone.scale[0] = bone.scale[1] = bone.scale[2] = 1;
}

void Multiply(const double a[12], const double b[12], double out[12]) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] + (c == 3 ? a[4 * r + 3] : 0);
}

// Joints in their hierarchy, placed where pose-to-bone puts them (not by
// the rest values, which a few files contradict), with the inverse bind
// matrices that pose-to-bone is.
void AddJoints(const MdlSkeleton& s, ModelScene& scene) {
    std::vector<Affine> bind;
    BindPose(s, bind);
    for (size_t b = 0; b < s.bones.size(); ++b) {
        const MdlBone& in = s.bones[b];
        SceneBone bone;
        bone.name = in.name;
        bone.parent = in.parent;
        bone.joint = true;
        double poseToBone[12], local[12], scene12[12];
        if (in.parent >= 0) {
            for (int i = 0; i < 12; ++i) poseToBone[i] = s.bones[size_t(in.parent)].poseToBone[i];
            Multiply(poseToBone, bind[b].m, local);
        } else {
            for (int i = 0; i < 12; ++i) local[i] = bind[b].m[i];
        }
        ToScene(local, scene12);
        Place(scene12, bone);
        for (int i = 0; i < 12; ++i) poseToBone[i] = in.poseToBone[i];
        ToScene(poseToBone, scene12);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) bone.inverseBind[4 * c + r] = float(scene12[4 * r + c]);
        scene.bones.push_back(bone);
    }
}

void AddAttachments(const MdlSkeleton& s, ModelScene& scene) {
    for (const MdlAttachment& a : s.attachments) {
        SceneBone node;
        node.name = a.name;
        node.parent = int32_t(a.bone);
        double m[12], scene12[12];
        for (int i = 0; i < 12; ++i) m[i] = a.matrix[i];
        ToScene(m, scene12);
        Place(scene12, node);
        scene.bones.push_back(node);
    }
}

// Collects a property's keys frame by frame, leaving out every frame whose
// value equals both its neighbours': it lies on the line between them, so
// nothing is lost (a cinematic holds most of its frames still).
class KeyWriter {
public:
    KeyWriter(SceneKeys& keys, size_t width) : out(keys), n(width) {}
    void Add(uint32_t frame, const float* v) {
        if (frame > 0 && !(Same(Last(), held) && Same(held, v))) Keep(frame - 1, held);
        if (frame == 0) Keep(0, v);
        std::memcpy(held, v, n * sizeof(float));
    }
    // The last frame always has a key.
    void Finish(uint32_t frame) {
        if (frame > 0) Keep(frame, held);
    }
    const float* Held() const { return held; }

private:
    bool Same(const float* a, const float* b) const {
        for (size_t i = 0; i < n; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    const float* Last() const { return &out.values[out.values.size() - n]; }
    void Keep(uint32_t frame, const float* v) {
        if (!out.frames.empty() && out.frames.back() == frame) return;
        out.frames.push_back(frame);
        for (size_t i = 0; i < n; ++i) out.values.push_back(v[i]);
    }
    SceneKeys& out;
    size_t n;
    float held[4] = {};
};

void AddAnimation(const MdlSkeleton& s, const MdlAnimation& a, ModelScene& scene) {
    SceneAnimation out;
    out.name = a.name;
    out.fps = a.fps;
    out.frameCount = a.frameCount;
    size_t bones = s.bones.size();
    out.translations.resize(bones);
    out.rotations.resize(bones);
    std::vector<KeyWriter> moves, turns;
    for (size_t b = 0; b < bones; ++b) {
        moves.emplace_back(out.translations[b], 3);
        turns.emplace_back(out.rotations[b], 4);
        // Room for a key every frame, taken from the system as it is used.
        out.rotations[b].frames.reserve(a.frameCount);
        out.rotations[b].values.reserve(4 * size_t(a.frameCount));
    }
    std::vector<Rigid> world, local;
    PoseReader reader(a);
    std::string why;
    const std::vector<uint8_t> needed = BonesForLocals(s);
    for (uint32_t k = 0; k < a.frameCount && reader.Next(why); ++k) {
        PoseBones(s, a.turned, reader.Poses(), world, &needed);
        PoseLocals(s, reader.Poses(), world, local);
        for (size_t b = 0; b < bones; ++b) {
            // A bone nothing moves keeps its first frame's keys, unless the
            // rule or the turn places it by its parent.
            if (k > 0 && !needed[b] && (s.bones[b].flags & kBoneModelSpaceRotation) == 0 && reader.Still(b)) continue;
            const Rigid& l = local[b];
            float t[3] = {float(l.t[0]), float(l.t[2]), float(-l.t[1])};
            float r[4] = {float(l.q[0]), float(l.q[2]), float(-l.q[1]), float(l.q[3])};
            // The same rotation from the hemisphere of the last frame's,
            // so that interpolating between them takes the short way.
            const float* last = turns[b].Held();
            if (k > 0 && r[0] * last[0] + r[1] * last[1] + r[2] * last[2] + r[3] * last[3] < 0)
                for (float& c : r) c = -c;
            moves[b].Add(k, t);
            turns[b].Add(k, r);
        }
    }
    for (size_t b = 0; b < bones; ++b) {
        moves[b].Finish(a.frameCount - 1);
        turns[b].Finish(a.frameCount - 1);
    }
    scene.animations.push_back(std::move(out));
}

}  // namespace

void AddRigToScene(const ModelRig& rig, ModelScene& scene) {
    AddJoints(rig.skeleton, scene);
    AddAttachments(rig.skeleton, scene);
    for (const MdlAnimation& a : rig.skeleton.animations) AddAnimation(rig.skeleton, a, scene);
    for (const std::string& note : rig.notes) scene.notes.push_back(note);
}

void AddVertexBones(const ModelRig& rig, uint32_t v, SceneMesh& mesh) {
    const BoneWeights& w = rig.weights[v];
    mesh.joints.insert(mesh.joints.end(), w.bone, w.bone + 4);
    mesh.weights.insert(mesh.weights.end(), w.weight, w.weight + 4);
}
