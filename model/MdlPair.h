// A Bloodlines model pair (.mdl and .dx80.vtx) read whole through the game
// files and checked, for the exports and the vertex write-back: everything
// they touch lies inside the files.
#pragma once

#include "model/MdlFormat.h"
#include "pack/GameFiles.h"

#include <cstdint>
#include <memory>
#include <string>

struct ModelPair {
    std::unique_ptr<uint8_t[]> mdlBytes, vtxBytes;
    mdlformat::Bytes mdl{nullptr, 0}, vtx{nullptr, 0};
    mdlformat::MdlLayout m;
};

// The whole game file at path (any case, '/' or ''); null, with size 0,
// when it is missing, empty, unreadable or its path does not fit a key.
std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, const std::string& path, uint32_t& size);

// STEM.mdl read and its tables checked; the strip file is not read.
bool ReadModelFile(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why);

// STEM.mdl and STEM.dx80.vtx read and checked, every strip group included
// (the viewer leaves some out; the exports write them all); faces receives
// the number of triangles. False, with why, when either file is missing or
// anything lies outside its file.
bool ReadModelPair(const GameFiles& files, const std::string& stemPath, ModelPair& p, uint32_t& faces,
                   std::string& why);
