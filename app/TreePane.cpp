#include "app/TreePane.h"

#include "app/resource.h"

#include "pack/FileTypes.h"

#include <shellapi.h>

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

bool TreePane::Create(HINSTANCE module, HWND parentDialog, const PackTree* coreTree) {
    dialog = parentDialog;
    shown = coreTree;
    tree = GetDlgItem(dialog, IDC_TREE);
    filterEdit = GetDlgItem(dialog, IDC_FILTER);
    if (filterEdit != nullptr)
        gEditProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(filterEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilterEditProc)));
    images = ImageList_Create(16, 16, ILC_COLOR8, 14, 16);
    for (uint16_t id : kTreeBitmapIds) {
        HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    popupMenu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_TREEPOPUP));
    return tree != nullptr;
}

void TreePane::Destroy() {
    if (tree != nullptr) SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    if (images != nullptr) ImageList_Destroy(images);
    if (popupMenu != nullptr) DestroyMenu(popupMenu);
    images = nullptr;
    popupMenu = nullptr;
    tree = filterEdit = dialog = nullptr;
    loaded = false;
}

void TreePane::Show() {
    ClearFilter();
    // The old items' data named the old tree's items: deleting them must
    // not read as a choice in the new tree.
    quietSelection = true;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    quietSelection = false;
    loaded = true;
    handles.assign(shown->ItemCount(), nullptr);
    filled.assign(shown->ItemCount(), 0);
    FillFolder(kNoItem);
    EnableWindow(tree, TRUE);
    DragAcceptFiles(dialog, TRUE);
    HTREEITEM first = RevealItem(shown->Selected());
    if (first != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
}

void TreePane::Clear() {
    if (tree == nullptr) return;
    loaded = false;
    // The core owns every item's data; deleting the items frees nothing here.
    quietSelection = true;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    quietSelection = false;
    handles.clear();
    filled.clear();
    EnableWindow(tree, FALSE);
    DragAcceptFiles(dialog, FALSE);
}

void TreePane::Layout(int width, int height) {
    MoveWindow(filterEdit, 6, 30, width, 20, TRUE);
    MoveWindow(tree, 6, 52, width, height - 56, TRUE);
}

TreeEvent TreePane::OnNotify(NMHDR* header) {
    NMTREEVIEWA* view = reinterpret_cast<NMTREEVIEWA*>(header);
    TreeEvent event;
    switch (header->code) {
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW: {
        if (!loaded || quietSelection || view->itemNew.hItem == nullptr) break;
        TreeItem item = CoreItem(view->itemNew.hItem);
        // Folders show nothing of their own.
        if (item == kNoItem || shown->Data(item) == nullptr) break;
        event.kind = TreeEvent::Chosen;
        event.item = item;
        break;
    }
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
        // A folder's children go into the tree view when it is first opened.
        if (view->action & TVE_EXPAND) FillFolder(CoreItem(view->itemNew.hItem));
        break;
    case NM_RCLICK:
        event.kind = TreeEvent::RightClicked;
        break;
    case NM_CLICK:
        event = OnClick();
        break;
    default:
        // Item data belongs to the core's tree: TVN_DELETEITEM frees nothing.
        break;
    }
    return event;
}

TreeEvent TreePane::OnClick() {
    TVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(tree, &hit.pt);
    HTREEITEM under = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    HTREEITEM selected = Caret();
    // A click on another item selects it, which is a choice of its own.
    TreeEvent event;
    if (under == nullptr || under != selected || !(hit.flags & TVHT_ONITEM)) return event;
    event.kind = TreeEvent::ClickedAgain;
    event.item = CoreItem(selected);
    return event;
}

TreeItem TreePane::SelectUnderCursor(POINT& screen) {
    GetCursorPos(&screen);
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(tree, &hit.pt);
    HTREEITEM under = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (under != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(under));
    return CoreItem(Caret());
}

HMENU TreePane::PopupMenu(bool pictures, bool models) {
    HMENU menu = GetSubMenu(popupMenu, 0);
    UINT picturesState = MF_BYCOMMAND | (pictures ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, IDM_EXTRACT_TEXTURES, picturesState);
    EnableMenuItem(menu, IDM_EXTRACT_PNG, picturesState);
    UINT modelsState = MF_BYCOMMAND | (models ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, IDM_EXTRACT_MODEL, modelsState);
    EnableMenuItem(menu, IDM_EXTRACT_GLTF, modelsState);
    return menu;
}

uint32_t TreePane::TrackPopup(HMENU menu, POINT screen) {
    return static_cast<uint32_t>(
        TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x + 4, screen.y, 0, dialog, nullptr));
}

bool TreePane::TakeDrop(HDROP drop, bool accepting, TreeDrop& out) {
    POINT point;
    bool inside = DragQueryPoint(drop, &point) != 0;
    bool taken = inside && accepting && ChildWindowFromPoint(dialog, point) == tree;
    if (taken) {
        UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        MapWindowPoints(dialog, tree, &point, 1);
        TVHITTESTINFO hit = {};
        hit.pt = point;
        HTREEITEM under =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        out.target = under != nullptr ? CoreItem(under) : kNoItem;
        out.paths.clear();
        for (UINT i = 0; i < count; ++i) {
            char path[MAX_PATH] = "";
            if (DragQueryFileA(drop, i, path, sizeof path) > 0) out.paths.push_back(path);
        }
    }
    DragFinish(drop);
    return taken;
}

TreePane::Selection TreePane::SelectItem(TreeItem item) {
    HTREEITEM handle = RevealItem(item);
    if (handle == nullptr) return Selection::NotShown;
    bool already = Caret() == handle;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
    return already ? Selection::AlreadySelected : Selection::Selected;
}

void TreePane::MakeVisible(TreeItem item) {
    HTREEITEM handle = RevealItem(item);
    if (handle != nullptr) SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(handle));
}

HTREEITEM TreePane::Caret() const {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void TreePane::FillFolder(TreeItem folder) {
    HTREEITEM parent = TVI_ROOT;
    if (folder != kNoItem) {
        size_t index = static_cast<size_t>(folder);
        if (index >= filled.size() || filled[index] || handles[index] == nullptr) return;
        filled[index] = 1;
        parent = handles[index];
    }
    // The core's siblings are sorted already: appending keeps that order and
    // costs the tree view no comparisons.
    for (TreeItem child = shown->FirstChild(folder); child != kNoItem; child = shown->NextSibling(child)) {
        if (!filter.Shows(child)) continue;
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        TVITEMA& item = insert.item;
        item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
        item.pszText = const_cast<char*>(shown->Text(child).c_str());
        TreeIcons icons = shown->Icons(child);
        item.iImage = icons.image;
        item.iSelectedImage = icons.selectedImage;
        item.cChildren = shown->HasChildren(child) ? 1 : 0;
        item.lParam = static_cast<LPARAM>(child);
        HTREEITEM handle =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        if (static_cast<size_t>(child) < handles.size()) handles[static_cast<size_t>(child)] = handle;
    }
}

HTREEITEM TreePane::RevealItem(TreeItem item) {
    if (item == kNoItem || static_cast<size_t>(item) >= handles.size()) return nullptr;
    if (handles[static_cast<size_t>(item)] == nullptr) {
        TreeItem parent = shown->Parent(item);
        // The top level is always in the tree view; a folder fills on demand.
        if (parent == kNoItem || RevealItem(parent) == nullptr) return nullptr;
        FillFolder(parent);
    }
    return handles[static_cast<size_t>(item)];
}

TreeItem TreePane::CoreItem(HTREEITEM handle) const {
    if (handle == nullptr) return kNoItem;
    TVITEMA item = {};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = handle;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return kNoItem;
    TreeItem found = static_cast<TreeItem>(item.lParam);
    return found >= 0 && static_cast<size_t>(found) < shown->ItemCount() ? found : kNoItem;
}

// The filter box: typing narrows the tree view to the matching files and
// the folders that lead to them; Esc or an empty box brings the whole tree
// back as it was opened. The tree view stays filled folder by folder: a
// filter only decides which children a folder gets.
void TreePane::OnFilterChanged() {
    std::string text = WindowText(filterEdit);
    if (!loaded || (!filter.Active() && text.empty())) return;
    if (!filter.Active()) SaveExpansion();
    filter.Set(*shown, text);
    TreeItem selected = shown->Selected();
    Refill();
    if (filter.Active()) OpenFoldersToMatches();
    else RestoreExpansion();
    HTREEITEM handle = filter.Shows(selected) ? RevealItem(selected) : nullptr;
    // Selecting again what was selected shows nothing new: no view, no sound.
    quietSelection = true;
    if (handle != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
    quietSelection = false;
    HTREEITEM top = filter.Active() ? nullptr : RevealItem(firstVisibleItem);
    if (top != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(top));
}

void TreePane::ClearFilter() {
    filter.Clear();
    expandedBeforeFilter.clear();
    if (filterEdit != nullptr && GetWindowTextLengthA(filterEdit) != 0) SetWindowTextA(filterEdit, "");
}

void TreePane::Refill() {
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    quietSelection = true;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    quietSelection = false;
    handles.assign(shown->ItemCount(), nullptr);
    filled.assign(shown->ItemCount(), 0);
    FillFolder(kNoItem);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

void TreePane::SaveExpansion() {
    expandedBeforeFilter.clear();
    for (size_t i = 0; i < handles.size(); ++i) {
        if (handles[i] == nullptr || shown->Data(TreeItem(i)) != nullptr) continue;
        LRESULT state = SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(handles[i]), TVIS_EXPANDED);
        if (state & TVIS_EXPANDED) expandedBeforeFilter.push_back(TreeItem(i));
    }
    HTREEITEM top = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    firstVisibleItem = CoreItem(top);
}

void TreePane::RestoreExpansion() {
    // Parents come before their children in item order, so each folder is
    // in the tree view by the time it is opened.
    for (TreeItem folder : expandedBeforeFilter) {
        HTREEITEM handle = RevealItem(folder);
        if (handle != nullptr) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
    }
    expandedBeforeFilter.clear();
}

void TreePane::OpenFoldersToMatches() {
    if (filter.MatchingFiles() > kOpenAllMatches) return;
    for (size_t i = 0; i < shown->ItemCount(); ++i) {
        TreeItem item = TreeItem(i);
        if (shown->Data(item) == nullptr || !filter.Shows(item)) continue;
        RevealItem(item);
        for (TreeItem up = shown->Parent(item); up != kNoItem; up = shown->Parent(up)) {
            HTREEITEM handle = handles[size_t(up)];
            LRESULT state = SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(handle), TVIS_EXPANDED);
            if (state & TVIS_EXPANDED) break;  // and so is every folder above it
            SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
        }
    }
}
