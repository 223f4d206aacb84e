// Start-up, the main window, the message loop and shutdown.
#include "app/Shell.h"
#include "app/resource.h"

#include "pack/FileHandle.h"

#include <commdlg.h>

#include <memory>

GuiState* GuiState::current = nullptr;

namespace {

const char kClassName[] = "QuillonEdit";
const char kDefaultOutputFolder[] = "E:\\Dedeziv Extracted";

void ShowMessage(void*, const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION);
}

void ClearTreeView(void* context) {
    GuiState* gui = static_cast<GuiState*>(context);
    if (gui->tree == nullptr) return;
    // The core owns every item's data; deleting the items frees nothing here.
    SendMessageA(gui->tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    gui->handles.clear();
    gui->filled.clear();
    EnableWindow(gui->tree, FALSE);
    DragAcceptFiles(gui->browser, FALSE);
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

}  // namespace

GuiState::GuiState() {
    current = this;
    core.message.show = ShowMessage;
    progressWindow.Attach(core.progressHooks);
    core.onUnload = ClearTreeView;
    core.onUnloadContext = this;
}

GuiState::~GuiState() {
    if (mainWindow != nullptr) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    if (current == this) current = nullptr;
}

bool GuiState::Start(HINSTANCE module, const char* commandLine) {
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

void GuiState::OpenCommandLine(const char* commandLine) {
    std::vector<std::string> args = SplitArguments(commandLine);
    if (!args.empty() && OpenPackFromPath(args[0]) && args.size() > 1) OpenItemByPath(args[1]);
}

bool GuiState::RunMessageLoopSetup(const char* outputFolder) {
    if (!CreateBrowser(mainInstance, mainWindow, outputFolder)) {
        mainWindow = nullptr;
        return false;
    }
    CenterMainWindow(800, 552);
    UpdateTitle();
    ShowWindow(mainWindow, SW_MAXIMIZE);
    return true;
}

void GuiState::RunLoop() {
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

void GuiState::Finish() {
    if (browser != nullptr) ShutdownBrowser();
    if (richEdit != nullptr) FreeLibrary(richEdit);
    richEdit = nullptr;
    if (mainWindow != nullptr) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    if (!startDirectory.empty()) SetCurrentDir(startDirectory.c_str());
    UnregisterClassA(kClassName, mainInstance);
}

void GuiState::ShutdownBrowser() {
    soundPlayer.Stop();
    if (core.packsLoaded) UnloadPack(core);
    viewer.Release();
    core.fileIndex.files.Destroy();
    if (tree != nullptr) SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    if (treeImages != nullptr) ImageList_Destroy(treeImages);
    treeImages = nullptr;
    textView.Destroy();
    core.redemptionPacks.Release();
    core.bloodlinesPacks.Release();
    if (browser != nullptr) DestroyWindow(browser);
    if (popupMenu != nullptr) DestroyMenu(popupMenu);
    browser = tree = packList = nullptr;
    popupMenu = nullptr;
    instance = nullptr;
}

void GuiState::CenterMainWindow(uint32_t width, uint32_t height) {
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

void GuiState::LayoutBrowser() {
    if (browser == nullptr) return;
    RECT client;
    GetClientRect(mainWindow, &client);
    LONG w = client.right, h = client.bottom;
    MoveWindow(browser, 0, 0, w, h, TRUE);
    RECT limit = {322, 302, 472, 226};
    RECT full = {322, 302, w - 328, h - 326};
    textView.SetBounds(&limit, &full);
    SetWindowPos(GetDlgItem(browser, IDC_EXTRACTTREE), nullptr, w - 110, h - 18, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void GuiState::OnMenuCommand(WPARAM wParam) {
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

std::string GuiState::FrameState() const {
    const Viewer& v = core.viewer;
    std::string state;
    auto add = [&state](const void* bytes, size_t n) { state.append(static_cast<const char*>(bytes), n); };
    const Camera& c = core.camera;
    for (float f : {c.eye[0], c.eye[1], c.eye[2], c.yaw, c.pitch, c.centre[0], c.centre[1], c.centre[2], c.farPlane})
        add(&f, sizeof f);
    for (uint32_t n : {v.slot0.revision, v.modelRevision, v.meshCount, v.skeleton.pointCount, uint32_t(viewSize)})
        add(&n, sizeof n);
    for (bool b : {viewer.textured, viewer.wireframe, viewer.skeleton}) add(&b, 1);
    for (uint32_t i = 0; i < v.meshCount && i < kMeshCapacity; ++i) add(&v.meshes[i].visible, 1);
    return state;
}

bool GuiState::RenderTick() {
    SyncViews();
    std::string state = FrameState();
    if (!viewer.exposed && state == drawnState) return false;
    drawnState = state;
    viewer.Render(core.viewer, core.camera);
    ++frames;
    return true;
}

LRESULT CALLBACK GuiState::MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GuiState* gui = current;
    if (gui != nullptr) {
        switch (message) {
        case WM_CREATE:
            gui->mainWindow = window;
            gui->mainInstance = reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance;
            break;
        case WM_DESTROY:
            if (gui->mainWindow == window) PostQuitMessage(0);
            break;
        case WM_SIZE:
            gui->LayoutBrowser();
            break;
        case WM_WINDOWPOSCHANGING: {
            WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (pos->cx < 808) pos->cx = 808;
            if (pos->cy < 608) pos->cy = 608;
            break;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == 0) gui->OnMenuCommand(wParam);
            break;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool GuiState::OpenPackFromPath(const std::string& path) {
    UnloadPack(core);
    std::unique_ptr<char[]> copy(new char[path.size() + 1]);
    memcpy(copy.get(), path.c_str(), path.size() + 1);
    ToBackslashes(copy.get());
    OpenPack(core, copy.get());
    MirrorPackList();
    if (core.packsLoaded) MirrorTreeTop();
    ShowFailure();
    SyncViews();
    UpdateTitle();
    return core.packsLoaded;
}

bool GuiState::OpenItemByPath(const std::string& path) {
    HTREEITEM handle = core.packsLoaded ? RevealItem(FindTreeItemByPath(core.tree, path)) : nullptr;
    if (handle == nullptr) {
        core.textView.SetMode(0);
        core.textView.SetText(path + ": not found in " + core.packList.GetText(core.packList.GetSel()) + "\r\n");
        SyncViews();
        return false;
    }
    // Selecting the item that is selected already tells the tree nothing.
    if (reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) == handle)
        OnTreeSelect(handle);
    else
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(handle));
    return true;
}

void GuiState::UpdateTitle() {
    std::string title = kClassName;
    if (core.packsLoaded) title = core.packList.GetText(core.packList.GetSel()) + " - " + title;
    SetWindowTextA(mainWindow, title.c_str());
}
