// The browser dialog: pack list, tree, 3D view, text pane, check boxes and
// the output folder; selection, the pop-up menu and dropped files.
#include "app/Shell.h"
#include "app/resource.h"

#include "pack/FileHandle.h"
#include "session/Operations.h"
#include "session/ViewItem.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace {

// How many refused files one message box names before it only counts.
const size_t kReportedProblems = 20;

bool HasExtension(const std::string& path, const char* ext) {
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return false;
    return lstrcmpiA(path.c_str() + dot, ext) == 0;
}

// A picture a drop turns into a texture.
bool IsPictureFile(const std::string& path) { return HasExtension(path, ".tga") || HasExtension(path, ".png"); }

}  // namespace

bool GuiState::CreateBrowser(HINSTANCE module, HWND parent, const char* outputFolder) {
    CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_BROWSER), parent, BrowserDialogProc, 0);
    if (browser == nullptr) {
        MessageBoxA(nullptr, "Error Creating Window", "Error!", MB_ICONEXCLAMATION);
        return false;
    }
    instance = module;
    progressWindow.instance = module;
    progressWindow.parent = browser;
    core.fileIndex.Create();
    textView.Create(module, browser, &core.textView);
    SetDlgItemTextA(browser, IDC_OUTPUTFOLDER, outputFolder);
    tree = GetDlgItem(browser, IDC_TREE);
    packList = GetDlgItem(browser, IDC_PACKLIST);
    InitFilterBox();

    treeImages = ImageList_Create(16, 16, ILC_COLOR8, 14, 16);
    for (uint16_t id : kTreeBitmapIds) {
        HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
        ImageList_Add(treeImages, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(treeImages));
    popupMenu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_TREEPOPUP));
    CheckDlgButton(browser, IDC_EXTRACTTREE, BST_CHECKED);
    CheckDlgButton(browser, IDC_TEXTURED, BST_CHECKED);

    // The core keeps the picture of slot 0 at all times, so that its fills
    // (light grey on unload, black under a model) reach the screen as well.
    Image32 grey = Image32{};
    if (grey.Create(256, 256)) core.viewer.ShowImage(grey, false, false);
    grey.Release();
    core.viewer.FillImage(0xFF808080u);
    if (!viewer.Init(GetDlgItem(browser, IDC_VIEW3D))) {
        ShutdownBrowser();
        return false;
    }
    viewer.imageRevision = core.viewer.slot0.revision;
    viewer.modelRevision = core.viewer.modelRevision;
    return true;
}

INT_PTR CALLBACK GuiState::BrowserDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    GuiState* gui = current;
    if (gui == nullptr) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        gui->browser = dialog;
        break;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->hwndFrom == gui->tree)
            gui->OnTreeNotify(reinterpret_cast<NMHDR*>(lParam));
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            HWND button = reinterpret_cast<HWND>(lParam);
            bool checked = SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
            switch (LOWORD(wParam)) {
            case IDC_TEXTURED:
                gui->viewer.textured = checked;
                break;
            case IDC_WIREFRAME:
                gui->viewer.wireframe = checked;
                break;
            case IDC_SKELETON:
                gui->viewer.skeleton = checked;
                break;
            default:
                break;
            }
        } else if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == IDC_FILTER) {
            gui->OnFilterChanged();
        } else if (HIWORD(wParam) == CBN_SELCHANGE && reinterpret_cast<HWND>(lParam) == gui->packList) {
            LRESULT pos = SendMessageA(gui->packList, CB_GETCURSEL, 0, 0);
            if (pos == CB_ERR) break;
            LRESULT length = SendMessageA(gui->packList, CB_GETLBTEXTLEN, pos, 0);
            if (length == CB_ERR || length >= 260) break;
            char text[260] = "";
            if (SendMessageA(gui->packList, CB_GETLBTEXT, pos, reinterpret_cast<LPARAM>(text)) == CB_ERR) break;
            gui->core.textView.SetMode(0);
            gui->core.viewer.ClearSkeleton();
            gui->LoadPackByName(text);
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL:
    case WM_CAPTURECHANGED:
        gui->OnViewMouse(message, wParam, lParam);
        break;
    case WM_DROPFILES:
        gui->OnDropFiles(reinterpret_cast<HDROP>(wParam));
        break;
    case WM_APP:
        gui->LayoutBrowserControls();
        break;
    case WM_APP + 1:
        if (wParam < gui->core.viewer.meshCount) gui->core.viewer.SetMeshVisible(uint32_t(wParam), lParam != 0);
        break;
    default:
        break;
    }
    return FALSE;
}

LRESULT GuiState::OnTreeNotify(NMHDR* header) {
    NMTREEVIEWA* view = reinterpret_cast<NMTREEVIEWA*>(header);
    switch (header->code) {
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW:
        OnTreeSelect(view->itemNew.hItem);
        break;
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
        // A folder's children go into the tree view when it is first opened.
        if (view->action & TVE_EXPAND) FillTreeFolder(CoreItem(view->itemNew.hItem));
        break;
    case NM_RCLICK:
        OnTreeRightClick();
        break;
    case NM_CLICK:
        OnTreeClick();
        break;
    default:
        // Item data belongs to the core's tree: TVN_DELETEITEM frees nothing.
        break;
    }
    return 0;
}

void GuiState::OnTreeSelect(HTREEITEM handle) {
    if (!core.packsLoaded || handle == nullptr) return;
    TreeItem item = CoreItem(handle);
    if (item == kNoItem || core.tree.Data(item) == nullptr) return;
    if (quietSelection) return;
    core.tree.Select(item);
    if (ViewTreeItem(core, item) == ItemView::Sound) soundPlayer.Play(core.sound);
    else soundPlayer.Stop();
    SyncViews();
}

void GuiState::OnTreeClick() {
    TVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(tree, &hit.pt);
    HTREEITEM under = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    // A click on another item selects it, which plays or stops by itself.
    if (under == nullptr || under != selected || !(hit.flags & TVHT_ONITEM)) return;
    if (soundPlayer.Playing()) soundPlayer.Stop();
    else if (core.sound.readable && core.tree.Selected() == CoreItem(selected)) soundPlayer.Play(core.sound);
}

void GuiState::OnTreeRightClick() {
    if (core.listedFiles == 0) return;
    POINT cursor;
    GetCursorPos(&cursor);
    TVHITTESTINFO hit = {};
    hit.pt = cursor;
    ScreenToClient(tree, &hit.pt);
    HTREEITEM under = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (under != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(under));
    HTREEITEM selected =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    TreeItem item = CoreItem(selected);
    if (item == kNoItem) return;
    HMENU menu = PreparePopupMenu(item);
    UINT command = static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, cursor.x + 4, cursor.y, 0,
                                                    browser, nullptr));
    if (command != 0) RunPopupCommand(item, command);
}

HMENU GuiState::PreparePopupMenu(TreeItem item) {
    std::fill(std::begin(core.extraction.categoryCounts), std::end(core.extraction.categoryCounts), 0u);
    for (TreeItem reached : treeFilter.Reached(core.tree, item)) CountCategories(core, reached);
    HMENU menu = GetSubMenu(popupMenu, 0);
    UINT pictures = MF_BYCOMMAND | (core.extraction.Count(FileCategory::Image) != 0 ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, IDM_EXTRACT_TEXTURES, pictures);
    EnableMenuItem(menu, IDM_EXTRACT_PNG, pictures);
    UINT models = MF_BYCOMMAND | (core.extraction.Count(FileCategory::Model) != 0 ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, IDM_EXTRACT_MODEL, models);
    EnableMenuItem(menu, IDM_EXTRACT_GLTF, models);
    return menu;
}

uint32_t GuiState::RunPopupCommand(TreeItem item, uint32_t command) {
    ReadOutputFolder();
    core.extraction.extractTree = IsDlgButtonChecked(browser, IDC_EXTRACTTREE) == BST_CHECKED;
    core.extraction.report.Clear();
    // Under a filter a folder gives only the files the tree shows of it.
    uint32_t files = RunExtraction(core, treeFilter.Reached(core.tree, item), command);
    // Files the core refused (unsafe paths) or could not write are told
    // once, at the end, instead of being passed over in silence.
    const ExtractReport& report = core.extraction.report;
    if (reportExtraction && (!report.problems.empty() || !report.notes.empty())) {
        std::string text;
        auto list = [&](const std::vector<std::string>& lines, const char* heading) {
            if (lines.empty()) return;
            text += std::to_string(lines.size()) + heading;
            for (size_t i = 0; i < lines.size() && i < kReportedProblems; ++i) text += lines[i] + "\n";
            if (lines.size() > kReportedProblems)
                text += "... and " + std::to_string(lines.size() - kReportedProblems) + " more\n";
        };
        // A model export counts models, not the files of each pair.
        bool models = command == kExtractModels || command == kExtractModelsGltf;
        std::vector<std::string> problems;
        for (const Failure& f : report.problems) problems.push_back(f.Words());
        list(problems, models ? " model(s) could not be extracted:\n" : " file(s) could not be extracted:\n");
        list(report.notes, " file(s) were written without a part:\n");
        core.message.Show(text.c_str(), "Extraction");
    }
    return files;
}

void GuiState::ReadOutputFolder() {
    HWND edit = GetDlgItem(browser, IDC_OUTPUTFOLDER);
    int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(edit, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    core.extraction.outputFolder = text;
}

void GuiState::OnDropFiles(HDROP drop) {
    POINT point;
    bool inside = DragQueryPoint(drop, &point) != 0;
    if (inside && core.acceptsDroppedFiles && ChildWindowFromPoint(browser, point) == tree) {
        UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        MapWindowPoints(browser, tree, &point, 1);
        TVHITTESTINFO hit = {};
        hit.pt = point;
        HTREEITEM under =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        std::vector<std::string> paths;
        for (UINT i = 0; i < count; ++i) {
            char path[MAX_PATH] = "";
            if (DragQueryFileA(drop, i, path, sizeof path) > 0) paths.push_back(path);
        }
        DropPaths(under != nullptr ? CoreItem(under) : kNoItem, paths);
    }
    DragFinish(drop);
}

void GuiState::DropPaths(TreeItem target, const std::vector<std::string>& paths) {
    size_t targas = 0, meshes = 0;
    for (const std::string& path : paths) {
        if (IsPictureFile(path)) ++targas;
        if (HasExtension(path, ".x")) ++meshes;
    }
    if (targas > 0) {
        core.progress.Create("Convert Targa To Texture");
        core.progress.SetRange(0, static_cast<uint32_t>(targas));
        core.progress.SetPos(0);
        core.progress.SetStep(1);
        for (const std::string& path : paths) {
            if (!IsPictureFile(path)) continue;
            ConvertTgaToTexture(core, target, path.c_str());
            core.progress.StepIt();
        }
        core.progress.Destroy();
    }
    if (meshes > 0)
        for (const std::string& path : paths)
            if (HasExtension(path, ".x")) ModifyModelVertices(core, target, path);
    // The conversion selects the texture it wrote, which the tree then shows
    // (and so views, as a click would).
    TreeItem chosen = core.tree.Selected();
    HTREEITEM handle = RevealItem(chosen);
    HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (handle != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
    // A picture dropped on the texture already shown changes no selection,
    // so nothing would show the new one: view it here.
    if (handle != nullptr && handle == caret && targas > 0) ViewTreeItem(core, chosen);
    SyncViews();
}

void GuiState::LayoutBrowserControls() {
    RECT client;
    GetClientRect(mainWindow, &client);
    int w = client.right, h = client.bottom;
    int tx = textView.current.left, ty = textView.current.top;
    int s = ty - 12;
    int left = w - s - 6;
    int c = left - 126;
    SetWindowPos(GetDlgItem(browser, IDC_TEXTURED), nullptr, c, s - 46, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(GetDlgItem(browser, IDC_WIREFRAME), nullptr, c, s - 26, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(GetDlgItem(browser, IDC_SKELETON), nullptr, c, s - 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    MoveWindow(GetDlgItem(browser, IDC_VIEW3D), left, 6, s, s, TRUE);
    viewLeft = left;
    viewSize = s;
    MoveWindow(GetDlgItem(browser, IDC_OUTPUTFOLDER), tx, h - 20, w - tx - 128, 16, TRUE);
    int m = std::min(tx, c);
    MoveWindow(packList, 6, 6, m - 12, 262, TRUE);
    MoveWindow(filterEdit, 6, 30, m - 12, 20, TRUE);
    MoveWindow(tree, 6, 52, m - 12, h - 56, TRUE);
    InvalidateRect(browser, nullptr, FALSE);
}

bool GuiState::LoadPackByName(const std::string& name) {
    LoadPack(core, name);
    if (core.packsLoaded) MirrorTreeTop();
    ShowFailure();
    SyncViews();
    UpdateTitle();
    return core.packsLoaded;
}

void GuiState::ShowFailure() {
    // A file that is not a pack is told where its tree would have been
    // shown; the pack list stays for another pack.
    if (core.failure.Failed()) core.textView.SetText(core.failure.Words());
}

void GuiState::MirrorPackList() {
    SendMessageA(packList, CB_RESETCONTENT, 0, 0);
    for (const PackList::Item& entry : core.packList.Items()) {
        LRESULT pos = SendMessageA(packList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
        if (pos >= 0) SendMessageA(packList, CB_SETITEMDATA, pos, entry.itemData);
    }
    int32_t selected = core.packList.GetSel();
    if (selected < 0) return;
    std::string text = core.packList.GetText(selected);
    LRESULT pos = SendMessageA(packList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(packList, CB_SETCURSEL, pos, 0);
}

void GuiState::MirrorTreeTop() {
    soundPlayer.Stop();
    ClearFilter();
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    handles.assign(core.tree.ItemCount(), nullptr);
    filled.assign(core.tree.ItemCount(), 0);
    FillTreeFolder(kNoItem);
    EnableWindow(tree, TRUE);
    DragAcceptFiles(browser, TRUE);
    HTREEITEM first = RevealItem(core.tree.Selected());
    if (first != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
}

void GuiState::FillTreeFolder(TreeItem folder) {
    HTREEITEM parent = TVI_ROOT;
    if (folder != kNoItem) {
        size_t index = static_cast<size_t>(folder);
        if (index >= filled.size() || filled[index] || handles[index] == nullptr) return;
        filled[index] = 1;
        parent = handles[index];
    }
    // The core's siblings are sorted already: appending keeps that order and
    // costs the tree view no comparisons.
    for (TreeItem child = core.tree.FirstChild(folder); child != kNoItem; child = core.tree.NextSibling(child)) {
        if (!treeFilter.Shows(child)) continue;
        TVINSERTSTRUCTA insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        TVITEMA& item = insert.item;
        item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
        item.pszText = const_cast<char*>(core.tree.Text(child).c_str());
        TreeIcons icons = core.tree.Icons(child);
        item.iImage = icons.image;
        item.iSelectedImage = icons.selectedImage;
        item.cChildren = core.tree.HasChildren(child) ? 1 : 0;
        item.lParam = static_cast<LPARAM>(child);
        HTREEITEM handle =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        if (static_cast<size_t>(child) < handles.size()) handles[static_cast<size_t>(child)] = handle;
    }
}

HTREEITEM GuiState::RevealItem(TreeItem item) {
    if (item == kNoItem || static_cast<size_t>(item) >= handles.size()) return nullptr;
    if (handles[static_cast<size_t>(item)] == nullptr) {
        TreeItem parent = core.tree.Parent(item);
        // The top level is always in the tree view; a folder fills on demand.
        if (parent == kNoItem || RevealItem(parent) == nullptr) return nullptr;
        FillTreeFolder(parent);
    }
    return handles[static_cast<size_t>(item)];
}

TreeItem GuiState::CoreItem(HTREEITEM handle) const {
    if (handle == nullptr) return kNoItem;
    TVITEMA item = {};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = handle;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return kNoItem;
    TreeItem found = static_cast<TreeItem>(item.lParam);
    return found >= 0 && static_cast<size_t>(found) < core.tree.ItemCount() ? found : kNoItem;
}

void GuiState::SyncViews() {
    textView.Sync();
    uint32_t uploaded = viewer.modelRevision;
    viewer.Sync(core.viewer);
    // A model load framed the camera: that is where a reset goes back to.
    if (viewer.modelRevision != uploaded) loadedCamera = core.camera;
}
