// QuillonEdit.exe: the main window, the browser dialog, the text pane and
// the small dialogs over the core's AppState. Window messages become core
// calls; after each, the controls are brought up to date from the core's
// state (pack list, tree, text, picture).
#pragma once

#include "app/D3dViewer.h"
#include "app/SoundPlayer.h"
#include "app/TextView.h"
#include "pack/TreeSelect.h"
#include "session/AppState.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// The progress window of the core's long work (template 163).
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

struct GuiState {
    // The one GuiState, for the window and dialog procedures.
    static GuiState* current;

    AppState core;
    D3dViewer viewer;
    TextView textView;
    ProgressWindow progressWindow;

    HINSTANCE mainInstance = nullptr;
    HWND mainWindow = nullptr;
    HINSTANCE instance = nullptr;
    HWND browser = nullptr;
    HWND tree = nullptr;
    HWND packList = nullptr;
    HIMAGELIST treeImages = nullptr;
    HMENU popupMenu = nullptr;
    HMODULE richEdit = nullptr;
    int32_t viewLeft = 0;
    int32_t viewSize = 0;
    std::string startDirectory;
    // Frames drawn so far: the loop draws only when what the view shows
    // changed (FrameState) or the view was uncovered.
    uint64_t frames = 0;
    std::string drawnState;
    // Mouse navigation in the 3D view. Drag mode: 0 none, 1 right button
    // (pan), 2 left button (turn), 3 both (zoom). The cursor's place where
    // the drag began (screen), screen minus dialog-client coordinates, and
    // the reference point of the next movement (dialog client).
    int32_t dragMode = 0;
    POINT dragCursor = {0, 0};
    POINT screenOffset = {0, 0};
    int16_t lastMouseX = 0;
    int16_t lastMouseY = 0;
    // Hidden by us: every hide is paired with exactly one show.
    bool cursorHidden = false;
    // The camera of the last model load: double-click and Home go back to it.
    Camera loadedCamera;
    // Extraction problems are gathered over one pop-up command and told in
    // one message box at its end.
    bool reportExtraction = true;

    // The tree view mirrors the core's tree folder by folder: handles[i] is
    // the tree-view item of core item i (null until its folder is filled),
    // filled[i] whether folder i's children were inserted.
    std::vector<HTREEITEM> handles;
    std::vector<uint8_t> filled;

    // The filter box above the tree (FilterBox.cpp): which core items the
    // tree view gets while a filter is typed, and the folders that were
    // open (and the first item in sight) before it, to come back to.
    HWND filterEdit = nullptr;
    TreeFilter treeFilter;
    std::vector<TreeItem> expandedBeforeFilter;
    TreeItem firstVisibleItem = kNoItem;
    // Set while the tree view's selection is changed by us, not the user.
    bool quietSelection = false;

    // The selected sound plays once; selecting anything else stops it.
    SoundPlayer soundPlayer;

    GuiState();
    ~GuiState();

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

    bool RunMessageLoopSetup(const char* outputFolder);
    void ShutdownBrowser();
    void CenterMainWindow(uint32_t width, uint32_t height);
    void LayoutBrowser();
    void OnMenuCommand(WPARAM wParam);
    // Draws a frame when what the view shows changed; says whether it drew.
    bool RenderTick();
    // What a frame depends on, as bytes to compare.
    std::string FrameState() const;
    // Messages the view takes before dispatching (the wheel over the view,
    // Home while it has the focus); true when taken.
    bool PreTranslate(const MSG& message);
    static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateBrowser(HINSTANCE module, HWND parent, const char* outputFolder);
    static INT_PTR CALLBACK BrowserDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnTreeNotify(NMHDR* header);
    void OnTreeSelect(HTREEITEM item);
    void OnTreeRightClick();
    void OnDropFiles(HDROP drop);
    void LayoutBrowserControls();

    // The 3D view's mouse, in dialog client coordinates (ViewInput.cpp).
    void OnViewMouse(UINT message, WPARAM wParam, LPARAM lParam);
    void OnViewButtonDown(bool left, WPARAM wParam, LPARAM lParam);
    void OnViewButtonUp(bool left, WPARAM wParam);
    void OnViewMouseMove(WPARAM wParam, LPARAM lParam);
    // The wheel at a screen point: zooms when over the view; true when the
    // point is over the view.
    bool OnViewWheel(int32_t delta, POINT screen);
    void EndDrag();
    void ResetCamera();
    bool InView(int32_t x, int32_t y) const;
    void HideCursor();
    void RevealCursor();

    // What "&Set Directory" does once a path is chosen; also the path given
    // on the command line.
    bool OpenPackFromPath(const std::string& path);
    // Opens the tree down to the item of the shown pack at path (any case,
    // '/' or '\') and selects it as a click would; when there is no such
    // item, selects nothing and says so in the text pane.
    bool OpenItemByPath(const std::string& path);
    // The main window's title: the shown pack's name, if any.
    void UpdateTitle();
    // A pack list pick: the tree of the named pack.
    bool LoadPackByName(const std::string& name);
    // The pop-up menu for item, with its greying; the sub-menu to track.
    HMENU PreparePopupMenu(TreeItem item);
    // One pop-up command on item (the extraction with its progress window);
    // gives the number of files concerned.
    uint32_t RunPopupCommand(TreeItem item, uint32_t command);
    // Converts dropped paths on target as a drop does (Targa files first,
    // then .x files, the rest ignored).
    void DropPaths(TreeItem target, const std::vector<std::string>& paths);

    void InitFilterBox();
    void OnFilterChanged();
    // Empties the box and forgets the filter (a new tree is shown).
    void ClearFilter();
    void RefillTreeView();
    void SaveTreeExpansion();
    void RestoreTreeExpansion();
    void OpenFoldersToMatches();
    // A click on the selected item: a sound playing stops, else plays again.
    void OnTreeClick();

    // Core state into the controls.
    void MirrorPackList();
    // Puts why the last pack could not be shown into the text pane.
    void ShowFailure();
    void MirrorTreeTop();
    void FillTreeFolder(TreeItem folder);
    // The tree-view item of a core item, filling folders on the way.
    HTREEITEM RevealItem(TreeItem item);
    TreeItem CoreItem(HTREEITEM item) const;
    void SyncViews();
    void ReadOutputFolder();
};
