#include "model/BloodlinesModel.h"

#include "model/MdlFormat.h"
#include "texture/LoadImage.h"
#include "model/Framing.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace mdlformat;

namespace {

const size_t kMaterialListRoom = 1024;

struct StripTotals {
    uint64_t lockVertices = 0;  // every index of every group, drawn or not
    uint32_t ranges = 0;        // drawn strip groups
};

// Walks the strip file against the model. Without out it only checks and
// counts; with out (locked to totals.lockVertices) it writes the vertices
// and appends one mesh range per drawn strip group. Stops at the first fault.
bool WalkStrips(const Bytes& mdl, const MdlLayout& m, const Bytes& vtx, LoadedModel* out, ModelVertex* write,
                StripTotals& totals, std::string& why) {
    uint32_t written = 0;
    return ForEachStripGroup(mdl, m, vtx, why, [&](const StripGroupRef& g) {
        totals.lockVertices += g.indexCount;
        if (totals.lockVertices > kModelVertexCapacity)
            return Fail(why, "The model has more than 32768 vertices, the viewer's limit");
        // The viewer never draws these; their lists are not read.
        if (g.flags == 0) return true;
        if (!CheckStripGroup(vtx, g, m.vertexCount, why)) return false;
        if (++totals.ranges > kMeshCapacity) return Fail(why, "The model has more than 256 meshes, the viewer's limit");
        for (uint32_t k = 0; write != nullptr && k < g.indexCount; ++k) {
            uint64_t r = m.vertexArray + VertexNumber(vtx, g, k) * kVertexRecord;
            // Z up in the file, Y up in the view: exchange, no sign change.
            write[written++] =
                ModelVertex{mdl.F32(r + 0x0C), mdl.F32(r + 0x14), mdl.F32(r + 0x10), mdl.F32(r + 0x18),
                            mdl.F32(r + 0x20), mdl.F32(r + 0x1C), mdl.F32(r + 0x24), mdl.F32(r + 0x28)};
        }
        if (out != nullptr) out->meshes.push_back(MeshRange{g.mesh, g.indexCount / 3, 1});
        return true;
    });
}

// One line per texture, numbered from 1; the list has room for 1,024 bytes
// with its terminator, and a longer one is cut.
std::string MaterialList(const Bytes& f, const MdlLayout& m) {
    std::string list;
    for (uint32_t i = 0; i < m.textureCount && list.size() < kMaterialListRoom; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "Material %2u ", i + 1);
        list += line;
        list += TextureName(f, m, i);
        list += ".vmt\n";
    }
    if (list.size() > kMaterialListRoom - 1) list.resize(kMaterialListRoom - 1);
    return list;
}

bool Refuse(const MessageSeam& message, std::string& reason, const std::string& why, bool tell) {
    reason = why;
    if (tell) message.Show(why.c_str(), "Error!");
    return false;
}

}  // namespace

bool FindBloodlinesMaterial(const GameFiles& files, const uint8_t* mdl, uint32_t size, uint32_t t, FileEntry& key) {
    Bytes f{mdl, size};
    MdlLayout m;
    std::string why;
    if (!ReadTables(f, m, false, why)) return false;
    if (t >= m.textureCount) return false;
    std::string name = TextureName(f, m, t);
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) name.erase(0, 1);
    for (uint32_t d = 0; d < m.directoryCount; ++d) {
        std::string path = std::string("materials\\") + CString(f, f.U32(m.directoryTable + 4 * uint64_t(d))) + "\\";
        for (char& c : path)
            if (c == '/') c = '\\';
        if (path.size() >= 2 && path.compare(path.size() - 2, 2, "\\\\") == 0) path.pop_back();
        path += name + ".vmt";
        // A path that does not fit the key names no file.
        if (path.size() >= sizeof key.name) continue;
        FileEntry probe = {};
        std::memcpy(probe.name, path.data(), path.size());
        uint32_t found = 0;
        if (ReadGameFile(files, probe, found) != nullptr) {
            key = probe;
            return true;
        }
    }
    return false;
}

bool LoadBloodlinesModel(const GameFiles& files, const MessageSeam& message, FileEntry& key, LoadedModel& out,
                         std::string& reason) {
    auto refuse = [&](const std::string& why, bool tell) { return Refuse(message, reason, why, tell); };
    key.name[sizeof key.name - 1] = '\0';
    char* dot = std::strchr(key.name, '.');
    if (dot == nullptr) return refuse("the model path has no extension", false);
    size_t stem = size_t(dot - key.name) + 1;
    if (stem + sizeof "dx80.vtx" > sizeof key.name) return refuse("the model path is too long", false);
    std::strcpy(key.name + stem, "mdl");
    FileEntry vtxKey = key;
    std::strcpy(vtxKey.name + stem, "dx80.vtx");

    uint32_t mdlSize = 0, vtxSize = 0;
    std::unique_ptr<uint8_t[]> mdlBytes = ReadGameFile(files, key, mdlSize);
    if (!mdlBytes) return refuse("the model file cannot be read", false);
    Bytes mdl{mdlBytes.get(), mdlSize};
    if (!mdl.Has(0, 4) || mdl.U32(0) != kMdlMagic) return refuse("not a model file (no IDST header)", false);
    std::unique_ptr<uint8_t[]> vtxBytes = ReadGameFile(files, vtxKey, vtxSize);
    if (!vtxBytes) return refuse("the strip file (.dx80.vtx) cannot be read", false);
    Bytes vtx{vtxBytes.get(), vtxSize};

    // Everything is checked before anything is loaded.
    MdlLayout m;
    std::string why;
    if (!ReadTables(mdl, m, true, why)) return refuse(why, false);
    // Mesh e is drawn with texture e; a texture table shorter than the mesh
    // table would send us past it.
    if (m.meshCount > m.textureCount) return refuse("the model has more meshes than textures", false);
    if (m.meshCount > kMaterialTextureCapacity)
        return refuse("The model has more than 63 textures, the viewer's limit", true);
    StripTotals totals;
    if (!WalkStrips(mdl, m, vtx, nullptr, nullptr, totals, why))
        return refuse(why, totals.lockVertices > kModelVertexCapacity || totals.ranges > kMeshCapacity);

    reason.clear();
    for (uint32_t e = 0; e < m.meshCount; ++e) {
        FileEntry material = {};
        Image32 image = Image32{};
        LoadResult result;
        if (FindBloodlinesMaterial(files, mdl.data, mdl.size, e, material))
            result = LoadImage(files, message, material, image, nullptr);
        out.AddTexture(image, result.loaded == 1, result.twoSided, result.translucent);
        image.Release();
    }

    out.lockCount = uint32_t(totals.lockVertices);
    out.vertices.assign(out.lockCount, ModelVertex{});
    StripTotals again;
    WalkStrips(mdl, m, vtx, &out, out.vertices.data(), again, why);

    out.text = MaterialList(mdl, m);
    for (const MeshRange& mesh : out.meshes) out.checkList.push_back(TextureName(mdl, m, mesh.textureIndex));
    FrameModel(out);
    return true;
}
