// The vertex modification's reader of dropped .x files: the input is the
// dropped file, applied to two small models of a pack the way a drop on the
// tree applies it (WriteBackModels.h: one of float vertices, one of packed
// vertices in two body parts, whose positions are quantised back), after
// the reader alone has been run on it.
#include "FuzzPack.h"
#include "WriteBackModels.h"
#include "model/VertexWriteBack.h"
#include "model/XReader.h"

#include <cmath>

namespace {

AppState& Game() {
    static AppState* app = OpenFuzzGame(WriteBackFuzzModels());
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
    for (const char* name : {"m", "p"}) {
        std::string dropped = FuzzFolder() + "/" + name + ".x", model = std::string("models/f/") + name + ".mdl";
        WriteFuzzPack(dropped, data, size);
        TreeItem item = FindTreeItemByPath(app.tree, model);
        if (ModifyModelVertices(app, item, dropped)) {
            // The loose model replaces the packed one; drop it for the next run.
            if (!RemoveFile(model.c_str())) std::abort();
        }
    }
    return 0;
}
