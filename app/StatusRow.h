// The status row below the text pane: the output folder that extractions
// write into (control 1008) and "Extract Tree" (1011), which keeps the
// pack's folders in what they write.
#pragma once

#include <windows.h>

#include <string>

struct StatusRow {
    HWND outputFolder = nullptr;
    HWND extractTree = nullptr;

    void Create(HWND dialog, const char* folder);
    void Destroy() { outputFolder = extractTree = nullptr; }
    std::string OutputFolder() const;
    bool ExtractTree() const;
    // The folder edit runs from the text pane's left edge to just before
    // "Extract Tree", both on the client area's last line.
    void Layout(int textLeft, int width, int height);
};
