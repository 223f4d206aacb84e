// The drop of an edited .x or glTF file on a Bloodlines model of the tree:
// the dropped vertex positions replace the model's, and the model file is
// written, otherwise unchanged, as a loose file under the data folder.
#pragma once

#include "pack/Failure.h"
#include "pack/OutputFile.h"
#include "pack/PackTree.h"

#include <string>

// Whether path names a file ModifyModelVertices takes: .x, .glb or .gltf,
// in any case.
bool IsVertexEditFile(const std::string& path);

// The drop of an edited file on tree item target: writes the model named
// after the dropped file, with the bytes of the model named like target and
// the dropped vertex positions, as a loose file under the data folder
// (written beside and renamed into place). What the file is goes by its
// extension: .glb and .gltf are glTF (see GltfWriteBack.h for how its
// vertices find the model's; a glTF file saved under another name writes
// the model its root node names, when no model is named after the file),
// anything else a .x text mesh. Packed vertices are quantised back with the
// model's own origin and scale, so an unchanged file gives the model byte
// for byte; a position outside a packed model's box refuses the whole file.
// Returns false when nothing was written; failure (when given) then holds
// the reason, with path as its subject. On success written (when given)
// receives the path written. A .x vertex count that does not match, a
// position that cannot be stored, a file that cannot be read, and every
// reason a glTF file cannot be written back (Reason::GltfNotWritable, its
// words as the detail) are also told through job.message, the glTF ones
// with the file's name.
bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& path, Failure* failure = nullptr,
                         std::string* written = nullptr);
