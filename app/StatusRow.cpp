#include "app/StatusRow.h"

#include "app/resource.h"

void StatusRow::Create(HWND dialog, const char* folder) {
    outputFolder = GetDlgItem(dialog, IDC_OUTPUTFOLDER);
    extractTree = GetDlgItem(dialog, IDC_EXTRACTTREE);
    SetWindowTextA(outputFolder, folder);
    SendMessageA(extractTree, BM_SETCHECK, BST_CHECKED, 0);
}

std::string StatusRow::OutputFolder() const {
    int length = GetWindowTextLengthA(outputFolder);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(outputFolder, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

bool StatusRow::ExtractTree() const { return SendMessageA(extractTree, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void StatusRow::Layout(int textLeft, int width, int height) {
    MoveWindow(outputFolder, textLeft, height - 20, width - textLeft - 128, 16, TRUE);
    SetWindowPos(extractTree, nullptr, width - 110, height - 18, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
