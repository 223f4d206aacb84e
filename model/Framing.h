// Placing the camera so that a freshly loaded model is seen whole: both
// model readers call FrameModel once the vertices are written, and the CLI
// and the GUI share the result.
#pragma once

#include "model/Camera.h"
#include "model/ModelData.h"

struct ModelBounds {
    bool empty = true;  // no finite vertex
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    // The middle of the box and the largest distance of a vertex from it.
    float centre[3] = {0, 0, 0};
    float radius = 0.0f;
};

// The bounds of the vertices the meshes' triangles use (hidden meshes too,
// never past the vertices given). Vertices that are not finite are left
// out, so one broken vertex cannot send the camera away.
ModelBounds MeasureModel(const ModelVertex* vertices, uint64_t vertexCount, const MeshRange* meshes,
                         uint64_t meshCount);

// The distance from the centre at which a sphere of this radius just fits the
// vertical field of view, and never so near that the near plane cuts it.
float FramingDistance(float radius);

// Turns the model about the centre of its bounds and puts the eye on -z at
// the framing distance; the orientation is 0, or a quarter turn of yaw for
// a model deeper than it is wide, so that its long side faces the eye. Widens
// the zoom's far limit and the far plane when the model needs it. The model
// scale is left as it is. An empty model gets the centre at the origin and
// the eye at (0, 0, -16).
void FrameModel(const ModelBounds& bounds, Camera& camera);
// The same for what a reader made: model.camera.
void FrameModel(LoadedModel& model);
