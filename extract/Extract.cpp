#include "extract/Extract.h"

#include "model/ModelExport.h"
#include "texture/TextureExport.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

std::string BareName(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

void Fail(ExtractReport& report, const std::string& path, const char* reason) {
    ++report.failed;
    report.problems.push_back(path + ": " + reason);
}

const char* Reason(OutputStatus status) {
    switch (status) {
    case OutputStatus::Unsafe: return "unsafe path inside the pack, not extracted";
    case OutputStatus::TooLong: return "output path too long";
    case OutputStatus::CannotCreate: return "cannot create the output file";
    default: return "not written";
    }
}

}  // namespace

void CountCategories(const PackTree& tree, ExtractState& extraction, TreeItem item) {
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            CountCategories(tree, extraction, child);
        return;
    }
    ++extraction.categoryCounts[CategoryOfName(tree.Text(item))];
}

void ExtractSubtree(const ExportJob& job, const PackTree& tree, TreeItem item, uint32_t filter) {
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            ExtractSubtree(job, tree, child, filter);
        return;
    }
    std::string path;
    FileEntry key = {};
    bool fits = TreeItemPath(tree, item, path);
    if (fits) std::memcpy(key.name, path.data(), path.size());
    FileCategory category = CategoryOfName(tree.Text(item));
    if (filter != 0 && filter != category) return;  // passed over, no progress step
    if (!fits) {
        Fail(job.extraction.report, tree.Text(item), "path inside the pack too long");
    } else if (filter == 0) {
        ExtractRawFile(job, key);
    } else if (filter == Image) {
        ExportTextureAsTga(job, key);
    } else {
        ExportModelAsX(job, key);
    }
    job.progress.StepIt();
}

bool ExtractRawFile(const ExportJob& job, FileEntry& key) {
    ExtractReport& report = job.extraction.report;
    std::string asListed = key.name;
    FileHandle in;
    uint32_t size = OpenGameFile(job.files, in, key, 0);
    job.progress.SetText(BareName(key.name).c_str());
    // An empty game file is still a file of the pack: write it empty. Only a
    // missing or damaged one (nothing left open) is a failure.
    if (size == 0 && !in.IsOpen()) {
        Fail(report, asListed, "not found or damaged in the pack");
        return false;
    }
    std::unique_ptr<uint8_t[]> data = in.ReadAll(size);
    in.Close();
    if (!data) {
        Fail(report, asListed, "cannot read");
        return false;
    }
    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, key.name, 1)) {
        Fail(report, asListed, Reason(out.status));
        return false;
    }
    if (!out.file.Write(data.get(), size) || !out.Commit()) {
        Fail(report, asListed, "cannot write the output file");
        return false;
    }
    ++report.written;
    return true;
}

uint32_t RunExtraction(const ExportJob& job, const PackTree& tree, TreeItem item, uint32_t command) {
    return RunExtraction(job, tree, std::vector<TreeItem>{item}, command);
}

uint32_t RunExtraction(const ExportJob& job, const PackTree& tree, const std::vector<TreeItem>& items,
                       uint32_t command) {
    ExtractState& ex = job.extraction;
    for (uint32_t& c : ex.categoryCounts) c = 0;
    for (TreeItem item : items) CountCategories(tree, ex, item);
    const char* title;
    uint32_t count, filter, threshold;
    if (command == kExtractFiles) {
        title = "Extracting Files";
        count = 0;
        for (uint32_t c : ex.categoryCounts) count += c;
        filter = 0;
        threshold = 16;
    } else if (command == kExtractTextures) {
        title = "Extracting Images";
        count = ex.categoryCounts[Image];
        filter = Image;
        threshold = 8;
    } else if (command == kExtractModels) {
        title = "Extracting Models";
        count = ex.categoryCounts[Model];
        filter = Model;
        threshold = 1;
    } else {
        return 0;
    }
    if (count == 0) return 0;
    // A folder that cannot be made is one problem to tell, not one per file.
    std::string folder = ex.outputFolder;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (!folder.empty() && folder.back() != ':') {
        ToBackslashes(&folder[0]);
        CreateParentFolders((folder + "\\").c_str());
        if (!MakeFolder(folder.c_str())) {
            // Runs over several items into one report name it once.
            std::string problem = ex.outputFolder + ": cannot create the output folder";
            std::vector<std::string>& problems = ex.report.problems;
            if (std::find(problems.begin(), problems.end(), problem) == problems.end()) problems.push_back(problem);
            ex.report.failed += count;
            return count;
        }
    }
    ex.madeFolders.clear();
    ProgressDialog& progress = job.progress;
    if (count >= threshold) {
        progress.Create(title);
        progress.SetRange(0, static_cast<uint32_t>(count));
        progress.SetPos(0);
        progress.SetStep(1);
    }
    for (TreeItem item : items) ExtractSubtree(job, tree, item, filter);
    progress.Destroy();
    ex.madeFolders.clear();
    return count;
}
