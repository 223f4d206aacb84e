#include "app/PackBar.h"

#include "app/resource.h"

void PackBar::Create(HWND dialog, HWND mainWindow) {
    list = GetDlgItem(dialog, IDC_PACKLIST);
    titleWindow = mainWindow;
}

void PackBar::Mirror(const PackList& packs) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const PackList::Item& entry : packs.Items()) {
        LRESULT pos = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
        if (pos >= 0) SendMessageA(list, CB_SETITEMDATA, pos, entry.itemData);
    }
    int32_t selected = packs.GetSel();
    if (selected < 0) return;
    std::string text = packs.GetText(selected);
    LRESULT pos =
        SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(list, CB_SETCURSEL, pos, 0);
}

void PackBar::ShowTitle(const std::string& shownPack) {
    std::string title = "QuillonEdit";
    if (!shownPack.empty()) title = shownPack + " - " + title;
    SetWindowTextA(titleWindow, title.c_str());
}

std::string PackBar::Picked() const {
    LRESULT pos = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (pos == CB_ERR) return std::string();
    LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, pos, 0);
    if (length == CB_ERR || length >= 260) return std::string();
    char text[260] = "";
    if (SendMessageA(list, CB_GETLBTEXT, pos, reinterpret_cast<LPARAM>(text)) == CB_ERR) return std::string();
    return text;
}

void PackBar::Layout(int width) { MoveWindow(list, 6, 6, width, 262, TRUE); }
