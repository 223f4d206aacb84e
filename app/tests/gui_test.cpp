// Drives QuillonEdit's real windows: the pack list and tree through their
// messages, the rich edit's text, the drawn frame read back from Direct3D,
// the pop-up commands, a real WM_DROPFILES, the main window's size limits.
// Runs under Wine in a private X server (tools/gui-test.sh) or on Windows.
#include "app/Shell.h"
#include "app/resource.h"

#include "bench/BenchFiles.h"
#include "extract/Extract.h"
#include "model/ModelExport.h"
#include "pack/FileHandle.h"
#include "texture/ImageFiles.h"
#include "texture/Png.h"
#include "tools/PackWriter.h"
#include "tools/SampleData.h"

#include <gtest/gtest.h>
#include <mmreg.h>
#include <msacm.h>
#include <richedit.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// The shell's DROPFILES header (shlobj.h clashes with the core's Folder
// category); a drop handle is this followed by the zero-separated paths.
struct DropFilesHeader {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
static_assert(sizeof(DropFilesHeader) == 20, "DROPFILES is 20 bytes");

GuiState* gGui = nullptr;
std::string gRoot;  // the test's own copy of the sample data
std::vector<std::string> gMessages;
int gProgressWindows = 0;
void* (*gRealCreate)(void*, const char*, ...) = nullptr;

void RecordMessage(void*, const char* text, const char* caption) {
    gMessages.push_back(std::string(caption) + ": " + text);
}

// Takes messages and draws idle frames, as the program's loop does, until
// done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (gGui->PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        gGui->RenderTick();
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

std::string TreeText(HTREEITEM item) {
    char text[260] = "";
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(gGui->tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

HTREEITEM TreeNext(HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(gGui->tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// Finds a tree-view item by path through the tree view's own messages,
// expanding folders on the way (which fills them).
HTREEITEM FindInTreeView(const std::string& path) {
    HTREEITEM item = TreeNext(nullptr, TVGN_ROOT);
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        while (item != nullptr && lstrcmpiA(TreeText(item).c_str(), part.c_str()) != 0) item = TreeNext(item, TVGN_NEXT);
        if (item == nullptr || slash == std::string::npos) return item;
        SendMessageA(gGui->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        item = TreeNext(item, TVGN_CHILD);
        start = slash + 1;
    }
}

void SelectInTree(HTREEITEM item) {
    ASSERT_NE(item, nullptr);
    SendMessageA(gGui->tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    PumpQueue();
}

std::string RichEditText() {
    GETTEXTLENGTHEX length = {GTL_DEFAULT, CP_ACP};
    LRESULT n = SendMessageA(gGui->textView.edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(gGui->textView.edit, &text[0], static_cast<int>(n) + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string ComboText(int pos) {
    char text[260] = "";
    SendMessageA(gGui->packList, CB_GETLBTEXT, pos, reinterpret_cast<LPARAM>(text));
    return text;
}

RECT ChildRect(int id) {
    RECT r;
    HWND child = GetDlgItem(gGui->browser, id);
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, gGui->browser, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void OpenSamplePack(const char* pack) {
    std::string path = Native(gRoot + "/bloodlines/" + pack);
    ASSERT_TRUE(gGui->OpenPackFromPath(path)) << path;
    PumpQueue();
}

void SetOutputFolder(const std::string& folder) {
    SetDlgItemTextA(gGui->browser, IDC_OUTPUTFOLDER, Native(folder).c_str());
}

TreeItem CoreItem(const char* path) { return FindTreeItemByPath(gGui->core.tree, path); }

void* CountingCreate(void* context, const char* title) {
    ++gProgressWindows;
    return reinterpret_cast<void* (*)(void*, const char*)>(gRealCreate)(context, title);
}

}  // namespace

TEST(MainWindow, StartsMaximisedAndKeepsItsMinimumSize) {
    EXPECT_TRUE(IsZoomed(gGui->mainWindow));
    char title[64] = "x";
    GetWindowTextA(gGui->mainWindow, title, sizeof title);
    char className[64] = "";
    GetClassNameA(gGui->mainWindow, className, sizeof className);
    EXPECT_STREQ(className, "QuillonEdit");

    ShowWindow(gGui->mainWindow, SW_RESTORE);
    SetWindowPos(gGui->mainWindow, nullptr, 10, 10, 300, 200, SWP_NOZORDER);
    PumpQueue();
    RECT outer;
    GetWindowRect(gGui->mainWindow, &outer);
    EXPECT_GE(outer.right - outer.left, 808);
    EXPECT_GE(outer.bottom - outer.top, 608);
}

TEST(MainWindow, LayoutFollowsTheTextPaneAfterResizing) {
    for (SIZE size : {SIZE{808, 608}, SIZE{1100, 900}}) {
        ShowWindow(gGui->mainWindow, SW_RESTORE);
        SetWindowPos(gGui->mainWindow, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER);
        RECT client;
        GetClientRect(gGui->mainWindow, &client);
        int w = client.right, h = client.bottom;
        // The pane posts WM_APP after its own resize; the dialog then lays out.
        ASSERT_TRUE(PumpUntil([&] { return ChildRect(IDC_VIEW3D).left == w - (ChildRect(IDC_VIEW3D).bottom - 6) - 6; }))
            << size.cx;
        RECT browser;
        GetClientRect(gGui->browser, &browser);
        EXPECT_EQ(browser.right, w);
        EXPECT_EQ(browser.bottom, h);
        RECT pane;
        GetWindowRect(gGui->textView.pane, &pane);
        MapWindowPoints(HWND_DESKTOP, gGui->browser, reinterpret_cast<POINT*>(&pane), 2);
        EXPECT_EQ(pane.left, 322);
        EXPECT_EQ(pane.top, 302);
        EXPECT_EQ(pane.right - pane.left, w - 328);
        EXPECT_EQ(pane.bottom - pane.top, h - 326);
        int s = pane.top - 12;
        RECT view = ChildRect(IDC_VIEW3D);
        EXPECT_EQ(view.left, w - s - 6);
        EXPECT_EQ(view.top, 6);
        EXPECT_EQ(view.right - view.left, s);
        EXPECT_EQ(view.bottom - view.top, s);
        RECT tree = ChildRect(IDC_TREE);
        int m = std::min(322, (w - s - 6) - 126);
        EXPECT_EQ(tree.left, 6);
        EXPECT_EQ(tree.top, 52);
        EXPECT_EQ(tree.right - tree.left, m - 12);
        EXPECT_EQ(tree.bottom - tree.top, h - 56);
        RECT filter = ChildRect(IDC_FILTER);  // between the pack list and the tree, as wide
        EXPECT_EQ(filter.left, 6);
        EXPECT_EQ(filter.top, 30);
        EXPECT_EQ(filter.right - filter.left, m - 12);
        EXPECT_EQ(filter.bottom, 50);
        RECT output = ChildRect(IDC_OUTPUTFOLDER);
        EXPECT_EQ(output.left, 322);
        EXPECT_EQ(output.top, h - 20);
        RECT extractTree = ChildRect(IDC_EXTRACTTREE);
        EXPECT_EQ(extractTree.left, w - 110);
        EXPECT_EQ(extractTree.top, h - 18);
    }
    ShowWindow(gGui->mainWindow, SW_MAXIMIZE);
    PumpQueue();
}

TEST(Browser, OpeningAPackFillsThePackListAndTheTreeTopLevel) {
    OpenSamplePack("pack001.vpk");
    ASSERT_EQ(SendMessageA(gGui->packList, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(0), "pack000.vpk");
    EXPECT_EQ(ComboText(2), "pack002.vpk");
    LRESULT selected = SendMessageA(gGui->packList, CB_GETCURSEL, 0, 0);
    EXPECT_EQ(ComboText(static_cast<int>(selected)), "pack001.vpk");
    EXPECT_EQ(SendMessageA(gGui->packList, CB_GETITEMDATA, selected, 0),
              LRESULT(gGui->core.packList.GetItemData(gGui->core.packList.GetSel())));
    EXPECT_TRUE(IsWindowEnabled(gGui->tree));

    // Only the top level is in the tree view, in the core's order.
    std::vector<std::string> shown, expected;
    for (HTREEITEM item = TreeNext(nullptr, TVGN_ROOT); item != nullptr; item = TreeNext(item, TVGN_NEXT))
        shown.push_back(TreeText(item));
    for (TreeItem item = gGui->core.tree.FirstTopLevel(); item != kNoItem; item = gGui->core.tree.NextSibling(item))
        expected.push_back(gGui->core.tree.Text(item));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0), LRESULT(expected.size()));

    // Expanding a folder fills it once, sorted as the core sorts.
    HTREEITEM vdata = FindInTreeView("vdata");
    ASSERT_NE(vdata, nullptr);
    SendMessageA(gGui->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    SendMessageA(gGui->tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(vdata));
    SendMessageA(gGui->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    int children = 0;
    for (HTREEITEM c = TreeNext(vdata, TVGN_CHILD); c != nullptr; c = TreeNext(c, TVGN_NEXT)) ++children;
    EXPECT_EQ(children, int(gGui->core.tree.ChildCount(CoreItem("vdata"))));
    EXPECT_NE(FindInTreeView("vdata/hackterminals/Haven_PC.txt"), nullptr);
}

TEST(Browser, PickingAnotherPackAndSelectingTextShowsTheText) {
    OpenSamplePack("pack001.vpk");
    SendMessageA(gGui->packList, CB_SETCURSEL, 0, 0);
    SendMessageA(gGui->browser, WM_COMMAND, MAKEWPARAM(IDC_PACKLIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(gGui->packList));
    PumpQueue();
    ASSERT_NE(CoreItem("Readme.txt"), kNoItem);
    SelectInTree(FindInTreeView("Readme.txt"));
    EXPECT_NE(RichEditText().find("Sample Bloodlines data made by quillon-sample."), std::string::npos);
    // A loose file below the data folder wins over the packed one.
    SelectInTree(FindInTreeView("cfg/autoexec.cfg"));
    std::string text = RichEditText();
    EXPECT_NE(text.find("loose autoexec"), std::string::npos) << text;
    // Selecting a folder leaves the text as it was.
    SelectInTree(FindInTreeView("dlg"));
    EXPECT_EQ(RichEditText(), text);
}

TEST(Browser, ASelectedTextureIsDrawnInTheView) {
    OpenSamplePack("pack002.vpk");
    SelectInTree(FindInTreeView("materials/samples/bgr.ttz"));
    const Image32& picture = gGui->core.viewer.slot0.image;
    ASSERT_EQ(picture.width, 32u);
    ASSERT_EQ(picture.height, 32u);
    std::vector<uint32_t> frame;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gGui->viewer.Render(gGui->core.viewer, gGui->core.camera, &frame, &w, &h));
    ASSERT_GT(w, 0u);
    // The quad stretches the (square) texture over the whole back buffer with
    // point sampling: the frame's pixel at a texel's centre is that texel.
    int mismatches = 0, differentFromClear = 0;
    for (uint32_t ty = 1; ty < 32; ty += 5)
        for (uint32_t tx = 2; tx < 32; tx += 5) {
            uint32_t x = static_cast<uint32_t>((tx + 0.5) * w / 32), y = static_cast<uint32_t>((ty + 0.5) * h / 32);
            const uint8_t* p = picture.Pixel(tx, ty);
            uint32_t want = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            uint32_t got = frame[size_t(y) * w + x] & 0xFFFFFF;
            if (got != want) ++mismatches;
            if (got != 0x808080) ++differentFromClear;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(differentFromClear, 0);

    // A material shows its texture, not its text.
    SelectInTree(FindInTreeView("materials/samples/crate.vmt"));
    EXPECT_EQ(gGui->core.viewer.slot0.image.width, 128u);
}

TEST(Browser, ASelectedModelIsDrawnAndItsMeshesListed) {
    OpenSamplePack("pack002.vpk");
    SelectInTree(FindInTreeView("models/samples/Lamp.mdl"));
    const Viewer& core = gGui->core.viewer;
    ASSERT_GT(core.meshCount, 0u);
    EXPECT_TRUE(IsWindowVisible(gGui->textView.rows[0]));
    auto drawn = [] {
        std::vector<uint32_t> frame;
        uint32_t w = 0, h = 0;
        EXPECT_TRUE(gGui->viewer.Render(gGui->core.viewer, gGui->core.camera, &frame, &w, &h));
        size_t n = 0;
        for (uint32_t p : frame) n += (p & 0xFFFFFF) != 0x808080;
        return n;
    };
    size_t shown = drawn();
    EXPECT_GT(shown, 100u);
    // Hiding every mesh through its check box leaves the clear colour only.
    for (uint32_t i = 0; i < core.meshCount && i < gGui->textView.rowCount; ++i) {
        SendMessageA(gGui->textView.rows[i], BM_CLICK, 0, 0);
        EXPECT_FALSE(core.meshes[i].visible);
    }
    if (core.meshCount <= gGui->textView.rowCount) {
        EXPECT_EQ(drawn(), 0u);
    }
    // Showing a picture again leaves the model.
    SelectInTree(FindInTreeView("images/Logo.bmp"));
    EXPECT_EQ(core.meshCount, 0u);
    EXPECT_FALSE(IsWindowVisible(gGui->textView.rows[0]));
}

TEST(Browser, PopupCommandsGreyAndExtract) {
    OpenSamplePack("pack002.vpk");
    std::string out = gRoot + "/out-popup";
    SetOutputFolder(out);
    gProgressWindows = 0;

    HMENU menu = gGui->PreparePopupMenu(CoreItem("images"));
    EXPECT_FALSE(GetMenuState(menu, IDM_EXTRACT_FILES, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, IDM_EXTRACT_TEXTURES, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_EXTRACT_MODEL, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_EXTRACT_GLTF, MF_BYCOMMAND) & MF_GRAYED);
    // The two new items follow the three of old, glTF then PNG.
    EXPECT_EQ(GetMenuItemID(menu, 3), UINT(IDM_EXTRACT_GLTF));
    EXPECT_EQ(GetMenuItemID(menu, 4), UINT(IDM_EXTRACT_PNG));

    // Two files: below the binary threshold, so no progress window.
    EXPECT_EQ(gGui->RunPopupCommand(CoreItem("images"), IDM_EXTRACT_FILES), 2u);
    EXPECT_TRUE(fs::exists(out + "/images/Logo.bmp"));
    EXPECT_EQ(gProgressWindows, 0);

    EXPECT_GE(gGui->RunPopupCommand(CoreItem("materials/samples"), IDM_EXTRACT_TEXTURES), 8u);
    EXPECT_TRUE(fs::exists(out + "/materials/samples/dxt1.tga"));
    EXPECT_EQ(gProgressWindows, 1);
    EXPECT_FALSE(GetMenuState(menu, IDM_EXTRACT_PNG, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_GE(gGui->RunPopupCommand(CoreItem("materials/samples"), IDM_EXTRACT_PNG), 8u);
    EXPECT_TRUE(fs::exists(out + "/materials/samples/dxt1.png"));
    EXPECT_EQ(gProgressWindows, 2);

    menu = gGui->PreparePopupMenu(CoreItem("models"));
    ASSERT_FALSE(GetMenuState(menu, IDM_EXTRACT_MODEL, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_GE(gGui->RunPopupCommand(CoreItem("models"), IDM_EXTRACT_MODEL), 1u);
    EXPECT_TRUE(fs::exists(out + "/models/samples/Lamp.x") || fs::exists(out + "/models/samples/lamp.x"));
    EXPECT_EQ(gProgressWindows, 3);
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    ASSERT_FALSE(GetMenuState(menu, IDM_EXTRACT_GLTF, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(gGui->RunPopupCommand(CoreItem("models"), IDM_EXTRACT_GLTF), 2u);
    EXPECT_TRUE(fs::exists(out + "/models/samples/Lamp.glb") || fs::exists(out + "/models/samples/lamp.glb"));
    EXPECT_EQ(gProgressWindows, 4);
    // The lamp's cord has no texture: the glTF is written and the cord named.
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find("lampcord could not be loaded"), std::string::npos) << gMessages[0];
    gMessages.clear();
    // Every progress window is gone again.
    EXPECT_EQ(FindWindowA(nullptr, "Extracting Models"), nullptr);
}

TEST(Browser, RefusedFilesAreListedInOneMessage) {
    std::string folder = gRoot + "/unsafe";
    fs::create_directories(folder);
    ASSERT_TRUE(WriteWholeFile(folder + "/pack000.vpk",
                               BuildVpk({{"safe/ok.txt", "fine\n"}, {"safe/../../escape.txt", "out\n"}})));
    ASSERT_TRUE(gGui->OpenPackFromPath(Native(folder + "/pack000.vpk")));
    SetOutputFolder(gRoot + "/out-unsafe");
    gMessages.clear();
    gGui->RunPopupCommand(CoreItem("safe"), IDM_EXTRACT_FILES);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find("escape.txt"), std::string::npos) << gMessages[0];
    EXPECT_TRUE(fs::exists(gRoot + "/out-unsafe/safe/ok.txt"));
    EXPECT_FALSE(fs::exists(gRoot + "/escape.txt"));
    gMessages.clear();
}

TEST(Browser, AFileThatIsNotAPackIsToldInTheTextPaneAndThePackListStays) {
    std::string folder = gRoot + "/notapack";
    fs::create_directories(folder);
    ASSERT_TRUE(WriteWholeFile(folder + "/pack000.vpk", BuildVpk({{"a.txt", "a\n"}})));
    ASSERT_TRUE(WriteWholeFile(folder + "/zero.vpk", ""));
    gMessages.clear();
    EXPECT_FALSE(gGui->OpenPackFromPath(Native(folder + "/zero.vpk")));
    EXPECT_NE(RichEditText().find("zero.vpk: not a pack: too short for a pack footer"), std::string::npos)
        << RichEditText();
    EXPECT_TRUE(gMessages.empty()) << "told once, in the text pane";
    EXPECT_EQ(SendMessageA(gGui->packList, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(TreeView_GetCount(gGui->tree), 0u);
    EXPECT_TRUE(gGui->LoadPackByName("pack000.vpk")) << "another pack of the list still opens";
    EXPECT_EQ(TreeView_GetCount(gGui->tree), 1u);
}

// Drops files on a tree item as the shell does: a DROPFILES block with the
// point in the browser's client coordinates.
void DropOn(HTREEITEM target, const std::vector<std::string>& files) {
    SendMessageA(gGui->tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(target));
    PumpQueue();
    RECT item;
    std::memcpy(&item, &target, sizeof target);
    ASSERT_TRUE(SendMessageA(gGui->tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item)));
    POINT point = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    MapWindowPoints(gGui->tree, gGui->browser, &point, 1);
    std::string names;
    for (const std::string& f : files) names += f + '\0';
    names += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DropFilesHeader) + names.size());
    DropFilesHeader* drop = static_cast<DropFilesHeader*>(GlobalLock(memory));
    drop->pFiles = sizeof(DropFilesHeader);
    drop->pt = point;
    drop->fNC = FALSE;
    drop->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DropFilesHeader), names.data(), names.size());
    GlobalUnlock(memory);
    SendMessageA(gGui->browser, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    PumpQueue();
}

TEST(Browser, DroppedTargaBecomesTheTexture) {
    OpenSamplePack("pack002.vpk");
    HTREEITEM target = FindInTreeView("materials/samples/rgba.ttz");
    ASSERT_NE(target, nullptr);
    SendMessageA(gGui->tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(target));
    PumpQueue();

    // A 64 x 32 picture of one colour, and a file of another kind to ignore.
    std::string dropped = gRoot + "/drop";
    fs::create_directories(dropped);
    Image32 image = Image32{};
    ASSERT_TRUE(image.Create(64, 32));
    for (uint32_t i = 0; i < 64 * 32; ++i) std::memcpy(image.pixels + i * 4, "\x10\x80\xF0\xFF", 4);
    FileHandle file;
    ASSERT_TRUE(file.Create(Native(dropped + "/RGBA.TGA").c_str()));
    ASSERT_TRUE(WriteTga(image, file));
    file.Close();
    image.Release();
    ASSERT_TRUE(WriteWholeFile(dropped + "/notes.txt", "ignored"));

    DropOn(target, {Native(dropped + "/notes.txt"), Native(dropped + "/RGBA.TGA")});

    std::string data = gRoot + "/bloodlines/materials/samples/";
    EXPECT_TRUE(fs::exists(data + "rgba.tth") && fs::exists(data + "rgba.ttz"));
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    // The new texture is selected and shown.
    HTREEITEM caret = TreeNext(nullptr, TVGN_CARET);
    EXPECT_EQ(TreeText(caret), "rgba.ttz");
    const Image32& shown = gGui->core.viewer.slot0.image;
    ASSERT_EQ(shown.width, 64u);
    EXPECT_EQ(shown.pixels[2], 0xF0);

    // A PNG is dropped the same way.
    ASSERT_TRUE(image.Create(16, 8));
    for (uint32_t i = 0; i < 16 * 8; ++i) std::memcpy(image.pixels + i * 4, "\x20\x40\x60\x80", 4);
    ASSERT_TRUE(file.Create(Native(dropped + "/rgba.png").c_str()));
    ASSERT_TRUE(WritePng(image, file));
    file.Close();
    image.Release();
    DropOn(target, {Native(dropped + "/rgba.png")});
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    const Image32& again = gGui->core.viewer.slot0.image;
    ASSERT_EQ(again.width, 16u);
    EXPECT_EQ(std::memcmp(again.pixels, "\x20\x40\x60\x80", 4), 0);
    fs::remove(data + "rgba.tth");
    fs::remove(data + "rgba.ttz");
    gMessages.clear();
}

TEST(Browser, DroppedMeshWritesTheModelWithItsPositions) {
    OpenSamplePack("pack002.vpk");
    HTREEITEM target = FindInTreeView("models/samples/Lamp.dx80.vtx");
    ASSERT_NE(target, nullptr);
    // The model's own export, unchanged, and a copy whose count is wrong.
    std::string out = gRoot + "/meshes";
    gGui->core.extraction.outputFolder = Native(out);
    FileEntry key = {};
    std::strcpy(key.name, "models/samples/Lamp.mdl");
    ASSERT_TRUE(ExportModelAsX(gGui->core.Export(), key));
    std::string x, packed;
    ASSERT_TRUE(ReadWholeFile(out + "/models/samples/Lamp.x", x));
    fs::create_directories(out + "/bad");
    size_t count = x.find("\t13;");
    ASSERT_NE(count, std::string::npos);
    ASSERT_TRUE(WriteWholeFile(out + "/bad/lamp.x", x.substr(0, count) + "\t12;" + x.substr(count + 4)));

    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(gGui->core.Files(), key, size);
    ASSERT_TRUE(bytes);
    packed.assign(reinterpret_cast<const char*>(bytes.get()), size);

    DropOn(target, {Native(out + "/models/samples/Lamp.x")});
    std::string loose = gRoot + "/bloodlines/models/samples/Lamp.mdl", written;
    ASSERT_TRUE(ReadWholeFile(loose, written));
    EXPECT_EQ(written, packed) << "the unchanged export gives the packed model back";
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    DropOn(target, {Native(out + "/bad/lamp.x")});
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0], "ERROR!: Vertex Count Does Not Match Original File!");
    std::string after;
    ASSERT_TRUE(ReadWholeFile(loose, after));
    EXPECT_EQ(after, written) << "a refused drop leaves the loose model as it was";
    fs::remove(loose);
    gMessages.clear();
}

TEST(TextView, CheckListShowsScrollsAndReportsClicks) {
    TextContent& content = gGui->core.textView;
    content.entryCount = 0;
    for (uint32_t i = 0; i < 40; ++i) content.SetItem(i, "mesh " + std::to_string(i));
    content.SetMode(1);
    gGui->SyncViews();
    uint32_t r = gGui->textView.RowsPerPage();
    ASSERT_GT(r, 2u);
    ASSERT_LT(r, 40u);
    EXPECT_TRUE(IsWindowVisible(gGui->textView.scrollBar));
    char text[64];
    GetWindowTextA(gGui->textView.rows[1], text, sizeof text);
    EXPECT_STREQ(text, "mesh 1");

    // A tracked position past the last page stops at the last page.
    SendMessageA(gGui->textView.pane, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 39),
                 reinterpret_cast<LPARAM>(gGui->textView.scrollBar));
    EXPECT_EQ(gGui->textView.firstVisible, 40 - r);
    SendMessageA(gGui->textView.pane, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(gGui->textView.scrollBar));
    SendMessageA(gGui->textView.pane, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(gGui->textView.scrollBar));
    // A page down, but never beyond the last full page.
    uint32_t first = std::min(r, 40 - r);
    EXPECT_EQ(gGui->textView.firstVisible, first);
    GetWindowTextA(gGui->textView.rows[0], text, sizeof text);
    EXPECT_EQ(std::string(text), "mesh " + std::to_string(first));

    SendMessageA(gGui->textView.rows[0], BM_CLICK, 0, 0);
    PumpQueue();
    EXPECT_EQ(content.entries[first].checked, 0u);
    EXPECT_EQ(content.entries[0].checked, 1u);

    content.SetMode(0);
    gGui->SyncViews();
    EXPECT_FALSE(IsWindowVisible(gGui->textView.rows[0]));
    EXPECT_FALSE(IsWindowVisible(gGui->textView.scrollBar));
    content.entryCount = 0;
}

TEST(MainWindow, SetDirectoryCancelledLeavesThePackShown) {
    OpenSamplePack("pack001.vpk");
    LRESULT items = SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0);
    static bool seen;
    seen = false;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = FindWindowA(nullptr, "Open Pack File");
        if (dialog == nullptr) return;
        seen = true;
        KillTimer(nullptr, id);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    });
    SendMessageA(gGui->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SETDIRECTORY, 0), 0);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(gGui->core.packsLoaded);
    EXPECT_EQ(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0), items);
    EXPECT_EQ(ComboText(static_cast<int>(SendMessageA(gGui->packList, CB_GETCURSEL, 0, 0))), "pack001.vpk");
}

TEST(AboutBox, NamesTheProgramWithItsVersionAndBuildAndClosesOnOk) {
    static std::string stamp;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND about = FindWindowA(nullptr, "About");
        if (about == nullptr) return;
        char text[128] = "", name[128] = "";
        GetDlgItemTextA(about, IDC_BUILDSTAMP, text, sizeof text);
        GetDlgItemTextA(about, IDC_ABOUTNAME, name, sizeof name);
        stamp = std::string(name) + "|" + text;
        KillTimer(nullptr, id);
        SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    SendMessageA(gGui->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    EXPECT_EQ(stamp.rfind("QuillonEdit " QUILLON_VERSION "|Build ", 0), 0u) << stamp;
    EXPECT_NE(stamp.find(" At "), std::string::npos);
}

// The 3D view's mouse, driven with the messages the view's dialog receives,
// the cursor placed where each message says it is.
namespace {

POINT operator+(POINT a, POINT b) { return {a.x + b.x, a.y + b.y}; }

POINT InView(double fx, double fy) {
    return {gGui->viewLeft + LONG(fx * gGui->viewSize), 6 + LONG(fy * gGui->viewSize)};
}

POINT ToScreen(POINT client) {
    ClientToScreen(gGui->browser, &client);
    return client;
}

POINT CursorInBrowser() {
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(gGui->browser, &p);
    return p;
}

void Mouse(UINT message, WPARAM keys, POINT client) {
    POINT screen = ToScreen(client);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(gGui->browser, message, keys, MAKELPARAM(client.x, client.y));
}

// The cursor's display count, left as it was.
int CursorCount() {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

void ShowSampleModel(const char* pack, const char* path) {
    std::string folder = std::strstr(pack, ".nob") != nullptr ? "/redemption/" : "/bloodlines/";
    ASSERT_TRUE(gGui->OpenPackFromPath(Native(gRoot + folder + pack)));
    ASSERT_TRUE(gGui->OpenItemByPath(path));
    PumpQueue();
    ASSERT_GT(gGui->core.viewer.meshCount, 0u) << path;
}

std::vector<float> Eye() { return {gGui->core.camera.eye[0], gGui->core.camera.eye[1], gGui->core.camera.eye[2]}; }

}  // namespace

TEST(ViewMouse, EachDragMovesTheCameraByItsPixelsAndDrawsAtOnce) {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    Camera& c = gGui->core.camera;
    const Camera start = c;
    POINT p = InView(0.5, 0.5);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, p);
    EXPECT_EQ(gGui->dragMode, 2);
    uint64_t presented = gGui->viewer.presented;
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 10, p.y + 7});
    EXPECT_FLOAT_EQ(c.yaw, start.yaw - 0.1f) << "left: turn by 0.01 per pixel";
    EXPECT_EQ(Eye(), std::vector<float>(start.eye, start.eye + 3));
    EXPECT_EQ(gGui->viewer.presented, presented + 1) << "a frame at once, before any idle turn";
    Mouse(WM_LBUTTONUP, 0, {p.x + 10, p.y + 7});
    EXPECT_EQ(gGui->dragMode, 0);

    // Right: pan 0.3 per pixel in a Bloodlines model (x against, y with the mouse).
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, p);
    Mouse(WM_MOUSEMOVE, MK_RBUTTON, {p.x + 10, p.y + 20});
    EXPECT_FLOAT_EQ(c.eye[0], start.eye[0] - 3);
    EXPECT_FLOAT_EQ(c.eye[1], start.eye[1] + 6);
    // The left button joins: both zoom, 1.0 per pixel, within -1000 .. -1.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, {p.x + 10, p.y + 20});
    EXPECT_EQ(gGui->dragMode, 3);
    float z = c.eye[2];
    Mouse(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, {p.x + 10, p.y + 10});
    EXPECT_FLOAT_EQ(c.eye[2], z - 10);
    for (int step = 0; step < 40; ++step) Mouse(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, CursorInBrowser() + POINT{0, 60});
    EXPECT_FLOAT_EQ(c.eye[2], -1);
    for (int step = 0; step < 40; ++step) Mouse(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, CursorInBrowser() + POINT{0, -60});
    EXPECT_FLOAT_EQ(c.eye[2], -1000);
    // Letting go of the right button leaves the left button's turn.
    Mouse(WM_RBUTTONUP, MK_LBUTTON, CursorInBrowser());
    EXPECT_EQ(gGui->dragMode, 2);
    float yaw = c.yaw;
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, CursorInBrowser() + POINT{-5, 0});
    EXPECT_FLOAT_EQ(c.yaw, yaw + 0.05f);
    Mouse(WM_LBUTTONUP, 0, CursorInBrowser());
    EXPECT_EQ(gGui->dragMode, 0);

    // A Redemption model pans three times slower.
    ShowSampleModel("data.nob", "3d/models/knight.nod");
    const Camera knight = c;
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, p);
    Mouse(WM_MOUSEMOVE, MK_RBUTTON, {p.x + 10, p.y + 20});
    Mouse(WM_RBUTTONUP, 0, {p.x + 10, p.y + 20});
    EXPECT_FLOAT_EQ(c.eye[0], knight.eye[0] - 1);
    EXPECT_FLOAT_EQ(c.eye[1], knight.eye[1] + 2);
}

TEST(ViewMouse, DragsWarpAtTheEdgesWithoutAJumpAndTheCursorComesBack) {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    Camera& c = gGui->core.camera;
    int shown = CursorCount();
    POINT start = InView(0.5, 0.4);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, start);
    EXPECT_EQ(CursorCount(), shown - 1) << "hidden while dragging";
    // A second press hides nothing more.
    Mouse(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, start);
    Mouse(WM_RBUTTONUP, MK_LBUTTON, start);
    EXPECT_EQ(CursorCount(), shown - 1);
    // Always 20 pixels right of where the cursor really is: the turn goes on
    // evenly although the cursor is sent back near the edge again and again.
    int warps = 0;
    for (int step = 0; step < 60; ++step) {
        POINT at = CursorInBrowser();
        float yaw = c.yaw;
        Mouse(WM_MOUSEMOVE, MK_LBUTTON, {at.x + 20, at.y});
        ASSERT_NEAR(c.yaw, yaw - 0.2f, 1e-4) << "step " << step;
        POINT after = CursorInBrowser();
        if (after.x < at.x) ++warps;
        EXPECT_TRUE(after.x >= gGui->viewLeft && after.x <= gGui->viewLeft + gGui->viewSize) << after.x;
    }
    EXPECT_GE(warps, 2);
    Mouse(WM_LBUTTONUP, 0, CursorInBrowser());
    POINT back;
    GetCursorPos(&back);
    POINT pressed = ToScreen(start);
    EXPECT_EQ(std::make_pair(back.x, back.y), std::make_pair(pressed.x, pressed.y)) << "back where the drag began";
    EXPECT_EQ(CursorCount(), shown);

    // A press outside the view starts nothing and hides nothing.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, {gGui->viewLeft - 20, 100});
    EXPECT_EQ(gGui->dragMode, 0);
    EXPECT_EQ(CursorCount(), shown);
    Mouse(WM_LBUTTONUP, 0, {gGui->viewLeft - 20, 100});
    // Another window taking the mouse ends a drag and shows the cursor.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, start);
    SetCapture(gGui->tree);
    EXPECT_EQ(gGui->dragMode, 0);
    EXPECT_EQ(CursorCount(), shown);
    ReleaseCapture();
    // A picture cannot be dragged.
    SelectInTree(FindInTreeView("images/Logo.bmp"));
    ASSERT_EQ(gGui->core.viewer.meshCount, 0u);
    const Camera before = c;
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, start);
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, {start.x + 30, start.y});
    Mouse(WM_LBUTTONUP, 0, {start.x + 30, start.y});
    EXPECT_EQ(gGui->dragMode, 0);
    EXPECT_EQ(c.yaw, before.yaw);
    EXPECT_EQ(CursorCount(), shown);
}

TEST(ViewMouse, WheelZoomsAndDoubleClickOrHomeGoBackToTheLoadedCamera) {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    Camera& c = gGui->core.camera;
    const Camera loaded = c;
    SetFocus(gGui->tree);
    // The wheel goes to the focus (the tree); over the view it zooms.
    POINT over = ToScreen(InView(0.5, 0.5));
    PostMessageA(gGui->tree, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(over.x, over.y));
    PumpQueue();
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f) << "a notch: a tenth of the distance nearer";
    PostMessageA(gGui->tree, WM_MOUSEWHEEL, MAKEWPARAM(0, -240), MAKELPARAM(over.x, over.y));
    PumpQueue();
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f * 1.2f);
    POINT elsewhere = ToScreen({20, 100});
    PostMessageA(gGui->tree, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(elsewhere.x, elsewhere.y));
    PumpQueue();
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f * 1.2f) << "not over the view";
    for (int i = 0; i < 80; ++i) {
        PostMessageA(gGui->tree, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(over.x, over.y));
        PumpQueue();
    }
    EXPECT_FLOAT_EQ(c.eye[2], -1) << "no nearer than the near limit";

    // The dialog's class sends double-clicks; one in the view resets.
    EXPECT_TRUE(GetClassLongPtrA(gGui->browser, GCL_STYLE) & CS_DBLCLKS);
    POINT p = InView(0.5, 0.5);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, p);
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 30, p.y});
    Mouse(WM_LBUTTONUP, 0, {p.x + 30, p.y});
    ASSERT_NE(c.yaw, loaded.yaw);
    Mouse(WM_LBUTTONDBLCLK, MK_LBUTTON, p);
    Mouse(WM_LBUTTONUP, 0, p);
    EXPECT_EQ(Eye(), std::vector<float>(loaded.eye, loaded.eye + 3));
    EXPECT_EQ(c.yaw, loaded.yaw);

    // A press in the view gives it the focus; Home there resets too.
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, p);
    Mouse(WM_MOUSEMOVE, MK_RBUTTON, {p.x + 30, p.y + 30});
    Mouse(WM_RBUTTONUP, 0, {p.x + 30, p.y + 30});
    ASSERT_EQ(GetFocus(), GetDlgItem(gGui->browser, IDC_VIEW3D));
    ASSERT_NE(Eye(), std::vector<float>(loaded.eye, loaded.eye + 3));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_HOME, 0);
    PumpQueue();
    EXPECT_EQ(Eye(), std::vector<float>(loaded.eye, loaded.eye + 3));
}

TEST(ViewMouse, IdleDrawsNothingUntilSomethingChanges) {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    // The program's own loop for two seconds, woken by a timer every 100 ms.
    UINT_PTR tick = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {});
    UINT_PTR stop = SetTimer(nullptr, 0, 2000, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        PostQuitMessage(0);
    });
    gGui->RenderTick();  // the model's first frame
    uint64_t presented = gGui->viewer.presented;
    gGui->RunLoop();
    KillTimer(nullptr, tick);
    KillTimer(nullptr, stop);
    EXPECT_EQ(gGui->viewer.presented, presented) << "no frame in two idle seconds";
    // Each kind of change draws one frame, then nothing again.
    auto framesFor = [](const std::function<void()>& change) {
        uint64_t before = gGui->viewer.presented;
        change();
        PumpQueue();
        // As the loop does whenever the queue is empty.
        for (int turn = 0; turn < 3; ++turn) gGui->RenderTick();
        return gGui->viewer.presented - before;
    };
    EXPECT_EQ(framesFor([] { SendDlgItemMessageA(gGui->browser, IDC_WIREFRAME, BM_CLICK, 0, 0); }), 1u);
    EXPECT_EQ(framesFor([] { SendMessageA(gGui->textView.rows[0], BM_CLICK, 0, 0); }), 1u) << "a mesh hidden";
    EXPECT_EQ(framesFor([] { SelectInTree(FindInTreeView("images/Logo.bmp")); }), 1u);
    EXPECT_EQ(framesFor([] { InvalidateRect(GetDlgItem(gGui->browser, IDC_VIEW3D), nullptr, FALSE); }), 1u)
        << "the view uncovered";
    EXPECT_EQ(framesFor([] {}), 0u);
    SendDlgItemMessageA(gGui->browser, IDC_WIREFRAME, BM_CLICK, 0, 0);
}

TEST(ViewMouse, RealModelsAreFramedInsideTheViewAndFillIt) {
    std::string data = std::string("Z:") + QUILLON_REALDATA + "/bloodlines";
    if (!fs::exists(data)) GTEST_SKIP() << "no real data";
    std::vector<PackFile> files;
    for (const auto& e : fs::recursive_directory_iterator(data)) {
        std::string rel = fs::relative(e.path(), data).generic_string();
        if (!e.is_regular_file() || (rel.rfind("models/", 0) != 0 && rel.rfind("materials/", 0) != 0)) continue;
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), bytes));
        files.push_back({rel, bytes});
    }
    std::string folder = gRoot + "/realmodels";
    fs::create_directories(folder);
    ASSERT_TRUE(WriteWholeFile(folder + "/pack000.vpk", BuildVpk(files)));
    ASSERT_TRUE(gGui->OpenPackFromPath(Native(folder + "/pack000.vpk")));
    int framed = 0;
    for (const char* model : {"models/weapons/broadsword/world/g_sword.mdl", "models/scenery/furniture/computer/mouseb.mdl",
                              "models/items/license/ground/lisense.mdl", "models/items/license/info/info_lisense.mdl",
                              "models/scenery/misc/wineglass/wineglass.mdl_female.mdl",
                              "models/scenery/structural/warrens/warr_00_map.mdl"}) {
        ASSERT_TRUE(gGui->OpenItemByPath(model));
        PumpQueue();
        if (gGui->core.viewer.meshCount == 0 || gGui->core.failure.Failed()) continue;
        ++framed;
        std::vector<uint32_t> frame;
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(gGui->viewer.Render(gGui->core.viewer, gGui->core.camera, &frame, &w, &h));
        // The box of every pixel the model covers.
        uint32_t left = w, right = 0, top = h, bottom = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                if ((frame[size_t(y) * w + x] & 0xFFFFFF) != 0x808080) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_LE(left, right) << model << ": nothing drawn";
        EXPECT_TRUE(left > 0 && top > 0 && right < w - 1 && bottom < h - 1) << model << ": cut at the edge";
        double span = std::max(right - left + 1, bottom - top + 1) / double(w);
        EXPECT_GE(span, 0.4) << model;
        std::printf("%s: drawn in x %u..%u, y %u..%u of %ux%u, span %.0f%%\n", model, left, right, top, bottom, w, h,
                    span * 100);
    }
    EXPECT_GE(framed, 2);
}

TEST(MainWindow, PackItemOnTheCommandLineOpensAtTheItem) {
    std::string pack = Native(gRoot + "/bloodlines/pack002.vpk");
    gGui->OpenCommandLine(("\"" + pack + "\" MODELS\\Samples\\LAMP.MDL").c_str());
    PumpQueue();
    HTREEITEM caret = TreeNext(nullptr, TVGN_CARET);
    EXPECT_EQ(TreeText(caret), "Lamp.mdl");
    EXPECT_GT(gGui->core.viewer.meshCount, 0u) << "viewed as a click views it";
    char title[128] = "";
    GetWindowTextA(gGui->mainWindow, title, sizeof title);
    EXPECT_STREQ(title, "pack002.vpk - QuillonEdit");

    // A quoted item may hold spaces.
    std::string real = Native(std::string("Z:") + QUILLON_REALDATA + "/bloodlines/pack103.vpk");
    if (fs::exists(real)) {
        gGui->OpenCommandLine(("\"" + real + "\" \"DLG/Main Characters/Regent.DLG\"").c_str());
        PumpQueue();
        EXPECT_EQ(TreeText(TreeNext(nullptr, TVGN_CARET)), "regent.dlg");
        EXPECT_GT(RichEditText().size(), 1000u);
    }

    gGui->OpenCommandLine(("\"" + pack + "\" models/samples/none.mdl").c_str());
    PumpQueue();
    EXPECT_NE(RichEditText().find("models/samples/none.mdl: not found in pack002.vpk"), std::string::npos)
        << RichEditText();
}

TEST(MainWindow, TheTextPaneKeepsTheHeightTheUserGaveIt) {
    ShowWindow(gGui->mainWindow, SW_RESTORE);
    SetWindowPos(gGui->mainWindow, nullptr, 0, 0, 1000, 800, SWP_NOZORDER);
    PumpQueue();
    RECT pane;
    GetWindowRect(gGui->textView.pane, &pane);
    MapWindowPoints(HWND_DESKTOP, gGui->browser, reinterpret_cast<POINT*>(&pane), 2);
    // What the sizing loop does when the user drags the pane's top edge down.
    SendMessageA(gGui->textView.pane, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(gGui->textView.pane, nullptr, pane.left, pane.top + 100, pane.right - pane.left,
                 pane.bottom - pane.top - 100, SWP_NOZORDER);
    SendMessageA(gGui->textView.pane, WM_EXITSIZEMOVE, 0, 0);
    int height = pane.bottom - pane.top - 100;
    SetWindowPos(gGui->mainWindow, nullptr, 0, 0, 1100, 900, SWP_NOZORDER);
    RECT client;
    GetClientRect(gGui->mainWindow, &client);
    ASSERT_TRUE(PumpUntil([&] { return ChildRect(IDC_VIEW3D).bottom - 6 == client.bottom - 24 - height - 12; }))
        << "the view grows with the window";
    GetWindowRect(gGui->textView.pane, &pane);
    EXPECT_EQ(pane.bottom - pane.top, height);
    gGui->textView.userHeight = 0;
    ShowWindow(gGui->mainWindow, SW_MAXIMIZE);
    PumpQueue();
}

TEST(Browser, AnOutputFolderThatCannotBeMadeIsToldOnce) {
    OpenSamplePack("pack002.vpk");
    ASSERT_TRUE(WriteWholeFile(gRoot + "/blocker", "a file"));
    SetOutputFolder(gRoot + "/blocker/out");
    gMessages.clear();
    EXPECT_GE(gGui->RunPopupCommand(CoreItem("materials"), IDM_EXTRACT_FILES), 8u);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find(Native(gRoot + "/blocker/out") + ": cannot create the output folder"),
              std::string::npos)
        << gMessages[0];
    EXPECT_EQ(gMessages[0].find("cannot create the output file"), std::string::npos);
    gMessages.clear();
}

// The texts of the tree view's items in sight order (expanded folders' children included).
std::vector<std::string> VisibleTreeTexts() {
    std::vector<std::string> texts;
    for (HTREEITEM item = TreeNext(nullptr, TVGN_FIRSTVISIBLE); item != nullptr; item = TreeNext(item, TVGN_NEXTVISIBLE))
        texts.push_back(TreeText(item));
    return texts;
}

bool Expanded(HTREEITEM item) {
    return (SendMessageA(gGui->tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void TypeFilter(const char* text) {
    SetWindowTextA(gGui->filterEdit, text);  // the edit control tells the dialog, as typing does
    PumpQueue();
}

TEST(FilterBox, TypingNarrowsTheTreeAndEscBringsItBackAsItWas) {
    OpenSamplePack("pack000.vpk");
    ASSERT_NE(gGui->filterEdit, nullptr);
    RECT box = ChildRect(IDC_FILTER), tree = ChildRect(IDC_TREE);
    EXPECT_LE(box.bottom, tree.top) << "the box sits above the tree";
    HTREEITEM vdata = FindInTreeView("vdata");
    SendMessageA(gGui->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    SelectInTree(FindInTreeView("scripts/Intro.lst"));
    LRESULT before = SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0);

    // A pattern: only the matches and the folders on their way, opened.
    TypeFilter("*.DLG");
    EXPECT_EQ(VisibleTreeTexts(),
              (std::vector<std::string>{"dlg", "Hollywood", "Isaac.dlg", "main characters", "Regent.dlg"}));
    EXPECT_EQ(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0), 5);
    // Plain text is a part of a file name; selecting a match views it.
    TypeFilter("ead");
    EXPECT_EQ(VisibleTreeTexts(), (std::vector<std::string>{"Readme.txt"}));
    SelectInTree(FindInTreeView("Readme.txt"));
    EXPECT_NE(RichEditText().find("Sample Bloodlines data"), std::string::npos);
    TypeFilter("nothing matches this");
    EXPECT_EQ(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0), 0);

    // Esc: the whole tree, vdata open again as before, the selection kept.
    SendMessageA(gGui->filterEdit, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpQueue();
    EXPECT_EQ(GetWindowTextLengthA(gGui->filterEdit), 0);
    EXPECT_FALSE(gGui->treeFilter.Active());
    vdata = FindInTreeView("vdata");
    ASSERT_NE(vdata, nullptr);
    EXPECT_TRUE(Expanded(vdata));
    EXPECT_EQ(TreeText(TreeNext(nullptr, TVGN_CARET)), "Readme.txt");
    EXPECT_EQ(gGui->core.tree.Selected(), CoreItem("Readme.txt"));
    EXPECT_EQ(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0), before) << "scripts was filled by the selection before";

    // Another pack empties the box.
    TypeFilter("*.txt");
    OpenSamplePack("pack002.vpk");
    EXPECT_EQ(GetWindowTextLengthA(gGui->filterEdit), 0);
    EXPECT_FALSE(gGui->treeFilter.Active());
}

// Right-clicking a folder of the filtered tree extracts what the tree shows
// of it, not the files the filter hides.
TEST(FilterBox, APopupCommandOnAFilteredFolderTakesOnlyTheShownFiles) {
    OpenSamplePack("pack002.vpk");
    std::string out = gRoot + "/out-filtered";
    SetOutputFolder(out);
    TypeFilter("dxt");
    EXPECT_EQ(gGui->RunPopupCommand(CoreItem("materials"), IDM_EXTRACT_FILES), 6u) << "dxt1, dxt3, dxt5: .tth and .ttz";
    EXPECT_TRUE(fs::exists(out + "/materials/samples/dxt3.ttz"));
    EXPECT_FALSE(fs::exists(out + "/materials/samples/bgr.ttz"));
    EXPECT_FALSE(fs::exists(out + "/materials/samples/crate.vmt"));
    SendMessageA(gGui->filterEdit, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpQueue();
}

// The real sounds in a pack of their own: selecting one shows its facts in
// the text pane and starts it (or, on a machine without sound, shows the
// facts and tells nothing more); anything else stops it.
TEST(Sounds, SelectingASoundShowsItsFactsAndPlaysIt) {
    std::string real = std::string("Z:") + QUILLON_REALDATA + "/bloodlines/sound/character/";
    if (!fs::exists(real)) GTEST_SKIP() << "no real data";
    std::vector<PackFile> files;
    const char* names[] = {"dlg/santa monica/thug/line11_col_e.wav", "dlg/chinatown/mandarin/line131_col_e.mp3",
                           "male/italian_accent/laugh_insane_start_3.wav"};
    for (const char* name : names) {
        PackFile f{std::string("sound/") + name, ""};
        ASSERT_TRUE(ReadWholeFile(real + name, f.data));
        files.push_back(f);
    }
    files.push_back(PackFile{"sound/cut.wav", files[2].data.substr(0, 100)});
    files.push_back(PackFile{"readme.txt", "text"});
    std::string pack = gRoot + "/sounds/pack000.vpk";
    fs::create_directories(gRoot + "/sounds");
    ASSERT_TRUE(WriteWholeFile(pack, BuildVpk(files)));
    ASSERT_TRUE(gGui->OpenPackFromPath(Native(pack)));
    PumpQueue();
    gMessages.clear();

    SelectInTree(FindInTreeView("sound/dlg/santa monica/thug/line11_col_e.wav"));
    EXPECT_EQ(RichEditText().substr(0, 27), "sound wav 22050Hz 1ch 1.33s");
    // Playing (the clip's serial) or refused by a silent machine (0).
    EXPECT_TRUE(gGui->soundPlayer.serial == 0 || gGui->soundPlayer.serial == gGui->core.sound.serial);
    SelectInTree(FindInTreeView("sound/dlg/chinatown/mandarin/line131_col_e.mp3"));
    EXPECT_EQ(RichEditText().substr(0, 27), "sound mp3 44100Hz 1ch 1.67s");
    SelectInTree(FindInTreeView("sound/cut.wav"));
    EXPECT_EQ(RichEditText().substr(0, 73),
              "not a sound file Quillon can read: a chunk runs past the end of the file");
    EXPECT_EQ(gGui->soundPlayer.serial, 0u) << "nothing plays";
    SelectInTree(FindInTreeView("readme.txt"));
    EXPECT_EQ(gGui->soundPlayer.serial, 0u);
    EXPECT_TRUE(gMessages.empty()) << gMessages[0];
}

// What the player hands the system must be what the system's codecs take:
// the codec manager opens a decoder from each sound's format to PCM.
TEST(Sounds, TheSystemCodecsTakeWhatThePlayerBuilds) {
    std::string real = std::string("Z:") + QUILLON_REALDATA + "/bloodlines/sound/character/";
    if (!fs::exists(real)) GTEST_SKIP() << "no real data";
    for (const char* name : {"dlg/santa monica/thug/line11_col_e.wav", "dlg/chinatown/mandarin/line131_col_e.mp3",
                             "dlg/santa monica/tourette/line15_col_e.mp3"}) {
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(real + name, bytes));
        SoundClip clip;
        clip.size = bytes.size();
        clip.bytes.reset(new uint8_t[bytes.size()]);
        std::memcpy(clip.bytes.get(), bytes.data(), bytes.size());
        clip.readable = ReadSoundInfo(clip.bytes.get(), clip.size, clip.info);
        std::vector<uint8_t> wave = PlayableWave(clip);
        ASSERT_GT(wave.size(), 44u) << name;
        // The format as the player wrote it, and the PCM the codec suggests.
        const WAVEFORMATEX* source = reinterpret_cast<const WAVEFORMATEX*>(wave.data() + 20);
        WAVEFORMATEX pcm = {};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        MMRESULT suggested = acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(source), &pcm, sizeof pcm,
                                              ACM_FORMATSUGGESTF_WFORMATTAG);
        EXPECT_EQ(suggested, MMSYSERR_NOERROR) << name;
        HACMSTREAM stream = nullptr;
        MMRESULT opened = acmStreamOpen(&stream, nullptr, const_cast<WAVEFORMATEX*>(source), &pcm, nullptr, 0, 0, 0);
        EXPECT_EQ(opened, MMSYSERR_NOERROR) << name;
        if (opened == MMSYSERR_NOERROR) acmStreamClose(stream, 0);
        EXPECT_EQ(pcm.nSamplesPerSec, clip.info.rate) << name;
    }
}

// Tree-fill timing, run by hand (tools/gui-tree-bench.sh): writes a pack of
// generated files, or opens one and reports how long until the tree shows.
static int TreeBench(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-bench-pack") == 0) {
        std::vector<PackFile> files = MakeBenchFiles(std::atoi(argv[3]), 256, 7);
        return WriteWholeFile(argv[2], BuildVpk(files)) ? 0 : 1;
    }
    auto start = std::chrono::steady_clock::now();
    bool opened = gGui->OpenPackFromPath(argv[2]);
    UpdateWindow(gGui->tree);
    PumpQueue();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("tree shown after %.0f ms (%s, %u files listed, %ld tree-view items)\n", ms,
                opened ? "opened" : "NOT opened", gGui->core.listedFiles,
                long(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0)));
    return opened ? 0 : 1;
}

// Filter timing, run by hand (tools/gui-tree-bench.sh): opens PACK, then
// types filters into the box one keystroke at a time and reports, for each,
// how long the last keystroke took until the tree view was redrawn.
static int FilterBench(char** argv) {
    if (!gGui->OpenPackFromPath(argv[2])) return 1;
    PumpQueue();
    const char* typed[] = {"file_01234", "*.vmt", "folder0?/**/file_00*", "e", "zzz"};
    for (const char* text : typed) {
        double last = 0;
        std::string sofar;
        for (const char* c = text; *c != '\0'; ++c) {
            sofar += *c;
            auto start = std::chrono::steady_clock::now();
            SetWindowTextA(gGui->filterEdit, sofar.c_str());
            UpdateWindow(gGui->tree);
            PumpQueue();
            last = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        std::printf("filter %-22s last keystroke %4.0f ms (%zu matching files, %ld tree-view items)\n", text, last,
                    gGui->treeFilter.MatchingFiles(), long(SendMessageA(gGui->tree, TVM_GETCOUNT, 0, 0)));
        auto start = std::chrono::steady_clock::now();
        SendMessageA(gGui->filterEdit, WM_KEYDOWN, VK_ESCAPE, 0);
        UpdateWindow(gGui->tree);
        PumpQueue();
        double esc = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("  Esc: whole tree back after %.0f ms\n", esc);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-bench-pack") == 0) return TreeBench(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    GuiState gui;
    gGui = &gui;
    gui.core.message.show = RecordMessage;
    gRealCreate = reinterpret_cast<void* (*)(void*, const char*, ...)>(gui.core.progressHooks.create);
    gui.core.progressHooks.create = CountingCreate;

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
    if (!gui.Start(GetModuleHandleA(nullptr), "")) {
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
    gui.Finish();
    SetCurrentDir(start.c_str());
    std::error_code ec;
    fs::remove_all(gRoot, ec);
    return result;
}
