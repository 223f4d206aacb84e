// Models of both games out as binary glTF 2.0 (.glb), the format today's
// modelling tools import: "Extract Model (glTF)".
#pragma once

#include "model/ModelScene.h"
#include "pack/FileIndex.h"
#include "pack/GameFiles.h"
#include "pack/OutputFile.h"
#include "pack/Seams.h"

#include <string>

// Writes the model whose path is key.name as STEM.glb under the output
// folder, as an extraction does: a Bloodlines model (any file of its .mdl /
// .dx80.vtx pair) or a Redemption model (.nod), with every texture embedded.
// A model is written once per extraction however many of its files the walk
// meets; an existing .glb is left alone (skipped); a model that cannot be
// read leaves no file (failed). A texture that cannot be loaded leaves its
// material without one and is named in the report's notes.
bool ExportModelAsGltf(const ExportJob& job, FileEntry& key);

// The scene of the model of the open game whose file is path (for
// Bloodlines any file of the pair). Files are read through files, texture
// faults told through message; everything is checked as the viewer's
// readers check it. False, with why, when the model cannot be read.
bool ReadModelScene(const GameFiles& files, const MessageSeam& message, const std::string& path, ModelScene& scene,
                    std::string& why);
