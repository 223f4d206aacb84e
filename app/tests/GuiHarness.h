// What the GUI tests share: the one Shell they drive (started by main() in
// GuiHarness.cpp on a fresh copy of the sample data), the message pump, ways
// to find and select tree items, and real input: the system's own mouse and
// keyboard (SendInput), so that every window on the way is hit-tested as it
// is for a user.
#pragma once

#include "app/Shell.h"
#include "app/resource.h"
#include "tools/PackWriter.h"

#include <functional>
#include <string>
#include <vector>

extern Shell* gShell;
extern std::string gRoot;  // the tests' own copy of the sample data
extern std::vector<std::string> gMessages;  // message boxes, as "CAPTION: TEXT"
extern int gProgressWindows;

// Takes messages and draws idle frames, as the program's loop does, until
// done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000);
void PumpQueue();

std::string Native(const std::string& path);
std::string RealData();  // "" when the real data is not there

// The tree view, through its own messages.
std::string TreeText(HTREEITEM item);
HTREEITEM TreeNext(HTREEITEM item, UINT how);
// By path, expanding folders on the way (which fills them).
HTREEITEM FindInTreeView(const std::string& path);
void SelectInTree(HTREEITEM item);
TreeItem CoreItem(const char* path);

std::string RichEditText();
std::string WindowText(HWND window);
std::string ComboText(int pos);
// A control of the browser in the browser's client coordinates.
RECT ChildRect(int id);
void OpenSamplePack(const char* pack);
void SetOutputFolder(const std::string& folder);
// Opens the sample pack and selects the model at path in it.
void ShowSampleModel(const char* pack, const char* path);
std::vector<float> Eye();
// The tree view's item texts in sight order (expanded folders' children included).
std::vector<std::string> VisibleTreeTexts();
// The middle of a tree item's text, in the tree view's client coordinates.
POINT TreeItemCentre(HTREEITEM item);
// Writes the files as gRoot/folder/pack000.vpk and returns its native path.
std::string WritePack(const std::string& folder, const std::vector<PackFile>& files);
// The real game files below these folders of the real data's bloodlines
// folder, named as in a pack ({} without the real data).
std::vector<PackFile> RealFiles(const std::vector<std::string>& folders);
// The view drawn now, read back from Direct3D.
struct Frame {
    std::vector<uint32_t> pixels;
    uint32_t w = 0, h = 0;
    // The pixel (RGB) at the centre of texel (tx, ty) of a square picture stretched over the frame.
    uint32_t Texel(uint32_t tx, uint32_t ty, uint32_t side) const;
    size_t Drawn() const;  // pixels other than the clear colour
};
Frame RenderView();
uint32_t Rgb(const uint8_t* bgra);
// Frames the program's own loop presents in the given time, woken every tick ms when tick is not 0.
uint64_t FramesInLoop(UINT milliseconds, UINT tick = 0);
// The cursor's display count, left as it was.
int CursorCount();

// Real input. Points are screen coordinates; each call returns once the
// program has taken what it caused (the queue is empty).
POINT ToScreen(HWND window, POINT client);
POINT CursorPos();
void MouseTo(POINT screen);
void MouseBy(int dx, int dy);
// button: 0 left, 1 right.
void MouseDown(int button);
void MouseUp(int button);
void Click(int button, POINT screen);
void DoubleClick(POINT screen);
void Wheel(int notches);
void Key(WORD vk);
void Type(const std::string& text);
// The point of the view's square at fractions fx, fy of its side (screen).
POINT InView(double fx, double fy);
