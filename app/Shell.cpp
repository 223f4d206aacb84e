#include "app/Shell.h"

#include "app/resource.h"

#include "pack/FileHandle.h"
#include "session/Operations.h"
#include "session/ViewItem.h"

#include <commdlg.h>

#include <algorithm>
#include <memory>

Shell* Shell::current = nullptr;

namespace {

const char kClassName[] = "QuillonEdit";
const char kDefaultOutputFolder[] = "E:\\Dedeziv Extracted";
// How many refused files one message box names before it only counts.
const size_t kReportedProblems = 20;

void ShowMessage(void*, const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION);
}

// The open-file dialog; the chosen path, or empty when cancelled.
std::string AskOpenFileName(HWND owner, const char* title, const char* defaultExtension, const char* filter) {
    char path[MAX_PATH] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = defaultExtension;
    // The current directory is the data folder that loose files are read
    // from: browsing and then cancelling must not move it.
    dialog.Flags = OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return std::string();
    return path;
}

// The arguments of a command line: words, or quoted strings that may hold
// spaces.
std::vector<std::string> SplitArguments(const char* commandLine) {
    std::vector<std::string> args;
    if (commandLine == nullptr) return args;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (*p == '\0') return args;
        std::string arg;
        bool quoted = false;
        for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')); ++p) {
            if (*p == '"')
                quoted = !quoted;
            else
                arg += *p;
        }
        args.push_back(arg);
    }
}

bool HasExtension(const std::string& path, const char* ext) {
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return false;
    return lstrcmpiA(path.c_str() + dot, ext) == 0;
}

// A picture a drop turns into a texture.
bool IsPictureFile(const std::string& path) { return HasExtension(path, ".tga") || HasExtension(path, ".png"); }
// A mesh whose vertex positions a drop writes into a model (.x or glTF:
// the core tells them apart).
bool IsModelEditFile(const std::string& path) { return IsVertexEditFile(path); }

}  // namespace

Shell::Shell() {
    current = this;
    core.message.show = ShowMessage;
    progressWindow.Attach(core.progressHooks);
    core.onUnload = OnUnload;
    core.onUnloadContext = this;
}

Shell::~Shell() {
    if (mainWindow != nullptr) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    if (current == this) current = nullptr;
}

void Shell::OnUnload(void* context) { static_cast<Shell*>(context)->treePane.Clear(); }

bool Shell::Start(HINSTANCE module, const char* commandLine) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    startDirectory = GetCurrentDir();

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIcon(nullptr, IDI_QUESTION);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);

    CreateWindowExA(0, kClassName, "", 0x86CF0003, 0, 0, 64, 64, GetDesktopWindow(), nullptr, module,
                    const_cast<char*>(commandLine));
    if (mainWindow == nullptr) return false;
    richEdit = LoadLibraryA("Riched20.dll");
    if (richEdit == nullptr) {
        MessageBoxA(mainWindow, "This Program Requires RichEdit 2.0", "Error!", MB_ICONEXCLAMATION);
        return false;
    }
    if (!RunMessageLoopSetup(kDefaultOutputFolder)) return false;
    OpenCommandLine(commandLine);
    return true;
}

void Shell::OpenCommandLine(const char* commandLine) {
    std::vector<std::string> args = SplitArguments(commandLine);
    if (!args.empty() && OpenPackFromPath(args[0]) && args.size() > 1) OpenItemByPath(args[1]);
}

bool Shell::RunMessageLoopSetup(const char* outputFolder) {
    if (!CreateBrowser(mainInstance, mainWindow, outputFolder)) {
        mainWindow = nullptr;
        return false;
    }
    CenterMainWindow(800, 552);
    UpdateTitle();
    ShowWindow(mainWindow, SW_MAXIMIZE);
    return true;
}

void Shell::RunLoop() {
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            if (PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (!RenderTick()) {
            // Drawing the same frame again would only burn the processor:
            // sleep until a message comes.
            WaitMessage();
        }
    }
}

void Shell::Finish() {
    if (browser != nullptr) ShutdownBrowser();
    if (richEdit != nullptr) FreeLibrary(richEdit);
    richEdit = nullptr;
    if (mainWindow != nullptr) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    if (!startDirectory.empty()) SetCurrentDir(startDirectory.c_str());
    UnregisterClassA(kClassName, mainInstance);
}

bool Shell::CreateBrowser(HINSTANCE module, HWND parent, const char* outputFolder) {
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
    statusRow.Create(browser, outputFolder);
    packBar.Create(browser, mainWindow);
    treePane.Create(module, browser, &core.tree);

    // The core keeps the picture of slot 0 at all times, so that its fills
    // (light grey on unload, black under a model) reach the screen as well.
    Image32 grey = Image32{};
    if (grey.Create(256, 256)) core.viewer.ShowImage(grey, false, false);
    grey.Release();
    core.viewer.FillImage(0xFF808080u);
    if (!viewPane.Create(browser, &core.viewer, &core.camera, &core.gameType)) {
        ShutdownBrowser();
        return false;
    }
    return true;
}

void Shell::ShutdownBrowser() {
    soundPlayer.Stop();
    if (core.packsLoaded) UnloadPack(core);
    viewPane.Release();
    core.fileIndex.files.Destroy();
    treePane.Destroy();
    textView.Destroy();
    core.redemptionPacks.Release();
    core.bloodlinesPacks.Release();
    if (browser != nullptr) DestroyWindow(browser);
    packBar.Destroy();
    statusRow.Destroy();
    browser = nullptr;
    instance = nullptr;
}

void Shell::CenterMainWindow(uint32_t width, uint32_t height) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT outer = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, TRUE);
    // Halved as unsigned numbers: a work area smaller than the window gives
    // a far-off place, which the maximised show right after corrects.
    uint32_t x = (uint32_t(work.right - work.left) - width) / 2;
    uint32_t y = (uint32_t(work.bottom - work.top) - height) / 2 - 40;
    if (x > 0x7FFFFFFFu || y > 0x7FFFFFFFu) x = y = 0;
    SetWindowPos(mainWindow, nullptr, int(x), int(y), outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER);
    LayoutBrowser();
}

void Shell::LayoutBrowser() {
    if (browser == nullptr) return;
    RECT client;
    GetClientRect(mainWindow, &client);
    LONG w = client.right, h = client.bottom;
    MoveWindow(browser, 0, 0, w, h, TRUE);
    RECT limit = {322, 302, 472, 226};
    RECT full = {322, 302, w - 328, h - 326};
    textView.SetBounds(&limit, &full);
    statusRow.Layout(textView.current.left, w, h);
}

void Shell::LayoutBrowserControls() {
    RECT client;
    GetClientRect(mainWindow, &client);
    int w = client.right, h = client.bottom;
    int tx = textView.current.left, ty = textView.current.top;
    // The view is square, as high as the room above the text pane; its check
    // boxes stand to its left, their bottom level with its bottom.
    int s = ty - 12;
    int left = w - s - 6;
    int c = left - 126;
    viewPane.Layout(left, s, c, s, tx);
    statusRow.Layout(tx, w, h);
    int m = std::min(tx, c);
    packBar.Layout(m - 12);
    treePane.Layout(m - 12, h);
    InvalidateRect(browser, nullptr, FALSE);
}

void Shell::OnMenuCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDM_ABOUT: {
        AboutBox about;
        about.Show(mainInstance, mainWindow);
        break;
    }
    case IDM_SETDIRECTORY: {
        static const char kFilter[] =
            "Dedeziv Pack Files (*.nob;*.vpk)\0*.nob;*.vpk\0"
            "Redemption Pack Files (*.nob)\0*.nob\0"
            "Bloodlines Pack Files (*.vpk)\0*.vpk\0";
        std::string path = AskOpenFileName(mainWindow, "Open Pack File", "*.vpk", kFilter);
        if (!path.empty()) OpenPackFromPath(path);
        break;
    }
    default:
        break;
    }
}

bool Shell::RenderTick() {
    SyncViews();
    return viewPane.Draw();
}

bool Shell::PreTranslate(const MSG& message) { return viewPane.PreTranslate(message); }

LRESULT CALLBACK Shell::MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Shell* shell = current;
    if (shell != nullptr) {
        switch (message) {
        case WM_CREATE:
            shell->mainWindow = window;
            shell->mainInstance = reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance;
            break;
        case WM_DESTROY:
            if (shell->mainWindow == window) PostQuitMessage(0);
            break;
        case WM_SIZE:
            shell->LayoutBrowser();
            break;
        case WM_WINDOWPOSCHANGING: {
            WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (pos->cx < 808) pos->cx = 808;
            if (pos->cy < 608) pos->cy = 608;
            break;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == 0) shell->OnMenuCommand(wParam);
            break;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The browser dialog holds every pane's controls, so their notifications
// arrive here and are handed to the pane they concern.
INT_PTR CALLBACK Shell::BrowserDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Shell* shell = current;
    if (shell == nullptr) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        shell->browser = dialog;
        break;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->hwndFrom == shell->treePane.tree)
            shell->OnTreeEvent(shell->treePane.OnNotify(reinterpret_cast<NMHDR*>(lParam)));
        break;
    case WM_COMMAND:
        shell->OnCommand(wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL:
    case WM_CAPTURECHANGED:
        shell->viewPane.OnMouse(message, wParam, lParam);
        break;
    case WM_DROPFILES: {
        TreeDrop drop;
        if (shell->treePane.TakeDrop(reinterpret_cast<HDROP>(wParam), shell->core.acceptsDroppedFiles, drop))
            shell->DropPaths(drop.target, drop.paths);
        break;
    }
    case WM_APP:
        shell->LayoutBrowserControls();
        break;
    case WM_APP + 1:
        if (wParam < shell->core.viewer.meshCount) shell->core.viewer.SetMeshVisible(uint32_t(wParam), lParam != 0);
        break;
    default:
        break;
    }
    return FALSE;
}

void Shell::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        HWND button = reinterpret_cast<HWND>(lParam);
        viewPane.OnCheckBox(LOWORD(wParam), SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == IDC_FILTER) {
        treePane.OnFilterChanged();
    } else if (HIWORD(wParam) == CBN_SELCHANGE && reinterpret_cast<HWND>(lParam) == packBar.list) {
        std::string name = packBar.Picked();
        if (name.empty()) return;
        core.textView.SetMode(0);
        core.viewer.ClearSkeleton();
        LoadPackByName(name);
    }
}

void Shell::OnTreeEvent(const TreeEvent& event) {
    switch (event.kind) {
    case TreeEvent::Chosen:
        OnItemChosen(event.item);
        break;
    case TreeEvent::ClickedAgain:
        OnItemClickedAgain(event.item);
        break;
    case TreeEvent::RightClicked:
        OnTreeRightClick();
        break;
    default:
        break;
    }
}

void Shell::OnItemChosen(TreeItem item) {
    if (!core.packsLoaded) return;
    core.tree.Select(item);
    if (ViewTreeItem(core, item) == ItemView::Sound) soundPlayer.Play(core.sound);
    else soundPlayer.Stop();
    SyncViews();
}

void Shell::OnItemClickedAgain(TreeItem item) {
    // A click on the selected sound stops it, or plays it again.
    if (soundPlayer.Playing()) soundPlayer.Stop();
    else if (core.sound.readable && item != kNoItem && core.tree.Selected() == item) soundPlayer.Play(core.sound);
}

void Shell::OnTreeRightClick() {
    if (core.listedFiles == 0) return;
    POINT cursor;
    TreeItem item = treePane.SelectUnderCursor(cursor);
    if (item == kNoItem) return;
    uint32_t command = treePane.TrackPopup(PreparePopupMenu(item), cursor);
    if (command != 0) RunPopupCommand(item, command);
}

HMENU Shell::PreparePopupMenu(TreeItem item) {
    std::fill(std::begin(core.extraction.categoryCounts), std::end(core.extraction.categoryCounts), 0u);
    for (TreeItem reached : treePane.Reached(item)) CountCategories(core, reached);
    return treePane.PopupMenu(core.extraction.Count(FileCategory::Image) != 0,
                              core.extraction.Count(FileCategory::Model) != 0);
}

uint32_t Shell::RunPopupCommand(TreeItem item, uint32_t command) {
    core.extraction.outputFolder = statusRow.OutputFolder();
    core.extraction.extractTree = statusRow.ExtractTree();
    core.extraction.report.Clear();
    // Under a filter a folder gives only the files the tree shows of it.
    uint32_t files = RunExtraction(core, treePane.Reached(item), command);
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

void Shell::DropPaths(TreeItem target, const std::vector<std::string>& paths) {
    size_t pictures = 0, meshes = 0;
    for (const std::string& path : paths) {
        if (IsPictureFile(path)) ++pictures;
        if (IsModelEditFile(path)) ++meshes;
    }
    if (pictures > 0) {
        core.progress.Create("Convert Targa To Texture");
        core.progress.SetRange(0, static_cast<uint32_t>(pictures));
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
            if (IsModelEditFile(path)) ModifyModelVertices(core, target, path);
    // The conversion selects the texture it wrote, which the tree then shows
    // (and so views, as a click would). A picture dropped on the texture
    // already shown changes no selection, so nothing would show the new
    // one: view it here.
    TreeItem chosen = core.tree.Selected();
    if (treePane.SelectItem(chosen) == TreePane::Selection::AlreadySelected && pictures > 0)
        ViewTreeItem(core, chosen);
    SyncViews();
}

bool Shell::OpenPackFromPath(const std::string& path) {
    UnloadPack(core);
    std::unique_ptr<char[]> copy(new char[path.size() + 1]);
    memcpy(copy.get(), path.c_str(), path.size() + 1);
    ToBackslashes(copy.get());
    OpenPack(core, copy.get());
    packBar.Mirror(core.packList);
    return ShowLoadedPack();
}

bool Shell::OpenItemByPath(const std::string& path) {
    TreeItem item = core.packsLoaded ? FindTreeItemByPath(core.tree, path) : kNoItem;
    TreePane::Selection selection = treePane.SelectItem(item);
    if (selection == TreePane::Selection::NotShown) {
        core.textView.SetMode(0);
        core.textView.SetText(path + ": not found in " + core.packList.GetText(core.packList.GetSel()) + "\r\n");
        SyncViews();
        return false;
    }
    // Selecting the item that is selected already tells the tree nothing.
    if (selection == TreePane::Selection::AlreadySelected) OnItemChosen(item);
    treePane.MakeVisible(item);
    return true;
}

bool Shell::LoadPackByName(const std::string& name) {
    LoadPack(core, name);
    return ShowLoadedPack();
}

bool Shell::ShowLoadedPack() {
    if (core.packsLoaded) {
        soundPlayer.Stop();
        treePane.Show();
    }
    ShowFailure();
    SyncViews();
    UpdateTitle();
    return core.packsLoaded;
}

void Shell::UpdateTitle() {
    packBar.ShowTitle(core.packsLoaded ? core.packList.GetText(core.packList.GetSel()) : std::string());
}

void Shell::ShowFailure() {
    // A file that is not a pack is told where its tree would have been
    // shown; the pack list stays for another pack.
    if (core.failure.Failed()) core.textView.SetText(core.failure.Words());
}

void Shell::SyncViews() {
    textView.Sync();
    viewPane.Sync();
}
