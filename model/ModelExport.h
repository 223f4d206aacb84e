// Bloodlines models out to DirectX text meshes: the .x export of
// "Extract Model (D3d.x)".
#pragma once

#include "model/ModelPair.h"
#include "pack/FileIndex.h"
#include "pack/OutputFile.h"

#include <string>

// Writes the model whose path is key.name (any file of the .mdl /
// .dx80.vtx pair, named by its stem: the file name without its model
// extension) as STEM.x under the output folder, as an extraction does,
// with the texture of each mesh as NAME.tga beside it. The geometry of
// every body part goes into the one mesh. The model is read and checked
// first: a model that cannot be read leaves nothing behind, and an
// existing .x is left alone (counted as skipped, with no Targa files
// written). Counts the outcome in the extraction report, once per model:
// the other files of a pair already met in this extraction count nothing.
bool ExportModelAsX(const ExportJob& job, FileEntry& key);

// True the first time since the report was cleared that an extraction
// meets the model of path (any of its files).
bool FirstMeetingOfModel(ExtractReport& report, const std::string& path);

// Checks every strip group of a read pair, all of them (the viewer leaves
// some out; the exports write them all), and counts its triangles into
// faces. False with a reason.
bool CountFaces(const ModelPair& p, uint32_t& faces, std::string& why);
