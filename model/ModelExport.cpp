#include "model/ModelExport.h"

#include "pack/GameFiles.h"

bool ExportModelAsX(AppState&, const std::string&, std::string& why) {
    why = "the .x export is not built yet";
    return false;
}

bool ModifyModelVertices(AppState&, TreeItem, const std::string&) { return false; }
