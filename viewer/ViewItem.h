// What selecting a file of the tree shows: text in the text pane, pictures
// (images, textures, materials) in the 3D view with their companion text.
#pragma once

#include "pack/PackTree.h"

struct AppState;

enum class ItemView { Nothing, Text, Picture, NoPicture, Model };

// Views item as the browser does on selection; says what it showed. Folders
// and files of no viewable category show nothing.
ItemView ViewTreeItem(AppState& app, TreeItem item);
