// QuillonEdit.exe: the program entry.
#include "app/Shell.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR commandLine, int) {
    Shell shell;
    if (shell.Start(module, commandLine)) shell.RunLoop();
    shell.Finish();
    return 1;
}
