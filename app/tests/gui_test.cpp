// Drives QuillonEdit's real windows through their messages where a test is
// about what the program does rather than how input reaches it: the pack
// list and the tree, the rich edit's text, the drawn frame read back from
// Direct3D, the pop-up commands, a real WM_DROPFILES, the main window's size
// limits. Runs under Wine in a private X server (tools/gui-test.sh) or on
// Windows; the mouse and keyboard as a user gives them are in
// gui_input_test.cpp.
#include "app/tests/GuiHarness.h"

#include "extract/Extract.h"
#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "pack/FileHandle.h"
#include "texture/ImageFiles.h"
#include "texture/Png.h"
#include "tools/PackWriter.h"

#include <gtest/gtest.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>
#include <filesystem>

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

}  // namespace


TEST(MainWindow, KeepsItsMinimumSizeAndLaysOutForTheWindowAndTheTextPane) {
    EXPECT_TRUE(IsZoomed(gShell->mainWindow)) << "starts maximised";
    char className[64] = "";
    GetClassNameA(gShell->mainWindow, className, sizeof className);
    EXPECT_STREQ(className, "QuillonEdit");
    auto box = [](RECT r) { return std::array<LONG, 4>{r.left, r.top, r.right - r.left, r.bottom - r.top}; };
    // 300 x 200 is below the minimum size: laid out at 808 x 608.
    for (SIZE size : {SIZE{300, 200}, SIZE{1100, 900}}) {
        ShowWindow(gShell->mainWindow, SW_RESTORE);
        SetWindowPos(gShell->mainWindow, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER);
        RECT outer, client, browser, pane;
        GetWindowRect(gShell->mainWindow, &outer);
        EXPECT_GE(outer.right - outer.left, 808);
        EXPECT_GE(outer.bottom - outer.top, 608);
        GetClientRect(gShell->mainWindow, &client);
        LONG w = client.right, h = client.bottom, s = 290;  // the view's side: down to the text pane
        // The pane posts WM_APP after its own resize; the dialog then lays out.
        ASSERT_TRUE(PumpUntil([&] { return ChildRect(IDC_VIEW3D).left == w - (ChildRect(IDC_VIEW3D).bottom - 6) - 6; }))
            << size.cx;
        GetClientRect(gShell->browser, &browser);
        EXPECT_EQ(std::make_pair(browser.right, browser.bottom), std::make_pair(w, h));
        GetWindowRect(gShell->textView.pane, &pane);
        MapWindowPoints(HWND_DESKTOP, gShell->browser, reinterpret_cast<POINT*>(&pane), 2);
        LONG m = std::min(322L, (w - s - 6) - 126);
        const struct { const char* name; std::array<LONG, 4> got, want; } boxes[] = {
            {"text pane", box(pane), {322, 302, w - 328, h - 326}},
            {"view", box(ChildRect(IDC_VIEW3D)), {w - s - 6, 6, s, s}},
            {"tree", box(ChildRect(IDC_TREE)), {6, 52, m - 12, h - 56}},
            // between the pack list and the tree, as wide
            {"filter", box(ChildRect(IDC_FILTER)), {6, 30, m - 12, 20}},
        };
        for (const auto& b : boxes) EXPECT_EQ(b.got, b.want) << b.name << " at " << size.cx;
        EXPECT_EQ(box(ChildRect(IDC_OUTPUTFOLDER))[0], 322);
        EXPECT_EQ(box(ChildRect(IDC_OUTPUTFOLDER))[1], h - 20);
        EXPECT_EQ(box(ChildRect(IDC_EXTRACTTREE))[0], w - 110);
        EXPECT_EQ(box(ChildRect(IDC_EXTRACTTREE))[1], h - 18);
    }

    // The height the user gives the text pane stays when the window grows.
    SetWindowPos(gShell->mainWindow, nullptr, 0, 0, 1000, 800, SWP_NOZORDER);
    PumpQueue();
    RECT pane;
    GetWindowRect(gShell->textView.pane, &pane);
    MapWindowPoints(HWND_DESKTOP, gShell->browser, reinterpret_cast<POINT*>(&pane), 2);
    // What the sizing loop does when the user drags the pane's top edge down.
    SendMessageA(gShell->textView.pane, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(gShell->textView.pane, nullptr, pane.left, pane.top + 100, pane.right - pane.left,
                 pane.bottom - pane.top - 100, SWP_NOZORDER);
    SendMessageA(gShell->textView.pane, WM_EXITSIZEMOVE, 0, 0);
    int height = pane.bottom - pane.top - 100;
    SetWindowPos(gShell->mainWindow, nullptr, 0, 0, 1100, 900, SWP_NOZORDER);
    RECT client;
    GetClientRect(gShell->mainWindow, &client);
    ASSERT_TRUE(PumpUntil([&] { return ChildRect(IDC_VIEW3D).bottom - 6 == client.bottom - 24 - height - 12; }))
        << "the view grows with the window";
    GetWindowRect(gShell->textView.pane, &pane);
    EXPECT_EQ(pane.bottom - pane.top, height);
    gShell->textView.userHeight = 0;
    ShowWindow(gShell->mainWindow, SW_MAXIMIZE);
    PumpQueue();
}

TEST(Browser, OpeningAPackFillsThePackListAndTheTreeTopLevel) {
    OpenSamplePack("pack001.vpk");
    ASSERT_EQ(SendMessageA(gShell->packBar.list, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(0), "pack000.vpk");
    EXPECT_EQ(ComboText(2), "pack002.vpk");
    EXPECT_EQ(ComboText(static_cast<int>(SendMessageA(gShell->packBar.list, CB_GETCURSEL, 0, 0))), "pack001.vpk");
    EXPECT_TRUE(IsWindowEnabled(gShell->treePane.tree));

    // Only the top level is in the tree view, in the core's order.
    std::vector<std::string> shown, expected;
    for (HTREEITEM item = TreeNext(nullptr, TVGN_ROOT); item != nullptr; item = TreeNext(item, TVGN_NEXT))
        shown.push_back(TreeText(item));
    for (TreeItem item = gShell->core.tree.FirstTopLevel(); item != kNoItem; item = gShell->core.tree.NextSibling(item))
        expected.push_back(gShell->core.tree.Text(item));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), LRESULT(expected.size()));

    // Expanding a folder fills it once, sorted as the core sorts.
    HTREEITEM vdata = FindInTreeView("vdata");
    ASSERT_NE(vdata, nullptr);
    SendMessageA(gShell->treePane.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    SendMessageA(gShell->treePane.tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(vdata));
    SendMessageA(gShell->treePane.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    int children = 0;
    for (HTREEITEM c = TreeNext(vdata, TVGN_CHILD); c != nullptr; c = TreeNext(c, TVGN_NEXT)) ++children;
    EXPECT_EQ(children, int(gShell->core.tree.ChildCount(CoreItem("vdata"))));
    EXPECT_NE(FindInTreeView("vdata/hackterminals/Haven_PC.txt"), nullptr);
}

TEST(Browser, PickingAnotherPackAndSelectingTextShowsTheText) {
    OpenSamplePack("pack001.vpk");
    SendMessageA(gShell->packBar.list, CB_SETCURSEL, 0, 0);
    SendMessageA(gShell->browser, WM_COMMAND, MAKEWPARAM(IDC_PACKLIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(gShell->packBar.list));
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

TEST(Browser, ASelectedTextureOrModelIsDrawnInTheView) {
    OpenSamplePack("pack002.vpk");
    SelectInTree(FindInTreeView("materials/samples/bgr.ttz"));
    const Image32& picture = gShell->core.viewer.slot0.image;
    ASSERT_EQ(picture.width, 32u);
    ASSERT_EQ(picture.height, 32u);
    Frame frame = RenderView();
    ASSERT_GT(frame.w, 0u);
    // The quad stretches the (square) texture over the whole back buffer with
    // point sampling: the frame's pixel at a texel's centre is that texel.
    int mismatches = 0, differentFromClear = 0;
    for (uint32_t ty = 1; ty < 32; ty += 5)
        for (uint32_t tx = 2; tx < 32; tx += 5) {
            mismatches += frame.Texel(tx, ty, 32) != Rgb(picture.Pixel(tx, ty));
            differentFromClear += frame.Texel(tx, ty, 32) != 0x808080;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(differentFromClear, 0);

    // A material shows its texture, not its text.
    SelectInTree(FindInTreeView("materials/samples/crate.vmt"));
    EXPECT_EQ(gShell->core.viewer.slot0.image.width, 128u);

    // A model is drawn and its meshes listed.
    SelectInTree(FindInTreeView("models/samples/Lamp.mdl"));
    const Viewer& core = gShell->core.viewer;
    ASSERT_GT(core.meshCount, 0u);
    EXPECT_TRUE(IsWindowVisible(gShell->textView.rows[0]));
    EXPECT_GT(RenderView().Drawn(), 100u);
    // Hiding every mesh through its check box leaves the clear colour only.
    for (uint32_t i = 0; i < core.meshCount && i < gShell->textView.rowCount; ++i) {
        SendMessageA(gShell->textView.rows[i], BM_CLICK, 0, 0);
        EXPECT_FALSE(core.meshes[i].visible);
    }
    if (core.meshCount <= gShell->textView.rowCount) {
        EXPECT_EQ(RenderView().Drawn(), 0u);
    }
    // Showing a picture again leaves the model.
    SelectInTree(FindInTreeView("images/Logo.bmp"));
    EXPECT_EQ(core.meshCount, 0u);
    EXPECT_FALSE(IsWindowVisible(gShell->textView.rows[0]));
}

TEST(Browser, PopupCommandsGreyAndExtract) {
    OpenSamplePack("pack002.vpk");
    std::string out = gRoot + "/out-popup";
    SetOutputFolder(out);
    gProgressWindows = 0;

    HMENU menu = gShell->PreparePopupMenu(CoreItem("images"));
    EXPECT_FALSE(GetMenuState(menu, IDM_EXTRACT_TEXTURES, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_EXTRACT_MODEL, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, IDM_EXTRACT_GLTF, MF_BYCOMMAND) & MF_GRAYED);
    // The two new items follow the three of old, glTF then PNG.
    EXPECT_EQ(GetMenuItemID(menu, 3), UINT(IDM_EXTRACT_GLTF));
    EXPECT_EQ(GetMenuItemID(menu, 4), UINT(IDM_EXTRACT_PNG));
    // Each command in turn; the first (two files) stays below the binary
    // threshold, so opens no progress window, every other one opens one.
    const struct { const char* item; UINT command; size_t files; bool exact; const char* written, *message; } runs[] = {
        {"images", IDM_EXTRACT_FILES, 2, true, "images/Logo.bmp", nullptr},
        {"materials/samples", IDM_EXTRACT_TEXTURES, 8, false, "materials/samples/dxt1.tga", nullptr},
        {"materials/samples", IDM_EXTRACT_PNG, 8, false, "materials/samples/dxt1.png", nullptr},
        {"models", IDM_EXTRACT_MODEL, 1, false, "models/samples/Lamp.x", nullptr},
        // The lamp's cord has no texture: the glTF is written and the cord named.
        {"models", IDM_EXTRACT_GLTF, 2, true, "models/samples/Lamp.glb", "lampcord could not be loaded"},
    };
    for (size_t i = 0; i < std::size(runs); ++i) {
        const auto& run = runs[i];
        gMessages.clear();
        menu = gShell->PreparePopupMenu(CoreItem(run.item));
        EXPECT_FALSE(GetMenuState(menu, run.command, MF_BYCOMMAND) & MF_GRAYED) << run.written;
        size_t files = gShell->RunPopupCommand(CoreItem(run.item), run.command);
        EXPECT_TRUE(run.exact ? files == run.files : files >= run.files) << run.written << ": " << files;
        EXPECT_TRUE(fs::exists(out + "/" + run.written)) << run.written;
        EXPECT_EQ(gProgressWindows, int(i)) << run.written;
        if (run.message == nullptr) {
            EXPECT_TRUE(gMessages.empty()) << gMessages.front();
        } else {
            ASSERT_EQ(gMessages.size(), 1u) << run.written;
            EXPECT_NE(gMessages[0].find(run.message), std::string::npos) << gMessages[0];
        }
    }
    gMessages.clear();
    // A folder of the filtered tree gives what the tree shows of it, not the files the filter hides.
    SetWindowTextA(gShell->treePane.filterEdit, "dxt");  // the edit control tells the dialog, as typing does
    PumpQueue();
    EXPECT_EQ(gShell->RunPopupCommand(CoreItem("materials"), IDM_EXTRACT_FILES), 6u) << "dxt1, dxt3, dxt5: .tth and .ttz";
    EXPECT_TRUE(fs::exists(out + "/materials/samples/dxt3.ttz"));
    EXPECT_FALSE(fs::exists(out + "/materials/samples/bgr.ttz"));
    EXPECT_FALSE(fs::exists(out + "/materials/samples/crate.vmt"));
    SendMessageA(gShell->treePane.filterEdit, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpQueue();
    // Every progress window is gone again.
    EXPECT_EQ(FindWindowA(nullptr, "Extracting Models"), nullptr);
}

TEST(Browser, RefusedFilesAreListedInOneMessage) {
    ASSERT_TRUE(gShell->OpenPackFromPath(WritePack("unsafe", {{"safe/ok.txt", "fine\n"}, {"safe/../../escape.txt", "out\n"}})));
    SetOutputFolder(gRoot + "/out-unsafe");
    gMessages.clear();
    gShell->RunPopupCommand(CoreItem("safe"), IDM_EXTRACT_FILES);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find("escape.txt"), std::string::npos) << gMessages[0];
    EXPECT_TRUE(fs::exists(gRoot + "/out-unsafe/safe/ok.txt"));
    EXPECT_FALSE(fs::exists(gRoot + "/escape.txt"));
    gMessages.clear();
}

TEST(Browser, AFileThatIsNotAPackIsToldInTheTextPaneAndThePackListStays) {
    WritePack("notapack", {{"a.txt", "a\n"}});
    ASSERT_TRUE(WriteWholeFile(gRoot + "/notapack/zero.vpk", ""));
    gMessages.clear();
    EXPECT_FALSE(gShell->OpenPackFromPath(Native(gRoot + "/notapack/zero.vpk")));
    EXPECT_NE(RichEditText().find("zero.vpk: not a pack: too short for a pack footer"), std::string::npos)
        << RichEditText();
    EXPECT_TRUE(gMessages.empty()) << "told once, in the text pane";
    EXPECT_EQ(SendMessageA(gShell->packBar.list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(TreeView_GetCount(gShell->treePane.tree), 0u);
    EXPECT_TRUE(gShell->LoadPackByName("pack000.vpk")) << "another pack of the list still opens";
    EXPECT_EQ(TreeView_GetCount(gShell->treePane.tree), 1u);
}

// Drops files on a tree item as the shell does: a DROPFILES block with the
// point in the browser's client coordinates.
void DropOn(HTREEITEM target, const std::vector<std::string>& files) {
    POINT point = TreeItemCentre(target);
    MapWindowPoints(gShell->treePane.tree, gShell->browser, &point, 1);
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
    SendMessageA(gShell->browser, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    PumpQueue();
}

TEST(Browser, DroppedTargaBecomesTheTexture) {
    OpenSamplePack("pack002.vpk");
    HTREEITEM target = FindInTreeView("materials/samples/rgba.ttz");
    ASSERT_NE(target, nullptr);
    // A picture of one colour (BGRA) written as Targa or PNG.
    std::string dropped = gRoot + "/drop";
    fs::create_directories(dropped);
    auto writePicture = [&](const char* name, uint32_t w, uint32_t h, const char* bgra) {
        Image32 image = Image32{};
        ASSERT_TRUE(image.Create(w, h));
        for (uint32_t i = 0; i < w * h; ++i) std::memcpy(image.pixels + i * 4, bgra, 4);
        FileHandle file;
        ASSERT_TRUE(file.Create(Native(dropped + "/" + name).c_str()));
        ASSERT_TRUE(std::strstr(name, ".png") != nullptr ? WritePng(image, file) : WriteTga(image, file));
        file.Close();
        image.Release();
    };
    // A 64 x 32 Targa, and a file of another kind to ignore.
    writePicture("RGBA.TGA", 64, 32, "\x10\x80\xF0\xFF");
    ASSERT_TRUE(WriteWholeFile(dropped + "/notes.txt", "ignored"));

    DropOn(target, {Native(dropped + "/notes.txt"), Native(dropped + "/RGBA.TGA")});

    std::string data = gRoot + "/bloodlines/materials/samples/";
    EXPECT_TRUE(fs::exists(data + "rgba.tth") && fs::exists(data + "rgba.ttz"));
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    // The new texture is selected and shown.
    HTREEITEM caret = TreeNext(nullptr, TVGN_CARET);
    EXPECT_EQ(TreeText(caret), "rgba.ttz");
    const Image32& shown = gShell->core.viewer.slot0.image;
    ASSERT_EQ(shown.width, 64u);
    EXPECT_EQ(shown.pixels[2], 0xF0);

    // A PNG is dropped the same way.
    writePicture("rgba.png", 16, 8, "\x20\x40\x60\x80");
    DropOn(target, {Native(dropped + "/rgba.png")});
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
    const Image32& again = gShell->core.viewer.slot0.image;
    ASSERT_EQ(again.width, 16u);
    EXPECT_EQ(std::memcmp(again.pixels, "\x20\x40\x60\x80", 4), 0);

    // A run-length Targa as the game and painting programs write it; one that
    // is there but cut short is named with why, not as missing.
    std::string halo;
    if (ReadWholeFile(RealData() + "/bloodlines/particles/animalismhalow.tga", halo)) {
        ASSERT_TRUE(WriteWholeFile(dropped + "/rgba.tga", halo));
        DropOn(target, {Native(dropped + "/rgba.tga")});
        EXPECT_TRUE(gMessages.empty()) << gMessages.front();
        EXPECT_EQ(gShell->core.viewer.slot0.image.width, 128u);
        ASSERT_TRUE(WriteWholeFile(dropped + "/rgba.tga", halo.substr(0, 1000)));
        DropOn(target, {Native(dropped + "/rgba.tga")});
        EXPECT_EQ(gMessages, std::vector<std::string>{"Error!: rgba.tga: the file ends before its pixels do"});
    }
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
    gShell->core.extraction.outputFolder = Native(out);
    FileEntry key = {};
    std::strcpy(key.name, "models/samples/Lamp.mdl");
    ASSERT_TRUE(ExportModelAsX(gShell->core.Export(), key));
    std::string x, packed;
    ASSERT_TRUE(ReadWholeFile(out + "/models/samples/Lamp.x", x));
    fs::create_directories(out + "/bad");
    size_t count = x.find("\t13;");
    ASSERT_NE(count, std::string::npos);
    ASSERT_TRUE(WriteWholeFile(out + "/bad/lamp.x", x.substr(0, count) + "\t12;" + x.substr(count + 4)));

    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(gShell->core.Files(), key, size);
    ASSERT_TRUE(bytes);
    packed.assign(reinterpret_cast<const char*>(bytes.get()), size);

    DropOn(target, {Native(out + "/models/samples/Lamp.x")});
    std::string loose = gRoot + "/bloodlines/models/samples/Lamp.mdl", after;
    ASSERT_TRUE(ReadWholeFile(loose, after));
    EXPECT_EQ(after, packed) << "the unchanged export gives the packed model back";
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();

    // glTF files with a .x in one drop: taken in drop order, each refusal in
    // a box of its own, the good file between them written and left as it
    // was by the refused .x after it.
    std::strcpy(key.name, "models/samples/Lamp.mdl");
    gShell->core.extraction.report.Clear();  // the .x export met the model already
    ASSERT_TRUE(ExportModelAsGltf(gShell->core.Export(), key));
    std::string glb;
    ASSERT_TRUE(ReadWholeFile(out + "/models/samples/Lamp.glb", glb));
    ASSERT_TRUE(WriteWholeFile(out + "/bad/lamp.glb", glb.substr(0, 100)));
    fs::remove(loose);
    gMessages.clear();
    DropOn(target, {Native(out + "/bad/lamp.glb"), Native(out + "/models/samples/Lamp.glb"), Native(out + "/bad/lamp.x")});
    ASSERT_EQ(gMessages.size(), 2u);
    EXPECT_EQ(gMessages[0].rfind("ERROR!: lamp.glb: the binary glTF file says it holds", 0), 0u) << gMessages[0];
    EXPECT_EQ(gMessages[1], "ERROR!: Vertex Count Does Not Match Original File!");
    ASSERT_TRUE(ReadWholeFile(loose, after));
    EXPECT_EQ(after, packed) << "the unchanged .glb gives the packed model back";
    fs::remove(loose);
    gMessages.clear();
}

TEST(TextView, CheckListShowsScrollsAndReportsClicks) {
    TextContent& content = gShell->core.textView;
    content.entryCount = 0;
    for (uint32_t i = 0; i < 40; ++i) content.SetItem(i, "mesh " + std::to_string(i));
    content.SetMode(1);
    gShell->SyncViews();
    uint32_t r = gShell->textView.RowsPerPage();
    ASSERT_GT(r, 2u);
    ASSERT_LT(r, 40u);
    EXPECT_TRUE(IsWindowVisible(gShell->textView.scrollBar));
    EXPECT_EQ(WindowText(gShell->textView.rows[1]), "mesh 1");

    // A tracked position past the last page stops at the last page.
    SendMessageA(gShell->textView.pane, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 39),
                 reinterpret_cast<LPARAM>(gShell->textView.scrollBar));
    EXPECT_EQ(gShell->textView.firstVisible, 40 - r);
    SendMessageA(gShell->textView.pane, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(gShell->textView.scrollBar));
    SendMessageA(gShell->textView.pane, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(gShell->textView.scrollBar));
    // A page down, but never beyond the last full page.
    uint32_t first = std::min(r, 40 - r);
    EXPECT_EQ(gShell->textView.firstVisible, first);
    EXPECT_EQ(WindowText(gShell->textView.rows[0]), "mesh " + std::to_string(first));

    SendMessageA(gShell->textView.rows[0], BM_CLICK, 0, 0);
    PumpQueue();
    EXPECT_EQ(content.entries[first].checked, 0u);
    EXPECT_EQ(content.entries[0].checked, 1u);

    content.SetMode(0);
    gShell->SyncViews();
    EXPECT_FALSE(IsWindowVisible(gShell->textView.rows[0]));
    EXPECT_FALSE(IsWindowVisible(gShell->textView.scrollBar));
    content.entryCount = 0;
}

TEST(MainWindow, SetDirectoryCancelledLeavesThePackShown) {
    OpenSamplePack("pack001.vpk");
    LRESULT items = SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0);
    static bool seen;
    seen = false;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = FindWindowA(nullptr, "Open Pack File");
        if (dialog == nullptr) return;
        seen = true;
        KillTimer(nullptr, id);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    });
    SendMessageA(gShell->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SETDIRECTORY, 0), 0);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(gShell->core.packsLoaded);
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), items);
    EXPECT_EQ(ComboText(static_cast<int>(SendMessageA(gShell->packBar.list, CB_GETCURSEL, 0, 0))), "pack001.vpk");
}

TEST(AboutBox, NamesTheProgramWithItsVersionAndBuildAndClosesOnOk) {
    static std::string stamp;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND about = FindWindowA(nullptr, "About");
        if (about == nullptr) return;
        stamp = WindowText(GetDlgItem(about, IDC_ABOUTNAME)) + "|" + WindowText(GetDlgItem(about, IDC_BUILDSTAMP));
        KillTimer(nullptr, id);
        SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    SendMessageA(gShell->mainWindow, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    EXPECT_EQ(stamp.rfind("QuillonEdit " QUILLON_VERSION "|Build ", 0), 0u) << stamp;
    EXPECT_NE(stamp.find(" At "), std::string::npos);
}

TEST(ViewMouse, IdleDrawsNothingUntilSomethingChanges) {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    gShell->RenderTick();  // the model's first frame
    // The program's own loop for two seconds, woken by a timer every 100 ms.
    EXPECT_EQ(FramesInLoop(2000, 100), 0u) << "no frame in two idle seconds";
    // Each kind of change draws one frame, then nothing again.
    auto framesFor = [](const std::function<void()>& change) {
        uint64_t before = gShell->viewPane.device.presented;
        change();
        PumpQueue();
        // As the loop does whenever the queue is empty.
        for (int turn = 0; turn < 3; ++turn) gShell->RenderTick();
        return gShell->viewPane.device.presented - before;
    };
    EXPECT_EQ(framesFor([] { SendDlgItemMessageA(gShell->browser, IDC_WIREFRAME, BM_CLICK, 0, 0); }), 1u);
    EXPECT_EQ(framesFor([] { SendMessageA(gShell->textView.rows[0], BM_CLICK, 0, 0); }), 1u) << "a mesh hidden";
    EXPECT_EQ(framesFor([] { SelectInTree(FindInTreeView("images/Logo.bmp")); }), 1u);
    EXPECT_EQ(framesFor([] { InvalidateRect(GetDlgItem(gShell->browser, IDC_VIEW3D), nullptr, FALSE); }), 1u)
        << "the view uncovered";
    EXPECT_EQ(framesFor([] {}), 0u);
    SendDlgItemMessageA(gShell->browser, IDC_WIREFRAME, BM_CLICK, 0, 0);
}

TEST(ViewMouse, RealModelsAreFramedInsideTheViewAndFillIt) {
    if (RealData().empty()) GTEST_SKIP() << "no real data";
    ASSERT_TRUE(gShell->OpenPackFromPath(WritePack("realmodels", RealFiles({"models", "materials"}))));
    int framed = 0;
    for (const char* model : {"models/weapons/broadsword/world/g_sword.mdl", "models/scenery/furniture/computer/mouseb.mdl",
                              "models/items/license/ground/lisense.mdl", "models/items/license/info/info_lisense.mdl",
                              "models/scenery/misc/wineglass/wineglass.mdl_female.mdl",
                              "models/scenery/structural/warrens/warr_00_map.mdl"}) {
        ASSERT_TRUE(gShell->OpenItemByPath(model));
        PumpQueue();
        if (gShell->core.viewer.meshCount == 0 || gShell->core.failure.Failed()) continue;
        ++framed;
        Frame frame = RenderView();
        uint32_t w = frame.w, h = frame.h;
        // The box of every pixel the model covers.
        uint32_t left = w, right = 0, top = h, bottom = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                if ((frame.pixels[size_t(y) * w + x] & 0xFFFFFF) != 0x808080) {
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

// Every kind of real file the patch holds beside text, pictures, models and
// sounds shows something in the text pane and the view: a run-length Targa,
// a map, a material without its texture (the checkerboard), a binary font,
// the other companions of a model.
TEST(Browser, EveryKindOfRealFileShowsSomething) {
    if (RealData().empty()) GTEST_SKIP() << "no real data";
    ASSERT_TRUE(gShell->OpenPackFromPath(WritePack(
        "realkinds", RealFiles({"maps", "particles", "materials/art", "materials/fonts",
                                "materials/models/weapons/broadsword", "models/weapons/broadsword/world"}))));
    PumpQueue();
    gMessages.clear();

    SelectInTree(FindInTreeView("particles/animalismhalow.tga"));
    const Image32& halo = gShell->core.viewer.slot0.image;
    ASSERT_EQ(halo.width, 128u);
    EXPECT_EQ(RenderView().Texel(64, 70, 128), Rgb(halo.Pixel(64, 70))) << "drawn as decoded";

    // The pane's text up to its first line end (the rich edit ends lines with
    // CR LF).
    auto firstLine = [] {
        std::string text = RichEditText();
        return text.substr(0, text.find('\r'));
    };
    const struct { const char* path, *firstLine, *alsoShown; } texts[] = {
        {"maps/sp_genesisdevice_1.bsp", "map version 17, map revision 1516, 99836 bytes", "pakfile: 2 files"},
        {"maps/sp_genesisdevice_1.bsp", "map version 17, map revision 1516, 99836 bytes",
         "\"classname\" \"info_player_start\""},
        // then the material
        {"materials/art/librarysign1.vmt", "$basetexture art/librarysign1: not in the packs or the data folder",
         "\n\"LightmappedGeneric\""},
        {"materials/fonts/vamp_dialog_intimidate_25_900_000.fnt",
         "00000000  01 00 00 00 cc 21 00 00  01 00 00 00 08 00 00 00  |.....!..........|", ""},
        {"materials/models/weapons/broadsword/swordefes.vmt", "texture 256x64 DXT3, 9 mip levels, flags eightbitalpha", ""},
    };
    for (const auto& t : texts) {
        SelectInTree(FindInTreeView(t.path));
        EXPECT_EQ(firstLine(), t.firstLine) << t.path;
        EXPECT_NE(RichEditText().find(t.alsoShown), std::string::npos) << t.path << ": " << t.alsoShown;
    }
    // The material without its texture shows the checkerboard: squares of 8 texels, white and black.
    SelectInTree(FindInTreeView("materials/art/librarysign1.vmt"));
    EXPECT_EQ(RenderView().Texel(4, 4, 64), 0xFFFFFFu);
    EXPECT_EQ(RenderView().Texel(12, 4, 64), 0u);

    for (const char* companion : {"g_sword.dx7_2bone.vtx", "g_sword.phy"}) {
        SelectInTree(FindInTreeView(std::string("models/weapons/broadsword/world/") + companion));
        EXPECT_EQ(gShell->core.viewer.meshCount, 4u) << companion;
        EXPECT_TRUE(IsWindowVisible(gShell->textView.rows[0])) << companion << ": the mesh list";
    }
    EXPECT_TRUE(gMessages.empty()) << gMessages[0];
}

TEST(MainWindow, PackItemOnTheCommandLineOpensAtTheItem) {
    std::string pack = Native(gRoot + "/bloodlines/pack002.vpk");
    gShell->OpenCommandLine(("\"" + pack + "\" MODELS\\Samples\\LAMP.MDL").c_str());
    PumpQueue();
    HTREEITEM caret = TreeNext(nullptr, TVGN_CARET);
    EXPECT_EQ(TreeText(caret), "Lamp.mdl");
    EXPECT_GT(gShell->core.viewer.meshCount, 0u) << "viewed as a click views it";
    EXPECT_EQ(WindowText(gShell->mainWindow), "pack002.vpk - QuillonEdit");

    // A quoted item may hold spaces.
    std::string real = Native(RealData() + "/bloodlines/pack103.vpk");
    if (fs::exists(real)) {
        gShell->OpenCommandLine(("\"" + real + "\" \"DLG/Main Characters/Regent.DLG\"").c_str());
        PumpQueue();
        EXPECT_EQ(TreeText(TreeNext(nullptr, TVGN_CARET)), "regent.dlg");
        EXPECT_GT(RichEditText().size(), 1000u);
    }

    gShell->OpenCommandLine(("\"" + pack + "\" models/samples/none.mdl").c_str());
    PumpQueue();
    EXPECT_NE(RichEditText().find("models/samples/none.mdl: not found in pack002.vpk"), std::string::npos)
        << RichEditText();
}

TEST(Browser, AnOutputFolderThatCannotBeMadeIsToldOnce) {
    OpenSamplePack("pack002.vpk");
    ASSERT_TRUE(WriteWholeFile(gRoot + "/blocker", "a file"));
    SetOutputFolder(gRoot + "/blocker/out");
    gMessages.clear();
    EXPECT_GE(gShell->RunPopupCommand(CoreItem("materials"), IDM_EXTRACT_FILES), 8u);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find(Native(gRoot + "/blocker/out") + ": cannot create the output folder"),
              std::string::npos)
        << gMessages[0];
    EXPECT_EQ(gMessages[0].find("cannot create the output file"), std::string::npos);
    gMessages.clear();
}

// The real sounds in a pack of their own: selecting one shows its facts in
// the text pane and starts it (or, on a machine without sound, shows the
// facts and tells nothing more); anything else stops it.
TEST(Sounds, SelectingASoundShowsItsFactsAndPlaysIt) {
    std::string real = RealData() + "/bloodlines/sound/character/";
    if (RealData().empty()) GTEST_SKIP() << "no real data";
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
    ASSERT_TRUE(gShell->OpenPackFromPath(WritePack("sounds", files)));
    PumpQueue();
    gMessages.clear();

    const struct { const char* path; std::string text; bool plays; } selections[] = {
        {"sound/dlg/santa monica/thug/line11_col_e.wav", "sound wav 22050Hz 1ch 1.33s", true},
        {"sound/dlg/chinatown/mandarin/line131_col_e.mp3", "sound mp3 44100Hz 1ch 1.67s", true},
        {"sound/cut.wav", "not a sound file Quillon can read: a chunk runs past the end of the file", false},
        {"readme.txt", "text", false},
    };
    for (const auto& pick : selections) {
        SelectInTree(FindInTreeView(pick.path));
        // The facts of a sound begin the pane; anything else is all the pane shows.
        EXPECT_EQ(pick.plays ? RichEditText().substr(0, pick.text.size()) : RichEditText(), pick.text) << pick.path;
        // Playing (the clip's serial) or refused by a silent machine (0).
        if (pick.plays)
            EXPECT_TRUE(gShell->soundPlayer.serial == 0 || gShell->soundPlayer.serial == gShell->core.sound.serial);
        else
            EXPECT_EQ(gShell->soundPlayer.serial, 0u) << pick.path << ": nothing plays";
    }
    EXPECT_TRUE(gMessages.empty()) << gMessages[0];
}

// What the player hands the system must be what the system's codecs take:
// the codec manager opens a decoder from each sound's format to PCM.
TEST(Sounds, TheSystemCodecsTakeWhatThePlayerBuilds) {
    std::string real = RealData() + "/bloodlines/sound/character/";
    if (RealData().empty()) GTEST_SKIP() << "no real data";
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
