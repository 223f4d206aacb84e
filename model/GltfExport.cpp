#include "model/GltfExport.h"

#include "model/BloodlinesModel.h"
#include "model/GltfWriter.h"
#include "model/MdlFormat.h"
#include "model/ModelExport.h"
#include "model/ModelPair.h"
#include "model/NodFormat.h"
#include "model/RedemptionModel.h"
#include "pack/Ascii.h"
#include "texture/Png.h"
#include "texture/LoadImage.h"

#include <cmath>
#include <cstring>
#include <memory>

// Both games keep their models with Z up; glTF wants Y up, right-handed. A
// file point (x, y, z) becomes (x, z, -y): a rotation, so nothing is
// mirrored, and a glTF importer that turns Y up back into Z up (as Blender's
// does) gives the file's own coordinates again.

namespace {

void ToGltfFrame(float x, float y, float z, float out[3]) {
    out[0] = x;
    out[1] = z;
    out[2] = -y;
}

AlphaMode AlphaOf(const LoadResult& r) {
    return r.alphaTest ? AlphaMode::Mask : r.translucent ? AlphaMode::Blend : AlphaMode::Opaque;
}

// Adds a material; a picture that did not load leaves it without texture
// and is named.
void AddMaterial(ModelScene& scene, const std::string& name, const std::string& source, Image32& image,
                 const LoadResult& loaded) {
    SceneMaterial m;
    m.name = name;
    m.source = source;
    m.alpha = AlphaOf(loaded);
    m.doubleSided = loaded.twoSided != 0;
    if (loaded.loaded == 1 && image.pixels != nullptr) {
        m.picture = image;
        image = Image32{};
    } else {
        image.Release();
        scene.missingTextures.push_back(name);
    }
    scene.materials.push_back(m);
}

// ---- Bloodlines: .mdl and .dx80.vtx ----

using mdlformat::MdlLayout;
using mdlformat::StripGroupRef;

void BloodlinesMaterials(const GameFiles& files, const MessageSeam& message, const ModelPair& p, ModelScene& scene) {
    for (uint32_t e = 0; e < p.m.meshCount; ++e) {
        FileEntry material = {};
        Image32 image = Image32{};
        LoadResult loaded;
        std::string source;
        if (FindBloodlinesMaterial(files, p.mdl.data, p.mdl.size, e, material)) {
            source = AsciiLowered(material.name);
            loaded = LoadImage(files, message, material, image, nullptr);
        }
        AddMaterial(scene, mdlformat::TextureName(p.mdl, p.m, e), source, image, loaded);
    }
}

// Every strip group of mesh e goes into scene mesh e, in file order: the
// triangles as the game draws them, all groups included as the .x export
// has them. Seen from outside, the file's triangles run clockwise (every
// real closed model encloses a negative volume in the file's right-handed
// frame; the normals do not tell, some models have them pointing inwards),
// so each triangle is turned round.
void BloodlinesMeshes(const ModelPair& p, ModelScene& scene) {
    const ByteView& f = p.mdl;
    scene.meshes.resize(p.m.meshCount);
    for (uint32_t e = 0; e < p.m.meshCount; ++e) {
        scene.meshes[e].name = mdlformat::TextureName(f, p.m, e);
        scene.meshes[e].material = e;
        scene.meshes[e].modelMesh = e;
    }
    MeshCollector collect(p.m.vertexCount);
    uint32_t current = 0xFFFFFFFFu;
    std::string unused;
    mdlformat::ForEachStripGroup(f, p.m, p.vtx, unused, [&](const StripGroupRef& g) {
        if (g.mesh != current) collect.Begin(scene.meshes[current = g.mesh]);
        for (uint32_t k = 0; k < g.indexCount; ++k) {
            uint32_t v = mdlformat::VertexNumber(p.vtx, g, k - k % 3 + 2 - k % 3);
            if (!collect.Has(v)) {
                const mdlformat::Vertex& in = p.vertices[v];
                float position[3], normal[3];
                ToGltfFrame(in.position[0], in.position[1], in.position[2], position);
                ToGltfFrame(in.normal[0], in.normal[1], in.normal[2], normal);
                collect.Add(v, position, normal, in.uv);
            }
            collect.Index(v);
        }
        return true;
    });
}

bool ReadBloodlinesScene(const GameFiles& files, const MessageSeam& message, const std::string& stemPath,
                         ModelScene& scene, std::string& why) {
    ModelPair p;
    uint32_t faces = 0;
    if (!ReadModelPair(files, stemPath, p, why) || !CountFaces(p, faces, why)) return false;
    BloodlinesMaterials(files, message, p, scene);
    BloodlinesMeshes(p, scene);
    for (SceneMesh& mesh : scene.meshes) RepairNormals(mesh);
    return true;
}

// ---- Redemption: .nod ----

using nodformat::NodLayout;

bool BonesFormNoLoop(const ByteView& f, const NodLayout& m, std::string& why) {
    for (uint32_t b = 0; b < m.boneCount; ++b) {
        uint32_t at = b, steps = 0;
        while (at != nodformat::kNoParent) {
            at = nodformat::BoneParent(f, m, at);
            if (at != nodformat::kNoParent && at >= m.boneCount) return Fail(why, "a bone's parent is not in the bones");
            if (++steps > m.boneCount) return Fail(why, "the bones' parents form a loop");
        }
    }
    return true;
}

void Multiply(const double a[16], const double b[16], double out[16]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
            out[4 * r + c] = sum;
        }
}

// Splits an affine matrix taking row vectors (rows: the images of the three
// axes, then the translation) into translation, rotation and scale. The
// axes are made orthogonal first, so a slightly sheared matrix still gives a
// proper rotation; a mirroring one gets a negative x scale.
void Decompose(const double a[16], SceneBone& bone) {
    double axis[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) axis[r][c] = a[4 * r + c];
        bone.translation[r] = float(a[12 + r]);
    }
    auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    double det = axis[0][0] * (axis[1][1] * axis[2][2] - axis[1][2] * axis[2][1]) -
                 axis[0][1] * (axis[1][0] * axis[2][2] - axis[1][2] * axis[2][0]) +
                 axis[0][2] * (axis[1][0] * axis[2][1] - axis[1][1] * axis[2][0]);
    double s[3];
    for (int r = 0; r < 3; ++r) s[r] = std::sqrt(dot(axis[r], axis[r]));
    if (!(s[0] > 1e-12 && s[1] > 1e-12 && s[2] > 1e-12) || !std::isfinite(det)) return;  // leave it unplaced
    if (det < 0)
        for (int c = 0; c < 3; ++c) axis[0][c] = -axis[0][c];
    double x[3], y[3], z[3];
    for (int c = 0; c < 3; ++c) x[c] = axis[0][c] / s[0];
    double d = dot(x, axis[1]);
    for (int c = 0; c < 3; ++c) y[c] = axis[1][c] - d * x[c];
    double ly = std::sqrt(dot(y, y));
    if (!(ly > 1e-12)) return;
    for (double& v : y) v /= ly;
    z[0] = x[1] * y[2] - x[2] * y[1], z[1] = x[2] * y[0] - x[0] * y[2], z[2] = x[0] * y[1] - x[1] * y[0];
    // Column c of the rotation is axis c: m[row][col].
    double m[3][3] = {{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}};
    double q[4], trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        double t = std::sqrt(trace + 1.0) * 2;
        q[3] = 0.25 * t, q[0] = (m[2][1] - m[1][2]) / t, q[1] = (m[0][2] - m[2][0]) / t, q[2] = (m[1][0] - m[0][1]) / t;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        double t = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        q[3] = (m[2][1] - m[1][2]) / t, q[0] = 0.25 * t, q[1] = (m[0][1] + m[1][0]) / t, q[2] = (m[0][2] + m[2][0]) / t;
    } else if (m[1][1] > m[2][2]) {
        double t = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        q[3] = (m[0][2] - m[2][0]) / t, q[0] = (m[0][1] + m[1][0]) / t, q[1] = 0.25 * t, q[2] = (m[1][2] + m[2][1]) / t;
    } else {
        double t = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        q[3] = (m[1][0] - m[0][1]) / t, q[0] = (m[0][2] + m[2][0]) / t, q[1] = (m[1][2] + m[2][1]) / t, q[2] = 0.25 * t;
    }
    double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i) bone.rotation[i] = float(q[i] / n);
    bone.scale[0] = float(det < 0 ? -s[0] : s[0]);
    bone.scale[1] = float(s[1]);
    bone.scale[2] = float(s[2]);
}

// A bone's matrix carries model points into the bone's frame, so its
// inverse places the bone in the model; relative to its parent that is the
// inverse times the parent's matrix. A matrix without an inverse leaves its
// bone at its parent's place.
void RedemptionBones(const ByteView& f, const NodLayout& m, ModelScene& scene) {
    const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Into glTF's frame, as rows: x -> x, y -> -z, z -> y.
    const double kFrame[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    std::vector<double> place(16 * size_t(m.boneCount)), unplace(16 * size_t(m.boneCount));
    for (uint32_t b = 0; b < m.boneCount; ++b) {
        double matrix[16];
        nodformat::BoneMatrix(f, m, b, matrix);
        bool ok = nodformat::Invert4x4(matrix, &place[16 * b]);
        std::memcpy(&unplace[16 * b], ok ? matrix : kIdentity, sizeof matrix);
        if (!ok) std::memcpy(&place[16 * b], kIdentity, sizeof kIdentity);
    }
    for (uint32_t b = 0; b < m.boneCount; ++b) {
        SceneBone bone;
        bone.name = "bone " + std::to_string(b);
        uint16_t parent = nodformat::BoneParent(f, m, b);
        double local[16];
        if (parent == nodformat::kNoParent) {
            Multiply(&place[16 * b], kFrame, local);
        } else {
            bone.parent = parent;
            Multiply(&place[16 * b], &unplace[16 * parent], local);
        }
        Decompose(local, bone);
        scene.bones.push_back(bone);
    }
}

// Every group is a mesh, its triangles in the file's order: the viewer
// reverses them only because its mirroring turns them round. v counts from
// the picture's bottom edge in the file.
void RedemptionMeshes(const ByteView& f, const NodLayout& m, ModelScene& scene) {
    using namespace nodformat;
    MeshCollector collect(m.vertexCount);
    uint64_t triangle = 0, base = 0;
    for (uint32_t g = 0; g < m.groupCount; ++g) {
        uint64_t entry = m.groups + uint64_t(g) * kGroupRecord;
        scene.meshes.emplace_back();
        SceneMesh& mesh = scene.meshes.back();
        mesh.name = NameField(f, m.names + uint64_t(f.data[entry + 0x19]) * kNameField);
        mesh.material = f.U32(entry);
        mesh.modelMesh = g;
        collect.Begin(mesh);
        uint32_t triangles = f.U16(entry + 0x10);
        for (uint64_t t = triangle; t < triangle + triangles; ++t)
            for (int k = 0; k < 3; ++k) {
                uint32_t v = uint32_t(base + f.U16(m.triangles + t * kTriangleRecord + 2 * k));
                if (!collect.Has(v)) {
                    uint64_t r = m.vertices + uint64_t(v) * kVertexRecord;
                    float position[3], normal[3], uv[2] = {f.F32(r + 0x18), 1.0f - f.F32(r + 0x1C)};
                    ToGltfFrame(f.F32(r), f.F32(r + 0x04), f.F32(r + 0x08), position);
                    ToGltfFrame(f.F32(r + 0x0C), f.F32(r + 0x10), f.F32(r + 0x14), normal);
                    collect.Add(v, position, normal, uv);
                }
                collect.Index(v);
            }
        triangle += triangles;
        base += f.U16(entry + 0x12);
    }
}

bool ReadRedemptionScene(const GameFiles& files, const MessageSeam& message, const std::string& path,
                         ModelScene& scene, std::string& why) {
    uint32_t size = 0;
    if (path.size() >= sizeof(FileEntry::name)) return Fail(why, "the model path is too long");
    FileEntry key = {};
    std::memcpy(key.name, path.data(), path.size());
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size);
    if (!bytes) return Fail(why, "the model file cannot be read");
    ByteView f{bytes.get(), size};
    NodLayout m;
    if (!nodformat::ReadLayout(f, m, why) || !nodformat::CheckGroups(f, m, why) || !BonesFormNoLoop(f, m, why))
        return false;
    for (uint32_t t = 0; t < m.textureCount; ++t) {
        std::string name = nodformat::NameField(f, m.textures + uint64_t(t) * nodformat::kNameField);
        Image32 image = Image32{};
        LoadResult loaded = LoadRedemptionTexture(files, message, name, image);
        AddMaterial(scene, name, "nam:" + AsciiLowered(name), image, loaded);
    }
    RedemptionMeshes(f, m, scene);
    for (SceneMesh& mesh : scene.meshes) RepairNormals(mesh);
    RedemptionBones(f, m, scene);
    return true;
}

// Models of one extraction often share their textures; each is encoded
// once. The cache keeps at most kSharedPictureBytes of encoded pictures.
const size_t kSharedPictureBytes = size_t(256) << 20;

void SharePictures(ModelScene& scene, ExtractState& extraction) {
    for (SceneMaterial& m : scene.materials) {
        if (m.picture.pixels == nullptr || m.source.empty()) continue;
        auto found = extraction.encodedPictures.find(m.source);
        if (found != extraction.encodedPictures.end()) {
            m.png = found->second;
        } else {
            if (!EncodePng(m.picture, m.png)) continue;  // the writer names it
            if (extraction.encodedBytes + m.png.size() <= kSharedPictureBytes) {
                extraction.encodedPictures.emplace(m.source, m.png);
                extraction.encodedBytes += m.png.size();
            }
        }
        m.picture.Release();
    }
}

}  // namespace

bool ReadModelScene(const GameFiles& files, const MessageSeam& message, const std::string& path, ModelScene& scene,
                    std::string& why) {
    std::string stem = ModelStemPath(path);
    scene.name = stem.substr(NameStart(stem));
    scene.fileName = files.gameType == kGameBloodlines ? scene.name + ".mdl" : path.substr(NameStart(path));
    if (files.gameType == kGameBloodlines) return ReadBloodlinesScene(files, message, stem, scene, why);
    if (files.gameType == kGameRedemption) return ReadRedemptionScene(files, message, path, scene, why);
    return Fail(why, "no game is open");
}

bool ExportModelAsGltf(const ExportJob& job, FileEntry& key) {
    ExtractReport& report = job.extraction.report;
    std::string path = key.name;
    std::string stemPath = ModelStemPath(path);
    // The walk meets every file of a model (.mdl, .dx80.vtx, .phy); the model
    // is one export.
    if (!FirstMeetingOfModel(report, path)) return true;
    size_t sep = stemPath.find_last_of("/\\");
    std::string glbName = stemPath.substr(sep == std::string::npos ? 0 : sep + 1) + ".glb";
    job.progress.SetText(glbName.c_str());

    // Read and check before anything is created: a model that cannot be
    // exported leaves nothing, not even a folder.
    ModelScene scene;
    std::vector<uint8_t> glb;
    std::string why;
    bool read = ReadModelScene(job.files, job.message, path, scene, why);
    if (read) SharePictures(scene, job.extraction);
    if (!read || !WriteGlb(scene, glb, why)) {
        report.Fail(path, Reason::ModelNotLoaded, why);
        return false;
    }
    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, (stemPath + ".glb").c_str(), 0)) {
        if (out.status == Reason::OutputExists) {
            ++report.skipped;
            return true;
        }
        report.Fail(path, out.status);
        return false;
    }
    if (!out.file.Write(glb.data(), uint32_t(glb.size())) || !out.Commit()) {
        report.Fail(path, Reason::CannotWrite);
        return false;
    }
    ++report.written;
    for (const std::string& texture : scene.missingTextures)
        report.notes.push_back(stemPath + ".glb: texture " + texture + " could not be loaded");
    return true;
}
