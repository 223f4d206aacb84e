// Where an edited glTF file puts a Bloodlines model's vertices. Our export
// gives every vertex TEXCOORD_1 = (its number in the model, its mesh's),
// which Blender keeps through import, edits short of topology changes, and
// export, while it reorders, splits and drops vertices; a file without it
// is matched triangle by triangle.
#pragma once

#include "model/GltfReader.h"
#include "model/ModelPair.h"

#include <cstdint>
#include <string>
#include <vector>

// Per model vertex: whether the file places it, and where, in the model's
// own frame (Z up).
struct PlacedVertices {
    std::vector<uint8_t> placed;
    std::vector<float> xyz;
};

// Places the vertices of p (checked, with its strip file) by file: the
// positions (already placed by their nodes) turned back from Y up to Z up.
// With TEXCOORD_1 each corner names its model vertex and mesh; without it
// in any primitive, each primitive's material names a model mesh (Blender's
// NAME.001 for the second mesh of a name) whose triangles, less those
// Blender drops (a repeat of an earlier triangle's corners, or one with a
// corner twice), must follow in order with every TEXCOORD_0 within 1e-5 of
// the model's. Copies of one vertex must agree within 1e-4 of the model's
// size. A model mesh no triangle names keeps its vertices; so does a vertex
// no corner names. False, with why naming the mesh and the numbers, for a
// vertex or mesh number out of range or not whole, a triangle whose corners
// name different meshes, a mesh only partly present or with more triangles
// than the model's, copies apart, positions that read as Z up, a file that
// names no vertex of the model, and a file whose triangles do not follow
// the model's.
bool PlaceGltfVertices(const GltfScene& file, const ModelPair& p, PlacedVertices& out, std::string& why);
