// The tree of a fuzzed pack: built, walked, looked up by path, and extracted
// into a private folder, after which nothing may exist outside that folder.
// The first byte picks the format; the rest is the pack.
#include "FuzzPack.h"
#include "extract/Extract.h"

#include <filesystem>

namespace fs = std::filesystem;

static void WalkTree(AppState& app, TreeItem first) {
    for (TreeItem item = first; item != kNoItem; item = app.tree.NextSibling(item)) {
        std::string path;
        if (TreeItemPath(app.tree, item, path) && !path.empty() && path.find("//") == std::string::npos &&
            path.back() != '/') {
            TreeItem found = FindTreeItemByPath(app.tree, path);
            if (found == kNoItem) std::abort();
            std::string again;
            if (!TreeItemPath(app.tree, found, again) || CompareTreeNames(again, path) != 0 &&
                                                             CompareIgnoringCase(again, path) != 0)
                std::abort();
        }
        if (app.tree.FirstChild(item) != kNoItem && app.tree.Parent(app.tree.FirstChild(item)) != item) std::abort();
        WalkTree(app, app.tree.FirstChild(item));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& folder = FuzzFolder();
    std::string name = (data[0] & 1) ? "fuzz.vpk" : "fuzz.nob";
    fs::remove_all(folder + "/data");
    fs::remove_all(folder + "/out");
    fs::create_directories(folder + "/data");
    std::string pack = folder + "/data/" + name;
    WriteFuzzPack(pack, data + 1, size - 1);
    CwdRestorer cwd;
    static AppState app;
    if (!OpenPack(app, pack.c_str())) return 0;
    WalkTree(app, app.tree.FirstTopLevel());
    app.extraction.outputFolder = folder + "/out";
    app.extraction.extractTree = (data[0] & 2) == 0;
    app.extraction.report.Clear();
    for (TreeItem i = app.tree.FirstTopLevel(); i != kNoItem; i = app.tree.NextSibling(i))
        RunExtraction(app, i, kExtractFiles);
    // Nothing but the pack and the output folder may be there.
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string n = e.path().filename().string();
        if (n != "data" && n != "out") std::abort();
    }
    for (const auto& e : fs::directory_iterator(folder + "/data"))
        if (e.path().filename().string() != name) std::abort();
    return 0;
}
