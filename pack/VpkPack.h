// Bloodlines packs (.vpk): a 9-byte footer at the end points to a directory
// of every file with its absolute place.
//
//   footer (last 9 bytes)   0: entry count (4)  4: directory offset (4)
//                           8: flag (1), must be 0 for the pack to be listed
//   directory entry         0: name length L (4)  4: name (L)
//                           4+L: data offset (4)  8+L: data size (4)
//
// Every entry is a file; folders exist only as parts of paths.
#pragma once

#include "pack/ChunkReader.h"
#include "pack/Failure.h"
#include "pack/FileHandle.h"

#include <cstdint>

class PackTree;
struct ProgressHooks;
struct PackCounts;
struct PackIndex;
class PackList;
struct MessageSeam;

const uint32_t kVpkFooterSize = 9;

struct VpkFooter {
    uint32_t entryCount = 0;
    uint32_t directoryOffset = 0;
    uint8_t flag = 0;
};

struct VpkEntry {
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    uint32_t nameLength = 0;
    char name[260] = {};  // as stored, zero-terminated
};

// Reads the footer; false for a file too short to have one.
bool ReadVpkFooter(FileHandle& pack, VpkFooter& footer);

// The directory walk: at most entry count entries, each wholly before the
// footer. Entries whose names do not fit 259 characters are passed over.
class VpkWalk {
public:
    explicit VpkWalk(FileHandle& pack);
    bool Next(VpkEntry& entry);

    VpkFooter footer;
    bool hasFooter = false;

private:
    ChunkReader reader;
    uint64_t next = 0;
    uint64_t end = 0;
    uint32_t taken = 0;
};

// Why the open file is not a .vpk pack: too short for the footer
// (PackTooShortForFooter), a directory offset past the footer
// (PackDirectoryOutside), a footer flag that is not 0 (PackFlagged: such
// packs are not listed), or a stated count above 0 whose first entry does
// not lie before the footer (PackEndsBeforeFirstEntry). None for a pack,
// also for one of a footer alone with a count of 0.
Reason CheckVpkPack(FileHandle& pack);

bool IndexVpkPacks(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message);
uint32_t LocateInVpk(FileHandle& file, const char* pack, const char* wanted);
bool ScanVpkDirectory(PackCounts& packs, const char* path, const char* dir, PackIndex& index, PackList& list,
                      const MessageSeam& message);

// Fills the tree with the pack's files, at most its stated count, under a
// "Directory Scan" progress window. Gives the pack's file count.
uint32_t BuildVpkTree(const PackCounts& packs, FileHandle& pack, int32_t position, const ProgressHooks* progress,
                      PackTree& tree);
