#include "pack/TreeSelect.h"

#include "pack/PathPattern.h"

#include <functional>

namespace {

using FileVisit = std::function<void(TreeItem, const std::string&)>;

// Calls visit for every file from first on, depth first in tree order, with
// the file's path ('/' between components). path holds the parent's path.
void WalkFiles(const PackTree& tree, TreeItem first, std::string& path, const FileVisit& visit) {
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        size_t keep = path.size();
        if (keep != 0) path += '/';
        path += tree.Text(item);
        if (tree.Data(item) != nullptr) visit(item, path);
        else WalkFiles(tree, tree.FirstChild(item), path, visit);
        path.resize(keep);
    }
}

// Marks item, or every file below it; says whether it marked anything.
bool MarkFiles(const PackTree& tree, TreeItem item, std::vector<uint8_t>& marks) {
    if (tree.Data(item) != nullptr) {
        marks[size_t(item)] = 1;
        return true;
    }
    bool any = false;
    for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
        any = MarkFiles(tree, child, marks) || any;
    return any;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsIgnoringCase(const std::string& haystack, const std::string& lowerNeedle) {
    if (lowerNeedle.size() > haystack.size()) return false;
    for (size_t at = 0; at + lowerNeedle.size() <= haystack.size(); ++at) {
        size_t i = 0;
        while (i < lowerNeedle.size() && Lower(haystack[at + i]) == lowerNeedle[i]) ++i;
        if (i == lowerNeedle.size()) return true;
    }
    return false;
}

// Marks the files match accepts and every folder on the way to one; says
// whether anything from first on was marked.
bool MarkShown(const PackTree& tree, TreeItem first, std::string& path,
               const std::function<bool(TreeItem, const std::string&)>& match, std::vector<uint8_t>& shown,
               size_t& matches) {
    bool any = false;
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        size_t keep = path.size();
        if (keep != 0) path += '/';
        path += tree.Text(item);
        bool show = tree.Data(item) != nullptr ? match(item, path)
                                               : MarkShown(tree, tree.FirstChild(item), path, match, shown, matches);
        if (show && tree.Data(item) != nullptr) ++matches;
        shown[size_t(item)] = show;
        any = any || show;
        path.resize(keep);
    }
    return any;
}

}  // namespace

std::vector<TreeItem> SelectTreeFiles(const PackTree& tree, const std::vector<std::string>& args,
                                      std::vector<std::string>& unmatched) {
    std::vector<uint8_t> chosen(tree.ItemCount(), 0);
    std::vector<bool> hit(args.size(), false);
    std::vector<PathPattern> patterns;
    std::vector<size_t> patternArg;
    for (size_t i = 0; i < args.size(); ++i) {
        TreeItem item = FindTreeItemByPath(tree, args[i]);
        if (item != kNoItem) {
            hit[i] = MarkFiles(tree, item, chosen);
        } else {
            patterns.emplace_back(args[i]);
            patternArg.push_back(i);
        }
    }
    std::string path;
    if (!patterns.empty()) {
        WalkFiles(tree, tree.FirstTopLevel(), path, [&](TreeItem item, const std::string& p) {
            for (size_t k = 0; k < patterns.size(); ++k)
                if (patterns[k].Matches(p)) chosen[size_t(item)] = 1, hit[patternArg[k]] = true;
        });
    }
    for (size_t i = 0; i < args.size(); ++i)
        if (!hit[i]) unmatched.push_back(args[i]);
    std::vector<TreeItem> files;
    WalkFiles(tree, tree.FirstTopLevel(), path, [&](TreeItem item, const std::string&) {
        if (chosen[size_t(item)]) files.push_back(item);
    });
    return files;
}

std::vector<TreeItem> AllTreeFiles(const PackTree& tree) {
    std::vector<TreeItem> files;
    std::string path;
    WalkFiles(tree, tree.FirstTopLevel(), path, [&](TreeItem item, const std::string&) { files.push_back(item); });
    return files;
}

bool IsFilterPattern(std::string_view text) { return text.find_first_of("*?/\\") != std::string_view::npos; }

void TreeFilter::Set(const PackTree& tree, std::string_view text) {
    if (text.empty()) return Clear();
    active = true;
    matches = 0;
    shown.assign(tree.ItemCount(), 0);
    std::string path;
    if (IsFilterPattern(text)) {
        PathPattern pattern(text);
        MarkShown(tree, tree.FirstTopLevel(), path,
                  [&](TreeItem, const std::string& p) { return pattern.Matches(p); }, shown, matches);
    } else {
        std::string needle;
        for (char c : text) needle += Lower(c);
        MarkShown(tree, tree.FirstTopLevel(), path,
                  [&](TreeItem item, const std::string&) { return ContainsIgnoringCase(tree.Text(item), needle); },
                  shown, matches);
    }
}

std::vector<TreeItem> TreeFilter::Reached(const PackTree& tree, TreeItem item) const {
    if (!active || tree.Data(item) != nullptr) return {item};
    std::vector<TreeItem> files;
    std::string path;
    WalkFiles(tree, tree.FirstChild(item), path, [&](TreeItem file, const std::string&) {
        if (Shows(file)) files.push_back(file);
    });
    return files;
}

void TreeFilter::Clear() {
    active = false;
    matches = 0;
    shown.clear();
}

bool TreeFilter::Shows(TreeItem item) const {
    if (!active) return true;
    return item >= 0 && size_t(item) < shown.size() && shown[size_t(item)] != 0;
}
