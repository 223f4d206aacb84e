// The Bloodlines model reader: a .mdl model file and its .dx80.vtx strip
// file become a LoadedModel: the view's tables, the text pane's material
// list and check list, and the camera.
#pragma once

#include "model/ModelData.h"
#include "pack/FileIndex.h"
#include "pack/GameFiles.h"
#include "pack/Seams.h"

#include <cstdint>
#include <string>

// Loads the model whose path is key.name: the model extension of its file
// name (.mdl, .dx80.vtx, .phy) is replaced by ".mdl" and by ".dx80.vtx"
// (key.name is rewritten), so any file of the pair selects the model; the
// name may hold other dots. The meshes of every body part's models become
// one model, from float or packed vertices alike. Missing or unreadable
// files, a wrong magic, an unknown vertex format, a vertex array that does
// not hold its vertices, a packed normal outside its table, a model without
// meshes, and any count, offset, index or name that does not lie inside its
// file refuse the model, with its reason in why; so does a model beyond the
// view's capacities, which is also told through message.
bool LoadBloodlinesModel(const GameFiles& files, const MessageSeam& message, FileEntry& key, LoadedModel& out,
                         std::string& why);

// Finds the material file of texture t of the model file mdl: the first
// "materials\DIR\NAME.vmt" that exists, over the model's texture
// directories in order; key receives that path. False when t is not in the
// texture table, the tables do not lie inside the file, or no directory
// gives a hit.
bool FindBloodlinesMaterial(const GameFiles& files, const uint8_t* mdl, uint32_t size, uint32_t t, FileEntry& key);
