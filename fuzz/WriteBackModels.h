// The two models the write-back fuzz targets (fuzz_x, fuzz_gltf) drop their
// input on, and gltf_seeds exports as seeds: models/f/m.mdl of six float
// vertices whose first triangle is drawn twice, models/f/p.mdl of both
// packed layouts, each in a body part of its own after an empty one.
#pragma once

#include "tools/MdlWriter.h"
#include "tools/PackWriter.h"

#include <vector>

inline std::vector<PackFile> WriteBackFuzzModels() {
    MdlPair floats;
    floats.meshes = {{0, {{0x10, {0, 1, 2, 3}, {0, 1, 2, 2, 1, 0, 1, 3, 2}}}}, {2, {{0x02, {0, 1, 3}, {2, 1, 0}}}}};
    MdlPair packed;
    packed.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
    packed.format = 2;
    packed.origin = {0, 100, 200};
    packed.scale = {8, 8, 8};
    packed.emptyPartsBefore = 1;
    MdlGeometry wide;
    wide.format = 1;
    wide.origin = {-1, -1, -1};
    wide.scale = {0.001f, 0.001f, 0.001f};
    // Inside the box, with normal codes of the 12-byte table (12 x an
    // index): the default records' would refuse the whole model.
    for (int i = 0; i < 3; ++i)
        wide.vertices.push_back({-1 + 0.5f * i, -1 + 0.25f * i, -1 + 0.125f * i, float(12 * 100 * i), 0, 0, 0.25f * i, 0.5f});
    wide.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
    packed.laterParts.push_back(wide);
    packed.textures.push_back("third");
    return {{"models/f/m.mdl", floats.Mdl()},
            {"models/f/m.dx80.vtx", floats.Vtx()},
            {"models/f/p.mdl", packed.Mdl()},
            {"models/f/p.dx80.vtx", packed.Vtx()}};
}
