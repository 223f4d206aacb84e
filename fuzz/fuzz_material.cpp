// Material parsing: the input becomes a loose .vmt or .nam file (the first
// byte chooses) in a data folder whose pack holds textures and images the
// material may name, and is loaded as the browser loads a selected material.
#include "FuzzPack.h"
#include "texture/LoadImage.h"
#include "tools/PackWriter.h"
#include "tools/TextureWriter.h"

#include <filesystem>

namespace {

AppState& Game() {
    static AppState* app = [] {
        const std::string& folder = FuzzFolder();
        std::filesystem::create_directories(folder + "/materials/models");
        std::string tth, ttz;
        BuildTexturePair(13, 8, 8, 4, tth, ttz);
        return OpenFuzzGame({
            {"materials/models/crate.tth", tth}, {"materials/models/crate.ttz", ttz},
            {"3d/materials/WALL.TGA", BuildTga(4, 4, 24)}, {"materials/london/floor.bmp", BuildBmp(3, 3, 8, false)},
            {"materials/m.vmt", "x"}, {"materials/m.nam", "x"}, {"materials/m.tga", BuildTga(2, 2, 32)},
        });
    }();
    return *app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    AppState& app = Game();  // enters the data folder once
    LineList list;
    list.Read(data + 1, size - 1);
    const char* name = (data[0] & 1) ? "materials/m.nam" : "materials/m.vmt";
    WriteFuzzPack(name, data + 1, size - 1);
    FileEntry key = {};
    std::strcpy(key.name, name);
    Image32 image = Image32{};
    LoadImage(app, key, image, (data[0] & 2) != 0);
    image.Release();
    return 0;
}
