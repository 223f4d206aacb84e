// What selecting a file of the tree shows: text in the text pane, pictures
// (images, textures, materials) in the 3D view with their companion text.
#pragma once

#include "pack/PackTree.h"

struct AppState;

// Model: a model is on show; NoModel: the model could not be loaded (the
// reason is in app.viewer.lastModelError). A model or picture that cannot be
// shown empties the view and leaves one line in the text pane: the file and
// the reason.
enum class ItemView { Nothing, Text, Picture, NoPicture, Model, NoModel };

// Views item as the browser does on selection; says what it showed. Folders
// and files of no viewable category show nothing.
ItemView ViewTreeItem(AppState& app, TreeItem item);
