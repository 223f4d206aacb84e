// The Redemption model reader: the input is a model file (NOD), written as
// a loose file of a data folder whose pack holds materials in two of the
// material folders and the model's motion file, and loaded as the browser
// loads a selected model.
#include "FuzzPack.h"
#include "model/RedemptionModel.h"
#include "tools/PackWriter.h"
#include "tools/TextureWriter.h"

#include <filesystem>

namespace {

const char kModel[] = "models/f/knight.nod";

AppState& Game() {
    static AppState* app = [] {
        const std::string& folder = FuzzFolder();
        std::filesystem::create_directories(folder + "/models/f");
        // Present before the pack is opened, so that the loose-file lookup
        // knows it from the start.
        WriteFuzzPack(folder + "/" + kModel, nullptr, 0);
        WriteWholeFile(folder + "/data.nob",
                       BuildNob({{"3D/Materials/Stone.nam", "PASS 0 WALL.TGA\r\nTWOSIDED\r\n"},
                                 {"3D/Materials/WALL.TGA", BuildTga(8, 4, 24)},
                                 {"Materials/London/Brick.nam", "TEXTURE brick.bmp\r\nADDBLEND\r\n"},
                                 {"Materials/London/BRICK.BMP", BuildBmp(4, 2, 24, false)},
                                 {"3D/Motions/Knight.NMS", "motions\r\n"}}));
        AppState* a = new AppState;
        if (!OpenPack(*a, (folder + "/data.nob").c_str())) std::abort();
        return a;
    }();
    return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AppState& app = Game();  // enters the data folder once
    WriteFuzzPack(kModel, data, size);
    FileEntry key = {};
    std::strcpy(key.name, kModel);
    if (LoadRedemptionModel(app, key)) {
        // What was written must lie inside the record.
        const Viewer& v = app.viewer;
        uint64_t vertices = 0;
        for (uint32_t i = 0; i < v.meshCount; ++i) vertices += 3 * uint64_t(v.meshes[i].triangleCount);
        if (vertices > v.lockedVertices || v.slotCount > kTextureSlotCapacity || v.meshCount > kMeshCapacity ||
            v.skeleton.pointCount > 2 * kSkeletonSegmentCapacity || app.textView.entryCount != v.meshCount)
            std::abort();
        for (uint32_t i = 0; i < v.meshCount; ++i)
            if (v.meshes[i].textureIndex + 1 >= v.slotCount) std::abort();
    }
    return 0;
}
