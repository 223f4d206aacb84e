// The mouse and the keyboard as a user gives them: every test moves the
// system's cursor and presses its buttons and keys (SendInput), so each
// event is hit-tested on its way to the program, with the GDI copy laid
// over the 3D view as `make run` has it, and reads back what changed.
#include "app/tests/GuiHarness.h"
#include "tools/MdlWriter.h"
#include "tools/PackWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The model of the sample pack shown, the program in front, the cursor in
// the middle of the view; the frames are copied over the view with GDI.
void ShowLampForInput() {
    ShowSampleModel("pack002.vpk", "models/samples/Lamp.mdl");
    SetForegroundWindow(gShell->mainWindow);
    MouseTo(InView(0.5, 0.5));
    ASSERT_TRUE(PumpUntil([] { return gShell->viewPane.device.mirrorWindow != nullptr; }))
        << "the GDI copy lies over the view";
}

// The point of a tree item's text on the screen.
POINT OnTreeItem(HTREEITEM item) { return ToScreen(gShell->treePane.tree, TreeItemCentre(item)); }

bool SameEye(const Camera& c) { return Eye() == std::vector<float>(c.eye, c.eye + 3); }
std::pair<LONG, LONG> Pair(POINT p) { return {p.x, p.y}; }

}  // namespace

TEST(ViewInput, EachDragMovesTheCameraByItsPixelsAndDrawsAtOnce) {
    ShowLampForInput();
    const ViewPane& view = gShell->viewPane;
    Camera& c = gShell->core.camera;
    const Camera start = c;
    POINT pressed = CursorPos();
    int shown = CursorCount();

    MouseDown(0);
    ASSERT_EQ(view.dragMode, 2) << "a left press in the view starts a turn";
    EXPECT_EQ(CursorCount(), shown - 1) << "hidden while dragging";
    uint64_t presented = view.device.presented;
    MouseBy(10, 7);
    EXPECT_FLOAT_EQ(c.yaw, start.yaw - 0.1f) << "left: turn by 0.01 per pixel";
    EXPECT_TRUE(SameEye(start));
    EXPECT_EQ(view.device.presented, presented + 1) << "a frame at once, before any idle turn";
    MouseUp(0);
    EXPECT_EQ(view.dragMode, 0);
    EXPECT_EQ(CursorCount(), shown);
    EXPECT_EQ(Pair(CursorPos()), Pair(pressed)) << "back where the drag began";

    // Right: pan 0.3 per pixel in a Bloodlines model (x against, y with the mouse).
    MouseDown(1);
    MouseBy(10, 20);
    EXPECT_FLOAT_EQ(c.eye[0], start.eye[0] - 3);
    EXPECT_FLOAT_EQ(c.eye[1], start.eye[1] + 6);
    // The left button joins: both zoom, 1.0 per pixel, within -1000 .. -1.
    MouseDown(0);
    EXPECT_EQ(view.dragMode, 3);
    float z = c.eye[2];
    MouseBy(0, -10);
    EXPECT_FLOAT_EQ(c.eye[2], z - 10);
    for (int step = 0; step < 40; ++step) MouseBy(0, 60);
    EXPECT_FLOAT_EQ(c.eye[2], -1);
    for (int step = 0; step < 40; ++step) MouseBy(0, -60);
    EXPECT_FLOAT_EQ(c.eye[2], -1000);
    // Letting go of the right button leaves the left button's turn.
    MouseUp(1);
    EXPECT_EQ(view.dragMode, 2);
    float yaw = c.yaw;
    MouseBy(-5, 0);
    EXPECT_FLOAT_EQ(c.yaw, yaw + 0.05f);
    MouseUp(0);
    EXPECT_EQ(view.dragMode, 0);

    // A Redemption model pans three times slower.
    ShowSampleModel("data.nob", "3d/models/knight.nod");
    const Camera knight = c;
    MouseTo(InView(0.5, 0.5));
    MouseDown(1);
    MouseBy(10, 20);
    MouseUp(1);
    EXPECT_FLOAT_EQ(c.eye[0], knight.eye[0] - 1);
    EXPECT_FLOAT_EQ(c.eye[1], knight.eye[1] + 2);
}

TEST(ViewInput, DragsWarpAtTheEdgesWithoutAJumpAndPicturesDoNotDrag) {
    ShowLampForInput();
    const ViewPane& view = gShell->viewPane;
    Camera& c = gShell->core.camera;
    int shown = CursorCount();
    MouseTo(InView(0.5, 0.4));
    POINT pressed = CursorPos();
    MouseDown(0);
    // A second press hides nothing more.
    MouseDown(1);
    MouseUp(1);
    EXPECT_EQ(CursorCount(), shown - 1);
    // Always 20 pixels right of where the cursor really is: the turn goes on
    // evenly although the cursor is sent back near the edge again and again.
    POINT left = InView(0, 0), right = InView(1, 1);
    int warps = 0;
    for (int step = 0; step < 60; ++step) {
        POINT at = CursorPos();
        float yaw = c.yaw;
        MouseBy(20, 0);
        ASSERT_NEAR(c.yaw, yaw - 0.2f, 1e-4) << "step " << step;
        POINT after = CursorPos();
        if (after.x < at.x) ++warps;
        EXPECT_TRUE(after.x >= left.x && after.x <= right.x) << after.x;
    }
    EXPECT_GE(warps, 2);
    MouseUp(0);
    EXPECT_EQ(Pair(CursorPos()), Pair(pressed));
    EXPECT_EQ(CursorCount(), shown);

    // A press outside the view starts nothing and hides nothing.
    Click(0, ToScreen(gShell->browser, {view.viewLeft - 20, 100}));
    EXPECT_EQ(view.dragMode, 0);
    EXPECT_EQ(CursorCount(), shown);
    // Another window taking the mouse ends a drag and shows the cursor.
    MouseTo(InView(0.5, 0.5));
    MouseDown(0);
    ASSERT_EQ(view.dragMode, 2);
    SetCapture(gShell->treePane.tree);
    EXPECT_EQ(view.dragMode, 0);
    EXPECT_EQ(CursorCount(), shown);
    ReleaseCapture();
    MouseUp(0);
    // A picture cannot be dragged.
    SelectInTree(FindInTreeView("images/Logo.bmp"));
    ASSERT_EQ(gShell->core.viewer.meshCount, 0u);
    const Camera before = c;
    MouseTo(InView(0.5, 0.5));
    MouseDown(0);
    MouseBy(30, 0);
    MouseUp(0);
    EXPECT_EQ(view.dragMode, 0);
    EXPECT_EQ(c.yaw, before.yaw);
    EXPECT_EQ(CursorCount(), shown);
}

TEST(ViewInput, WheelZoomsOverTheViewAndDoubleClickOrHomeGoBack) {
    ShowLampForInput();
    Camera& c = gShell->core.camera;
    const Camera loaded = c;
    // The focus is in the tree, but the wheel over the view zooms.
    SetFocus(gShell->treePane.tree);
    Wheel(1);
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f) << "a notch: a tenth of the distance nearer";
    Wheel(-2);
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f * 1.2f);
    MouseTo(ToScreen(gShell->browser, {20, 100}));
    Wheel(1);
    EXPECT_FLOAT_EQ(c.eye[2], loaded.eye[2] * 0.9f * 1.2f) << "not over the view";
    MouseTo(InView(0.5, 0.5));
    for (int i = 0; i < 80; ++i) Wheel(1);
    EXPECT_FLOAT_EQ(c.eye[2], -1) << "no nearer than the near limit";

    // A double-click in the view goes back to the camera of the load.
    MouseDown(0);
    MouseBy(30, 0);
    MouseUp(0);
    ASSERT_NE(c.yaw, loaded.yaw);
    DoubleClick(InView(0.5, 0.5));
    EXPECT_TRUE(SameEye(loaded));
    EXPECT_EQ(c.yaw, loaded.yaw);

    // A press in the view gives it the focus; Home there goes back too.
    MouseDown(1);
    MouseBy(30, 30);
    MouseUp(1);
    ASSERT_EQ(GetFocus(), GetDlgItem(gShell->browser, IDC_VIEW3D));
    ASSERT_FALSE(SameEye(loaded));
    Key(VK_HOME);
    EXPECT_TRUE(SameEye(loaded));
}

TEST(TreeInput, ARightClickOpensThePopUpMenuAndItsCommandRuns) {
    OpenSamplePack("pack002.vpk");
    SetForegroundWindow(gShell->mainWindow);
    std::string out = gRoot + "/out-rightclick";
    SetOutputFolder(out);
    HTREEITEM images = FindInTreeView("images");
    ASSERT_NE(images, nullptr);
    // While the menu is up its own loop runs: a timer looks at it and
    // chooses its first command with the keyboard.
    static std::string seen;
    seen.clear();
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (menu == nullptr || !IsWindowVisible(menu)) return;
        KillTimer(nullptr, id);
        HMENU shown = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
        seen = std::to_string(GetMenuItemCount(shown)) + " items";
        if (GetMenuState(shown, IDM_EXTRACT_MODEL, MF_BYCOMMAND) & MF_GRAYED) seen += ", models greyed";
        INPUT keys[4] = {};
        for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_DOWN;
        keys[2].ki.wVk = keys[3].ki.wVk = VK_RETURN;
        keys[1].ki.dwFlags = keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(4, keys, sizeof keys[0]);
    });
    Click(1, OnTreeItem(images));
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(out + "/images/Logo.bmp"); })) << "menu: " << seen;
    EXPECT_EQ(seen, "5 items, models greyed");
    EXPECT_EQ(TreeText(TreeNext(nullptr, TVGN_CARET)), "images") << "the right-click selects the folder";
}

TEST(TreeInput, TypingInTheFilterBoxNarrowsTheTreeAndEscBringsItBackAsItWas) {
    OpenSamplePack("pack000.vpk");
    SetForegroundWindow(gShell->mainWindow);
    RECT box = ChildRect(IDC_FILTER), tree = ChildRect(IDC_TREE);
    EXPECT_LE(box.bottom, tree.top) << "the box sits above the tree";
    HTREEITEM vdata = FindInTreeView("vdata");
    SendMessageA(gShell->treePane.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vdata));
    SelectInTree(FindInTreeView("scripts/Intro.lst"));
    LRESULT before = SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0);
    Click(0, ToScreen(gShell->browser, {40, 40}));
    ASSERT_EQ(GetFocus(), gShell->treePane.filterEdit) << "a click in the box gives it the focus";

    // A pattern: only the matches and the folders on their way, opened.
    Type("*.DLG");
    EXPECT_EQ(WindowText(gShell->treePane.filterEdit), "*.DLG");
    EXPECT_EQ(VisibleTreeTexts(),
              (std::vector<std::string>{"dlg", "Hollywood", "Isaac.dlg", "main characters", "Regent.dlg"}));
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), 5);
    // Plain text is a part of a file name; selecting a match views it.
    SetWindowTextA(gShell->treePane.filterEdit, "ead");  // the edit control tells the dialog, as typing does
    PumpQueue();
    EXPECT_EQ(VisibleTreeTexts(), (std::vector<std::string>{"Readme.txt"}));
    SelectInTree(FindInTreeView("Readme.txt"));
    EXPECT_NE(RichEditText().find("Sample Bloodlines data"), std::string::npos);
    SetWindowTextA(gShell->treePane.filterEdit, "nothing matches this");
    PumpQueue();
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), 0);

    // Esc: the whole tree, vdata open again as before, the selection kept.
    SetFocus(gShell->treePane.filterEdit);
    Key(VK_ESCAPE);
    EXPECT_EQ(GetWindowTextLengthA(gShell->treePane.filterEdit), 0);
    EXPECT_FALSE(gShell->treePane.filter.Active());
    vdata = FindInTreeView("vdata");
    ASSERT_NE(vdata, nullptr);
    EXPECT_TRUE(SendMessageA(gShell->treePane.tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(vdata), TVIS_EXPANDED) &
                TVIS_EXPANDED);
    EXPECT_EQ(TreeText(TreeNext(nullptr, TVGN_CARET)), "Readme.txt");
    EXPECT_EQ(gShell->core.tree.Selected(), CoreItem("Readme.txt"));
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), before) << "scripts was filled by the selection before";

    // Another pack empties the box.
    SetWindowTextA(gShell->treePane.filterEdit, "*.txt");
    PumpQueue();
    OpenSamplePack("pack002.vpk");
    EXPECT_EQ(GetWindowTextLengthA(gShell->treePane.filterEdit), 0);
    EXPECT_FALSE(gShell->treePane.filter.Active());
}

namespace {

// A card on a bone that swings it about the vertical axis, 20 degrees a
// frame, 8 frames at 10 a second: every frame shows it differently.
std::string WriteSwingingCard() {
    MdlPair m;
    m.textures = {"card"};
    m.bones = {MdlWriterBone{"root", -1, {0, 0, 0}}, MdlWriterBone{"card", 0, {0, 0, 0}}};
    m.bones[1].rotationScale = {1.0f / 16384, 1.0f / 16384, 1.0f / 16384, 1.0f / 16384};
    m.vertices = {{-5, 0, 0, 0, -1, 0, 0, 1}, {5, 0, 0, 0, -1, 0, 1, 1}, {5, 0, 10, 0, -1, 0, 1, 0}, {-5, 0, 10, 0, -1, 0, 0, 0}};
    m.vertexBones.assign(4, MdlVertexBones{{255, 0, 0}, {1, 0, 0, 0}});
    m.meshes = {{0, {{0x10, {0, 1, 2, 3}, {0, 1, 2, 0, 2, 3}}}}};
    MdlWriterAnimation swing{"@swing", 10, 8, {}};
    swing.channels.resize(2);
    MdlRun z{8, {}}, w{8, {}};
    for (int k = 0; k < 8; ++k) {
        double half = k * 10 * 3.14159265358979 / 180;
        z.values.push_back(int16_t(std::lround(std::sin(half) * 16384)));
        w.values.push_back(int16_t(std::lround(std::cos(half) * 16384)));
    }
    swing.channels[1][5] = {z};
    swing.channels[1][6] = {w};
    m.animations = {swing};
    return WritePack("swing", {{"models/card.mdl", m.Mdl()}, {"models/card.dx80.vtx", m.Vtx()}, {"notes.txt", "text\n"}});
}

// The middle of line n of the animation list, on the screen.
POINT OnAnimationLine(int n) {
    RECT r;
    SendMessageA(gShell->viewPane.animationList, LB_GETITEMRECT, WPARAM(n), reinterpret_cast<LPARAM>(&r));
    return ToScreen(gShell->viewPane.animationList, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

}  // namespace

TEST(ViewInput, AnAnimationChosenInTheListPlaysAtItsRateUntilStopped) {
    ASSERT_TRUE(gShell->OpenPackFromPath(WriteSwingingCard()));
    SetForegroundWindow(gShell->mainWindow);
    PumpQueue();
    Click(0, OnTreeItem(FindInTreeView("models/card.mdl")));
    const Viewer& core = gShell->core.viewer;
    HWND list = gShell->viewPane.animationList;
    ASSERT_GT(core.meshCount, 0u);
    ASSERT_TRUE(IsWindowVisible(list));
    char line[64] = "";
    SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(line, "@swing\t8 frames\t10 fps");
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0) << "(rest pose)";
    EXPECT_EQ(FramesInLoop(600), 1u) << "the model's first frame, then idle";
    std::vector<uint32_t> rest = RenderView().pixels;

    Click(0, OnAnimationLine(1));
    ASSERT_EQ(core.animation, 0);
    // Ten frames a second and no more, the loop asleep in between.
    uint64_t frames = FramesInLoop(1000);
    EXPECT_GE(frames, 5u);
    EXPECT_LE(frames, 11u);
    uint32_t first = core.frame;
    std::vector<uint32_t> one = RenderView().pixels;
    ASSERT_TRUE(PumpUntil([&] { return core.frame != first; }, 1000));
    EXPECT_NE(RenderView().pixels, one) << "the card turned between two frames";

    Click(0, OnAnimationLine(0));
    EXPECT_EQ(core.animation, -1);
    EXPECT_LE(FramesInLoop(300), 1u);
    EXPECT_EQ(FramesInLoop(500), 0u) << "stopped: idle again";
    EXPECT_EQ(RenderView().pixels, rest) << "back at rest";

    // Choosing another item stops it too, and the list says so.
    Click(0, OnAnimationLine(1));
    ASSERT_EQ(core.animation, 0);
    Click(0, OnTreeItem(FindInTreeView("notes.txt")));
    EXPECT_EQ(core.animation, -1);
    PumpQueue();
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(FramesInLoop(500), 1u) << "the rest pose drawn once";
}
