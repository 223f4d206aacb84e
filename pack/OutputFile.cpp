#include "pack/OutputFile.h"

namespace {

// Creates the file under a temporary name beside finalPath. The name holds
// the process number and a serial, so it names no file of the pack's.
bool CreateBeside(OutputFile& out) {
    static uint32_t serial = 0;
    out.tempPath = out.finalPath + ".~q" + std::to_string(ProcessNumber()) + "-" + std::to_string(++serial);
    if (!out.file.Create(out.tempPath.c_str())) {
        out.tempPath.clear();
        out.status = Reason::CannotCreate;
        return false;
    }
    out.status = Reason::None;
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

bool OpenOutputFile(ExtractState& ex, OutputFile& out, const char* path, uint8_t overwrite) {
    out.Abandon();
    if (!IsSafeRelativePath(path)) {
        out.status = Reason::UnsafePath;
        return false;
    }
    std::string target = ex.outputFolder + "\\" + (ex.extractTree ? std::string(path) : std::string(path).substr(FileNameStart(path)));
    if (target.size() >= 260) {
        out.status = Reason::OutputTooLong;
        return false;
    }
    ToBackslashes(&target[0]);
    CreateParentFolders(target.c_str(), &ex.madeFolders);
    out.finalPath = target;
    if (!overwrite && FileExists(target.c_str())) {
        out.status = Reason::OutputExists;
        return false;
    }
    return CreateBeside(out);
}

bool OpenWriteBack(const PackTree& tree, OutputFile& out, TreeItem item, const char* path) {
    out.Abandon();
    TreeItem start = FirstSiblingOf(tree, item);
    TreeItem found = FindTreeSibling(tree, start, path + NameOffset(path));
    std::string p;
    if (found == kNoItem || !TreeItemPath(tree, found, p)) {
        out.status = Reason::CannotCreate;
        return false;
    }
    // A loose file must land below the data folder, whatever the pack says.
    if (!IsSafeRelativePath(p)) {
        out.status = Reason::UnsafePath;
        return false;
    }
    ToBackslashes(&p[0]);
    CreateParentFolders(p.c_str());
    out.finalPath = p;
    return CreateBeside(out);
}
