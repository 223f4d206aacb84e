// The progress window behind the core's ProgressDialog, and the About box.
#include "app/Shell.h"
#include "app/resource.h"

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
    return dialog;
}

void ProgressDestroy(void*, void* window) { DestroyWindow(static_cast<HWND>(window)); }

void ProgressUpdate(void*, void* window, uint32_t position, uint32_t maximum) {
    HWND bar = GetDlgItem(static_cast<HWND>(window), IDC_PROGRESSBAR);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(maximum)));
    SendMessageA(bar, PBM_SETPOS, position, 0);
}

void ProgressSetText(void*, void* window, const char* text) {
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
        SetDlgItemTextA(dialog, IDC_BUILDSTAMP, BuildStamp().c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
