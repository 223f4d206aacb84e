#include "model/Pose.h"

#include <cmath>

using mdlformat::BonePose;
using mdlformat::MdlAnimation;
using mdlformat::MdlSkeleton;

namespace {

void Multiply(const double a[4], const double b[4], double out[4]) {
    double x = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    double y = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    double z = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    double w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
    out[0] = x, out[1] = y, out[2] = z, out[3] = w;
}

Rigid FromPose(const BonePose& p) {
    Rigid r;
    for (int i = 0; i < 4; ++i) r.q[i] = p.rotation[i];
    for (int i = 0; i < 3; ++i) r.t[i] = p.position[i];
    return r;
}

// The 3 x 3 rotation matrix of a unit quaternion, row-major.
void RotationMatrix(const double q[4], double r[9]) {
    double x = q[0], y = q[1], z = q[2], w = q[3];
    r[0] = 1 - 2 * (y * y + z * z), r[1] = 2 * (x * y - z * w), r[2] = 2 * (x * z + y * w);
    r[3] = 2 * (x * y + z * w), r[4] = 1 - 2 * (x * x + z * z), r[5] = 2 * (y * z - x * w);
    r[6] = 2 * (x * z - y * w), r[7] = 2 * (y * z + x * w), r[8] = 1 - 2 * (x * x + y * y);
}

// The game stores its animations turned by +90 degrees about Z; this
// turns them back (a rotation of -90 degrees about Z).
const double kHalf = 0.70710678118654752440;
const Rigid kUnturn = {{0, 0, -kHalf, kHalf}, {0, 0, 0}};

}  // namespace

void Rotate(const double q[4], const double v[3], double out[3]) {
    // v + 2 w (u x v) + 2 u x (u x v), u the vector part.
    double u[3] = {q[0], q[1], q[2]}, w = q[3];
    double c[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    double cc[3] = {u[1] * c[2] - u[2] * c[1], u[2] * c[0] - u[0] * c[2], u[0] * c[1] - u[1] * c[0]};
    for (int i = 0; i < 3; ++i) out[i] = v[i] + 2 * (w * c[i] + cc[i]);
}

Rigid Compose(const Rigid& a, const Rigid& b) {
    Rigid r;
    Multiply(a.q, b.q, r.q);
    Rotate(a.q, b.t, r.t);
    for (int i = 0; i < 3; ++i) r.t[i] += a.t[i];
    return r;
}

Rigid Inverse(const Rigid& a) {
    Rigid r;
    r.q[0] = -a.q[0], r.q[1] = -a.q[1], r.q[2] = -a.q[2], r.q[3] = a.q[3];
    Rotate(r.q, a.t, r.t);
    for (double& t : r.t) t = -t;
    return r;
}

void PoseBones(const MdlSkeleton& s, bool turned, const std::vector<BonePose>& pose, std::vector<Rigid>& world,
               const std::vector<uint8_t>* only) {
    world.resize(s.bones.size());
    for (size_t b = 0; b < s.bones.size(); ++b) {
        if (only != nullptr && (*only)[b] == 0) continue;
        Rigid local = FromPose(pose[b]);
        int32_t parent = s.bones[b].parent;
        if (parent < 0) {
            world[b] = turned ? Compose(kUnturn, local) : local;
            continue;
        }
        world[b] = Compose(world[size_t(parent)], local);
        if ((s.bones[b].flags & mdlformat::kBoneModelSpaceRotation) != 0) {
            // In model space as the animation stores it: the turn, if any,
            // applies to it as to every other bone.
            for (int i = 0; i < 4; ++i) world[b].q[i] = local.q[i];
            if (turned) Multiply(kUnturn.q, local.q, world[b].q);
        }
    }
}

void PoseLocals(const MdlSkeleton& s, const std::vector<BonePose>& pose, const std::vector<Rigid>& world,
                std::vector<Rigid>& local) {
    local.resize(world.size());
    for (size_t b = 0; b < world.size(); ++b) {
        int32_t parent = s.bones[b].parent;
        if (parent < 0)
            local[b] = world[b];
        else if ((s.bones[b].flags & mdlformat::kBoneModelSpaceRotation) != 0)
            local[b] = Compose(Inverse(world[size_t(parent)]), world[b]);
        else
            local[b] = FromPose(pose[b]);  // exactly as stored, so unmoved bones stay exactly still
    }
}

std::vector<uint8_t> BonesForLocals(const MdlSkeleton& s) {
    std::vector<uint8_t> need(s.bones.size(), 0);
    for (size_t b = s.bones.size(); b-- > 0;) {
        int32_t parent = s.bones[b].parent;
        if (parent < 0 || (s.bones[b].flags & mdlformat::kBoneModelSpaceRotation) != 0) need[b] = 1;
        // Parents come before their children, so walking back marks whole chains.
        if (need[b] != 0 && parent >= 0) need[size_t(parent)] = 1;
    }
    return need;
}

void BindPose(const MdlSkeleton& s, std::vector<Affine>& world) {
    world.resize(s.bones.size());
    for (size_t b = 0; b < s.bones.size(); ++b) {
        const float* m = s.bones[b].poseToBone;
        double a = m[0], bb = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
        double inv[9] = {e * i - f * h, c * h - bb * i, bb * f - c * e, f * g - d * i, a * i - c * g,
                         c * d - a * f, d * h - e * g, bb * g - a * h, a * e - bb * d};
        double det = a * inv[0] + bb * inv[3] + c * inv[6];
        double* out = world[b].m;
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) out[4 * r + k] = inv[3 * r + k] / det;
            out[4 * r + 3] = -(out[4 * r] * m[3] + out[4 * r + 1] * m[7] + out[4 * r + 2] * m[11]);
        }
    }
}

void SkinMatrices(const MdlSkeleton& s, const std::vector<Rigid>& world, std::vector<Affine>& skin) {
    skin.resize(world.size());
    for (size_t b = 0; b < world.size(); ++b) {
        double r[9];
        RotationMatrix(world[b].q, r);
        const float* p = s.bones[b].poseToBone;
        double* out = skin[b].m;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) {
                double sum = col == 3 ? world[b].t[row] : 0.0;
                for (int k = 0; k < 3; ++k) sum += r[3 * row + k] * p[4 * k + col];
                out[4 * row + col] = sum;
            }
    }
}

void SkinVertex(const std::vector<Affine>& skin, const mdlformat::BoneWeights& w, const float p[3], const float n[3],
                float outP[3], float outN[3]) {
    double sp[3] = {0, 0, 0}, sn[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        if (w.weight[k] == 0) continue;
        const double* m = skin[w.bone[k]].m;
        double weight = w.weight[k] / 255.0;
        for (int r = 0; r < 3; ++r) {
            sp[r] += weight * (m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3]);
            sn[r] += weight * (m[4 * r] * n[0] + m[4 * r + 1] * n[1] + m[4 * r + 2] * n[2]);
        }
    }
    double length = std::sqrt(sn[0] * sn[0] + sn[1] * sn[1] + sn[2] * sn[2]);
    for (int r = 0; r < 3; ++r) {
        outP[r] = float(sp[r]);
        outN[r] = length > 1e-12 ? float(sn[r] / length) : n[r];
    }
}

uint32_t FrameAtTime(const MdlAnimation& a, double seconds) {
    if (!(seconds > 0) || a.frameCount == 0) return 0;
    double frames = std::floor(seconds * a.fps);
    return uint32_t(std::fmod(frames, double(a.frameCount)));
}

double NextFrameTime(const MdlAnimation& a, double seconds) {
    double frames = seconds > 0 ? std::floor(seconds * a.fps) : 0.0;
    return (frames + 1) / a.fps;
}
