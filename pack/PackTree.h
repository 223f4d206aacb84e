// The tree of the shown pack: one item per path component. The GUI's tree
// view mirrors it (folder by folder, as they are expanded) and the CLI prints
// it, so every walk over it is tested without a window.
//
// Siblings are kept in one order: names compared with ASCII letters folded to
// lower case, then by their bytes; equal names stay in insertion order.
// Insertion and FindTreeSibling use that same comparison, so a folder is
// never created twice.
#pragma once

#include "pack/FileIndex.h"
#include "pack/FileTypes.h"
#include "pack/Seams.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// A tree item; kNoItem plays the null item.
using TreeItem = int32_t;
const TreeItem kNoItem = -1;

// The item data of a file item: where its entry lies in the pack (for .nob
// the offset of the entry's header, for .vpk the data offset) and its size.
struct TreeItemData {
    uint32_t place;
    uint32_t size;
};

class PackTree {
public:
    PackTree();

    // Inserts under parent (kNoItem: top level) in sorted place. A file item
    // has data; a folder item has none.
    TreeItem Insert(TreeItem parent, const std::string& text, TreeIcons icons, bool hasChildren,
                    const TreeItemData* data);
    void DeleteAll();

    const std::string& Text(TreeItem item) const { return items[Index(item)].text; }
    // Null for a folder item.
    const TreeItemData* Data(TreeItem item) const;
    TreeIcons Icons(TreeItem item) const { return items[Index(item)].icons; }
    bool HasChildren(TreeItem item) const { return items[Index(item)].hasChildren; }

    TreeItem FirstTopLevel() const { return FirstChild(kNoItem); }
    // kNoItem as item asks for the top level.
    TreeItem FirstChild(TreeItem item) const;
    TreeItem NextSibling(TreeItem item) const;
    TreeItem PrevSibling(TreeItem item) const;
    // kNoItem for a top-level item.
    TreeItem Parent(TreeItem item) const;
    size_t ChildCount(TreeItem item) const { return items[Index(item)].children.size(); }
    size_t ItemCount() const { return items.size() - 1; }

    void Select(TreeItem item) { selected = item; }
    TreeItem Selected() const { return selected; }
    bool enabled = false;

    // Building a whole pack's tree inserts siblings unsorted and sorts each
    // folder once at the end: sorted insertion is quadratic in the size of a
    // folder, and game folders hold thousands of files. While building,
    // folder lookups go through a per-folder map instead of a sorted walk.
    void BeginBuild();
    void EndBuild();
    bool Building() const { return building; }
    // During a build: the first folder item under parent named text ignoring
    // case, or kNoItem.
    TreeItem FindFolderWhileBuilding(TreeItem parent, const std::string& text) const;

private:
    struct Item {
        std::string text;
        int32_t parent = 0;  // index; 0 is the hidden root
        uint32_t indexInParent = 0;
        std::vector<int32_t> children;
        TreeIcons icons{0, 0};
        bool hasChildren = false;
        bool isFile = false;
        TreeItemData data{0, 0};
    };
    static size_t Index(TreeItem item) { return static_cast<size_t>(item + 1); }
    static TreeItem Handle(size_t index) { return static_cast<TreeItem>(index) - 1; }
    void SortChildren(size_t index);

    std::vector<Item> items;  // items[0] is the root
    TreeItem selected = kNoItem;
    bool building = false;
    // While building: (parent index, lower-cased name) -> first folder item.
    std::unordered_map<std::string, int32_t> folders;
};

// Orders sibling names: ASCII case folded, then bytes.
int CompareTreeNames(const std::string& a, const std::string& b);

// From start, walks the following siblings for one whose text equals name
// ignoring ASCII case; stops early where name sorts before a sibling.
TreeItem FindTreeSibling(const PackTree& tree, TreeItem start, const std::string& name);

// One build of a pack's tree under a "Directory Scan" progress window over
// the pack's file count: names go in with '\' separators, the progress bar
// steps per file and every 128th file's bare name is shown.
class TreeBuild {
public:
    TreeBuild(PackTree& tree, const ProgressHooks* hooks, uint32_t files);
    ~TreeBuild();
    void Add(char* name, const TreeItemData& data);

private:
    PackTree& tree;
    ProgressDialog progress;
    uint32_t count = 0;
};

// Inserts a pack path ('\' separators) with its item data: folders as needed,
// then the file item with its category's icons.
void InsertPathInTree(PackTree& tree, const char* path, const TreeItemData& data);

// The item's path inside the pack: its ancestors' texts and its own joined
// with '/'. False when that takes 260 characters or more.
bool TreeItemPath(const PackTree& tree, TreeItem item, std::string& path);

// The first item of item's level; with kNoItem, the first top-level item.
TreeItem FirstSiblingOf(const PackTree& tree, TreeItem item);

// The item named by a path of components ('/' or '\', any case), or kNoItem.
TreeItem FindTreeItemByPath(const PackTree& tree, const std::string& path);

// The category of a file item's name (untyped without an extension).
FileCategory CategoryOfName(const std::string& name);
