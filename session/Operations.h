// The session's forms of the work the browser's pop-up menu and drops start:
// each gives the core below the part of AppState it works with.
#pragma once

#include "extract/Extract.h"
#include "model/VertexWriteBack.h"
#include "session/AppState.h"

#include <cstdint>
#include <string>
#include <vector>

// The pop-up menu's command on item (see RunExtraction in extract/).
uint32_t RunExtraction(AppState& app, TreeItem item, uint32_t command);
uint32_t RunExtraction(AppState& app, const std::vector<TreeItem>& items, uint32_t command);
// Adds the files below item to app.extraction's category counts.
void CountCategories(AppState& app, TreeItem item);
// A Targa file dropped on item (see texture/TextureExport.h).
bool ConvertTgaToTexture(AppState& app, TreeItem item, const char* path);
// An edited .x, .glb or .gltf file dropped on item, told apart by its
// extension (see model/VertexWriteBack.h; IsVertexEditFile says which files
// it takes). On failure app.failure holds the reason; on success written
// (when given) receives the path written.
bool ModifyModelVertices(AppState& app, TreeItem target, const std::string& path, std::string* written = nullptr);
