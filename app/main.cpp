// QuillonEdit.exe: the program entry.
#include "app/Shell.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR commandLine, int) {
    GuiState gui;
    if (gui.Start(module, commandLine)) gui.RunLoop();
    gui.Finish();
    return 1;
}
