#include "app/TextView.h"

#include "app/resource.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

TextView* TextView::instance = nullptr;

namespace {
const int kRowIdBase = 3000;
const int kRowHeight = 20;
}  // namespace

bool TextView::Create(HINSTANCE instanceHandle, HWND parent, TextContent* shown) {
    module = instanceHandle;
    content = shown;
    pane = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_TEXTVIEW), parent, DialogProc, 0);
    if (pane == nullptr) return false;
    edit = GetDlgItem(pane, IDC_TEXTEDIT);
    scrollBar = GetDlgItem(pane, IDC_CHECKSCROLL);
    PARAFORMAT format = {};
    format.cbSize = sizeof format;
    format.dwMask = PFM_TABSTOPS;
    format.cTabCount = 30;
    for (int i = 0; i < 30; ++i) format.rgxTabs[i] = 400 * (i + 1);
    SendMessageA(edit, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    seenRevision = content->revision;
    RECT r;
    GetWindowRect(pane, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    current = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    return true;
}

void TextView::Destroy() {
    for (uint32_t i = 0; i < rowCount; ++i)
        if (rows[i] != nullptr) DestroyWindow(rows[i]);
    std::fill(std::begin(rows), std::end(rows), nullptr);
    rowCount = 0;
    if (pane != nullptr) DestroyWindow(pane);
    pane = edit = scrollBar = nullptr;
}

DWORD CALLBACK TextView::StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG want, LONG* got) {
    TextView* view = reinterpret_cast<TextView*>(cookie);
    const std::string& text = view->content->text;
    size_t left = view->readPosition < text.size() ? text.size() - view->readPosition : 0;
    size_t n = std::min(left, static_cast<size_t>(want > 0 ? want : 0));
    if (n > 0) std::memcpy(buffer, text.data() + view->readPosition, n);
    view->readPosition += n;
    *got = static_cast<LONG>(n);
    return 0;
}

void TextView::SetText() {
    if (edit == nullptr) return;
    readPosition = 0;
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(this);
    stream.pfnCallback = StreamIn;
    SendMessageA(edit, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
}

void TextView::SetMode(uint32_t newMode) {
    mode = newMode;
    Layout();
    if (mode == 1) {
        uint32_t n = std::min(rowCount, content->entryCount);
        RefreshRows(n);
        for (uint32_t i = n; i < rowCount; ++i) ShowWindow(rows[i], SW_HIDE);
    }
}

void TextView::Sync() {
    if (content == nullptr || content->revision == seenRevision) return;
    seenRevision = content->revision;
    SetText();
    SetMode(content->mode);
}

void TextView::SetBounds(const RECT* limit, const RECT* full) {
    if (full != nullptr) {
        if (limit != nullptr) limitRect = *limit;
        fullRect = *full;
    }
    if (pane == nullptr) return;
    int32_t height = fullRect.bottom;
    if (userHeight > 0) height = std::max(std::min(userHeight, int32_t(fullRect.bottom)), int32_t(limitRect.bottom));
    SetWindowPos(pane, nullptr, fullRect.left, fullRect.top + fullRect.bottom - height, fullRect.right, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextView::Clamp(WINDOWPOS* pos) {
    // Rectangles hold x, y, width, height (not right and bottom).
    if (pos->flags & SWP_NOMOVE) {
        pos->x = current.left;
        pos->y = current.top;
    }
    if (pos->flags & SWP_NOSIZE) {
        pos->cx = current.right;
        pos->cy = current.bottom;
    }
    int d = fullRect.right - limitRect.right;
    int e = fullRect.bottom - limitRect.bottom;
    pos->x = std::min(std::max(pos->x, static_cast<int>(limitRect.left)), static_cast<int>(limitRect.left) + d);
    pos->cx = std::min(std::max(pos->cx, static_cast<int>(limitRect.right)), static_cast<int>(fullRect.right));
    pos->y = std::min(std::max(pos->y, static_cast<int>(limitRect.top)), static_cast<int>(limitRect.top) + e);
    pos->cy = std::min(std::max(pos->cy, static_cast<int>(limitRect.bottom)), static_cast<int>(fullRect.bottom));
    pos->flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
    current = {pos->x, pos->y, pos->cx, pos->cy};
}

void TextView::Layout() {
    if (pane == nullptr) return;
    RECT client;
    GetClientRect(pane, &client);
    int w = client.right, h = client.bottom;
    int left = mode == 1 ? 256 : 0;
    rowsPerPage = h >= 4 ? static_cast<uint32_t>((h - 4) / kRowHeight) : 0;
    rowsPerPage = std::min(rowsPerPage, kMaxRows);
    uint32_t count = content->entryCount;
    uint32_t before = firstVisible;
    if (count < rowsPerPage) {
        firstVisible = 0;
    } else {
        firstVisible = std::min(firstVisible, count - rowsPerPage);
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = static_cast<int>(count) - 1;
        info.nPage = rowsPerPage;
        info.nPos = static_cast<int>(firstVisible);
        SetScrollInfo(scrollBar, SB_CTL, &info, TRUE);
        ShowWindow(scrollBar, count - 1 > rowsPerPage ? SW_SHOW : SW_HIDE);
    }
    if (rowCount < rowsPerPage) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(pane, WM_GETFONT, 0, 0));
        for (uint32_t k = rowCount; k < rowsPerPage; ++k) {
            const CheckListEntry& entry = content->entries[k];
            bool visible = mode == 1 && k < count;
            rows[k] = CreateWindowExA(0, "BUTTON", entry.hasName ? entry.name.c_str() : "CheckBox",
                                      WS_CHILD | BS_AUTOCHECKBOX | (visible ? WS_VISIBLE : 0), 30,
                                      kRowHeight * static_cast<int>(k) + 8, 200, 12, pane,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRowIdBase + k)), module, nullptr);
            SendMessageA(rows[k], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            SendMessageA(rows[k], BM_SETCHECK, entry.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    } else {
        for (uint32_t k = rowsPerPage; k < rowCount; ++k) {
            DestroyWindow(rows[k]);
            rows[k] = nullptr;
        }
    }
    rowCount = rowsPerPage;
    if (mode == 0) {
        ShowWindow(scrollBar, SW_HIDE);
        for (uint32_t k = 0; k < rowCount; ++k) ShowWindow(rows[k], SW_HIDE);
    } else {
        ShowWindow(scrollBar, rowCount < count ? SW_SHOW : SW_HIDE);
        if (firstVisible != before) RefreshRows(std::min(rowCount, count));
    }
    MoveWindow(edit, left, 0, w - left, h, TRUE);
    MoveWindow(scrollBar, 2, 2, 18, h - 4, TRUE);
}

void TextView::RefreshRows(uint32_t n) {
    for (uint32_t i = 0; i < n && firstVisible + i < TextContent::kMaxEntries; ++i) {
        const CheckListEntry& entry = content->entries[firstVisible + i];
        ShowWindow(rows[i], SW_SHOW);
        if (entry.hasName) {
            SendMessageA(rows[i], BM_SETCHECK, entry.checked == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
            SetWindowTextA(rows[i], entry.name.c_str());
        } else {
            SendMessageA(rows[i], BM_SETCHECK, BST_UNCHECKED, 0);
            SetWindowTextA(rows[i], "Name String Error!");
        }
    }
}

void TextView::OnScroll(WPARAM request) {
    uint32_t count = content->entryCount;
    uint32_t r = rowsPerPage;
    int64_t pos = firstVisible;
    int64_t next = pos;
    switch (LOWORD(request)) {
    case SB_LINEUP:
        next = pos > 0 ? pos - 1 : pos;
        break;
    case SB_LINEDOWN:
        if (count > 0 && pos + r <= int64_t(count) - 1) next = pos + 1;
        break;
    case SB_PAGEUP:
        next = pos > 0 ? std::max<int64_t>(0, pos - r) : pos;
        break;
    case SB_PAGEDOWN:
        if (count > 0 && pos + r <= int64_t(count) - 1) next = std::min<int64_t>(pos + r, int64_t(count) - r);
        break;
    case SB_THUMBTRACK:
        next = HIWORD(request);
        break;
    default:
        break;
    }
    // The thumb cannot pass the last full page; a tracked position sent by
    // anyone else must not either, or rows would name entries past the list.
    int64_t last = count > r ? int64_t(count) - r : 0;
    if (next > last) next = last;
    if (next == pos || next < 0) return;
    firstVisible = static_cast<uint32_t>(next);
    SetScrollPos(scrollBar, SB_CTL, static_cast<int>(firstVisible), TRUE);
    RefreshRows(std::min(rowCount, count));
}

INT_PTR CALLBACK TextView::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TextView* view = instance;
    if (view == nullptr || view->content == nullptr) return FALSE;
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        if (view->pane == dialog) view->Clamp(reinterpret_cast<WINDOWPOS*>(lParam));
        return FALSE;
    case WM_SIZE:
        if (view->pane == dialog) {
            view->Layout();
            PostMessageA(GetParent(dialog), WM_APP, 0, 0);
        }
        return FALSE;
    case WM_EXITSIZEMOVE:
        // The end of the user's own sizing drag: window resizes from now on
        // keep the height they chose.
        if (view->pane == dialog) view->userHeight = view->current.bottom;
        return FALSE;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == view->scrollBar) view->OnScroll(wParam);
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (HIWORD(wParam) != BN_CLICKED || id < kRowIdBase || id >= kRowIdBase + int(view->rowCount)) return FALSE;
        uint32_t row = static_cast<uint32_t>(id - kRowIdBase);
        uint32_t entry = view->firstVisible + row;
        LRESULT state = SendMessageA(view->rows[row], BM_GETCHECK, 0, 0);
        if (entry < TextContent::kMaxEntries) view->content->entries[entry].checked = state == BST_CHECKED ? 1 : 0;
        SendMessageA(GetParent(dialog), WM_APP + 1, entry, state);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
