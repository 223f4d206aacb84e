// Seeds for fuzz_mdl that the sample data and the real files do not give:
// models of both packed vertex layouts, of several body parts, and a rigged
// one with an animation, an attachment and included models, small enough
// for the fuzzer's input limit (the real rigged models are not). Writes them into the folder named by
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

// Two bones, vertices on one or both, an animation whose channels use runs
// that repeat their last value, and two included model files: this one
// and one that is missing.
MdlPair Rigged() {
    MdlPair m;
    m.textures = {"skin"};
    m.dirs = {"models/f/"};
    m.bones = {MdlWriterBone{"root", -1, {0, 0, 10}}, MdlWriterBone{"arm", 0, {5, 0, 0}, {0, 0, 0.7071f, 0.7071f}}};
    m.bones[1].flags = 0x2;
    for (int i = 0; i < 6; ++i) m.vertices.push_back({float(i), 0, 10, 0, 0, 1, 0, 0});
    for (int i = 0; i < 6; ++i) m.vertexBones.push_back({{uint8_t(i * 40), 0, 0}, {0, 0, 0, 1}});
    MdlWriterAnimation a{"@move", 10, 4, {}};
    a.channels.resize(2);
    a.channels[0][0] = {{2, {1, 2}}, {2, {3}}};
    a.channels[1][5] = {{4, {100, 200, 300}}};
    a.channels[1][6] = {{1, {16000}}, {3, {15000}}};
    m.animations = {a};
    m.attachments = {{"tip", 1, {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0}}};
    m.includes = {"models/f/m.mdl", "models/f/none.mdl"};
    return m;
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
    bool ok = Write(dir + "/packed-8", Packed(2)) && Write(dir + "/packed-12", Packed(1)) && Write(dir + "/rig", rig) &&
              Write(dir + "/rigged", Rigged());
    return ok ? 0 : 1;
}
