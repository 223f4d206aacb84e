// Bloodlines models out to DirectX text meshes and back: the .x export of
// "Extract Model (D3d.x)" and the vertex modification of a dropped .x file.
#pragma once

#include "pack/FileIndex.h"
#include "pack/OutputFile.h"
#include "pack/PackTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes the model whose path is key.name (any file of the .mdl /
// .dx80.vtx pair, named by its stem) as STEM.x under the output folder, as
// an extraction does, with the texture of each mesh as NAME.tga beside it.
// The model is read and checked first: a model that cannot be read leaves
// nothing behind, and an existing .x is left alone (counted as skipped,
// with no Targa files written). Counts the outcome in the extraction report.
bool ExportModelAsX(const ExportJob& job, FileEntry& key);

// The vertex count of a .x file of the export's layout: the decimal number
// that starts three characters after the first '{'. at receives where it
// starts. False when there is no '{' or no count there.
bool ReadXVertexCount(const char* data, size_t size, uint32_t& count, size_t& at);

// The count positions that follow the count at at, in file order (x, then
// the model's z, then its y, as the export writes them). False, with a
// reason, when the text ends early or a number is malformed or not finite.
bool ReadXPositions(const char* data, size_t size, size_t at, uint32_t count, std::vector<float>& xyz,
                    std::string& why);

// The drop of an edited .x file on tree item target: writes the model named
// after the dropped file, with the bytes of the model named like target and
// the dropped vertex positions, as a loose file under the data folder
// (written beside and renamed into place). Returns false when nothing was
// written. why (when given) receives the reason, or on success the path
// written. A vertex count that does
// not match, and a .x file that cannot be read, are also told through
// job.message.
bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& xPath, std::string* why = nullptr);
