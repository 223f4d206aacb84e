// Material parsing: the input becomes a .vmt or .nam material (the first
// byte chooses) in a set of game files held in memory, beside textures and
// images the material may name, and is loaded as the browser loads a
// selected material. No file is written: the loaders read through GameFiles.
#include "pack/GameFiles.h"
#include "texture/LoadImage.h"
#include "tools/TextureWriter.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

MemoryFiles& Files() {
    static MemoryFiles* files = [] {
        MemoryFiles* f = new MemoryFiles;
        std::string tth, ttz;
        BuildTexturePair(13, 8, 8, 4, tth, ttz);
        f->Add("materials/models/crate.tth", Bytes(tth));
        f->Add("materials/models/crate.ttz", Bytes(ttz));
        f->Add("3d/materials/WALL.TGA", Bytes(BuildTga(4, 4, 24)));
        f->Add("materials/london/floor.bmp", Bytes(BuildBmp(3, 3, 8, false)));
        f->Add("materials/m.tga", Bytes(BuildTga(2, 2, 32)));
        return f;
    }();
    return *files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    LineList list;
    list.Read(data + 1, size - 1);
    const char* name = (data[0] & 1) ? "materials/m.nam" : "materials/m.vmt";
    MemoryFiles& files = Files();
    files.Add(name, std::vector<uint8_t>(data + 1, data + size));
    GameFiles game;
    game.gameType = (data[0] & 4) ? kGameRedemption : kGameBloodlines;
    game.memory = &files;
    FileEntry key = {};
    std::strcpy(key.name, name);
    Image32 image = Image32{};
    std::string text;
    LoadImage(game, MessageSeam(), key, image, (data[0] & 2) ? &text : nullptr);
    image.Release();
    return 0;
}
