// The progress window behind the core's ProgressDialog, and the About box.
#include "app/Dialogs.h"

#include "app/resource.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

void* ProgressCreate(void* context, const char* title) {
    ProgressWindow* owner = static_cast<ProgressWindow*>(context);
    HWND dialog =
        CreateDialogParamA(owner->instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner->parent, ProgressDialogProc, 0);
    if (dialog != nullptr) SetWindowTextA(dialog, title);
    owner->shownMaximum = 0;
    owner->shownPermille = 0xFFFFFFFFu;
    owner->textShown = false;
    return dialog;
}

void ProgressDestroy(void*, void* window) { DestroyWindow(static_cast<HWND>(window)); }

void ProgressUpdate(void* context, void* window, uint32_t position, uint32_t maximum) {
    ProgressWindow* owner = static_cast<ProgressWindow*>(context);
    uint32_t permille = maximum == 0 ? 0 : static_cast<uint32_t>(uint64_t(position) * 1000 / maximum);
    if (maximum == owner->shownMaximum && permille == owner->shownPermille) return;
    DWORD now = GetTickCount();
    bool first = owner->shownPermille == 0xFFFFFFFFu;
    if (!first && maximum == owner->shownMaximum && permille < 1000 &&
        now - owner->barTick < ProgressWindow::kRedrawMilliseconds)
        return;
    owner->barTick = now;
    HWND bar = GetDlgItem(static_cast<HWND>(window), IDC_PROGRESSBAR);
    if (maximum != owner->shownMaximum)
        SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
    SendMessageA(bar, PBM_SETPOS, position, 0);
    owner->shownMaximum = maximum;
    owner->shownPermille = permille;
}

void ProgressSetText(void* context, void* window, const char* text) {
    ProgressWindow* owner = static_cast<ProgressWindow*>(context);
    DWORD now = GetTickCount();
    if (owner->textShown && now - owner->textTick < ProgressWindow::kRedrawMilliseconds) return;
    owner->textShown = true;
    owner->textTick = now;
    SetDlgItemTextA(static_cast<HWND>(window), IDC_PROGRESSFILE, text);
}

}  // namespace

void ProgressWindow::Attach(ProgressHooks& hooks) {
    hooks.context = this;
    hooks.create = ProgressCreate;
    hooks.destroy = ProgressDestroy;
    hooks.update = ProgressUpdate;
    hooks.setText = ProgressSetText;
}

AboutBox* AboutBox::instance = nullptr;

std::string BuildStamp() {
    // __DATE__ is "Mmm dd yyyy" with a space before a one-digit day.
    char date[] = __DATE__;
    if (date[4] == ' ') date[4] = '0';
    return std::string("Build ") + date + " At " + __TIME__;
}

bool AboutBox::Show(HINSTANCE module, HWND owner) {
    DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
    return true;
}

INT_PTR CALLBACK AboutBox::AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_ABOUTNAME, "QuillonEdit " QUILLON_VERSION);
        SetDlgItemTextA(dialog, IDC_BUILDSTAMP, BuildStamp().c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
