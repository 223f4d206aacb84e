#include "pack/VpkPack.h"

#include "pack/GameFiles.h"
#include "pack/PackTree.h"

#include <cstring>

bool ReadVpkFooter(FileHandle& pack, VpkFooter& footer) {
    footer = VpkFooter();
    uint32_t size = pack.Size();
    uint8_t raw[kVpkFooterSize];
    if (size < kVpkFooterSize || size - kVpkFooterSize > 0x7FFFFFFFu) return false;
    if (!pack.SeekTo(static_cast<int32_t>(size - kVpkFooterSize)) || !pack.Read(raw, kVpkFooterSize)) return false;
    footer.entryCount = ReadLE32(raw);
    footer.directoryOffset = ReadLE32(raw + 4);
    footer.flag = raw[8];
    return true;
}

VpkWalk::VpkWalk(FileHandle& pack) : reader(pack) {
    hasFooter = ReadVpkFooter(pack, footer);
    if (hasFooter) {
        next = footer.directoryOffset;
        end = reader.Size() - kVpkFooterSize;
    }
}

bool VpkWalk::Next(VpkEntry& entry) {
    while (hasFooter && taken < footer.entryCount && next < end) {
        ++taken;
        uint8_t word[4];
        // Every part of the entry must lie before the footer.
        if (next + 4 > end || !reader.ReadAt(next, word, 4)) break;
        uint32_t length = ReadLE32(word);
        uint64_t after = next + 4 + uint64_t(length) + 8;
        if (after > end) break;
        uint64_t at = next;
        next = after;
        if (length >= sizeof entry.name) continue;  // cannot be named; pass over it
        uint8_t place[8];
        if (!reader.ReadAt(at + 4, entry.name, length) || !reader.ReadAt(at + 4 + length, place, 8)) break;
        entry.name[length] = '\0';
        entry.nameLength = length;
        entry.dataOffset = ReadLE32(place);
        entry.dataSize = ReadLE32(place + 4);
        return true;
    }
    hasFooter = false;
    return false;
}

namespace {

void IndexOneVpk(FileHandle& pack, uint32_t packNumber, PackIndex& index, uint32_t& fileCount) {
    VpkWalk walk(pack);
    // The count the pack states, whether or not the walk reaches every entry.
    fileCount = walk.footer.entryCount;
    VpkEntry e;
    while (walk.Next(e)) index.Add(e.name, e.nameLength, packNumber, PackPlace{e.dataOffset, e.dataSize});
}

// A pack too short for a footer is listed as a pack without entries; one
// whose footer flag is set is left out.
bool FooterAllowsListing(FileHandle& pack) {
    VpkFooter footer;
    return !ReadVpkFooter(pack, footer) || footer.flag == 0;
}

}  // namespace

Reason CheckVpkPack(FileHandle& pack) {
    VpkFooter footer;
    if (!ReadVpkFooter(pack, footer)) return Reason::PackTooShortForFooter;
    uint64_t end = uint64_t(pack.Size()) - kVpkFooterSize;
    if (footer.directoryOffset > end) return Reason::PackDirectoryOutside;
    if (footer.flag != 0) return Reason::PackFlagged;
    if (footer.entryCount == 0) return Reason::None;
    uint8_t word[4];
    if (footer.directoryOffset + uint64_t(4) > end || !pack.SeekTo(int32_t(footer.directoryOffset)) ||
        !pack.Read(word, 4) || footer.directoryOffset + uint64_t(4) + ReadLE32(word) + 8 > end)
        return Reason::PackEndsBeforeFirstEntry;
    return Reason::None;
}

uint32_t LocateInVpk(FileHandle& file, const char* pack, const char* wanted) {
    if (!file.Open(pack)) return 0;
    uint32_t w = static_cast<uint32_t>(std::strlen(wanted));
    VpkWalk walk(file);
    VpkEntry e;
    while (walk.Next(e)) {
        if (NamesEqualAsPaths(e.name, e.nameLength, wanted, w)) {
            if (e.dataOffset > 0x7FFFFFFFu || !file.SeekTo(static_cast<int32_t>(e.dataOffset))) return 0;
            return e.dataSize;
        }
    }
    return 0;
}

bool IndexVpkPacks(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message) {
    return FillIndex(packs, index, list, message, IndexOneVpk);
}

bool ScanVpkDirectory(PackCounts& packs, const char* path, const char* dir, PackIndex& index, PackList& list,
                      const MessageSeam& message) {
    if (!ListPacks(path, dir, ".vpk", list, FooterAllowsListing)) return false;
    return IndexVpkPacks(packs, index, list, message);
}

uint32_t BuildVpkTree(const PackCounts& packs, FileHandle& pack, int32_t position, const ProgressHooks* hooks,
                      PackTree& tree) {
    uint32_t n = packs.FileCountAt(position);
    TreeBuild build(tree, hooks, n);
    VpkWalk walk(pack);
    VpkEntry e;
    while (walk.Next(e)) build.Add(e.name, TreeItemData{e.dataOffset, e.dataSize});
    return n;
}
