// The session's forms of the work the browser's pop-up menu and drops start:
// each gives the core below the part of AppState it works with.
#pragma once

#include "extract/Extract.h"
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
// An edited .x file dropped on item (see model/ModelExport.h).
bool ModifyModelVertices(AppState& app, TreeItem target, const std::string& xPath, std::string* why = nullptr);
