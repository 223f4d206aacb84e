// The Bloodlines model reader: the input is a model pair, two bytes
// (little-endian) of .mdl length, the .mdl, then the .dx80.vtx. Both become
// loose files of a data folder whose pack holds one material with its
// texture, and the pair is loaded as the browser loads a selected model,
// every animation of its skeleton played for a few frames, and exported as
// "Extract Model (D3d.x)" and "Extract Model (glTF)" export it.
#include "FuzzPack.h"
#include "model/BloodlinesModel.h"
#include "model/GltfExport.h"
#include "model/ModelExport.h"
#include "tools/PackWriter.h"
#include "tools/TextureWriter.h"

#include <filesystem>

namespace {

const char kMdl[] = "models/f/m.mdl";
const char kVtx[] = "models/f/m.dx80.vtx";

AppState& Game() {
    static AppState* app = [] {
        const std::string& folder = FuzzFolder();
        std::filesystem::create_directories(folder + "/models/f");
        // Present before the pack is opened, so that the loose-file lookup
        // knows them from the start.
        WriteFuzzPack(folder + "/" + kMdl, nullptr, 0);
        WriteFuzzPack(folder + "/" + kVtx, nullptr, 0);
        std::string tth, ttz;
        BuildTexturePair(12, 8, 8, 1, tth, ttz);
        return OpenFuzzGame({
            {"materials/models/f/skin.vmt", "\"$basetexture\" \"models/f/skin\"\n\"$nocull\" 1\n"},
            {"materials/models/f/skin.tth", tth},
            {"materials/models/f/skin.ttz", ttz},
        });
    }();
    return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    AppState& app = Game();  // enters the data folder once
    size_t mdlSize = data[0] | size_t(data[1]) << 8;
    if (mdlSize > size - 2) mdlSize = size - 2;
    WriteFuzzPack(kMdl, data + 2, mdlSize);
    WriteFuzzPack(kVtx, data + 2 + mdlSize, size - 2 - mdlSize);
    FileEntry key = {};
    std::strcpy(key.name, (data[0] & 1) ? kVtx : kMdl);
    if (LoadBloodlinesModel(app, key)) {
        // What was written must lie inside the record.
        const Viewer& v = app.viewer;
        uint64_t vertices = 0;
        for (uint32_t i = 0; i < v.meshCount; ++i) vertices += 3 * uint64_t(v.meshes[i].triangleCount);
        if (vertices > v.lockedVertices || v.slotCount > kTextureSlotCapacity || v.meshCount > kMeshCapacity)
            std::abort();
        for (uint32_t i = 0; i < v.meshCount; ++i)
            if (v.meshes[i].textureIndex + 1 >= v.slotCount) std::abort();
        // Posing writes the drawn vertices and at most the line store.
        size_t animations = v.rig != nullptr ? v.rig->skeleton.animations.size() : 0;
        for (size_t a = 0; a < animations && a < 4; ++a) {
            app.viewer.Play(int32_t(a), 0);
            for (double t : {0.05, 0.5, 7.0}) app.viewer.Advance(t);
            if (v.skeleton.pointCount > 2 * kSkeletonSegmentCapacity || v.rig->drawn.size() > v.lockedVertices)
                std::abort();
        }
    }
    // The export reads the pair again, strip groups the viewer leaves out
    // included; what it writes is removed for the next run.
    std::string out = FuzzFolder() + "/out";
    app.extraction.outputFolder = out;
    std::strcpy(key.name, kMdl);
    ExportModelAsX(app.Export(), key);
    std::strcpy(key.name, kMdl);
    app.extraction.report.Clear();
    ExportModelAsGltf(app.Export(), key);
    std::filesystem::remove_all(out);
    app.extraction.madeFolders.clear();
    ForgetFolderListings();
    return 0;
}
