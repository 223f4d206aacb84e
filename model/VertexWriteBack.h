// The drop of an edited .x file on a Bloodlines model of the tree: the
// dropped vertex positions replace the model's, and the model file is
// written, otherwise unchanged, as a loose file under the data folder.
#pragma once

#include "pack/OutputFile.h"
#include "pack/PackTree.h"

#include <string>

// The drop of an edited .x file on tree item target: writes the model named
// after the dropped file, with the bytes of the model named like target and
// the dropped vertex positions, as a loose file under the data folder
// (written beside and renamed into place). Packed vertices are quantised
// back with the model's own origin and scale, so an unchanged .x gives the
// model byte for byte; a position outside a packed model's box refuses the
// whole file. Returns false when nothing was written. why (when given)
// receives the reason, or on success the path written. A vertex count that
// does not match, a position that cannot be stored, and a .x file that
// cannot be read are also told through job.message.
bool ModifyModelVertices(const DropJob& job, TreeItem target, const std::string& xPath, std::string* why = nullptr);
