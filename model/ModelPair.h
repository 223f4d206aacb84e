// A Bloodlines model pair (STEM.mdl and STEM.dx80.vtx) read whole from the
// game files and checked: what the viewer's reader, the .x export and the
// vertex modification start from.
#pragma once

#include "model/MdlFormat.h"
#include "pack/GameFiles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The path of a model's files without their extension: a file name ending
// in one of the model extensions (.mdl, .dx80.vtx or another .vtx, .phy)
// loses it, any other loses its last extension. Names may hold more dots
// ("wineglass.mdl_female.mdl"); only the known extension is cut, and never
// inside a folder name.
std::string ModelStemPath(const std::string& path);

// The file name of path (after the last '/' or '\').
size_t NameStart(const std::string& path);

struct ModelPair {
    // The model file is shared with the animations read from it.
    std::shared_ptr<uint8_t[]> mdlBytes;
    std::unique_ptr<uint8_t[]> vtxBytes;
    mdlformat::Bytes mdl{nullptr, 0}, vtx{nullptr, 0};
    mdlformat::MdlLayout m;
    // Every vertex of the model, decoded (Z up).
    std::vector<mdlformat::Vertex> vertices;
};

// Reads STEM.mdl and checks its tables and vertices. False with a reason.
bool ReadModelFile(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why);
// Then STEM.dx80.vtx as well (its strip groups are checked by their users).
bool ReadModelPair(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why);
