// Bloodlines models out to DirectX text meshes and back: the .x export of
// "Extract Model (D3d.x)" and the vertex modification of a dropped .x file.
#pragma once

#include "pack/PackTree.h"

#include <string>

struct AppState;

// Writes the model whose tree path is path (any file of the .mdl /
// .dx80.vtx pair) as NAME.x with its textures as Targa files beside it,
// under the output folder as an extraction does. Refuses, creating
// nothing, when the .x exists or the model cannot be read; why receives
// the reason.
bool ExportModelAsX(AppState& app, const std::string& path, std::string& why);

// The drop of an edited .x file on tree item target: writes the model named
// after the dropped file, with the packed model's bytes and the dropped
// vertex positions, as a loose file under the data folder. Returns false
// when nothing was written (a count mismatch is also told through
// app.message).
bool ModifyModelVertices(AppState& app, TreeItem target, const std::string& xPath);
