#include "extract/Extract.h"

#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "texture/TextureExport.h"

#include <cstring>
#include <memory>

namespace {

std::string BareName(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

void Fail(AppState& app, const std::string& path, const char* reason) {
    ++app.extraction.report.failed;
    app.extraction.report.problems.push_back(path + ": " + reason);
}

const char* Reason(OutputStatus status) {
    switch (status) {
    case OutputStatus::Unsafe: return "unsafe path inside the pack, not extracted";
    case OutputStatus::TooLong: return "output path too long";
    case OutputStatus::CannotCreate: return "cannot create the output file";
    default: return "not written";
    }
}

// Creates the file under a temporary name beside finalPath. The name holds
// the process number and a serial, so it names no file of the pack's.
bool CreateBeside(OutputFile& out) {
    static uint32_t serial = 0;
    out.tempPath = out.finalPath + ".~q" + std::to_string(ProcessNumber()) + "-" + std::to_string(++serial);
    if (!out.file.Create(out.tempPath.c_str())) {
        out.tempPath.clear();
        out.status = OutputStatus::CannotCreate;
        return false;
    }
    out.status = OutputStatus::Ok;
    return true;
}

}  // namespace

bool OutputFile::Commit() {
    if (tempPath.empty()) return false;
    file.Close();
    if (!ReplaceFile(tempPath.c_str(), finalPath.c_str())) {
        Abandon();
        return false;
    }
    tempPath.clear();
    return true;
}

void OutputFile::Abandon() {
    file.Close();
    if (!tempPath.empty()) RemoveFile(tempPath.c_str());
    tempPath.clear();
}

bool IsSafeRelativePath(const std::string& path) {
    if (path.empty()) return false;
    if (path.size() >= 2 && path[1] == ':') return false;  // a drive, "C:" or "C:\"
#ifdef _WIN32
    // Anything with ':' names a drive or an alternate stream.
    if (path.find(':') != std::string::npos) return false;
#endif
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find_first_of("/\\", pos);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(pos, end - pos);
        if (part.empty() || part == "..") return false;  // empty also catches a leading separator
        pos = end + 1;
    }
    return true;
}

bool CreateParentFolders(const char* path) { return CreateParentFolders(path, nullptr); }

bool CreateParentFolders(const char* path, std::unordered_set<std::string>* made) {
    std::string p(path);
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '\\' || (i > 0 && p[i - 1] == ':') || i == 0) continue;
        std::string folder = p.substr(0, i);
        if (made != nullptr && !made->insert(folder).second) continue;
        MakeFolder(folder.c_str());
    }
    return true;
}

bool OpenOutputFile(AppState& app, OutputFile& out, const char* path, uint8_t overwrite) {
    out.Abandon();
    const ExtractState& ex = app.extraction;
    if (!IsSafeRelativePath(path)) {
        out.status = OutputStatus::Unsafe;
        return false;
    }
    std::string target = ex.outputFolder + "\\" + (ex.extractTree ? std::string(path) : BareName(path));
    if (target.size() >= 260) {
        out.status = OutputStatus::TooLong;
        return false;
    }
    ToBackslashes(&target[0]);
    CreateParentFolders(target.c_str(), &app.extraction.madeFolders);
    out.finalPath = target;
    if (!overwrite && FileExists(target.c_str())) {
        out.status = OutputStatus::Exists;
        return false;
    }
    return CreateBeside(out);
}

bool OpenWriteBack(AppState& app, OutputFile& out, TreeItem item, const char* path) {
    out.Abandon();
    TreeItem start = FirstSiblingOf(app.tree, item);
    TreeItem found = FindTreeSibling(app.tree, start, path + NameOffset(path));
    std::string p;
    if (found == kNoItem || !TreeItemPath(app.tree, found, p)) {
        out.status = OutputStatus::CannotCreate;
        return false;
    }
    // A loose file must land below the data folder, whatever the pack says.
    if (!IsSafeRelativePath(p)) {
        out.status = OutputStatus::Unsafe;
        return false;
    }
    ToBackslashes(&p[0]);
    CreateParentFolders(p.c_str());
    out.finalPath = p;
    return CreateBeside(out);
}

void CountCategories(AppState& app, TreeItem item) {
    const PackTree& tree = app.tree;
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            CountCategories(app, child);
        return;
    }
    ++app.extraction.categoryCounts[CategoryOfName(tree.Text(item))];
}

void ExtractSubtree(AppState& app, TreeItem item, uint32_t filter) {
    const PackTree& tree = app.tree;
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            ExtractSubtree(app, child, filter);
        return;
    }
    std::string path;
    FileEntry key = {};
    bool fits = TreeItemPath(tree, item, path);
    if (fits) std::memcpy(key.name, path.data(), path.size());
    FileCategory category = CategoryOfName(tree.Text(item));
    if (filter != 0 && filter != category) return;  // passed over, no progress step
    if (!fits) {
        Fail(app, tree.Text(item), "path inside the pack too long");
    } else if (filter == 0) {
        ExtractRawFile(app, key);
    } else if (filter == Image) {
        if (app.extraction.command == kExtractTexturesPng)
            ExportTextureAsPng(app, key);
        else
            ExportTextureAsTga(app, key);
    } else if (app.extraction.command == kExtractModelsGltf) {
        ExportModelAsGltf(app, key);
    } else {
        ExportModelAsX(app, key);
    }
    app.progress.StepIt();
}

bool ExtractRawFile(AppState& app, FileEntry& key) {
    std::string asListed = key.name;
    FileHandle in;
    uint32_t size = OpenGameFile(app, in, key, 0);
    app.progress.SetText(BareName(key.name).c_str());
    // An empty game file is still a file of the pack: write it empty. Only a
    // missing or damaged one (nothing left open) is a failure.
    if (size == 0 && !in.IsOpen()) {
        Fail(app, asListed, "not found or damaged in the pack");
        return false;
    }
    std::unique_ptr<uint8_t[]> data = in.ReadAll(size);
    in.Close();
    if (!data) {
        Fail(app, asListed, "cannot read");
        return false;
    }
    OutputFile out;
    if (!OpenOutputFile(app, out, key.name, 1)) {
        Fail(app, asListed, Reason(out.status));
        return false;
    }
    if (!out.file.Write(data.get(), size) || !out.Commit()) {
        Fail(app, asListed, "cannot write the output file");
        return false;
    }
    ++app.extraction.report.written;
    return true;
}

uint32_t RunExtraction(AppState& app, TreeItem item, uint32_t command) {
    ExtractState& ex = app.extraction;
    for (uint32_t& c : ex.categoryCounts) c = 0;
    CountCategories(app, item);
    const char* title;
    uint32_t count, filter, threshold;
    if (command == kExtractFiles) {
        title = "Extracting Files";
        count = 0;
        for (uint32_t c : ex.categoryCounts) count += c;
        filter = 0;
        threshold = 16;
    } else if (command == kExtractTextures || command == kExtractTexturesPng) {
        title = "Extracting Images";
        count = ex.categoryCounts[Image];
        filter = Image;
        threshold = 8;
    } else if (command == kExtractModels || command == kExtractModelsGltf) {
        title = "Extracting Models";
        count = ex.categoryCounts[Model];
        filter = Model;
        threshold = 1;
    } else {
        return 0;
    }
    if (count == 0) return 0;
    ex.command = command;
    ex.madeFolders.clear();
    ex.modelsExported.clear();
    if (count >= threshold) {
        app.progress.Create(title);
        app.progress.SetRange(0, static_cast<uint16_t>(count));
        app.progress.SetPos(0);
        app.progress.SetStep(1);
    }
    ExtractSubtree(app, item, filter);
    ex.command = 0;
    app.progress.Destroy();
    ex.madeFolders.clear();
    return count;
}
