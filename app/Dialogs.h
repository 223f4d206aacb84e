// The small windows of QuillonEdit.exe beside the browser: the progress
// window behind the core's ProgressDialog (template 163) and the About box.
#pragma once

#include "pack/Seams.h"

#include <windows.h>

#include <cstdint>
#include <string>

struct ProgressWindow {
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    // What the window shows now. The core steps the bar once per file and
    // names every 128th file; a message for each made listing a
    // 100,000-file pack take minutes under Wine (every update repaints at
    // once). The window is told at most every kRedrawMilliseconds, and the
    // bar only when its range or its 1/1000th changed.
    static const DWORD kRedrawMilliseconds = 40;
    uint32_t shownMaximum = 0;
    uint32_t shownPermille = 0xFFFFFFFFu;
    DWORD barTick = 0;
    DWORD textTick = 0;
    bool textShown = false;
    // Fills the core's hooks with this window.
    void Attach(ProgressHooks& hooks);
};

struct AboutBox {
    static AboutBox* instance;
    AboutBox() { instance = this; }
    bool Show(HINSTANCE module, HWND owner);
    static INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// The text of the About box's build line: "Build Mmm dd yyyy At hh:mm:ss".
std::string BuildStamp();
