// The tree pane: the tree view of the shown pack (control 1137), filled
// folder by folder from the core's PackTree as folders are opened; the
// filter box above it (1138); the tree's pop-up menu; and files dropped on
// it. It tells the shell what the user did (TreeEvent, TreeDrop) and leaves
// what that means to the shell.
#pragma once

#include "pack/PackTree.h"
#include "pack/TreeSelect.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

struct TreeEvent {
    enum Kind { None, Chosen, ClickedAgain, RightClicked };
    Kind kind = None;
    // Chosen: the file item the user selected.
    TreeItem item = kNoItem;
};

// Files dropped on the tree: the item under the drop point (kNoItem for
// none) and the dropped paths in drop order.
struct TreeDrop {
    TreeItem target = kNoItem;
    std::vector<std::string> paths;
};

struct TreePane {
    HWND tree = nullptr;
    HWND filterEdit = nullptr;
    HWND dialog = nullptr;
    HIMAGELIST images = nullptr;
    HMENU popupMenu = nullptr;
    // The core's tree, read to fill the tree view; set at creation.
    const PackTree* shown = nullptr;
    // A pack's tree is in the tree view (the core's tree may be empty).
    bool loaded = false;

    // The tree view mirrors the core's tree folder by folder: handles[i] is
    // the tree-view item of core item i (null until its folder is filled),
    // filled[i] whether folder i's children were inserted.
    std::vector<HTREEITEM> handles;
    std::vector<uint8_t> filled;

    // Which core items the tree view gets while a filter is typed, and the
    // folders that were open (and the first item in sight) before it, to
    // come back to.
    TreeFilter filter;
    std::vector<TreeItem> expandedBeforeFilter;
    TreeItem firstVisibleItem = kNoItem;
    // Set while the tree view's selection is changed by the pane itself, not
    // the user: no event is given for it.
    bool quietSelection = false;

    bool Create(HINSTANCE module, HWND parentDialog, const PackTree* coreTree);
    void Destroy();
    // The top level of the core's tree, the filter cleared, the core's
    // selection selected (which the shell hears of as a choice).
    void Show();
    // Empties and disables the tree view (the pack was unloaded).
    void Clear();
    void Layout(int width, int height);

    // WM_NOTIFY from the tree view.
    TreeEvent OnNotify(NMHDR* header);
    // EN_CHANGE from the filter box.
    void OnFilterChanged();
    // A drop on the browser: true, with what was dropped where, when it fell
    // on the tree and accepting is true. Finishes the drop either way.
    bool TakeDrop(HDROP drop, bool accepting, TreeDrop& out);

    // The item under the cursor, selected as a right-click selects; kNoItem
    // when there is none. screen: the cursor's place.
    TreeItem SelectUnderCursor(POINT& screen);
    // The pop-up menu with its picture and model commands greyed or not.
    HMENU PopupMenu(bool pictures, bool models);
    // Shows menu at screen and gives the chosen command (0: none).
    uint32_t TrackPopup(HMENU menu, POINT screen);
    // What a command on item reaches: the item, or under a filter the files
    // the tree shows of a folder.
    std::vector<TreeItem> Reached(TreeItem item) const { return filter.Reached(*shown, item); }

    // Selects item in the tree view (filling folders on the way), which the
    // shell hears of as a choice; when it is selected already the tree view
    // tells nothing, and the result says so.
    enum class Selection { NotShown, Selected, AlreadySelected };
    Selection SelectItem(TreeItem item);
    void MakeVisible(TreeItem item);
    // The tree-view item of a core item, filling folders on the way.
    HTREEITEM RevealItem(TreeItem item);
    TreeItem CoreItem(HTREEITEM item) const;
    HTREEITEM Caret() const;

private:
    void FillFolder(TreeItem folder);
    void ClearFilter();
    void Refill();
    void SaveExpansion();
    void RestoreExpansion();
    void OpenFoldersToMatches();
    TreeEvent OnClick();
};
