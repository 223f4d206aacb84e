// The pack bar: the drop-down list of the data folder's packs (control
// 1022) and the main window's title, which names the shown pack. It mirrors
// the core's PackList and tells the shell which pack the user picked.
#pragma once

#include "pack/PackList.h"

#include <windows.h>

#include <string>

struct PackBar {
    HWND list = nullptr;
    HWND titleWindow = nullptr;

    void Create(HWND dialog, HWND mainWindow);
    void Destroy() { list = titleWindow = nullptr; }
    // The list's entries and selection as the core has them.
    void Mirror(const PackList& packs);
    // "NAME - QuillonEdit", or the program's name alone while no pack is shown.
    void ShowTitle(const std::string& shownPack);
    // The name of the entry the user just picked (CBN_SELCHANGE); empty when
    // none can be read.
    std::string Picked() const;
    void Layout(int width);
};
