// Seeds for fuzz_mdl that the sample data and the real files do not give:
// models of both packed vertex layouts and of several body parts, small
// enough for the fuzzer's input limit. Writes them into the folder named by
// the argument, in fuzz_mdl's input layout (two bytes of .mdl length, the
// .mdl, the .dx80.vtx).
#include "tools/MdlWriter.h"

#include <cstdio>
#include <string>

namespace {

MdlPair Packed(uint32_t format) {
    MdlPair m;
    m.textures = {"skin", "gone"};
    m.dirs = {"models/f/"};
    m.format = format;
    m.origin = {-2, -3, 0};
    m.scale = format == 1 ? std::array<float, 3>{0.001f, 0.001f, 0.001f} : std::array<float, 3>{4, 6, 1};
    for (int i = 0; i < 6; ++i)
        m.vertices.push_back({-2.0f + i * 0.5f, -3.0f + i, 0.1f * i, float(format == 1 ? 12 * (i * 900) : i * 33), 0, 0,
                              i / 6.0f, 1 - i / 6.0f});
    return m;
}

bool Write(const std::string& path, const MdlPair& m) {
    std::string mdl = m.Mdl(), vtx = m.Vtx();
    std::string seed = {char(mdl.size()), char(mdl.size() >> 8)};
    seed += mdl + vtx;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(seed.data(), 1, seed.size(), f) == seed.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mdl_seeds FOLDER\n");
        return 2;
    }
    std::string dir = argv[1];
    MdlPair rig = Packed(2);
    rig.emptyPartsBefore = 1;
    rig.laterParts.push_back(Packed(1));
    rig.laterParts[0].meshes = {{0, {{0x10, {0, 1, 2}, {0, 2, 1}}}}};
    rig.textures.push_back("third");
    bool ok = Write(dir + "/packed-8", Packed(2)) && Write(dir + "/packed-12", Packed(1)) && Write(dir + "/rig", rig);
    return ok ? 0 : 1;
}
