// The Redemption model reader: a model file (NOD) becomes the model on
// display (Viewer's tables and skeleton), the text pane's check list of
// mesh groups and the model's motion file as text, and the camera.
#pragma once

#include "model/ModelData.h"
#include "pack/FileIndex.h"
#include "pack/GameFiles.h"
#include "pack/Seams.h"
#include "texture/LoadImage.h"

#include <string>

// Loads the model whose path is key.name (OpenGameFile rewrites it). A
// missing file, a version other than 7, and any count or index that does
// not lie inside the file or its tables (sections shorter than their counts,
// triangles outside the vertices, group runs past the triangle or vertex
// sections, texture, name or parent indices outside their tables) refuse
// the model, with its reason in why; so does a model beyond the view's
// capacities, which is also told through message.
//
// On success the model scale (out.camera.modelScale) is 1.0 for models
// smaller than 10 units and 0.1 otherwise; file points (x, y, z) are shown
// at scale x (-x, z, -y); the text is that of "3d\motions\NAME.nms" for a
// model file NAME.nod in any folder (empty when there is none), and
// out.motionFile names it. A bone whose matrix, or whose parent's, has no
// inverse draws no skeleton segment.
bool LoadRedemptionModel(const GameFiles& files, const MessageSeam& message, FileEntry& key, LoadedModel& out,
                         std::string& why);

// The picture of texture name (as a model names it, without extension): the
// first material NAME.nam of the material folders, in their order, that
// loads. image must hold no pixels; the caller releases it.
LoadResult LoadRedemptionTexture(const GameFiles& files, const MessageSeam& message, const std::string& name,
                                 Image32& image);
