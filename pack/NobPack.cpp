#include "pack/NobPack.h"

#include "pack/GameFiles.h"
#include "pack/PackTree.h"

#include <cstring>

bool NobEntry::IsFolder() const {
    return nameLength > 0 && (name[nameLength - 1] == '/' || name[nameLength - 1] == '\\');
}

bool NobWalk::Next(NobEntry& entry) {
    // The next header must end before the last byte of the file.
    if (done || next + kNobHeaderSize >= reader.Size()) {
        done = true;
        return false;
    }
    uint8_t header[kNobHeaderSize];
    if (!reader.ReadAt(next, header, kNobHeaderSize)) {
        done = true;
        return false;
    }
    uint32_t dataSize = ReadLE32(header + 22);
    uint32_t nameLength = ReadLE32(header + 26);
    if (nameLength >= sizeof entry.name) {
        done = true;
        return false;
    }
    // A name cut short by the end of the file is damaged: stop rather than
    // hand out whatever a short read would leave.
    if (!reader.ReadAt(next + kNobHeaderSize, entry.name, nameLength)) {
        done = true;
        return false;
    }
    entry.name[nameLength] = '\0';
    entry.headerOffset = static_cast<uint32_t>(next);
    entry.dataSize = dataSize;
    entry.nameLength = nameLength;
    next += uint64_t(kNobHeaderSize) + nameLength + dataSize;
    return true;
}

namespace {

void IndexOneNob(FileHandle& pack, uint32_t packNumber, PackIndex& index, uint32_t& fileCount) {
    NobWalk walk(pack);
    NobEntry e;
    while (walk.Next(e)) {
        if (e.IsFolder()) continue;
        ++fileCount;
        index.Add(e.name, e.nameLength, packNumber, PackPlace{e.DataOffset(), e.dataSize});
    }
}

bool AnyPack(FileHandle&) { return true; }

}  // namespace

Reason CheckNobPack(FileHandle& pack) {
    // The walk needs a byte after the first header.
    if (pack.Size() <= kNobHeaderSize) return Reason::PackTooShortForHeader;
    NobWalk walk(pack);
    NobEntry first;
    return walk.Next(first) ? Reason::None : Reason::PackEndsBeforeFirstEntry;
}

uint32_t LocateInNob(FileHandle& file, const char* pack, const char* wanted) {
    if (!file.Open(pack)) return 0;
    uint32_t w = static_cast<uint32_t>(std::strlen(wanted));
    NobWalk walk(file);
    NobEntry e;
    while (walk.Next(e)) {
        if (NamesEqualAsPaths(e.name, e.nameLength, wanted, w)) {
            if (!file.SeekTo(static_cast<int32_t>(e.DataOffset()))) return 0;
            return e.dataSize;
        }
    }
    return 0;
}

bool IndexNobPacks(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message) {
    return FillIndex(packs, index, list, message, IndexOneNob);
}

bool ScanNobDirectory(PackCounts& packs, const char* path, const char* dir, PackIndex& index, PackList& list,
                      const MessageSeam& message) {
    if (!ListPacks(path, dir, ".nob", list, AnyPack)) return false;
    return IndexNobPacks(packs, index, list, message);
}

uint32_t BuildNobTree(const PackCounts& packs, FileHandle& pack, int32_t position, const ProgressHooks* hooks,
                      PackTree& tree) {
    uint32_t n = packs.FileCountAt(position);
    TreeBuild build(tree, hooks, n);
    NobWalk walk(pack);
    NobEntry e;
    while (walk.Next(e))
        if (!e.IsFolder()) build.Add(e.name, TreeItemData{e.headerOffset, e.dataSize});
    return n;
}
