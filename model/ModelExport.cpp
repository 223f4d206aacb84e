#include "model/ModelExport.h"

#include "pack/Ascii.h"

#include "model/BloodlinesModel.h"
#include "model/ModelPair.h"
#include "model/XWriter.h"
#include "texture/ImageFiles.h"
#include "texture/LoadImage.h"

#include <cctype>
#include <cstring>

using namespace mdlformat;

// Unlike the viewer, the exports write the groups the viewer leaves out
// too, so every group must hold up.
bool CountFaces(const ModelPair& p, uint32_t& faces, std::string& why) {
    // Material e is texture e's.
    if (p.m.meshCount > p.m.textureCount) return Fail(why, "the model has more meshes than textures");
    uint64_t total = 0, listBytes = 0;
    bool ok = ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const StripGroupRef& g) {
        total += g.indexCount / 3;
        // Index lists of their own, as in every real file: groups that share
        // one would multiply the faces written without bound.
        listBytes += 2 * uint64_t(g.indexCount);
        if (listBytes > p.vtx.size) return Fail(why, "the strip groups' index lists add up to more than the file");
        return CheckStripGroup(p.vtx, g, why);
    });
    if (!ok) return false;
    faces = uint32_t(total);
    return true;
}

namespace {

void WriteFaces(XWriter& x, const ModelPair& p, uint32_t faces) {
    std::string unused;
    uint32_t written = 0;
    ForEachStripGroup(p.mdl, p.m, p.vtx, unused, [&](const StripGroupRef& g) {
        for (uint32_t k = 0; k + 2 < g.indexCount; k += 3) {
            ++written;
            x.Face(VertexNumber(p.vtx, g, k), VertexNumber(p.vtx, g, k + 1), VertexNumber(p.vtx, g, k + 2),
                   written == faces);
        }
        return true;
    });
}

// The vertex array as the export writes it: Y and Z exchanged, as decoded
// otherwise.
void WriteMesh(XWriter& x, const ModelPair& p, uint32_t faces) {
    const std::vector<Vertex>& vs = p.vertices;
    uint32_t v = uint32_t(vs.size());
    x.Begin();
    x.OpenMesh();
    x.Count(v);
    for (uint32_t i = 0; i < v; ++i) x.Position(vs[i].position[0], vs[i].position[2], vs[i].position[1], i + 1 == v);
    x.Count(faces);
    WriteFaces(x, p, faces);
    x.OpenNormals(v);
    for (uint32_t i = 0; i < v; ++i) x.Normal(vs[i].normal[0], vs[i].normal[2], vs[i].normal[1], i + 1 == v);
    x.Count(faces);
    WriteFaces(x, p, faces);
    x.OpenTextureCoords(v);
    for (uint32_t i = 0; i < v; ++i) x.TextureCoord(vs[i].uv[0], vs[i].uv[1], i + 1 == v);
    x.CloseTextureCoords();
    x.OpenMaterialList(p.m.meshCount, faces);
    uint32_t numbered = 0;
    std::string unused;
    ForEachStripGroup(p.mdl, p.m, p.vtx, unused, [&](const StripGroupRef& g) {
        for (uint32_t k = 0; k < g.indexCount / 3; ++k) x.MaterialNumber(g.mesh, ++numbered == faces);
        return true;
    });
}

// One material per mesh, with the mesh's texture written beside the .x.
void WriteMaterials(const ExportJob& job, XWriter& x, const ModelPair& p, const std::string& folder) {
    for (uint32_t e = 0; e < p.m.meshCount; ++e) {
        std::string texture = TextureName(p.mdl, p.m, e);
        if (!texture.empty() && (texture[0] == '/' || texture[0] == '\\')) texture.erase(0, 1);
        // A flat extraction puts the Targa file in the output folder itself;
        // the material must name it there.
        if (!job.extraction.extractTree) texture.erase(0, NameStart(texture));
        std::string tgaName = texture + ".tga";
        FileEntry material = {};
        Image32 image = Image32{};
        LoadResult loaded;
        if (FindBloodlinesMaterial(job.files, p.mdl.data, p.mdl.size, e, material))
            loaded = LoadImage(job.files, job.message, material, image, nullptr);
        if (loaded.loaded == 1) {
            // An existing Targa file is kept; the material names it all the same.
            OutputFile tga;
            if (OpenOutputFile(job.extraction, tga, (folder + tgaName).c_str(), 0) && WriteTga(image, tga.file))
                tga.Commit();
        }
        image.Release();
        // A texture that did not load is still named after itself, so the
        // mesh stays usable once the user supplies the picture.
        x.Material(tgaName.c_str());
    }
}

}  // namespace

bool FirstMeetingOfModel(ExtractReport& report, const std::string& path) {
    std::string stem = ModelStemPath(path);
    for (char& c : stem) c = c == '\\' ? '/' : AsciiLower(c);
    return report.models.insert(stem).second;
}

bool ExportModelAsX(const ExportJob& job, FileEntry& key) {
    ExtractReport& report = job.extraction.report;
    std::string path = key.name;
    std::string folder = path.substr(0, NameStart(path));
    std::string stemPath = ModelStemPath(path);
    std::string xName = stemPath.substr(folder.size()) + ".x";
    job.progress.SetText(xName.c_str());
    // The walk meets every file of the pair; the model counts once.
    if (!FirstMeetingOfModel(report, path)) return true;

    // Read and check before anything is created: a model that cannot be
    // exported must not leave an empty .x that looks like an export.
    ModelPair p;
    uint32_t faces = 0;
    std::string why;
    if (job.files.gameType != kGameBloodlines) {
        report.Fail(path, Reason::NotBloodlinesModel);
        return false;
    }
    if (!ReadModelPair(job.files, stemPath, p, why) || !CountFaces(p, faces, why)) {
        report.Fail(path, Reason::ModelNotLoaded, why);
        return false;
    }

    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, (folder + xName).c_str(), 0)) {
        if (out.status == Reason::OutputExists) {
            ++report.skipped;
            return true;
        }
        report.Fail(path, out.status);
        return false;
    }
    XWriter x(out.file);
    WriteMesh(x, p, faces);
    WriteMaterials(job, x, p, folder);
    x.Close();
    if (x.Failed() || !out.Commit()) {
        report.Fail(path, Reason::CannotWrite);
        return false;
    }
    ++report.written;
    return true;
}
