// The Bloodlines model reader: a .mdl model file and its .dx80.vtx strip
// file become the model on display (Viewer's tables), the text pane's
// material list and check list, and the camera.
#pragma once

#include "pack/FileIndex.h"

#include <cstdint>

struct AppState;

// Loads the model whose path is key.name: the model extension of its file
// name (.mdl, .dx80.vtx, .phy) is replaced by ".mdl" and by ".dx80.vtx"
// (key.name is rewritten), so any file of the pair selects the model; the
// name may hold other dots. The meshes of every body part's models are
// shown as one model, from float or packed vertices alike. Missing or
// unreadable files, a wrong magic, an unknown vertex format, a vertex
// array that does not hold its vertices, a packed normal outside its
// table, a model without meshes, and any count, offset, index or name that
// does not lie inside its file refuse the model before anything on display
// changes; so does a model beyond the record's capacities, with a message
// naming the limit. The reason of a refusal is left in
// app.viewer.lastModelError.
bool LoadBloodlinesModel(AppState& app, FileEntry& key);

// Finds the material file of texture t of the model file mdl: the first
// "materials\DIR\NAME.vmt" that exists, over the model's texture
// directories in order; key receives that path. Sets the text pane's text
// to the material list. False when t is not in the texture table, the
// tables do not lie inside the file, or no directory gives a hit.
bool FindBloodlinesMaterial(AppState& app, const uint8_t* mdl, uint32_t size, uint32_t t, FileEntry& key);
