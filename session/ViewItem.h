// What selecting a file of the tree shows: text in the text pane, pictures
// (images, textures, materials) in the 3D view with their companion text,
// models with their check list. These are the session's forms of the
// readers: they read through the open game's files and put the result on
// display.
#pragma once

#include "pack/FileIndex.h"
#include "pack/PackTree.h"
#include "session/AppState.h"
#include "texture/LoadImage.h"

#include <string>

// Model: a model is on show; NoModel: the model could not be loaded. A model
// or picture that cannot be shown empties the view and leaves one line in the
// text pane: the file and the reason. Whatever shows nothing (NoPicture,
// NoModel, Nothing) leaves why in app.failure, subject the item's path.
// Sound: app.sound holds a readable sound and the text pane its facts;
// NoSound: the text pane says why the sound cannot be read.
enum class ItemView { Nothing, Text, Picture, NoPicture, Model, NoModel, Sound, NoSound };

// Views item as the browser does on selection; says what it showed. Folders
// and files of no viewable category show nothing.
ItemView ViewTreeItem(AppState& app, TreeItem item);

// Shows a game file's bytes in the text pane; false, with the text
// unchanged, when it cannot be read (an empty file counts as unreadable).
bool ShowFileAsText(AppState& app, FileEntry& key);

// Loads the picture key names (see the reader in texture/LoadImage.h); with
// showText its companion text goes to the text pane (emptied when there is
// none). The picture is not shown.
LoadResult LoadImage(AppState& app, FileEntry& key, Image32& image, bool showText);

// Reads the sound key names into app.sound and shows its facts (or why it
// cannot be read) as one line in the text pane.
ItemView ShowSound(AppState& app, FileEntry& key);

// Loads the model key names with the reader of that game and shows it: the
// view's tables, the check list and text, the camera. A refused model leaves
// the display as it was and its reason in app.failure (ModelNotLoaded, the
// reader's words as its detail).
bool LoadBloodlinesModel(AppState& app, FileEntry& key);
bool LoadRedemptionModel(AppState& app, FileEntry& key);
