#include "extract/Extract.h"

#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "texture/TextureExport.h"

#include <algorithm>
#include <cstring>
#include <memory>

void CountCategories(const PackTree& tree, ExtractState& extraction, TreeItem item) {
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            CountCategories(tree, extraction, child);
        return;
    }
    ++extraction.Count(CategoryOfName(tree.Text(item)));
}

void ExtractSubtree(const ExportJob& job, const PackTree& tree, TreeItem item, uint32_t filter) {
    if (tree.Data(item) == nullptr) {
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            ExtractSubtree(job, tree, child, filter);
        return;
    }
    std::string path;
    FileEntry key = {};
    // A tree path may run to 259 characters; a key holds one less than its
    // 256 bytes, and a copy left without its terminator would be read past.
    bool fits = TreeItemPath(tree, item, path) && path.size() < sizeof key.name;
    if (fits) std::memcpy(key.name, path.data(), path.size());
    FileCategory category = CategoryOfName(tree.Text(item));
    if (filter != 0 && filter != static_cast<uint32_t>(category)) return;  // passed over, no progress step
    if (!fits) {
        job.extraction.report.Fail(tree.Text(item), Reason::PathTooLong);
    } else if (filter == 0) {
        ExtractRawFile(job, key);
    } else if (category == FileCategory::Image) {
        if (job.extraction.command == kExtractTexturesPng)
            ExportTextureAsPng(job, key);
        else
            ExportTextureAsTga(job, key);
    } else if (job.extraction.command == kExtractModelsGltf) {
        ExportModelAsGltf(job, key);
    } else {
        ExportModelAsX(job, key);
    }
    job.progress.StepIt();
}

bool ExtractRawFile(const ExportJob& job, FileEntry& key) {
    ExtractReport& report = job.extraction.report;
    std::string asListed = key.name;
    uint32_t size = 0;
    Reason why = Reason::None;
    std::unique_ptr<uint8_t[]> data = ReadGameFile(job.files, key, size, &why);
    job.progress.SetText(key.name + FileNameStart(key.name));
    // An empty game file is still a file of the pack: write it empty.
    if (why == Reason::EmptyFile) data.reset(new uint8_t[1]);
    if (!data) {
        report.Fail(asListed, why);
        return false;
    }
    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, key.name, 1)) {
        report.Fail(asListed, out.status);
        return false;
    }
    if (!out.file.Write(data.get(), size) || !out.Commit()) {
        report.Fail(asListed, Reason::CannotWrite);
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
    } else if (command == kExtractTextures || command == kExtractTexturesPng) {
        title = "Extracting Images";
        count = ex.Count(FileCategory::Image);
        filter = static_cast<uint32_t>(FileCategory::Image);
        threshold = 8;
    } else if (command == kExtractModels || command == kExtractModelsGltf) {
        title = "Extracting Models";
        count = ex.Count(FileCategory::Model);
        filter = static_cast<uint32_t>(FileCategory::Model);
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
            std::vector<Failure>& problems = ex.report.problems;
            bool told = std::any_of(problems.begin(), problems.end(), [&](const Failure& p) {
                return p.reason == Reason::CannotCreateFolder && p.subject == ex.outputFolder;
            });
            if (!told) problems.push_back(Failure{Reason::CannotCreateFolder, ex.outputFolder, std::string()});
            ex.report.failed += count;
            return count;
        }
    }
    ex.command = command;
    ex.madeFolders.clear();
    ex.encodedPictures.clear();
    ex.encodedBytes = 0;
    ProgressDialog& progress = job.progress;
    if (count >= threshold) {
        progress.Create(title);
        progress.SetRange(0, static_cast<uint32_t>(count));
        progress.SetPos(0);
        progress.SetStep(1);
    }
    for (TreeItem item : items) ExtractSubtree(job, tree, item, filter);
    ex.command = 0;
    progress.Destroy();
    ex.madeFolders.clear();
    return count;
}
