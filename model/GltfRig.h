// A rigged Bloodlines model's skeleton as a glTF skin: joints placed by
// their pose-to-bone matrices, attachments below their bones, and every
// animation as joint transforms relative to their parents (glTF composes
// plainly, so the game's model-space rule is resolved here).
#pragma once

#include "model/ModelRig.h"
#include "model/ModelScene.h"

// Adds rig's bones as the scene's joints (first, in bone order, named as
// in the file), its attachments as bones below theirs, and its animations,
// all in the scene's frame (a file point (x, y, z) is (x, z, -y)). The
// meshes' joints and weights are added by the caller as it collects their
// vertices (AddVertexBones).
void AddRigToScene(const ModelRig& rig, ModelScene& scene);

// Appends the bones of model vertex v to a skinned mesh being collected.
void AddVertexBones(const ModelRig& rig, uint32_t v, SceneMesh& mesh);
