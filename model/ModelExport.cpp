#include "model/ModelExport.h"

#include "model/BloodlinesModel.h"
#include "model/MdlFormat.h"
#include "model/XWriter.h"
#include "texture/ImageFiles.h"
#include "texture/LoadImage.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

using namespace mdlformat;

namespace {

const char kCountMismatch[] = "Vertex Count Does Not Match Original File!";
const char kErrorCaption[] = "ERROR!";

std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, const std::string& path, uint32_t& size) {
    size = 0;
    if (path.size() >= sizeof(FileEntry::name)) return nullptr;
    FileEntry key = {};
    std::memcpy(key.name, path.data(), path.size());
    return ReadGameFile(files, key, size);
}

// A model pair read whole and checked: everything the export and the
// modification touch lies inside the files.
struct ModelPair {
    std::unique_ptr<uint8_t[]> mdlBytes, vtxBytes;
    Bytes mdl{nullptr, 0}, vtx{nullptr, 0};
    MdlLayout m;
};

bool ReadModelFile(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why) {
    p.mdlBytes = ReadGameFile(files, stemPath + ".mdl", p.mdl.size);
    if (!p.mdlBytes) return Fail(why, "the model file (.mdl) cannot be read");
    p.mdl.data = p.mdlBytes.get();
    return ReadTables(p.mdl, p.m, true, why);
}

bool ReadModelPair(const GameFiles& files, const std::string& stemPath, ModelPair& p, uint32_t& faces,
                   std::string& why) {
    if (!ReadModelFile(files, stemPath, p, why)) return false;
    p.vtxBytes = ReadGameFile(files, stemPath + ".dx80.vtx", p.vtx.size);
    if (!p.vtxBytes) return Fail(why, "the strip file (.dx80.vtx) cannot be read");
    p.vtx.data = p.vtxBytes.get();
    // Material e is texture e's.
    if (p.m.meshCount > p.m.textureCount) return Fail(why, "the model has more meshes than textures");
    // Unlike the viewer, the export writes the groups the viewer leaves out
    // too, so every group must hold up.
    uint64_t total = 0;
    bool ok = ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const StripGroupRef& g) {
        total += g.indexCount / 3;
        return CheckStripGroup(p.vtx, g, p.m.vertexCount, why);
    });
    if (!ok) return false;
    if (total > 0x7FFFFFFF) return Fail(why, "the model has too many faces");
    faces = uint32_t(total);
    return true;
}

// The file name of path (after the last '/' or '\'); its stem ends at the
// name's first '.'.
size_t NameStart(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? 0 : sep + 1;
}
std::string StemPath(const std::string& path) {
    size_t dot = path.find('.', NameStart(path));
    return dot == std::string::npos ? path : path.substr(0, dot);
}

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

// The vertex array as the export writes it: Y and Z exchanged, as stored
// otherwise.
void WriteMesh(XWriter& x, const ModelPair& p, uint32_t faces) {
    const Bytes& f = p.mdl;
    uint32_t v = p.m.vertexCount;
    auto record = [&](uint32_t i) { return p.m.vertexArray + uint64_t(i) * kVertexRecord; };
    x.Begin();
    x.OpenMesh();
    x.Count(v);
    for (uint32_t i = 0; i < v; ++i)
        x.Position(f.F32(record(i) + 0x0C), f.F32(record(i) + 0x14), f.F32(record(i) + 0x10), i + 1 == v);
    x.Count(faces);
    WriteFaces(x, p, faces);
    x.OpenNormals(v);
    for (uint32_t i = 0; i < v; ++i)
        x.Normal(f.F32(record(i) + 0x18), f.F32(record(i) + 0x20), f.F32(record(i) + 0x1C), i + 1 == v);
    x.Count(faces);
    WriteFaces(x, p, faces);
    x.OpenTextureCoords(v);
    for (uint32_t i = 0; i < v; ++i) x.TextureCoord(f.F32(record(i) + 0x24), f.F32(record(i) + 0x28), i + 1 == v);
    x.CloseTextureCoords();
    x.OpenMaterialList(p.m.meshCount, faces);
    uint32_t numbered = 0;
    std::string unused;
    ForEachStripGroup(p.mdl, p.m, p.vtx, unused, [&](const StripGroupRef& g) {
        for (uint32_t k = 0; k < g.indexCount / 3; ++k) x.MaterialNumber(g.mesh, ++numbered == faces);
        return true;
    });
}

void Problem(ExtractReport& report, const std::string& path, const std::string& reason) {
    ++report.failed;
    report.problems.push_back(path + ": " + reason);
}

}  // namespace

bool ExportModelAsX(const ExportJob& job, FileEntry& key) {
    ExtractReport& report = job.extraction.report;
    std::string path = key.name;
    std::string folder = path.substr(0, NameStart(path));
    std::string stemPath = StemPath(path);
    std::string xName = stemPath.substr(folder.size()) + ".x";
    job.progress.SetText(xName.c_str());

    // Read and check before anything is created: a model that cannot be
    // exported must not leave an empty .x that looks like an export.
    ModelPair p;
    uint32_t faces = 0;
    std::string why;
    if (job.files.gameType != kGameBloodlines) {
        Problem(report, path, "only Bloodlines models can be exported as .x");
        return false;
    }
    if (!ReadModelPair(job.files, stemPath, p, faces, why)) {
        Problem(report, path, why);
        return false;
    }

    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, (folder + xName).c_str(), 0)) {
        if (out.status == OutputStatus::Exists) {
            ++report.skipped;
            return true;
        }
        Problem(report, path, out.status == OutputStatus::Unsafe ? "unsafe path inside the pack, not extracted"
                                                               : "cannot create the output file");
        return false;
    }
    XWriter x(out.file);
    WriteMesh(x, p, faces);
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
            if (OpenOutputFile(job.extraction, tga, (folder + tgaName).c_str(), 0) && WriteTga(image, tga.file)) tga.Commit();
        }
        image.Release();
        // A texture that did not load is still named after itself, so the
        // mesh stays usable once the user supplies the picture.
        x.Material(tgaName.c_str());
    }
    x.Close();
    if (x.Failed() || !out.Commit()) {
        Problem(report, path, "cannot write the output file");
        return false;
    }
    ++report.written;
    return true;
}

bool ReadXVertexCount(const char* data, size_t size, uint32_t& count, size_t& at) {
    const void* brace = std::memchr(data, '{', size);
    if (brace == nullptr) return false;
    at = size_t(static_cast<const char*>(brace) - data) + 3;
    if (at > size) return false;
    while (at < size && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' || data[at] == '\n')) ++at;
    auto [end, ec] = std::from_chars(data + at, data + size, count);
    return ec == std::errc() && end != data + at;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// From q: skip to the next ';', then skip more characters past it, then
// read a number (leading white space skipped). q ends after the number.
bool NextNumber(const char* data, size_t size, size_t& q, size_t skip, float& value, std::string& why) {
    const void* semi = q < size ? std::memchr(data + q, ';', size - q) : nullptr;
    if (semi == nullptr) return Fail(why, "The .x file ends before all of its vertex positions");
    q = size_t(static_cast<const char*>(semi) - data) + skip;
    while (q < size && IsBlank(data[q])) ++q;
    if (q >= size) return Fail(why, "The .x file ends before all of its vertex positions");
    size_t start = q;
    if (data[q] == '+') ++q;
    auto [end, ec] = std::from_chars(data + q, data + size, value);
    if (ec != std::errc() || end == data + q || !std::isfinite(value)) {
        why = "The .x file has a malformed vertex position at byte " + std::to_string(start);
        return false;
    }
    q = size_t(end - data);
    return true;
}

}  // namespace

bool ReadXPositions(const char* data, size_t size, size_t at, uint32_t count, std::vector<float>& xyz,
                    std::string& why) {
    xyz.clear();
    size_t q = at;
    for (uint32_t i = 0; i < count; ++i) {
        float value[3];
        // The first number follows the ';' and the line end of the line
        // before; the others follow their ';' directly.
        if (!NextNumber(data, size, q, 2, value[0], why) || !NextNumber(data, size, q, 1, value[1], why) ||
            !NextNumber(data, size, q, 1, value[2], why))
            return false;
        xyz.insert(xyz.end(), value, value + 3);
    }
    return true;
}

bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& xPath, std::string* why) {
    std::string reason;
    auto stop = [&](const std::string& text, bool tell) {
        if (tell) job.message.Show(text.c_str(), kErrorCaption);
        if (why != nullptr) *why = text;
        return false;
    };
    const PackTree& tree = job.tree;
    std::string path;
    if (tree.Data(target) == nullptr || !TreeItemPath(tree, target, path))
        return stop("the drop target is not a file of the pack", false);
    // The source: the model named like the drop target, in its folder.
    std::string stemPath = StemPath(path);
    TreeItem first = FirstSiblingOf(tree, target);
    if (FindTreeSibling(tree, first, stemPath.substr(NameStart(stemPath)) + ".mdl") == kNoItem)
        return stop("no model file (.mdl) beside the drop target", false);
    // The target: the model named after the dropped file, in the same folder.
    std::string dropped = xPath.substr(0, xPath.rfind('.') == std::string::npos ? xPath.size() : xPath.rfind('.'));
    std::string targetName = dropped.substr(NameStart(dropped)) + ".mdl";
    if (FindTreeSibling(tree, first, targetName) == kNoItem)
        return stop("no model named " + targetName + " beside the drop target", false);

    ModelPair p;
    if (!ReadModelFile(job.files, stemPath, p, reason)) return stop(reason, false);

    FileHandle x;
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> text;
    if (x.Open(xPath.c_str()) && (size = x.Size()) > 0) text = x.ReadAll(size);
    x.Close();
    if (!text) return stop("Cannot read " + xPath, true);
    const char* data = reinterpret_cast<const char*>(text.get());
    uint32_t count = 0;
    size_t at = 0;
    if (!ReadXVertexCount(data, size, count, at)) return stop("The .x file has no vertex count", true);
    if (count != p.m.vertexCount) return stop(kCountMismatch, true);

    std::vector<float> xyz;
    ProgressDialog& progress = job.progress;
    progress.Create("Modify Model Vertices");
    progress.SetRange(0, count);
    progress.SetPos(0);
    progress.SetStep(1);
    bool read = ReadXPositions(data, size, at, count, xyz, reason);
    for (uint32_t i = 0; read && i < count; ++i) progress.StepIt();
    progress.Destroy();
    if (!read) return stop(reason, true);

    // Only positions change: x as read, then the file's y from the third
    // number and its z from the second.
    uint8_t* bytes = p.mdlBytes.get();
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t r = p.m.vertexArray + uint64_t(i) * kVertexRecord;
        float position[3] = {xyz[3 * i], xyz[3 * i + 2], xyz[3 * i + 1]};
        std::memcpy(bytes + r + 0x0C, position, sizeof position);
    }
    OutputFile out;
    if (!OpenWriteBack(tree, out, target, targetName.c_str()))
        return stop(out.status == OutputStatus::Unsafe ? "unsafe model path inside the pack, not written"
                                                       : "cannot create the model file",
                    false);
    if (!out.file.Write(bytes, p.mdl.size) || !out.Commit()) return stop("cannot write the model file", false);
    if (why != nullptr) *why = out.finalPath;
    return true;
}
