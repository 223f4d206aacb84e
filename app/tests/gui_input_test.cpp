// The mouse and the keyboard as a user gives them: every test moves the
// system's cursor and presses its buttons and keys (SendInput), so each
// event is hit-tested on its way to the program, with the GDI copy laid
// over the 3D view as `make run` has it, and reads back what changed.
#include "app/tests/GuiHarness.h"

#include <gtest/gtest.h>

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
POINT OnTreeItem(HTREEITEM item) {
    SendMessageA(gShell->treePane.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    PumpQueue();
    RECT r;
    std::memcpy(&r, &item, sizeof item);
    SendMessageA(gShell->treePane.tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return ToScreen(gShell->treePane.tree, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool SameEye(const Camera& c) { return Eye() == std::vector<float>(c.eye, c.eye + 3); }

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
    POINT back = CursorPos();
    EXPECT_EQ(std::make_pair(back.x, back.y), std::make_pair(pressed.x, pressed.y)) << "back where the drag began";

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
    POINT back = CursorPos();
    EXPECT_EQ(std::make_pair(back.x, back.y), std::make_pair(pressed.x, pressed.y));
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

TEST(TreeInput, TypingInTheFilterBoxNarrowsTheTreeAndEscBringsItBack) {
    OpenSamplePack("pack000.vpk");
    SetForegroundWindow(gShell->mainWindow);
    LRESULT whole = SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0);
    Click(0, ToScreen(gShell->browser, {40, 40}));
    ASSERT_EQ(GetFocus(), gShell->treePane.filterEdit) << "a click in the box gives it the focus";
    Type("*.dlg");
    char text[32] = "";
    GetWindowTextA(gShell->treePane.filterEdit, text, sizeof text);
    EXPECT_STREQ(text, "*.dlg");
    std::vector<std::string> visible;
    for (HTREEITEM item = TreeNext(nullptr, TVGN_FIRSTVISIBLE); item != nullptr; item = TreeNext(item, TVGN_NEXTVISIBLE))
        visible.push_back(TreeText(item));
    EXPECT_EQ(visible, (std::vector<std::string>{"dlg", "Hollywood", "Isaac.dlg", "main characters", "Regent.dlg"}));
    Key(VK_ESCAPE);
    EXPECT_EQ(GetWindowTextLengthA(gShell->treePane.filterEdit), 0);
    EXPECT_FALSE(gShell->treePane.filter.Active());
    EXPECT_EQ(SendMessageA(gShell->treePane.tree, TVM_GETCOUNT, 0, 0), whole);
}
