// The filter box above the tree: typing narrows the tree view to the
// matching files and the folders that lead to them; Esc or an empty box
// brings the whole tree back as it was opened. The tree view stays filled
// folder by folder: a filter only decides which children a folder gets.
#include "app/Shell.h"
#include "app/resource.h"

namespace {

// Up to this many matches, every folder on the way to one is opened, so
// they are all in sight; beyond, the folders stay closed and fill when the
// user opens them, which keeps a broad filter as quick as a narrow one.
const size_t kOpenAllMatches = 300;

WNDPROC gEditProc = nullptr;

// Esc in the box clears it (and so the filter); the edit control itself
// would only beep.
LRESULT CALLBACK FilterEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        SetWindowTextA(edit, "");
        return 0;
    }
    if (message == WM_CHAR && wParam == 27) return 0;
    return CallWindowProcA(gEditProc, edit, message, wParam, lParam);
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

void GuiState::InitFilterBox() {
    filterEdit = GetDlgItem(browser, IDC_FILTER);
    if (filterEdit == nullptr) return;
    gEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(filterEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilterEditProc)));
}

void GuiState::OnFilterChanged() {
    std::string text = WindowText(filterEdit);
    if (!core.packsLoaded || (!treeFilter.Active() && text.empty())) return;
    if (!treeFilter.Active()) SaveTreeExpansion();
    treeFilter.Set(core.tree, text);
    TreeItem selected = core.tree.Selected();
    RefillTreeView();
    if (treeFilter.Active()) OpenFoldersToMatches();
    else RestoreTreeExpansion();
    HTREEITEM handle = treeFilter.Shows(selected) ? RevealItem(selected) : nullptr;
    // Selecting again what was selected shows nothing new: no view, no sound.
    quietSelection = true;
    if (handle != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
    quietSelection = false;
    HTREEITEM top = treeFilter.Active() ? nullptr : RevealItem(firstVisibleItem);
    if (top != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(top));
}

void GuiState::ClearFilter() {
    treeFilter.Clear();
    expandedBeforeFilter.clear();
    if (filterEdit != nullptr && GetWindowTextLengthA(filterEdit) != 0) SetWindowTextA(filterEdit, "");
}

void GuiState::RefillTreeView() {
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    quietSelection = true;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    quietSelection = false;
    handles.assign(core.tree.ItemCount(), nullptr);
    filled.assign(core.tree.ItemCount(), 0);
    FillTreeFolder(kNoItem);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

void GuiState::SaveTreeExpansion() {
    expandedBeforeFilter.clear();
    for (size_t i = 0; i < handles.size(); ++i) {
        if (handles[i] == nullptr || core.tree.Data(TreeItem(i)) != nullptr) continue;
        LRESULT state = SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(handles[i]), TVIS_EXPANDED);
        if (state & TVIS_EXPANDED) expandedBeforeFilter.push_back(TreeItem(i));
    }
    HTREEITEM top = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    firstVisibleItem = CoreItem(top);
}

void GuiState::RestoreTreeExpansion() {
    // Parents come before their children in item order, so each folder is
    // in the tree view by the time it is opened.
    for (TreeItem folder : expandedBeforeFilter) {
        HTREEITEM handle = RevealItem(folder);
        if (handle != nullptr) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
    }
    expandedBeforeFilter.clear();
}

void GuiState::OpenFoldersToMatches() {
    if (treeFilter.MatchingFiles() > kOpenAllMatches) return;
    for (size_t i = 0; i < core.tree.ItemCount(); ++i) {
        TreeItem item = TreeItem(i);
        if (core.tree.Data(item) == nullptr || !treeFilter.Shows(item)) continue;
        RevealItem(item);
        for (TreeItem up = core.tree.Parent(item); up != kNoItem; up = core.tree.Parent(up)) {
            HTREEITEM handle = handles[size_t(up)];
            LRESULT state = SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(handle), TVIS_EXPANDED);
            if (state & TVIS_EXPANDED) break;  // and so is every folder above it
            SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
        }
    }
}
