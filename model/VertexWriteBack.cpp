#include "model/VertexWriteBack.h"

#include "model/ModelPair.h"
#include "model/XReader.h"

#include <memory>
#include <vector>

using namespace mdlformat;

namespace {

const char kCountMismatch[] = "Vertex Count Does Not Match Original File!";
const char kErrorCaption[] = "ERROR!";

// A refusal: told in a message box when tell, and left in why.
struct Stop {
    const MessageSeam& message;
    std::string* why;
    bool operator()(const std::string& text, bool tell) const {
        if (tell) message.Show(text.c_str(), kErrorCaption);
        if (why != nullptr) *why = text;
        return false;
    }
};

// The source model (named like the drop target) and the target name (after
// the dropped file), both items of the target's folder.
bool FindModels(const PackTree& tree, TreeItem target, const std::string& xPath, std::string& stemPath,
                std::string& targetName, const Stop& stop) {
    std::string path;
    if (tree.Data(target) == nullptr || !TreeItemPath(tree, target, path))
        return stop("the drop target is not a file of the pack", false);
    stemPath = ModelStemPath(path);
    TreeItem first = FirstSiblingOf(tree, target);
    if (FindTreeSibling(tree, first, stemPath.substr(NameStart(stemPath)) + ".mdl") == kNoItem)
        return stop("no model file (.mdl) beside the drop target", false);
    size_t dot = xPath.rfind('.');
    std::string dropped = xPath.substr(0, dot == std::string::npos || dot < NameStart(xPath) ? xPath.size() : dot);
    targetName = dropped.substr(NameStart(dropped)) + ".mdl";
    if (FindTreeSibling(tree, first, targetName) == kNoItem)
        return stop("no model named " + targetName + " beside the drop target", false);
    return true;
}

// The dropped file's positions, vertexCount of them, under a progress window.
bool ReadDroppedPositions(ProgressDialog& progress, const std::string& xPath, uint32_t vertexCount, std::vector<float>& xyz,
                          const Stop& stop) {
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
    if (count != vertexCount) return stop(kCountMismatch, true);

    progress.Create("Modify Model Vertices");
    progress.SetRange(0, count);
    progress.SetPos(0);
    progress.SetStep(1);
    std::string reason;
    bool read = ReadXPositions(data, size, at, count, xyz, reason);
    for (uint32_t i = 0; read && i < count; ++i) progress.StepIt();
    progress.Destroy();
    return read || stop(reason, true);
}

}  // namespace

bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& xPath, std::string* why) {
    Stop stop{job.message, why};
    std::string stemPath, targetName, reason;
    if (!FindModels(job.tree, target, xPath, stemPath, targetName, stop)) return false;
    ModelPair p;
    if (!ReadModelFile(job.files, stemPath, p, reason)) return stop(reason, false);
    std::vector<float> xyz;
    if (!ReadDroppedPositions(job.progress, xPath, p.m.vertexCount, xyz, stop)) return false;

    // Only positions change: x as read, then the file's y from the third
    // number and its z from the second. Every vertex is stored before
    // anything is written, so a position that cannot be stored leaves the
    // target as it was.
    uint8_t* bytes = p.mdlBytes.get();
    for (uint32_t i = 0; i < p.m.vertexCount; ++i) {
        float position[3] = {xyz[3 * i], xyz[3 * i + 2], xyz[3 * i + 1]};
        if (!StorePosition(bytes, p.m, i, position, reason)) return stop("The .x file's " + reason, true);
    }
    OutputFile out;
    if (!OpenWriteBack(job.tree, out, target, targetName.c_str())) return stop(ReasonWords(out.status), false);
    if (!out.file.Write(bytes, p.mdl.size) || !out.Commit()) return stop(ReasonWords(Reason::CannotWrite), false);
    if (why != nullptr) *why = out.finalPath;
    return true;
}
