// The glTF reader of the vertex write-back: the input is a dropped .glb or
// .gltf file. The reader alone must give either a refusal with its reason or
// primitives whose every index names one of their vertices; then the input
// is dropped on a model of float vertices and on one of packed vertices in
// two body parts, as a drop on the tree does.
#include "FuzzPack.h"
#include "WriteBackModels.h"
#include "model/GltfReader.h"
#include "model/VertexWriteBack.h"

namespace {

AppState& Game() {
    static AppState* app = OpenFuzzGame(WriteBackFuzzModels());
    return *app;
}

void CheckScene(const GltfScene& scene) {
    for (const GltfPrimitive& g : scene.primitives) {
        uint32_t n = g.VertexCount();
        if (g.positions.size() != 3 * size_t(n) || g.indices.size() % 3 != 0) std::abort();
        if ((!g.texcoord0.empty() && g.texcoord0.size() != 2 * size_t(n)) ||
            (!g.texcoord1.empty() && g.texcoord1.size() != 2 * size_t(n)))
            std::abort();
        for (uint32_t i : g.indices)
            if (i >= n) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GltfScene scene;
    std::string why;
    if (ReadGltf(data, size, nullptr, scene, why))
        CheckScene(scene);
    else if (why.empty())
        std::abort();

    AppState& app = Game();  // enters the data folder once
    for (const char* name : {"m", "p"}) {
        std::string dropped = FuzzFolder() + "/" + name + ".glb", model = std::string("models/f/") + name + ".mdl";
        WriteFuzzPack(dropped, data, size);
        if (ModifyModelVertices(app, FindTreeItemByPath(app.tree, model), dropped)) {
            // The loose model replaces the packed one; drop it for the next run.
            if (!RemoveFile(model.c_str())) std::abort();
        }
    }
    return 0;
}
