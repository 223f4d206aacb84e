#include "model/BloodlinesModel.h"

#include "pack/GameFiles.h"
#include "texture/LoadImage.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// Model file (.mdl), the fields read; offsets from the file start unless
// said otherwise:
//   0x000 "IDST"
//   0x124 u32 texture count      0x128 u32 texture table (20-byte entries;
//                                          +0 u32 name offset from the entry)
//   0x12C u32 directory count    0x130 u32 directory table (u32 name offsets)
//   0x144 u32 M; the model block starts at B = M + 16:
//     B+0x88 mesh count   B+0x8C mesh table (60-byte entries, +12 vertex base)
//     B+0x90 vertex count B+0x94 vertex array start  B+0x98 its end
//   vertex record, 44 bytes: +0x0C position, +0x18 normal, +0x24 u, v (Z up)
// Strip file (.dx80.vtx):
//   0x34 u32 mesh count   0x38 u32 mesh headers, offset from 0x34
//   mesh header, 8 bytes: +0 u16 strip groups, +4 u32 their table, from the header
//   strip group, 20 bytes: +2 u16 index count, +6 u16 flags (0: not drawn;
//     0x10: 2-byte vertex-table entries, else 12 bytes with the id at +10),
//     +8 u32 vertex table, +12 u32 index list, both from the group
// Every offset, count and index is checked against its file: the files come
// from packs and loose folders we do not control.

namespace {

const uint32_t kMdlMagic = 0x54534449;  // "IDST"
const uint32_t kVertexRecord = 44;
const uint32_t kMeshEntry = 60;
const uint32_t kTextureEntry = 20;
const uint32_t kStripGroup = 20;
const size_t kMaterialListRoom = 1024;

bool Fail(std::string& why, const char* text) {
    why = text;
    return false;
}

struct Bytes {
    const uint8_t* data;
    uint32_t size;

    // True when n bytes at pos lie inside; pos and n may be any 64-bit value.
    bool Has(uint64_t pos, uint64_t n) const { return pos <= size && n <= size - pos; }
    uint32_t U32(uint64_t pos) const {
        uint32_t v;
        std::memcpy(&v, data + pos, 4);
        return v;
    }
    uint16_t U16(uint64_t pos) const {
        uint16_t v;
        std::memcpy(&v, data + pos, 2);
        return v;
    }
    float F32(uint64_t pos) const {
        float v;
        std::memcpy(&v, data + pos, 4);
        return v;
    }
    // The NUL-terminated string at pos, or null when it is not terminated
    // inside the file.
    const char* Name(uint64_t pos) const {
        if (pos >= size) return nullptr;
        const void* end = std::memchr(data + pos, 0, size - pos);
        return end == nullptr ? nullptr : reinterpret_cast<const char*>(data + pos);
    }
};

// The tables of a model file, checked.
struct MdlLayout {
    uint32_t textureCount = 0;
    uint64_t textureTable = 0;
    uint32_t directoryCount = 0;
    uint64_t directoryTable = 0;
    uint32_t meshCount = 0;
    uint64_t meshTable = 0;
    uint32_t vertexCount = 0;
    uint64_t vertexArray = 0;
};

// Reads and checks the header and texture and directory tables; the model
// block only with block.
bool ReadTables(const Bytes& f, MdlLayout& m, bool block, std::string& why) {
    if (!f.Has(0, 0x148) || f.U32(0) != kMdlMagic) return Fail(why, "not a model file (no IDST header)");
    m.textureCount = f.U32(0x124);
    m.textureTable = f.U32(0x128);
    m.directoryCount = f.U32(0x12C);
    m.directoryTable = f.U32(0x130);
    if (!f.Has(m.textureTable, uint64_t(m.textureCount) * kTextureEntry))
        return Fail(why, "the texture table lies outside the file");
    for (uint32_t i = 0; i < m.textureCount; ++i) {
        uint64_t entry = m.textureTable + uint64_t(i) * kTextureEntry;
        if (f.Name(entry + f.U32(entry)) == nullptr) return Fail(why, "a texture name lies outside the file");
    }
    if (!f.Has(m.directoryTable, uint64_t(m.directoryCount) * 4))
        return Fail(why, "the texture directory table lies outside the file");
    for (uint32_t i = 0; i < m.directoryCount; ++i)
        if (f.Name(f.U32(m.directoryTable + 4 * uint64_t(i))) == nullptr)
            return Fail(why, "a texture directory lies outside the file");
    if (!block) return true;

    uint64_t b = uint64_t(f.U32(0x144)) + 16;
    if (!f.Has(b, 0x9C)) return Fail(why, "the model block lies outside the file");
    m.meshCount = f.U32(b + 0x88);
    m.meshTable = b + f.U32(b + 0x8C);
    m.vertexCount = f.U32(b + 0x90);
    uint32_t start = f.U32(b + 0x94), end = f.U32(b + 0x98);
    m.vertexArray = b + start;
    // Models whose vertices are packed into smaller records fail this too:
    // their array is shorter than vertexCount 44-byte records.
    if ((end - start) / kVertexRecord != m.vertexCount)
        return Fail(why, "the vertex array does not hold 44-byte vertices");
    if (!f.Has(m.vertexArray, uint64_t(m.vertexCount) * kVertexRecord))
        return Fail(why, "the vertex array lies outside the file");
    if (!f.Has(m.meshTable, uint64_t(m.meshCount) * kMeshEntry))
        return Fail(why, "the mesh table lies outside the file");
    return true;
}

const char* TextureName(const Bytes& f, const MdlLayout& m, uint32_t t) {
    uint64_t entry = m.textureTable + uint64_t(t) * kTextureEntry;
    return f.Name(entry + f.U32(entry));
}

struct StripTotals {
    uint64_t lockVertices = 0;  // every index of every group, drawn or not
    uint32_t ranges = 0;        // drawn strip groups
};

// Walks the strip file against the model. Without out it only checks and
// counts; with out (locked to totals.lockVertices) it writes the vertices
// and appends one mesh range per drawn strip group. Stops at the first fault.
bool WalkStrips(const Bytes& mdl, const MdlLayout& m, const Bytes& vtx, Viewer* out, ModelVertex* write,
                StripTotals& totals, std::string& why) {
    if (!vtx.Has(0x34, 8)) return Fail(why, "the strip file is too short");
    uint32_t meshCount = vtx.U32(0x34);
    uint64_t headers = 0x34 + uint64_t(vtx.U32(0x38));
    if (meshCount > m.meshCount) return Fail(why, "the strip file has more meshes than the model");
    if (!vtx.Has(headers, uint64_t(meshCount) * 8)) return Fail(why, "the strip mesh table lies outside the file");
    uint32_t written = 0;
    for (uint32_t e = 0; e < meshCount; ++e) {
        uint64_t header = headers + 8 * uint64_t(e);
        uint32_t groupCount = vtx.U16(header);
        uint64_t groups = header + vtx.U32(header + 4);
        if (!vtx.Has(groups, uint64_t(groupCount) * kStripGroup))
            return Fail(why, "a strip group table lies outside the file");
        uint64_t base = mdl.U32(m.meshTable + uint64_t(e) * kMeshEntry + 12);
        for (uint32_t g = 0; g < groupCount; ++g) {
            uint64_t group = groups + uint64_t(g) * kStripGroup;
            uint32_t indexCount = vtx.U16(group + 2);
            uint32_t flags = vtx.U16(group + 6);
            totals.lockVertices += indexCount;
            if (totals.lockVertices > kModelVertexCapacity)
                return Fail(why, "The model has more than 32768 vertices, the viewer's limit");
            // The viewer never draws these; their lists are not read.
            if (flags == 0) continue;
            if (indexCount % 3 != 0) return Fail(why, "an index count is not a multiple of 3");
            if (++totals.ranges > kMeshCapacity)
                return Fail(why, "The model has more than 256 meshes, the viewer's limit");
            uint64_t table = group + vtx.U32(group + 8);
            uint64_t list = group + vtx.U32(group + 12);
            if (!vtx.Has(list, uint64_t(indexCount) * 2)) return Fail(why, "an index list lies outside the file");
            uint64_t stride = (flags & 0x10) != 0 ? 2 : 12, at = (flags & 0x10) != 0 ? 0 : 10;
            for (uint32_t k = 0; k < indexCount; ++k) {
                uint64_t entry = table + vtx.U16(list + 2 * uint64_t(k)) * stride + at;
                if (!vtx.Has(entry, 2)) return Fail(why, "a vertex table entry lies outside the file");
                uint64_t id = vtx.U16(entry) + base;
                if (id >= m.vertexCount) return Fail(why, "a vertex id is outside the vertex array");
                if (write == nullptr) continue;
                uint64_t r = m.vertexArray + id * kVertexRecord;
                // Z up in the file, Y up in the view: exchange, no sign change.
                write[written++] =
                    ModelVertex{mdl.F32(r + 0x0C), mdl.F32(r + 0x14), mdl.F32(r + 0x10), mdl.F32(r + 0x18),
                                mdl.F32(r + 0x20), mdl.F32(r + 0x1C), mdl.F32(r + 0x24), mdl.F32(r + 0x28)};
            }
            if (out != nullptr) out->AddMesh(e, indexCount / 3);
        }
    }
    return true;
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

std::unique_ptr<uint8_t[]> ReadGameFile(AppState& app, FileEntry& key, uint32_t& size) {
    FileHandle file;
    size = OpenGameFile(app, file, key, 1);
    if (size == 0) return nullptr;
    std::unique_ptr<uint8_t[]> bytes = file.ReadAll(size);
    file.Close();
    return bytes;
}

bool Refuse(AppState& app, const std::string& why, bool tell) {
    app.viewer.lastModelError = why;
    if (tell) app.message.Show(why.c_str(), "Error!");
    return false;
}

}  // namespace

bool FindBloodlinesMaterial(AppState& app, const uint8_t* mdl, uint32_t size, uint32_t t, FileEntry& key) {
    Bytes f{mdl, size};
    MdlLayout m;
    std::string why;
    if (!ReadTables(f, m, false, why)) return false;

    app.textView.SetText(MaterialList(f, m));

    if (t >= m.textureCount) return false;
    std::string name = TextureName(f, m, t);
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) name.erase(0, 1);
    for (uint32_t d = 0; d < m.directoryCount; ++d) {
        std::string path = std::string("materials\\") + f.Name(f.U32(m.directoryTable + 4 * uint64_t(d))) + "\\";
        for (char& c : path)
            if (c == '/') c = '\\';
        if (path.size() >= 2 && path.compare(path.size() - 2, 2, "\\\\") == 0) path.pop_back();
        path += name + ".vmt";
        // A path that does not fit the key names no file.
        if (path.size() >= sizeof key.name) continue;
        FileEntry probe = {};
        std::memcpy(probe.name, path.data(), path.size());
        FileHandle file;
        if (OpenGameFile(app, file, probe, 1) != 0) {
            file.Close();
            key = probe;
            return true;
        }
    }
    return false;
}

bool LoadBloodlinesModel(AppState& app, FileEntry& key) {
    key.name[sizeof key.name - 1] = '\0';
    char* dot = std::strchr(key.name, '.');
    if (dot == nullptr) return Refuse(app, "the model path has no extension", false);
    size_t stem = size_t(dot - key.name) + 1;
    if (stem + sizeof "dx80.vtx" > sizeof key.name) return Refuse(app, "the model path is too long", false);
    std::strcpy(key.name + stem, "mdl");
    FileEntry vtxKey = key;
    std::strcpy(vtxKey.name + stem, "dx80.vtx");

    uint32_t mdlSize = 0, vtxSize = 0;
    std::unique_ptr<uint8_t[]> mdlBytes = ReadGameFile(app, key, mdlSize);
    if (!mdlBytes) return Refuse(app, "the model file cannot be read", false);
    Bytes mdl{mdlBytes.get(), mdlSize};
    if (!mdl.Has(0, 4) || mdl.U32(0) != kMdlMagic) return Refuse(app, "not a model file (no IDST header)", false);
    std::unique_ptr<uint8_t[]> vtxBytes = ReadGameFile(app, vtxKey, vtxSize);
    if (!vtxBytes) return Refuse(app, "the strip file (.dx80.vtx) cannot be read", false);
    Bytes vtx{vtxBytes.get(), vtxSize};

    // Everything is checked before the display changes, so a refused model
    // leaves the previous one on show.
    MdlLayout m;
    std::string why;
    if (!ReadTables(mdl, m, true, why)) return Refuse(app, why, false);
    // Mesh e is drawn with texture e; a texture table shorter than the mesh
    // table would send us past it.
    if (m.meshCount > m.textureCount) return Refuse(app, "the model has more meshes than textures", false);
    if (m.meshCount > kMaterialTextureCapacity)
        return Refuse(app, "The model has more than 63 textures, the viewer's limit", true);
    StripTotals totals;
    if (!WalkStrips(mdl, m, vtx, nullptr, nullptr, totals, why))
        return Refuse(app, why, totals.lockVertices > kModelVertexCapacity || totals.ranges > kMeshCapacity);

    Viewer& viewer = app.viewer;
    viewer.lastModelError.clear();
    viewer.ReleaseModelTextures();
    // Each material lookup shows the list again; a model without meshes
    // must not leave the previous file's text.
    app.textView.SetText(MaterialList(mdl, m));
    for (uint32_t e = 0; e < m.meshCount; ++e) {
        FileEntry material = {};
        Image32 image = Image32{};
        LoadResult result;
        if (FindBloodlinesMaterial(app, mdl.data, mdl.size, e, material))
            result = LoadImage(app, material, image, false);
        // A texture that cannot be made gets the substitute too, so that
        // slot e + 1 stays mesh e's.
        if (result.loaded != 1 || !viewer.AddTexture(image, result.twoSided, result.translucent))
            viewer.AddSubstituteTexture();
        image.Release();
    }

    viewer.FillImage(0xFF000000u);
    ModelVertex* write = viewer.LockModelVertices(uint32_t(totals.lockVertices));
    if (write == nullptr) return Refuse(app, "Error Locking Vertex Buffer", true);
    StripTotals again;
    WalkStrips(mdl, m, vtx, &viewer, write, again, why);
    viewer.UnlockModelVertices();

    app.textView.entryCount = 0;
    for (uint32_t i = 0; i < viewer.meshCount; ++i)
        app.textView.SetItem(i, TextureName(mdl, m, viewer.MeshTextureIndex(i)));
    app.textView.SetMode(1);
    app.camera.eye[0] = 0.0f;
    app.camera.eye[1] = 35.0f;
    app.camera.eye[2] = -90.0f;
    app.camera.yaw = app.camera.pitch = app.camera.roll = 0.0f;
    return true;
}
