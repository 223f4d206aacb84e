#include "pack/PackTree.h"

#include "pack/Ascii.h"
#include "pack/FileHandle.h"

#include <algorithm>
#include <cstring>

namespace {

std::string FolderKey(int32_t parentIndex, const std::string& text) {
    return std::to_string(parentIndex) + '/' + AsciiLowered(text);
}


}  // namespace

int CompareTreeNames(const std::string& a, const std::string& b) {
    int folded = CompareIgnoringCase(a, b);
    if (folded != 0) return folded;
    int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

PackTree::PackTree() { items.emplace_back(); }

void PackTree::DeleteAll() {
    items.clear();
    items.emplace_back();
    folders.clear();
    selected = kNoItem;
    building = false;
}

TreeItem PackTree::Insert(TreeItem parent, const std::string& text, TreeIcons icons, bool hasChildren,
                          const TreeItemData* data) {
    size_t parentIndex = Index(parent);
    Item item;
    item.text = text;
    item.parent = static_cast<int32_t>(parentIndex);
    item.icons = icons;
    item.hasChildren = hasChildren;
    item.isFile = data != nullptr;
    if (data != nullptr) item.data = *data;
    size_t index = items.size();
    items.push_back(std::move(item));
    std::vector<int32_t>& siblings = items[parentIndex].children;
    if (building) {
        items[index].indexInParent = static_cast<uint32_t>(siblings.size());
        siblings.push_back(static_cast<int32_t>(index));
        if (data == nullptr) folders.emplace(FolderKey(static_cast<int32_t>(parentIndex), text), int32_t(index));
        return Handle(index);
    }
    // After every sibling that does not sort after it: equal names keep
    // insertion order.
    auto at = std::upper_bound(siblings.begin(), siblings.end(), text, [this](const std::string& t, int32_t other) {
        return CompareTreeNames(t, items[static_cast<size_t>(other)].text) < 0;
    });
    size_t pos = static_cast<size_t>(at - siblings.begin());
    siblings.insert(at, static_cast<int32_t>(index));
    for (size_t i = pos; i < siblings.size(); ++i) items[static_cast<size_t>(siblings[i])].indexInParent = uint32_t(i);
    return Handle(index);
}

const TreeItemData* PackTree::Data(TreeItem item) const {
    const Item& it = items[Index(item)];
    return it.isFile ? &it.data : nullptr;
}

TreeItem PackTree::FirstChild(TreeItem item) const {
    const std::vector<int32_t>& children = items[Index(item)].children;
    return children.empty() ? kNoItem : Handle(static_cast<size_t>(children.front()));
}

TreeItem PackTree::NextSibling(TreeItem item) const {
    if (item == kNoItem) return kNoItem;
    const Item& it = items[Index(item)];
    const std::vector<int32_t>& siblings = items[static_cast<size_t>(it.parent)].children;
    size_t next = it.indexInParent + 1;
    return next < siblings.size() ? Handle(static_cast<size_t>(siblings[next])) : kNoItem;
}

TreeItem PackTree::PrevSibling(TreeItem item) const {
    if (item == kNoItem) return kNoItem;
    const Item& it = items[Index(item)];
    if (it.indexInParent == 0) return kNoItem;
    return Handle(static_cast<size_t>(items[static_cast<size_t>(it.parent)].children[it.indexInParent - 1]));
}

TreeItem PackTree::Parent(TreeItem item) const {
    if (item == kNoItem) return kNoItem;
    int32_t parent = items[Index(item)].parent;
    return parent == 0 ? kNoItem : Handle(static_cast<size_t>(parent));
}

void PackTree::BeginBuild() {
    building = true;
    folders.clear();
}

void PackTree::SortChildren(size_t index) {
    std::vector<int32_t>& children = items[index].children;
    std::stable_sort(children.begin(), children.end(), [this](int32_t a, int32_t b) {
        return CompareTreeNames(items[static_cast<size_t>(a)].text, items[static_cast<size_t>(b)].text) < 0;
    });
    for (size_t i = 0; i < children.size(); ++i) items[static_cast<size_t>(children[i])].indexInParent = uint32_t(i);
}

void PackTree::EndBuild() {
    if (!building) return;
    for (size_t i = 0; i < items.size(); ++i)
        if (!items[i].children.empty()) SortChildren(i);
    building = false;
    folders.clear();
}

TreeItem PackTree::FindFolderWhileBuilding(TreeItem parent, const std::string& text) const {
    auto it = folders.find(FolderKey(static_cast<int32_t>(Index(parent)), text));
    return it == folders.end() ? kNoItem : Handle(static_cast<size_t>(it->second));
}

TreeItem FindTreeSibling(const PackTree& tree, TreeItem start, const std::string& name) {
    for (TreeItem item = start; item != kNoItem; item = tree.NextSibling(item)) {
        int c = CompareIgnoringCase(name, tree.Text(item));
        if (c == 0) return item;
        if (c < 0) return kNoItem;
    }
    return kNoItem;
}

// A path component may name a folder and a file of the same pack alike (a
// file "data" beside files "data\x"). Its files then go into a folder item of
// that name, never below the file item, where no walk would find them.
static TreeItem FindFolderSibling(const PackTree& tree, TreeItem parent, const std::string& name) {
    if (tree.Building()) return tree.FindFolderWhileBuilding(parent, name);
    for (TreeItem item = FindTreeSibling(tree, tree.FirstChild(parent), name); item != kNoItem;
         item = tree.NextSibling(item)) {
        if (CompareIgnoringCase(name, tree.Text(item)) != 0) break;
        if (tree.Data(item) == nullptr) return item;
    }
    return kNoItem;
}

void InsertPathInTree(PackTree& tree, const char* path, const TreeItemData& data) {
    TreeItem parent = kNoItem;
    bool fresh = false;  // a new folder has no children to look through
    const char* part = path;
    for (const char* sep; (sep = std::strchr(part, '\\')) != nullptr; part = sep + 1) {
        std::string name(part, static_cast<size_t>(sep - part));
        TreeItem found = fresh ? kNoItem : FindFolderSibling(tree, parent, name);
        if (found == kNoItem) {
            found = tree.Insert(parent, name, IconsOf(FileCategory::Folder), true, nullptr);
            fresh = true;
        }
        parent = found;
    }
    tree.Insert(parent, part, IconsOf(CategoryOfName(part)), false, &data);
}

TreeBuild::TreeBuild(PackTree& t, const ProgressHooks* hooks, uint32_t files) : tree(t), progress(hooks) {
    progress.Create("Directory Scan");
    progress.SetRange(0, files);
    progress.SetPos(0);
    progress.SetStep(1);
    tree.BeginBuild();
}

TreeBuild::~TreeBuild() {
    tree.EndBuild();
    progress.Destroy();
}

void TreeBuild::Add(char* name, const TreeItemData& data) {
    ToBackslashes(name);
    InsertPathInTree(tree, name, data);
    progress.StepIt();
    if (++count % 128 == 0) progress.SetText(name + NameOffset(name));
}

bool TreeItemPath(const PackTree& tree, TreeItem item, std::string& path) {
    path.clear();
    if (item == kNoItem) return false;
    std::vector<const std::string*> parts;
    size_t length = 0;
    for (TreeItem at = item; at != kNoItem; at = tree.Parent(at)) {
        parts.push_back(&tree.Text(at));
        length += tree.Text(at).size() + 1;
        if (length > 260) return false;
    }
    for (size_t i = parts.size(); i-- > 0;) {
        path += *parts[i];
        if (i > 0) path += '/';
    }
    return path.size() < 260;
}

TreeItem FirstSiblingOf(const PackTree& tree, TreeItem item) {
    if (item == kNoItem) return tree.FirstTopLevel();
    TreeItem first = item;
    for (TreeItem prev = tree.PrevSibling(first); prev != kNoItem; prev = tree.PrevSibling(first)) first = prev;
    return first;
}

TreeItem FindTreeItemByPath(const PackTree& tree, const std::string& path) {
    TreeItem parent = kNoItem, found = kNoItem;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find_first_of("/\\", pos);
        if (end == std::string::npos) end = path.size();
        std::string name = path.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty() && end == path.size() && found != kNoItem) break;  // a trailing separator
        bool last = end == path.size();
        found = last ? FindTreeSibling(tree, tree.FirstChild(parent), name) : FindFolderSibling(tree, parent, name);
        if (found == kNoItem) return kNoItem;
        parent = found;
    }
    return found;
}

FileCategory CategoryOfName(const std::string& name) { return CategoryOf(ClassifyName(name.c_str())); }
