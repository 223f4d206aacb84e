// The GUI tests' program: writes the sample data, starts the Shell as
// WinMain does (with the view's GDI copy on, as `make run` and every
// screenshot have it) and runs the tests in it. Also the timing runs of
// tools/gui-tree-bench.sh.
#include "app/tests/GuiHarness.h"

#include "bench/BenchFiles.h"
#include "pack/FileHandle.h"
#include "tools/PackWriter.h"
#include "tools/SampleData.h"

#include <gtest/gtest.h>
#include <richedit.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

Shell* gShell = nullptr;
std::string gRoot;
std::vector<std::string> gMessages;
int gProgressWindows = 0;

namespace {

void* (*gRealCreate)(void*, const char*) = nullptr;

void RecordMessage(void*, const char* text, const char* caption) {
    gMessages.push_back(std::string(caption) + ": " + text);
}

void* CountingCreate(void* context, const char* title) {
    ++gProgressWindows;
    return gRealCreate(context, title);
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (gShell->PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        gShell->RenderTick();
    }
}

void PumpQueue() {
    PumpUntil([] { return true; });
}

std::string Native(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string RealData() {
    std::string data = std::string("Z:") + QUILLON_REALDATA;
    return fs::exists(data) ? data : std::string();
}

std::string TreeText(HTREEITEM item) {
    char text[260] = "";
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(gShell->treePane.tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

HTREEITEM TreeNext(HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(gShell->treePane.tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM FindInTreeView(const std::string& path) {
    HTREEITEM item = TreeNext(nullptr, TVGN_ROOT);
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        while (item != nullptr && lstrcmpiA(TreeText(item).c_str(), part.c_str()) != 0) item = TreeNext(item, TVGN_NEXT);
        if (item == nullptr || slash == std::string::npos) return item;
        SendMessageA(gShell->treePane.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        item = TreeNext(item, TVGN_CHILD);
        start = slash + 1;
    }
}

void SelectInTree(HTREEITEM item) {
    ASSERT_NE(item, nullptr);
    SendMessageA(gShell->treePane.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    PumpQueue();
}

TreeItem CoreItem(const char* path) { return FindTreeItemByPath(gShell->core.tree, path); }

std::string RichEditText() {
    GETTEXTLENGTHEX length = {GTL_DEFAULT, CP_ACP};
    LRESULT n = SendMessageA(gShell->textView.edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(gShell->textView.edit, &text[0], static_cast<int>(n) + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string WindowText(HWND window) {
    char text[260] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ComboText(int pos) {
    char text[260] = "";
    SendMessageA(gShell->packBar.list, CB_GETLBTEXT, pos, reinterpret_cast<LPARAM>(text));
    return text;
}

RECT ChildRect(int id) {
    RECT r;
    HWND child = GetDlgItem(gShell->browser, id);
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, gShell->browser, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void OpenSamplePack(const char* pack) {
    std::string path = Native(gRoot + "/bloodlines/" + pack);
    ASSERT_TRUE(gShell->OpenPackFromPath(path)) << path;
    PumpQueue();
}

void SetOutputFolder(const std::string& folder) {
    SetWindowTextA(gShell->statusRow.outputFolder, Native(folder).c_str());
}

void ShowSampleModel(const char* pack, const char* path) {
    std::string folder = std::strstr(pack, ".nob") != nullptr ? "/redemption/" : "/bloodlines/";
    ASSERT_TRUE(gShell->OpenPackFromPath(Native(gRoot + folder + pack)));
    ASSERT_TRUE(gShell->OpenItemByPath(path));
    PumpQueue();
    ASSERT_GT(gShell->core.viewer.meshCount, 0u) << path;
}

std::vector<float> Eye() {
    const Camera& c = gShell->core.camera;
    return {c.eye[0], c.eye[1], c.eye[2]};
}

std::vector<std::string> VisibleTreeTexts() {
    std::vector<std::string> texts;
    for (HTREEITEM item = TreeNext(nullptr, TVGN_FIRSTVISIBLE); item != nullptr; item = TreeNext(item, TVGN_NEXTVISIBLE))
        texts.push_back(TreeText(item));
    return texts;
}

POINT TreeItemCentre(HTREEITEM item) {
    SendMessageA(gShell->treePane.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    PumpQueue();
    RECT r;
    std::memcpy(&r, &item, sizeof item);
    EXPECT_TRUE(SendMessageA(gShell->treePane.tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string WritePack(const std::string& folder, const std::vector<PackFile>& files) {
    fs::create_directories(gRoot + "/" + folder);
    std::string pack = gRoot + "/" + folder + "/pack000.vpk";
    EXPECT_TRUE(WriteWholeFile(pack, BuildVpk(files))) << pack;
    return Native(pack);
}

std::vector<PackFile> RealFiles(const std::vector<std::string>& folders) {
    std::vector<PackFile> files;
    if (RealData().empty()) return files;
    std::string data = RealData() + "/bloodlines";
    for (const std::string& folder : folders)
        for (const auto& e : fs::recursive_directory_iterator(data + "/" + folder)) {
            if (!e.is_regular_file()) continue;
            std::string bytes;
            EXPECT_TRUE(ReadWholeFile(e.path().string(), bytes)) << e.path().string();
            files.push_back({fs::relative(e.path(), data).generic_string(), bytes});
        }
    return files;
}

uint32_t Frame::Texel(uint32_t tx, uint32_t ty, uint32_t side) const {
    uint32_t x = uint32_t((tx + 0.5) * w / side), y = uint32_t((ty + 0.5) * h / side);
    return w == 0 ? 0u : pixels[size_t(y) * w + x] & 0xFFFFFF;
}

size_t Frame::Drawn() const {
    size_t n = 0;
    for (uint32_t p : pixels) n += (p & 0xFFFFFF) != 0x808080;
    return n;
}

Frame RenderView() {
    Frame f;
    EXPECT_TRUE(gShell->viewPane.device.Render(gShell->core.viewer, gShell->core.camera, &f.pixels, &f.w, &f.h));
    return f;
}

uint32_t Rgb(const uint8_t* p) { return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

uint64_t FramesInLoop(UINT milliseconds, UINT tick) {
    uint64_t before = gShell->viewPane.device.presented;
    UINT_PTR ticks = tick == 0 ? 0 : SetTimer(nullptr, 0, tick, [](HWND, UINT, UINT_PTR, DWORD) {});
    SetTimer(nullptr, 0, milliseconds, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        PostQuitMessage(0);
    });
    gShell->RunLoop();
    if (ticks != 0) KillTimer(nullptr, ticks);
    return gShell->viewPane.device.presented - before;
}

int CursorCount() {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

// Real input goes through the system's queue and reaches the program only
// when it takes messages: each step pumps until the queue is empty again.
namespace {

// Presses and releases go to the system together: a control that follows
// a press in a loop of its own (the tree view waits for the release to tell
// a click from a drag) would otherwise wait for a release the test could
// only send once the press was taken.
void Send(std::vector<INPUT> inputs) {
    ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof inputs[0]), UINT(inputs.size()));
    // Input is queued behind the program's own messages: let a little time
    // pass for the system to deliver it, then take everything.
    for (int round = 0; round < 3; ++round) {
        Sleep(15);
        PumpQueue();
    }
}

INPUT MouseInput(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi = {dx, dy, data, flags, 0, 0};
    return input;
}

INPUT KeyInput(WORD vk, WORD scan, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki = {vk, scan, flags, 0, 0};
    return input;
}

DWORD ButtonFlag(int button, bool down) {
    return button == 0 ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                       : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
}

}  // namespace

POINT ToScreen(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
}

POINT CursorPos() {
    POINT p;
    GetCursorPos(&p);
    return p;
}

void MouseTo(POINT screen) {
    // Absolute moves are given in 1/65536ths of the screen; this rounds up
    // so that the system's scaling back lands on the pixel itself.
    LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    LONG dx = LONG((int64_t(screen.x) * 65536 + w - 1) / w), dy = LONG((int64_t(screen.y) * 65536 + h - 1) / h);
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy)});
}

void MouseBy(int dx, int dy) {
    POINT p = CursorPos();
    MouseTo({p.x + dx, p.y + dy});
}

void MouseDown(int button) { Send({MouseInput(ButtonFlag(button, true))}); }
void MouseUp(int button) { Send({MouseInput(ButtonFlag(button, false))}); }

void Click(int button, POINT screen) {
    MouseTo(screen);
    Send({MouseInput(ButtonFlag(button, true)), MouseInput(ButtonFlag(button, false))});
}

void DoubleClick(POINT screen) {
    MouseTo(screen);
    Send({MouseInput(ButtonFlag(0, true)), MouseInput(ButtonFlag(0, false)), MouseInput(ButtonFlag(0, true)),
          MouseInput(ButtonFlag(0, false))});
}

void Wheel(int notches) { Send({MouseInput(MOUSEEVENTF_WHEEL, 0, 0, DWORD(notches * WHEEL_DELTA))}); }

void Key(WORD vk) {
    Send({KeyInput(vk, 0, 0)});
    Send({KeyInput(vk, 0, KEYEVENTF_KEYUP)});
}

void Type(const std::string& text) {
    for (char c : text)
        Send({KeyInput(0, static_cast<unsigned char>(c), KEYEVENTF_UNICODE),
              KeyInput(0, static_cast<unsigned char>(c), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)});
}

POINT InView(double fx, double fy) {
    const ViewPane& v = gShell->viewPane;
    POINT client = {v.viewLeft + LONG(fx * v.viewSize), ViewPane::kViewTop + LONG(fy * v.viewSize)};
    return ToScreen(gShell->browser, client);
}

// Tree-fill timing, run by hand (tools/gui-tree-bench.sh): writes a pack of
// generated files, or opens one and reports how long until the tree shows.
static int TreeBench(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-bench-pack") == 0) {
        std::vector<PackFile> files = MakeBenchFiles(std::atoi(argv[3]), 256, 7);
        return WriteWholeFile(argv[2], BuildVpk(files)) ? 0 : 1;
    }
    auto start = std::chrono::steady_clock::now();
    bool opened = gShell->OpenPackFromPath(argv[2]);
    UpdateWindow(gShell->treePane.tree);
    PumpQueue();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("tree shown after %.0f ms (%s, %u files listed, %ld tree-view items)\n", ms,
                opened ? "opened" : "NOT opened", gShell->core.listedFiles,
                long(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0)));
    return opened ? 0 : 1;
}

// Filter timing, run by hand (tools/gui-tree-bench.sh): opens PACK, then
// types filters into the box one keystroke at a time and reports, for each,
// how long the last keystroke took until the tree view was redrawn.
static int FilterBench(char** argv) {
    if (!gShell->OpenPackFromPath(argv[2])) return 1;
    PumpQueue();
    HWND box = gShell->treePane.filterEdit, tree = gShell->treePane.tree;
    const char* typed[] = {"file_01234", "*.vmt", "folder0?/**/file_00*", "e", "zzz"};
    for (const char* text : typed) {
        double last = 0;
        std::string sofar;
        for (const char* c = text; *c != '\0'; ++c) {
            sofar += *c;
            auto start = std::chrono::steady_clock::now();
            SetWindowTextA(box, sofar.c_str());
            UpdateWindow(tree);
            PumpQueue();
            last = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        std::printf("filter %-22s last keystroke %4.0f ms (%zu matching files, %ld tree-view items)\n", text, last,
                    gShell->treePane.filter.MatchingFiles(), long(SendMessageA(tree, TVM_GETCOUNT, 0, 0)));
        auto start = std::chrono::steady_clock::now();
        SendMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
        UpdateWindow(tree);
        PumpQueue();
        double esc = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("  Esc: whole tree back after %.0f ms\n", esc);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-bench-pack") == 0) return TreeBench(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // What `make run` and the screenshots use: the frames copied over the
    // view with GDI, so that input meets the window the user meets.
    SetEnvironmentVariableA("QUILLON_PRESENT_GDI", "1");
    Shell shell;
    gShell = &shell;
    shell.core.message.show = RecordMessage;
    gRealCreate = shell.core.progressHooks.create;
    shell.core.progressHooks.create = CountingCreate;

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    gRoot = std::string(temp) + "quillon-gui-" + std::to_string(GetCurrentProcessId());
    for (char& c : gRoot)
        if (c == '\\') c = '/';
    if (!WriteSampleData(gRoot)) {
        std::fprintf(stderr, "cannot write the sample data below %s\n", gRoot.c_str());
        return 1;
    }
    std::string start = GetCurrentDir();
    if (!shell.Start(GetModuleHandleA(nullptr), "")) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    PumpQueue();
    int result = 0;
    if (argc == 3 && std::strcmp(argv[1], "--tree-bench") == 0)
        result = TreeBench(argc, argv);
    else if (argc == 3 && std::strcmp(argv[1], "--filter-bench") == 0)
        result = FilterBench(argv);
    else
        result = RUN_ALL_TESTS();
    shell.Finish();
    SetCurrentDir(start.c_str());
    std::error_code ec;
    fs::remove_all(gRoot, ec);
    return result;
}
