// QuillonEdit.exe's shell: the main window, the browser dialog that holds
// the panes, the message loop and shutdown. The shell creates the panes and
// lays them out, and routes between them and the session: a pane tells the
// shell what the user did (an item was chosen, a pack picked, files
// dropped), the shell asks the session (AppState and its operations) and
// tells the panes what to show.
//
//   PackBar    pack list (1022) and the window's title
//   TreePane   tree (1137), filter box (1138), pop-up menu, drops
//   ViewPane   3D view (1002) with its device and GDI copy, camera input,
//              the view's check boxes
//   TextView   text pane (template 101): rich edit and the mesh check list
//   StatusRow  output folder (1008) and "Extract Tree" (1011)
#pragma once

#include "app/Dialogs.h"
#include "app/PackBar.h"
#include "app/SoundPlayer.h"
#include "app/StatusRow.h"
#include "app/TextView.h"
#include "app/TreePane.h"
#include "app/ViewPane.h"
#include "session/AppState.h"

#include <windows.h>

#include <string>
#include <vector>

struct Shell {
    // The one Shell, for the main window's and the browser's procedures.
    static Shell* current;

    AppState core;
    PackBar packBar;
    TreePane treePane;
    ViewPane viewPane;
    TextView textView;
    StatusRow statusRow;
    ProgressWindow progressWindow;
    // The selected sound plays once; selecting anything else stops it.
    SoundPlayer soundPlayer;

    HINSTANCE mainInstance = nullptr;
    HWND mainWindow = nullptr;
    HINSTANCE instance = nullptr;
    HWND browser = nullptr;
    HMODULE richEdit = nullptr;
    std::string startDirectory;
    // Extraction problems are gathered over one pop-up command and told in
    // one message box at its end.
    bool reportExtraction = true;

    Shell();
    ~Shell();

    // Start-up up to the message loop: class, main window, rich edit, the
    // browser, centring and the maximised show. False when the program
    // cannot run (the reason was shown).
    bool Start(HINSTANCE module, const char* commandLine);
    // "PACK [ITEM]": a pack named on the command line (or dropped on the
    // program's icon) opens as "&Set Directory" would open it; an item after
    // it (quoted when it holds spaces) is then selected as a click would.
    void OpenCommandLine(const char* commandLine);
    // The PeekMessage loop: when the queue is empty, a frame if something
    // changed, else wait for the next message.
    void RunLoop();
    // Shutdown after the loop, in the fixed order; restores the directory.
    void Finish();

    // One turn of the loop with an empty queue: the panes brought up to
    // date, and a frame if the view changed; says whether it drew.
    bool RenderTick();
    // Messages taken before dispatching (the view's wheel and Home).
    bool PreTranslate(const MSG& message);

    // What "&Set Directory" does once a path is chosen; also the path given
    // on the command line.
    bool OpenPackFromPath(const std::string& path);
    // Opens the tree down to the item of the shown pack at path (any case,
    // '/' or '\') and selects it as a click would; when there is no such
    // item, selects nothing and says so in the text pane.
    bool OpenItemByPath(const std::string& path);
    // A pack list pick: the tree of the named pack.
    bool LoadPackByName(const std::string& name);
    // The pop-up menu for item, with its greying; the sub-menu to track.
    HMENU PreparePopupMenu(TreeItem item);
    // One pop-up command on item (the extraction with its progress window);
    // gives the number of files concerned.
    uint32_t RunPopupCommand(TreeItem item, uint32_t command);
    // Converts dropped paths on target as a drop does (pictures first, then
    // model files, the rest ignored).
    void DropPaths(TreeItem target, const std::vector<std::string>& paths);
    // The core's text and picture into the text pane and the view.
    void SyncViews();

private:
    static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK BrowserDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool RunMessageLoopSetup(const char* outputFolder);
    bool CreateBrowser(HINSTANCE module, HWND parent, const char* outputFolder);
    void ShutdownBrowser();
    void CenterMainWindow(uint32_t width, uint32_t height);
    // The main window's size into the browser, the text pane's bounds and
    // the status row.
    void LayoutBrowser();
    // The text pane's place into everything else (after it moved or sized).
    void LayoutBrowserControls();
    void OnMenuCommand(WPARAM wParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnTreeEvent(const TreeEvent& event);
    void OnItemChosen(TreeItem item);
    void OnItemClickedAgain(TreeItem item);
    void OnTreeRightClick();
    // After a pack was opened or loaded: its tree, or why there is none.
    bool ShowLoadedPack();
    void UpdateTitle();
    // Puts why the last pack could not be shown into the text pane.
    void ShowFailure();
    static void OnUnload(void* context);
};
