// The text pane: a resizable child dialog (template 101) with a rich edit
// showing the core's TextContent and, in mode 1, a column of check boxes for
// its check list. It tells its parent of its own changes with two private
// messages: WM_APP (posted after its size changed) and WM_APP + 1 (sent with
// an entry index and the new check state).
#pragma once

#include "textview/TextContent.h"

#include <windows.h>

#include <cstdint>

class TextView {
public:
    static TextView* instance;
    static const uint32_t kMaxRows = TextContent::kMaxEntries;

    TextView() { instance = this; }

    bool Create(HINSTANCE module, HWND parent, TextContent* content);
    void Destroy();
    // Streams the content's text into the rich edit, as plain text.
    void SetText();
    // Stores the mode and lays the pane out; in mode 1 refreshes the rows.
    void SetMode(uint32_t mode);
    // With full given, stores both rectangles; then moves the pane to the
    // stored full rectangle (which the clamping then confines). Once the user
    // has sized the pane, it keeps the height they gave it (within the
    // limits), its bottom edge where the full rectangle's is.
    void SetBounds(const RECT* limit, const RECT* full);
    // The content changed (its revision moved): text, mode and rows again.
    void Sync();

    HWND pane = nullptr;
    HWND edit = nullptr;
    HWND scrollBar = nullptr;
    // x, y, minimum width, minimum height / x, y, maximum width and height.
    RECT limitRect = {0, 0, 0, 0};
    RECT fullRect = {0, 0, 0, 0};
    // x, y, width, height as last granted.
    RECT current = {0, 0, 0, 0};
    uint32_t rowCount = 0;
    uint32_t firstVisible = 0;
    HWND rows[kMaxRows] = {};
    uint32_t RowsPerPage() const { return rowsPerPage; }
    // The height the user last sized the pane to; 0 while they never did.
    int32_t userHeight = 0;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Layout();
    void RefreshRows(uint32_t n);
    void Clamp(WINDOWPOS* pos);
    void OnScroll(WPARAM request);
    static DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG want, LONG* got);

    HINSTANCE module = nullptr;
    TextContent* content = nullptr;
    uint32_t mode = 0;
    uint32_t rowsPerPage = 0;
    size_t readPosition = 0;
    uint32_t seenRevision = 0;
};
