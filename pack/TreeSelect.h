// Choosing files of the pack tree by name: the ITEM and PATTERN arguments of
// `quillon list` and `quillon extract`, and the filter over the tree in the
// Windows program. Both run over the in-memory tree, never a window.
#pragma once

#include "pack/PackTree.h"

#include <string>
#include <string_view>
#include <vector>

// The file items that the arguments select, in tree order, each once. An
// argument that names an item of the tree (as FindTreeItemByPath finds it)
// selects that file, or every file below that folder; any other argument is
// a PathPattern over the files' paths. unmatched receives, in order, the
// arguments that selected nothing.
std::vector<TreeItem> SelectTreeFiles(const PackTree& tree, const std::vector<std::string>& args,
                                      std::vector<std::string>& unmatched);

// Every file item in tree order.
std::vector<TreeItem> AllTreeFiles(const PackTree& tree);

// Which items a filter text leaves in the tree: the matching files and the
// folders that lead to them. Text with '*', '?', '/' or '\' is a PathPattern;
// other text matches a part of the file name, ignoring ASCII case. Empty
// text filters nothing.
class TreeFilter {
public:
    // Computes the shown items of tree for text; the tree must not change
    // while the filter is in use (set it again after a rebuild).
    void Set(const PackTree& tree, std::string_view text);
    void Clear();
    bool Active() const { return active; }
    // True for every item while no filter is active.
    bool Shows(TreeItem item) const;
    size_t MatchingFiles() const { return matches; }
    // What a command on item reaches: item itself while no filter is active
    // or when it is a file; otherwise the shown files below it, in tree
    // order, so that a folder's extraction takes what the tree shows of it.
    std::vector<TreeItem> Reached(const PackTree& tree, TreeItem item) const;

private:
    std::vector<uint8_t> shown;  // by item handle
    size_t matches = 0;
    bool active = false;
};

// Whether filter text is read as a path pattern rather than a part of a name.
bool IsFilterPattern(std::string_view text);
