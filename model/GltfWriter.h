// A ModelScene as one binary glTF 2.0 file (.glb): the JSON part written
// with nlohmann-json, the binary part (vertex data, indices, pictures as
// PNG) laid out here.
#pragma once

#include "model/ModelScene.h"

#include <cstdint>
#include <string>
#include <vector>

// Builds the .glb of scene into out: one node and one mesh with one
// triangle primitive per scene mesh (meshes without triangles are left
// out), one material per scene material with its picture embedded as PNG
// (alpha mode, cut-off 0.5 for MASK, double-sided; a material's png is used
// as it is when it holds one), and one node per bone
// below its parent; all below one root node named scene.fileName (when
// set). Names repeated within nodes, meshes or materials get the mesh's (or
// material's) number; each vertex's model vertex and mesh numbers go out as
// TEXCOORD_1. A material whose picture cannot be encoded gets no
// texture and is added to scene.missingTextures. False, with why, when the
// scene has no triangle at all or a position is not a finite number.
bool WriteGlb(ModelScene& scene, std::vector<uint8_t>& out, std::string& why);
