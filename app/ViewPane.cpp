#include "app/ViewPane.h"

#include "app/resource.h"

#include <windowsx.h>

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

bool ViewPane::Create(HWND parentDialog, const Viewer* coreViewer, Camera* coreCamera, const uint32_t* coreGameType) {
    dialog = parentDialog;
    shown = coreViewer;
    camera = coreCamera;
    gameType = coreGameType;
    CheckDlgButton(dialog, IDC_TEXTURED, BST_CHECKED);
    if (!device.Init(GetDlgItem(dialog, IDC_VIEW3D))) return false;
    device.imageRevision = shown->slot0.revision;
    device.modelRevision = shown->modelRevision;
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
}

std::string ViewPane::FrameState() const {
    const Viewer& v = *shown;
    std::string state;
    auto add = [&state](const void* bytes, size_t n) { state.append(static_cast<const char*>(bytes), n); };
    const Camera& c = *camera;
    for (float f : {c.eye[0], c.eye[1], c.eye[2], c.yaw, c.pitch, c.centre[0], c.centre[1], c.centre[2], c.farPlane})
        add(&f, sizeof f);
    for (uint32_t n : {v.slot0.revision, v.modelRevision, v.meshCount, v.skeleton.pointCount, uint32_t(viewSize)})
        add(&n, sizeof n);
    for (bool b : {device.textured, device.wireframe, device.skeleton}) add(&b, 1);
    for (uint32_t i = 0; i < v.meshCount && i < kMeshCapacity; ++i) add(&v.meshes[i].visible, 1);
    return state;
}

bool ViewPane::Draw() {
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
