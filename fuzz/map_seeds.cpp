// Seeds for fuzz_map that the real map does not give within the fuzzer's
// input limit: a small map with entities and a two-file pakfile behind a
// zip comment. Writes them into the folder named by the argument.
#include "tools/MapWriter.h"
#include "tools/PackWriter.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: map_seeds FOLDER\n");
        return 2;
    }
    std::string entities = "{\n\"classname\" \"worldspawn\"\n}\n{\n\"classname\" \"light\"\n}\n";
    std::string zip = BuildZip({{"materials/maps/a/cube.tth", "TTH"}, {"materials/maps/a/cube.ttz", "z"}}, "note");
    std::string folder = argv[1];
    bool ok = WriteWholeFile(folder + "/small.bsp", BuildBsp(17, 3, {{0, entities + '\0'}, {40, zip}})) &&
              WriteWholeFile(folder + "/entities-only.bsp", BuildBsp(17, 1, {{0, entities}}));
    return ok ? 0 : 1;
}
