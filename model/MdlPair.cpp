#include "model/MdlPair.h"

#include <cstring>

using namespace mdlformat;

std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, const std::string& path, uint32_t& size) {
    size = 0;
    if (path.size() >= sizeof(FileEntry::name)) return nullptr;
    FileEntry key = {};
    std::memcpy(key.name, path.data(), path.size());
    return ReadGameFile(files, key, size);
}

bool ReadModelFile(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why) {
    p.mdlBytes = ReadGameFile(files, stemPath + ".mdl", p.mdl.size);
    if (!p.mdlBytes) return Fail(why, "the model file (.mdl) cannot be read");
    p.mdl.data = p.mdlBytes.get();
    return ReadTables(p.mdl, p.m, true, why);
}

bool ReadModelPair(const GameFiles& files, const std::string& stemPath, ModelPair& p, uint32_t& faces,
                   std::string& why) {
    if (!ReadModelFile(files, stemPath, p, why)) return false;
    p.vtxBytes = ReadGameFile(files, stemPath + ".dx80.vtx", p.vtx.size);
    if (!p.vtxBytes) return Fail(why, "the strip file (.dx80.vtx) cannot be read");
    p.vtx.data = p.vtxBytes.get();
    // Material e is texture e's.
    if (p.m.meshCount > p.m.textureCount) return Fail(why, "the model has more meshes than textures");
    // Unlike the viewer, the export writes the groups the viewer leaves out
    // too, so every group must hold up.
    uint64_t total = 0;
    bool ok = ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const StripGroupRef& g) {
        total += g.indexCount / 3;
        return CheckStripGroup(p.vtx, g, p.m.vertexCount, why);
    });
    if (!ok) return false;
    if (total > 0x7FFFFFFF) return Fail(why, "the model has too many faces");
    faces = uint32_t(total);
    return true;
}

