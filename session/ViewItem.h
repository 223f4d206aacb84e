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
// text pane: the file and the reason. A material whose texture cannot be had
// is the exception: the view shows the checkerboard and the pane the
// material's text, after a line naming the texture and why. Whatever shows
// nothing (NoPicture, NoModel, Nothing) leaves why in app.failure, subject the
// item's path. A picture of a texture (or its material) puts a line of the
// texture's facts before its companion text.
// Sound: app.sound holds a readable sound and the text pane its facts;
// NoSound: the text pane says why the sound cannot be read.
// Map: the pane shows a map's directory, pakfile list and entities; Bytes: a
// hex view of the start of a file of no other kind.
enum class ItemView { Nothing, Text, Picture, NoPicture, Model, NoModel, Sound, NoSound, Map, Bytes };

// Views item as the browser does on selection; says what it showed. Folders
// show nothing; every file shows something (at worst the reason it cannot).
ItemView ViewTreeItem(AppState& app, TreeItem item);

// Shows the start of the file of item as a hex view in the text pane (as for
// files of no known kind), whatever its kind; Nothing, with app.failure
// saying why, when it is a folder or cannot be read.
ItemView ShowItemBytes(AppState& app, TreeItem item);

// Shows a game file's bytes in the text pane; false, with the text
// unchanged, when it cannot be read (an empty file counts as unreadable).
bool ShowFileAsText(AppState& app, FileEntry& key);

// Loads the picture key names (see the reader in texture/LoadImage.h); with
// showText its companion text goes to the text pane (emptied when there is
// none), after the texture's facts when it is one. The picture is not shown.
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
