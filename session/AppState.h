// The session: the one state record of a run (AppState) and the operations
// that open and show packs. Front ends (app/, cli/) hold an AppState and call
// these; everything below takes only the part of the state it uses.
#pragma once

#include "model/Camera.h"
#include "pack/Failure.h"
#include "pack/FileIndex.h"
#include "pack/GameFiles.h"
#include "pack/OutputFile.h"
#include "pack/PackList.h"
#include "pack/PackTree.h"
#include "pack/Seams.h"
#include "sound/SoundInfo.h"
#include "textview/TextContent.h"
#include "viewer/Viewer.h"

#include <cstdint>
#include <string>

// Everything the core keeps about the open data folder and the shown pack.
struct AppState {
    uint32_t gameType = kGameNone;
    PackCounts redemptionPacks;
    PackCounts bloodlinesPacks;
    PackIndex fileIndex;
    PackList packList;
    PackTree tree;
    // A pack's tree is shown, and how many files it lists (0: none shown).
    bool packsLoaded = false;
    uint32_t listedFiles = 0;
    // The front end accepts dropped files while a pack is shown.
    bool acceptsDroppedFiles = false;

    // The output folder, "Extract Tree", category counts and the report.
    ExtractState extraction;
    // The text pane's content and the 3D view's picture.
    TextContent textView;
    Viewer viewer;
    // Eye, orientation and model scale of the 3D view (set by model loads).
    Camera camera;
    // The sound selected last, for the front end to play.
    SoundClip sound;

    // Why the last pack open, pack load or view failed (None when it did
    // not), for the front end to show.
    Failure failure;

    MessageSeam message;
    ProgressHooks progressHooks;
    // The progress window of the browser's own work (extractions).
    ProgressDialog progress{&progressHooks};
    // What UnloadPack must also clear in the front end (text pane, 3D view).
    void (*onUnload)(void* context) = nullptr;
    void* onUnloadContext = nullptr;

    AppState();
    PackCounts& CurrentPacks() { return gameType == kGameRedemption ? redemptionPacks : bloodlinesPacks; }
    // The game files of the open data folder, for the readers.
    GameFiles Files() const { return GameFiles{gameType, &fileIndex, &packList, nullptr}; }
    // An export of a subtree into the output folder.
    ExportJob Export() { return ExportJob{Files(), extraction, progress, message}; }
};

// Makes path's folder the data folder (and the current directory), lists and
// indexes the packs of path's kind there, and selects path's pack. False
// (game type 0) on an unknown extension or when no pack could be listed or
// indexed. A chosen file that is not a pack of its kind gives false too,
// with the pack list and index kept so that another pack can be loaded;
// app.failure says why in every case.
bool OpenPack(AppState& app, const char* path);

// Shows the tree of the pack list entry named name (ignoring case), or of the
// first entry when none is; gives whether a tree is shown. A file that is not
// a pack of its kind shows none, with app.failure naming it and the reason.
bool LoadPack(AppState& app, const std::string& name);
// Clears what LoadPack showed; the index, pack list and game type stay.
void UnloadPack(AppState& app);
