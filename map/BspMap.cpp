#include "map/BspMap.h"

#include <cstring>

namespace {

const size_t kHeaderBytes = 1036;

uint16_t U16(const uint8_t* d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }
uint32_t U32(const uint8_t* d, size_t at) {
    return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}

// Zip records, little-endian:
// end of central directory, 22 bytes + comment:
//   0 u32 0x06054b50, 4 u16 this disk, 6 u16 directory's disk,
//   8 u16 entries here, 10 u16 entries, 12 u32 directory size,
//   16 u32 directory offset, 20 u16 comment length
// central directory entry, 46 bytes + name + extra + comment:
//   0 u32 0x02014b50, 10 u16 method, 20 u32 packed size, 24 u32 size,
//   28 u16 name length, 30 u16 extra length, 32 u16 comment length
const size_t kEndBytes = 22;
const size_t kEntryBytes = 46;
const uint32_t kEndSignature = 0x06054b50;
const uint32_t kEntrySignature = 0x02014b50;

// Where the end record starts: the last signature from which the record and
// its comment reach exactly the end of the data.
bool FindEnd(const uint8_t* d, size_t size, size_t& at) {
    if (size < kEndBytes) return false;
    size_t lowest = size - kEndBytes > 65535 ? size - kEndBytes - 65535 : 0;
    for (size_t i = size - kEndBytes;; --i) {
        if (U32(d, i) == kEndSignature && i + kEndBytes + U16(d, i + 20) == size) {
            at = i;
            return true;
        }
        if (i == lowest) return false;
    }
}

}  // namespace

bool ReadZipDirectory(const uint8_t* d, size_t size, std::vector<PakfileEntry>& files, std::string& why) {
    files.clear();
    size_t end = 0;
    if (!FindEnd(d, size, end)) {
        why = "no zip end record";
        return false;
    }
    uint32_t count = U16(d, end + 10), directorySize = U32(d, end + 12);
    // The directory lies right before the end record whatever its stored
    // offset counts from (some map tools count from the map's start).
    if (directorySize > end) {
        why = "its zip directory lies outside the lump";
        return false;
    }
    size_t pos = end - directorySize;  // pos <= end throughout
    for (uint32_t i = 0; i < count; ++i) {
        if (end - pos < kEntryBytes || U32(d, pos) != kEntrySignature) {
            why = "zip directory entry " + std::to_string(i + 1) + " of " + std::to_string(count) + " is damaged";
            return false;
        }
        size_t nameLength = U16(d, pos + 28);
        size_t rest = nameLength + U16(d, pos + 30) + U16(d, pos + 32);
        if (rest > end - pos - kEntryBytes) {
            why = "zip directory entry " + std::to_string(i + 1) + " runs past the directory";
            return false;
        }
        PakfileEntry f;
        f.method = U16(d, pos + 10);
        f.packedSize = U32(d, pos + 20);
        f.size = U32(d, pos + 24);
        f.name.assign(reinterpret_cast<const char*>(d + pos + kEntryBytes), nameLength);
        files.push_back(std::move(f));
        pos += kEntryBytes + rest;
    }
    return true;
}

const char* BspLumpName(uint32_t index) {
    // The game's maps are of version 17: lumps 22 to 25 still hold portals
    // and clusters there. Indices whose use changed or is not known get no
    // name.
    static const char* const kNames[] = {
        "entities", "planes", "texdata", "vertexes", "visibility", "nodes", "texinfo", "faces",
        "lighting", "occlusion", "leafs", nullptr, "edges", "surfedges", "models", "worldlights",
        "leaffaces", "leafbrushes", "brushes", "brushsides", "areas", "areaportals", "portals", "clusters",
        "portalverts", "clusterportals", "dispinfo", "originalfaces", nullptr, "physcollide", "vertnormals",
        "vertnormalindices", "disp_lightmap_alphas", "disp_verts", "disp_lightmap_sample_positions", "game_lump",
        "leafwaterdata", "primitives", "primverts", "primindices", "pakfile", "clipportalverts", "cubemaps",
        "texdata_string_data", "texdata_string_table", "overlays",
    };
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : nullptr;
}

bool ReadBspMap(const uint8_t* d, size_t size, BspMap& map) {
    map = BspMap{};
    if (d == nullptr || size < kHeaderBytes || std::memcmp(d, "VBSP", 4) != 0) return false;
    map.fileSize = size;
    map.version = int32_t(U32(d, 4));
    map.revision = int32_t(U32(d, 8 + 16 * kBspLumpCount));
    for (uint32_t i = 0; i < kBspLumpCount; ++i) {
        BspLump& l = map.lumps[i];
        l.offset = int32_t(U32(d, 8 + 16 * i));
        l.length = int32_t(U32(d, 8 + 16 * i + 4));
        l.version = int32_t(U32(d, 8 + 16 * i + 8));
        l.inside = l.length == 0 || (l.offset >= 0 && l.length > 0 && uint64_t(l.offset) <= size &&
                                     uint64_t(l.length) <= size - uint64_t(l.offset));
    }
    const BspLump& entities = map.lumps[kBspEntityLump];
    if (entities.inside && entities.length > 0) {
        const char* text = reinterpret_cast<const char*>(d + entities.offset);
        const void* zero = std::memchr(text, 0, size_t(entities.length));
        map.entities.assign(text, zero != nullptr ? static_cast<const char*>(zero) - text : size_t(entities.length));
    }
    const BspLump& pak = map.lumps[kBspPakfileLump];
    if (!pak.inside)
        map.pakfileProblem = "the lump lies outside the file";
    else if (pak.length > 0)
        map.pakfileRead = ReadZipDirectory(d + pak.offset, size_t(pak.length), map.pakfile, map.pakfileProblem);
    return true;
}
