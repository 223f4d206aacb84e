// The mouse and the keyboard in the 3D view: drags turn, pan and zoom the
// camera, the wheel zooms, a double-click or Home returns to the camera the
// model was loaded with.
#include "app/Shell.h"

#include <windowsx.h>

namespace {

// The view's top edge in dialog client coordinates.
const int32_t kViewTop = 6;
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

bool GuiState::InView(int32_t x, int32_t y) const {
    return x >= viewLeft && x <= viewLeft + viewSize && y >= kViewTop && y <= viewSize + kViewTop;
}

void GuiState::HideCursor() {
    if (cursorHidden) return;
    ShowCursor(FALSE);
    cursorHidden = true;
}

void GuiState::RevealCursor() {
    if (!cursorHidden) return;
    ShowCursor(TRUE);
    cursorHidden = false;
}

void GuiState::OnViewButtonDown(bool left, WPARAM wParam, LPARAM lParam) {
    // Only a model can be turned; a picture always fills the view.
    if (core.viewer.meshCount == 0) return;
    lastMouseX = static_cast<int16_t>(GET_X_LPARAM(lParam));
    lastMouseY = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    if (!InView(lastMouseX, lastMouseY)) return;
    // A model loaded since the last frame must be known before its camera
    // moves, so that a reset goes back to its framing.
    SyncViews();
    bool other = (wParam & (left ? MK_RBUTTON : MK_LBUTTON)) != 0;
    dragMode = other ? 3 : left ? 2 : 1;
    GetCursorPos(&dragCursor);
    screenOffset = {dragCursor.x - lastMouseX, dragCursor.y - lastMouseY};
    // Home then resets the camera rather than moving in the tree.
    SetFocus(viewer.viewWindow);
    SetCapture(browser);
    HideCursor();
}

void GuiState::OnViewButtonUp(bool left, WPARAM wParam) {
    bool otherDown = (wParam & (left ? MK_RBUTTON : MK_LBUTTON)) != 0;
    if (otherDown) {
        if (dragMode != 0) dragMode = left ? 1 : 2;
        return;
    }
    EndDrag();
}

void GuiState::EndDrag() {
    bool dragging = dragMode != 0;
    // Cleared first: releasing the capture reports WM_CAPTURECHANGED here.
    dragMode = 0;
    if (dragging) SetCursorPos(dragCursor.x, dragCursor.y);
    if (GetCapture() == browser) ReleaseCapture();
    RevealCursor();
}

void GuiState::OnViewMouseMove(WPARAM wParam, LPARAM lParam) {
    if (dragMode == 0) return;
    if ((wParam & (MK_LBUTTON | MK_RBUTTON)) == 0) {
        EndDrag();
        return;
    }
    int16_t x = static_cast<int16_t>(GET_X_LPARAM(lParam));
    int16_t y = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    int32_t dx = int32_t(x) - lastMouseX, dy = int32_t(y) - lastMouseY;
    if (dragMode == 1)
        PanCamera(core.camera, dx, dy, core.gameType);
    else if (dragMode == 2)
        TurnCamera(core.camera, dx);
    else
        ZoomCamera(core.camera, dy);
    // The view follows the mouse at once, not at the next idle turn.
    RenderTick();

    int16_t half = static_cast<int16_t>(viewSize / 2);
    bool warpX = PullBack(x, viewLeft + kEdgeMargin, viewLeft + viewSize - kEdgeMargin, half);
    bool warpY = PullBack(y, kViewTop + kEdgeMargin, viewSize + kViewTop - kEdgeMargin, half);
    bool warp = warpX || warpY;
    // The next movement is measured from the warped point, so the warp
    // itself moves nothing.
    if (warp) SetCursorPos(x + screenOffset.x, y + screenOffset.y);
    lastMouseX = x;
    lastMouseY = y;
}

bool GuiState::OnViewWheel(int32_t delta, POINT screen) {
    POINT p = screen;
    ScreenToClient(browser, &p);
    if (!InView(p.x, p.y)) return false;
    // Over the view the wheel never scrolls anything else, model or not.
    if (core.viewer.meshCount > 0) WheelZoomCamera(core.camera, delta);
    return true;
}

void GuiState::ResetCamera() {
    if (core.viewer.meshCount == 0) return;
    SyncViews();
    core.camera = loadedCamera;
}

void GuiState::OnViewMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        OnViewButtonDown(message == WM_LBUTTONDOWN, wParam, lParam);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        OnViewButtonUp(message == WM_LBUTTONUP, wParam);
        break;
    case WM_MOUSEMOVE:
        OnViewMouseMove(wParam, lParam);
        break;
    case WM_LBUTTONDBLCLK:
        if (InView(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) ResetCamera();
        break;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu, a message box): the drag
        // ends and the cursor comes back.
        if (dragMode != 0 && reinterpret_cast<HWND>(lParam) != browser) EndDrag();
        break;
    case WM_MOUSEWHEEL: {
        POINT screen = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        OnViewWheel(GET_WHEEL_DELTA_WPARAM(wParam), screen);
        break;
    }
    default:
        break;
    }
}

bool GuiState::PreTranslate(const MSG& message) {
    // The wheel goes to the window with the focus (mostly the tree); over
    // the view it zooms instead.
    if (message.message == WM_MOUSEWHEEL) {
        POINT screen = {GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        return OnViewWheel(GET_WHEEL_DELTA_WPARAM(message.wParam), screen);
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_HOME && message.hwnd == viewer.viewWindow &&
        viewer.viewWindow != nullptr) {
        ResetCamera();
        return true;
    }
    return false;
}
