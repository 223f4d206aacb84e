#include "session/Operations.h"

#include "model/ModelExport.h"
#include "model/VertexWriteBack.h"
#include "texture/TextureExport.h"

namespace {

DropJob Drop(AppState& app) { return DropJob{app.Files(), app.tree, app.progress, app.message}; }

}  // namespace

uint32_t RunExtraction(AppState& app, TreeItem item, uint32_t command) {
    return RunExtraction(app.Export(), app.tree, item, command);
}

uint32_t RunExtraction(AppState& app, const std::vector<TreeItem>& items, uint32_t command) {
    return RunExtraction(app.Export(), app.tree, items, command);
}

void CountCategories(AppState& app, TreeItem item) { CountCategories(app.tree, app.extraction, item); }

bool ConvertTgaToTexture(AppState& app, TreeItem item, const char* path) {
    return ConvertTgaToTexture(Drop(app), item, path);
}

bool ModifyModelVertices(AppState& app, TreeItem target, const std::string& path, std::string* written) {
    app.failure.Clear();
    return ModifyModelVertices(Drop(app), target, path, &app.failure, written);
}
