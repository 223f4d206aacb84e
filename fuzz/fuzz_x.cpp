// The vertex modification's reader of dropped .x files: the input is the
// dropped file, applied to a small model of a pack the way a drop on the
// tree applies it, after the reader alone has been run on it.
#include "FuzzPack.h"
#include "model/ModelExport.h"
#include "tools/MdlWriter.h"

#include <cmath>

namespace {

AppState& Game() {
    static AppState* app = [] {
        MdlPair pair;
        pair.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
        return OpenFuzzGame({{"models/f/m.mdl", pair.Mdl()}, {"models/f/m.dx80.vtx", pair.Vtx()}});
    }();
    return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    uint32_t count = 0;
    size_t at = 0;
    std::vector<float> xyz;
    std::string why;
    if (ReadXVertexCount(text, size, count, at) && ReadXPositions(text, size, at, count, xyz, why)) {
        if (xyz.size() != 3 * size_t(count)) std::abort();
        for (float f : xyz)
            if (!std::isfinite(f)) std::abort();
    }

    AppState& app = Game();  // enters the data folder once
    std::string dropped = FuzzFolder() + "/m.x";
    WriteFuzzPack(dropped, data, size);
    TreeItem item = FindTreeItemByPath(app.tree, "models/f/m.mdl");
    if (ModifyModelVertices(app, item, dropped)) {
        // The loose model replaces the packed one; drop it for the next run.
        if (!RemoveFile("models/f/m.mdl")) std::abort();
    }
    return 0;
}
