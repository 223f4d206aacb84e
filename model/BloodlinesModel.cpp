#include "model/BloodlinesModel.h"

#include "model/ModelPair.h"
#include "model/ModelRig.h"
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

// Walks the strip file against the model. Without drawn it only checks and
// counts; with drawn it lists the model vertex of every vertex the view
// draws, in drawing order, and appends one mesh range per drawn strip
// group to out. Stops at the first fault.
bool WalkStrips(const ModelPair& p, LoadedModel* out, std::vector<uint32_t>* drawn, StripTotals& totals,
                std::string& why) {
    return ForEachStripGroup(p.mdl, p.m, p.vtx, why, [&](const StripGroupRef& g) {
        totals.lockVertices += g.indexCount;
        if (totals.lockVertices > kModelVertexCapacity)
            return Fail(why, "The model has more than 32768 vertices, the viewer's limit");
        // The viewer never draws these; their lists are not read.
        if (g.flags == 0) return true;
        if (!CheckStripGroup(p.vtx, g, why)) return false;
        if (++totals.ranges > kMeshCapacity) return Fail(why, "The model has more than 256 meshes, the viewer's limit");
        for (uint32_t k = 0; drawn != nullptr && k < g.indexCount; ++k) drawn->push_back(VertexNumber(p.vtx, g, k));
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
    std::string path = key.name;
    if (path.find('.', NameStart(path)) == std::string::npos) return refuse("the model path has no extension", false);
    std::string stemPath = ModelStemPath(path);
    if (stemPath.size() + sizeof ".dx80.vtx" > sizeof key.name) return refuse("the model path is too long", false);
    std::strcpy(key.name + stemPath.size(), ".mdl");

    // Everything is checked before anything is loaded.
    ModelPair p;
    std::string why;
    if (!ReadModelPair(files, stemPath, p, why)) return refuse(why, false);
    // Mesh e is drawn with texture e; a texture table shorter than the mesh
    // table would send us past it.
    if (p.m.meshCount > p.m.textureCount) return refuse("the model has more meshes than textures", false);
    if (p.m.meshCount > kMaterialTextureCapacity)
        return refuse("The model has more than 63 textures, the viewer's limit", true);
    StripTotals totals;
    if (!WalkStrips(p, nullptr, nullptr, totals, why))
        return refuse(why, totals.lockVertices > kModelVertexCapacity || totals.ranges > kMeshCapacity);
    auto rig = std::make_shared<ModelRig>();
    if (!ReadModelRig(files, p, *rig, why)) return refuse(why, false);
    if (SkeletonSegments(rig->skeleton) > kSkeletonSegmentCapacity) return refuse(kTooManySegments, true);

    reason.clear();
    for (uint32_t e = 0; e < p.m.meshCount; ++e) {
        FileEntry material = {};
        Image32 image = Image32{};
        LoadResult result;
        if (FindBloodlinesMaterial(files, p.mdl.data, p.mdl.size, e, material))
            result = LoadImage(files, message, material, image, nullptr);
        out.AddTexture(image, result.loaded == 1, result.twoSided, result.translucent);
        image.Release();
    }

    out.lockCount = uint32_t(totals.lockVertices);
    out.vertices.assign(out.lockCount, ModelVertex{});
    StripTotals again;
    WalkStrips(p, &out, &rig->drawn, again, why);
    // The vertices as stored, with the bones at rest: they replace whatever
    // skeleton was shown, and a model with bones can be posed.
    out.hasSkeleton = true;
    PoseForView(*rig, -1, 0, out.vertices.data(), out.skeleton);
    if (!rig->skeleton.bones.empty()) out.rig = rig;

    out.text = MaterialList(p.mdl, p.m);
    for (const MeshRange& mesh : out.meshes) out.checkList.push_back(TextureName(p.mdl, p.m, mesh.textureIndex));
    FrameModel(out);
    return true;
}
