// The view pane: the square 3D view (control 1002) with its Direct3D
// device and the GDI copy laid over it, the camera's mouse and keyboard
// input, and the "Textured", "Wireframe" and "Skeleton" check boxes. It
// draws the core's Viewer under the core's Camera, a frame only when what
// it shows changed. The room left of the check boxes is kept for a list
// beside the view (animationRoom).
#pragma once

#include "app/D3dViewer.h"
#include "model/Camera.h"
#include "viewer/Viewer.h"

#include <windows.h>

#include <cstdint>
#include <string>

struct ViewPane {
    D3dViewer device;
    HWND dialog = nullptr;
    // The core's records this pane shows and moves; set at creation.
    const Viewer* shown = nullptr;
    Camera* camera = nullptr;
    const uint32_t* gameType = nullptr;

    // The view's square in dialog client coordinates: x from viewLeft to
    // viewLeft + viewSize, y from kViewTop to kViewTop + viewSize.
    static const int32_t kViewTop = 6;
    int32_t viewLeft = 0;
    int32_t viewSize = 0;
    // Left of the check boxes, above the text pane: free for a list that
    // belongs to the view (dialog client coordinates, right and bottom
    // exclusive).
    RECT animationRoom = {0, 0, 0, 0};

    // Mouse navigation. Drag mode: 0 none, 1 right button (pan), 2 left
    // button (turn), 3 both (zoom). The cursor's place where the drag began
    // (screen), screen minus dialog-client coordinates, and the reference
    // point of the next movement (dialog client).
    int32_t dragMode = 0;
    POINT dragCursor = {0, 0};
    POINT screenOffset = {0, 0};
    int16_t lastMouseX = 0;
    int16_t lastMouseY = 0;
    // Hidden by us: every hide is paired with exactly one show.
    bool cursorHidden = false;
    // The camera of the last model load: double-click and Home go back to it.
    Camera loadedCamera;

    // Frames drawn so far: a frame is drawn only when what the view shows
    // changed (FrameState) or the view was uncovered.
    uint64_t frames = 0;
    std::string drawnState;

    bool Create(HWND parentDialog, const Viewer* coreViewer, Camera* coreCamera, const uint32_t* coreGameType);
    void Release();
    // Places the view's square at (left, kViewTop) and the check boxes in a
    // column ending at checkBottom, their left edge at checkLeft; the room
    // for a list runs from roomLeft to the check boxes.
    void Layout(int32_t left, int32_t size, int32_t checkLeft, int32_t checkBottom, int32_t roomLeft);

    // BN_CLICKED of a check box; false when id is none of the view's.
    bool OnCheckBox(int id, bool checked);
    // The mouse messages of the browser dialog, in its client coordinates.
    void OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // Messages the view takes before they are dispatched: the wheel over the
    // view (the focus is mostly elsewhere), Home while the view has the
    // focus. True when taken.
    bool PreTranslate(const MSG& message);

    // Uploads what changed in the core since the last call.
    void Sync();
    // Draws a frame when what the view shows changed; says whether it drew.
    bool Draw();
    // What a frame depends on, as bytes to compare.
    std::string FrameState() const;

private:
    bool InView(int32_t x, int32_t y) const;
    void ButtonDown(bool left, WPARAM wParam, LPARAM lParam);
    void ButtonUp(bool left, WPARAM wParam);
    void MouseMove(WPARAM wParam, LPARAM lParam);
    // The wheel at a screen point: zooms when over the view; true when the
    // point is over the view.
    bool Wheel(int32_t delta, POINT screen);
    void EndDrag();
    void ResetCamera();
    void HideCursor();
    void RevealCursor();
};
