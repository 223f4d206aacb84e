#include "app/ViewPane.h"

#include "app/resource.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A drag that comes this near the view's edge warps the cursor back by half
// the view, so that it never runs into the edge (or off the screen).
const int32_t kEdgeMargin = 32;

// A coordinate that left [low, high] goes back by half the view; true when
// it did.
bool PullBack(int16_t& v, int32_t low, int32_t high, int16_t half) {
    if (v < low) {
        v = static_cast<int16_t>(v + half);
        return true;
    }
    if (v > high) {
        v = static_cast<int16_t>(v - half);
        return true;
    }
    return false;
}

}  // namespace

bool ViewPane::Create(HWND parentDialog, Viewer* coreViewer, Camera* coreCamera, const uint32_t* coreGameType) {
    dialog = parentDialog;
    shown = coreViewer;
    camera = coreCamera;
    gameType = coreGameType;
    CheckDlgButton(dialog, IDC_TEXTURED, BST_CHECKED);
    animationList = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                    WS_CHILD | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_USETABSTOPS |
                                        LBS_NOINTEGRALHEIGHT,
                                    0, 0, 0, 0, dialog, reinterpret_cast<HMENU>(IDC_ANIMATIONS),
                                    GetModuleHandleA(nullptr), nullptr);
    if (animationList == nullptr) return false;
    SendMessageA(animationList, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    // Frames and frames per second in columns after the name (dialog units).
    const int stops[] = {120, 162};
    SendMessageA(animationList, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(stops));
    if (!device.Init(GetDlgItem(dialog, IDC_VIEW3D))) return false;
    device.imageRevision = shown->slot0.revision;
    device.modelRevision = shown->modelRevision;
    device.poseRevision = shown->poseRevision;
    return true;
}

void ViewPane::Release() {
    EndDrag();
    device.Release();
}

void ViewPane::Layout(int32_t left, int32_t size, int32_t checkLeft, int32_t checkBottom, int32_t roomLeft) {
    SetWindowPos(GetDlgItem(dialog, IDC_TEXTURED), nullptr, checkLeft, checkBottom - 46, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(GetDlgItem(dialog, IDC_WIREFRAME), nullptr, checkLeft, checkBottom - 26, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(GetDlgItem(dialog, IDC_SKELETON), nullptr, checkLeft, checkBottom - 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    MoveWindow(GetDlgItem(dialog, IDC_VIEW3D), left, kViewTop, size, size, TRUE);
    viewLeft = left;
    viewSize = size;
    animationRoom = {roomLeft, kViewTop, checkLeft - 6, kViewTop + size};
    // As wide as a long name needs, against the check boxes.
    int32_t width = std::min<int32_t>(animationRoom.right - animationRoom.left, 360);
    MoveWindow(animationList, animationRoom.right - width, animationRoom.top, std::max<int32_t>(width, 0),
               animationRoom.bottom - animationRoom.top, TRUE);
}

bool ViewPane::OnCheckBox(int id, bool checked) {
    switch (id) {
    case IDC_TEXTURED:
        device.textured = checked;
        return true;
    case IDC_WIREFRAME:
        device.wireframe = checked;
        return true;
    case IDC_SKELETON:
        device.skeleton = checked;
        return true;
    default:
        return false;
    }
}

void ViewPane::Sync() {
    uint32_t uploaded = device.modelRevision;
    device.Sync(*shown);
    // A model load framed the camera: that is where a reset goes back to.
    if (device.modelRevision != uploaded) loadedCamera = *camera;
    SyncAnimationList();
}

void ViewPane::SyncAnimationList() {
    const ModelRig* rig = shown->meshCount > 0 ? shown->rig.get() : nullptr;
    if (rig != nullptr && rig->skeleton.animations.empty()) rig = nullptr;
    if (rig != listedRig || shown->modelRevision != listedRevision) {
        listedRig = rig;
        listedRevision = shown->modelRevision;
        SendMessageA(animationList, LB_RESETCONTENT, 0, 0);
        if (rig != nullptr) {
            SendMessageA(animationList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("(rest pose)"));
            for (const mdlformat::MdlAnimation& a : rig->skeleton.animations) {
                char fps[32];
                std::snprintf(fps, sizeof fps, "%g fps", double(a.fps));
                std::string line = a.name + "\t" + std::to_string(a.frameCount) + " frames\t" + fps;
                SendMessageA(animationList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
            }
        }
        ShowWindow(animationList, rig != nullptr ? SW_SHOWNA : SW_HIDE);
    }
    // The core stops an animation when another item is chosen: the list
    // follows.
    if (rig != nullptr && SendMessageA(animationList, LB_GETCURSEL, 0, 0) != shown->animation + 1)
        SendMessageA(animationList, LB_SETCURSEL, WPARAM(shown->animation + 1), 0);
}

void ViewPane::OnAnimationChosen() {
    LRESULT line = SendMessageA(animationList, LB_GETCURSEL, 0, 0);
    if (line == LB_ERR) return;
    shown->Play(int32_t(line) - 1, Now());
}

double ViewPane::Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

DWORD ViewPane::MillisecondsToNextFrame() const {
    double now = Now(), due = shown->NextFrameDue(now);
    if (due < 0) return INFINITE;
    // Rounded up: waking early would only find the same frame due.
    double ms = std::ceil((due - now) * 1000.0);
    return ms < 0 ? 0 : ms > 60000 ? 60000 : DWORD(ms);
}

std::string ViewPane::FrameState() const {
    const Viewer& v = *shown;
    std::string state;
    auto add = [&state](const void* bytes, size_t n) { state.append(static_cast<const char*>(bytes), n); };
    const Camera& c = *camera;
    for (float f : {c.eye[0], c.eye[1], c.eye[2], c.yaw, c.pitch, c.centre[0], c.centre[1], c.centre[2], c.farPlane})
        add(&f, sizeof f);
    for (uint32_t n :
         {v.slot0.revision, v.modelRevision, v.poseRevision, v.meshCount, v.skeleton.pointCount, uint32_t(viewSize)})
        add(&n, sizeof n);
    for (bool b : {device.textured, device.wireframe, device.skeleton}) add(&b, 1);
    for (uint32_t i = 0; i < v.meshCount && i < kMeshCapacity; ++i) add(&v.meshes[i].visible, 1);
    return state;
}

bool ViewPane::Draw() {
    shown->Advance(Now());
    Sync();
    std::string state = FrameState();
    if (!device.exposed && state == drawnState) return false;
    drawnState = state;
    device.Render(*shown, *camera);
    ++frames;
    return true;
}

// The mouse and the keyboard in the 3D view: drags turn, pan and zoom the
// camera, the wheel zooms, a double-click or Home returns to the camera the
// model was loaded with.

bool ViewPane::InView(int32_t x, int32_t y) const {
    return x >= viewLeft && x <= viewLeft + viewSize && y >= kViewTop && y <= viewSize + kViewTop;
}

void ViewPane::HideCursor() {
    if (cursorHidden) return;
    ShowCursor(FALSE);
    cursorHidden = true;
}

void ViewPane::RevealCursor() {
    if (!cursorHidden) return;
    ShowCursor(TRUE);
    cursorHidden = false;
}

void ViewPane::ButtonDown(bool left, WPARAM wParam, LPARAM lParam) {
    // Only a model can be turned; a picture always fills the view.
    if (shown->meshCount == 0) return;
    lastMouseX = static_cast<int16_t>(GET_X_LPARAM(lParam));
    lastMouseY = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    if (!InView(lastMouseX, lastMouseY)) return;
    // A model loaded since the last frame must be known before its camera
    // moves, so that a reset goes back to its framing.
    Sync();
    bool other = (wParam & (left ? MK_RBUTTON : MK_LBUTTON)) != 0;
    dragMode = other ? 3 : left ? 2 : 1;
    GetCursorPos(&dragCursor);
    screenOffset = {dragCursor.x - lastMouseX, dragCursor.y - lastMouseY};
    // Home then resets the camera rather than moving in the tree.
    SetFocus(device.viewWindow);
    SetCapture(dialog);
    HideCursor();
}

void ViewPane::ButtonUp(bool left, WPARAM wParam) {
    bool otherDown = (wParam & (left ? MK_RBUTTON : MK_LBUTTON)) != 0;
    if (otherDown) {
        if (dragMode != 0) dragMode = left ? 1 : 2;
        return;
    }
    EndDrag();
}

void ViewPane::EndDrag() {
    bool dragging = dragMode != 0;
    // Cleared first: releasing the capture reports WM_CAPTURECHANGED here.
    dragMode = 0;
    if (dragging) SetCursorPos(dragCursor.x, dragCursor.y);
    if (dialog != nullptr && GetCapture() == dialog) ReleaseCapture();
    RevealCursor();
}

void ViewPane::MouseMove(WPARAM wParam, LPARAM lParam) {
    if (dragMode == 0) return;
    if ((wParam & (MK_LBUTTON | MK_RBUTTON)) == 0) {
        EndDrag();
        return;
    }
    int16_t x = static_cast<int16_t>(GET_X_LPARAM(lParam));
    int16_t y = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    int32_t dx = int32_t(x) - lastMouseX, dy = int32_t(y) - lastMouseY;
    if (dragMode == 1)
        PanCamera(*camera, dx, dy, *gameType);
    else if (dragMode == 2)
        TurnCamera(*camera, dx);
    else
        ZoomCamera(*camera, dy);
    // The view follows the mouse at once, not at the next idle turn.
    Draw();

    int16_t half = static_cast<int16_t>(viewSize / 2);
    bool warpX = PullBack(x, viewLeft + kEdgeMargin, viewLeft + viewSize - kEdgeMargin, half);
    bool warpY = PullBack(y, kViewTop + kEdgeMargin, viewSize + kViewTop - kEdgeMargin, half);
    // The next movement is measured from the warped point, so the warp
    // itself moves nothing.
    if (warpX || warpY) SetCursorPos(x + screenOffset.x, y + screenOffset.y);
    lastMouseX = x;
    lastMouseY = y;
}

bool ViewPane::Wheel(int32_t delta, POINT screen) {
    POINT p = screen;
    ScreenToClient(dialog, &p);
    if (!InView(p.x, p.y)) return false;
    // Over the view the wheel never scrolls anything else, model or not.
    if (shown->meshCount > 0) WheelZoomCamera(*camera, delta);
    return true;
}

void ViewPane::ResetCamera() {
    if (shown->meshCount == 0) return;
    Sync();
    *camera = loadedCamera;
}

void ViewPane::OnMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        ButtonDown(message == WM_LBUTTONDOWN, wParam, lParam);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        ButtonUp(message == WM_LBUTTONUP, wParam);
        break;
    case WM_MOUSEMOVE:
        MouseMove(wParam, lParam);
        break;
    case WM_LBUTTONDBLCLK:
        if (InView(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) ResetCamera();
        break;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu, a message box): the drag
        // ends and the cursor comes back.
        if (dragMode != 0 && reinterpret_cast<HWND>(lParam) != dialog) EndDrag();
        break;
    case WM_MOUSEWHEEL: {
        POINT screen = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        Wheel(GET_WHEEL_DELTA_WPARAM(wParam), screen);
        break;
    }
    default:
        break;
    }
}

bool ViewPane::PreTranslate(const MSG& message) {
    if (message.message == WM_MOUSEWHEEL) {
        POINT screen = {GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        return Wheel(GET_WHEEL_DELTA_WPARAM(message.wParam), screen);
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_HOME && message.hwnd == device.viewWindow &&
        device.viewWindow != nullptr) {
        ResetCamera();
        return true;
    }
    return false;
}
