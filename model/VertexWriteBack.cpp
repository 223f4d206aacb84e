#include "model/VertexWriteBack.h"

#include "model/GltfReader.h"
#include "model/GltfWriteBack.h"
#include "model/ModelPair.h"
#include "model/XReader.h"
#include "pack/Ascii.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace mdlformat;

namespace {

const char kCountMismatch[] = "Vertex Count Does Not Match Original File!";
const char kErrorCaption[] = "ERROR!";

// A refusal: recorded as reason (with the reader's words as detail when
// they say more), and told in a message box as text when tell.
struct Stop {
    const MessageSeam& message;
    Failure* failure;
    const std::string& subject;
    bool operator()(Reason reason, const std::string& text, bool tell) const {
        if (tell) message.Show(text.c_str(), kErrorCaption);
        if (failure != nullptr) {
            failure->reason = reason;
            failure->subject = subject;
            failure->detail = text == ReasonWords(reason) ? std::string() : text;
        }
        return false;
    }
    bool operator()(Reason reason) const { return (*this)(reason, ReasonWords(reason), false); }
    // A glTF file that cannot be written back: its name and the reader's
    // words in the message box, the words alone as the detail.
    bool Refuse(const std::string& fileName, const std::string& why) const {
        message.Show((fileName + ": " + why).c_str(), kErrorCaption);
        (*this)(Reason::GltfNotWritable, why, false);
        return false;
    }
};

// The source model, named like the drop target, an item of the target's
// folder.
bool FindSource(const PackTree& tree, TreeItem target, std::string& stemPath, const Stop& stop) {
    std::string path;
    if (tree.Data(target) == nullptr || !TreeItemPath(tree, target, path))
        return stop(Reason::DropTargetNotFile);
    stemPath = ModelStemPath(path);
    if (FindTreeSibling(tree, FirstSiblingOf(tree, target), stemPath.substr(NameStart(stemPath)) + ".mdl") == kNoItem)
        return stop(Reason::NoModelBesideTarget);
    return true;
}

// The model written: named after the dropped file, or else (a glTF file
// saved under another name) after one of the file's root nodes.
bool FindTargetName(const PackTree& tree, TreeItem target, const std::string& dropPath,
                    const std::vector<std::string>& rootNames, std::string& targetName, const Stop& stop) {
    size_t dot = dropPath.rfind('.');
    std::string dropped = dropPath.substr(0, dot == std::string::npos || dot < NameStart(dropPath) ? dropPath.size() : dot);
    targetName = dropped.substr(NameStart(dropped)) + ".mdl";
    TreeItem first = FirstSiblingOf(tree, target);
    if (FindTreeSibling(tree, first, targetName) != kNoItem) return true;
    for (const std::string& root : rootNames) {
        if (root.find_first_of("/\\") != std::string::npos || ModelStemPath(root) + ".mdl" != root) continue;
        if (FindTreeSibling(tree, first, root) != kNoItem) {
            targetName = root;
            return true;
        }
    }
    return stop(Reason::NoModelBesideTarget, "no model named " + targetName + " beside the drop target", false);
}

// Reads the whole dropped file.
std::unique_ptr<uint8_t[]> ReadDropped(const std::string& path, uint32_t& size) {
    FileHandle file;
    std::unique_ptr<uint8_t[]> bytes;
    size = 0;
    if (file.Open(path.c_str()) && (size = file.Size()) > 0) bytes = file.ReadAll(size);
    return bytes;
}

// The dropped file's positions, vertexCount of them, under a progress window.
bool ReadDroppedPositions(ProgressDialog& progress, const std::string& xPath, uint32_t vertexCount, std::vector<float>& xyz,
                          const Stop& stop) {
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> text = ReadDropped(xPath, size);
    if (!text) return stop(Reason::CannotRead, "Cannot read " + xPath, true);
    const char* data = reinterpret_cast<const char*>(text.get());
    uint32_t count = 0;
    size_t at = 0;
    if (!ReadXVertexCount(data, size, count, at)) return stop(Reason::XNoVertexCount, "The .x file has no vertex count", true);
    if (count != vertexCount) return stop(Reason::VertexCountMismatch, kCountMismatch, true);

    progress.Create("Modify Model Vertices");
    progress.SetRange(0, count);
    progress.SetPos(0);
    progress.SetStep(1);
    std::string reason;
    bool read = ReadXPositions(data, size, at, count, xyz, reason);
    for (uint32_t i = 0; read && i < count; ++i) progress.StepIt();
    progress.Destroy();
    return read || stop(Reason::XPositionsUnreadable, reason, true);
}

// The dropped .x file's positions (x, then the model's z, then its y),
// turned to the model's frame.
bool XPositions(const DropJob& job, const std::string& xPath, const ModelPair& p, PlacedVertices& at, const Stop& stop) {
    std::vector<float> xyz;
    if (!ReadDroppedPositions(job.progress, xPath, p.m.vertexCount, xyz, stop)) return false;
    at.placed.assign(p.m.vertexCount, 1);
    at.xyz.resize(xyz.size());
    for (size_t i = 0; i + 2 < xyz.size(); i += 3) at.xyz[i] = xyz[i], at.xyz[i + 1] = xyz[i + 2], at.xyz[i + 2] = xyz[i + 1];
    return true;
}

// Stores every placed vertex, then writes the model; nothing is written
// unless every vertex could be stored. A glTF position equal to the one the
// model holds leaves the vertex's bytes as they are (a float model's -0 or
// a packed model's step stays).
bool WriteModel(const DropJob& job, TreeItem target, const std::string& targetName, ModelPair& p,
                const PlacedVertices& at, bool gltf, const std::string& fileName, const Stop& stop, std::string* written) {
    uint8_t* bytes = p.mdlBytes.get();
    std::string reason;
    for (uint32_t i = 0; i < p.m.vertexCount; ++i) {
        const float* position = &at.xyz[3 * size_t(i)];
        if (!at.placed[i]) continue;
        if (gltf && std::equal(position, position + 3, p.vertices[i].position)) continue;
        if (!StorePosition(bytes, p.m, i, position, reason, gltf))
            return stop(Reason::PositionNotStorable, (gltf ? fileName + ": " : "The .x file's ") + reason, true);
    }
    OutputFile out;
    if (!OpenWriteBack(job.tree, out, target, targetName.c_str())) return stop(out.status);
    if (!out.file.Write(bytes, p.mdl.size) || !out.Commit()) return stop(Reason::CannotWrite);
    if (written != nullptr) *written = out.finalPath;
    return true;
}

bool IsGltfPath(const std::string& path) {
    std::string name = AsciiLowered(path.substr(NameStart(path)));
    auto ends = [&](const char* e) { return name.size() > std::strlen(e) && name.compare(name.size() - std::strlen(e), std::string::npos, e) == 0; };
    return ends(".glb") || ends(".gltf");
}

}  // namespace

bool IsVertexEditFile(const std::string& path) {
    std::string name = AsciiLowered(path.substr(NameStart(path)));
    return IsGltfPath(path) || (name.size() > 2 && name.compare(name.size() - 2, 2, ".x") == 0);
}

bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& path, Failure* failure,
                         std::string* written) {
    Stop stop{job.message, failure, path};
    std::string stemPath, targetName, reason;
    if (!FindSource(job.tree, target, stemPath, stop)) return false;
    bool gltf = IsGltfPath(path);
    std::string fileName = path.substr(NameStart(path));
    GltfScene scene;
    if (gltf) {
        uint32_t size = 0;
        std::unique_ptr<uint8_t[]> bytes = ReadDropped(path, size);
        if (!bytes) return stop(Reason::CannotRead, "Cannot read " + path, true);
        if (!ReadGltf(bytes.get(), size, FilesBeside(path), scene, reason))
            return stop.Refuse(fileName, reason);
    }
    if (!FindTargetName(job.tree, target, path, scene.rootNames, targetName, stop)) return false;
    ModelPair p;
    if (!(gltf ? ReadModelPair(job.files, stemPath, p, reason) : ReadModelFile(job.files, stemPath, p, reason)))
        return stop(Reason::ModelNotLoaded, reason, false);
    PlacedVertices at;
    if (gltf ? !PlaceGltfVertices(scene, p, at, reason) : !XPositions(job, path, p, at, stop))
        return gltf ? stop.Refuse(fileName, reason) : false;
    return WriteModel(job, target, targetName, p, at, gltf, fileName, stop, written);
}
