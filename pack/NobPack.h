// Redemption packs (.nob): entries back to back from offset 0, no directory.
//
//   entry:  header (30 bytes) | name (name length bytes) | data (data size bytes)
//
//   header offset  width  field
//   0              22     not read; there is no signature to test
//   22             4      data size
//   26             4      name length; 260 or more ends the walk
//
// A name ending in '/' or '\' is a folder entry: no file of its own.
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

const uint32_t kNobHeaderSize = 30;

struct NobEntry {
    uint32_t headerOffset = 0;
    uint32_t dataSize = 0;
    uint32_t nameLength = 0;
    char name[260] = {};  // as stored, zero-terminated

    uint32_t DataOffset() const { return headerOffset + kNobHeaderSize + nameLength; }
    // True for a folder entry (its name ends with a separator).
    bool IsFolder() const;
};

// The entry walk over an open pack. It ends quietly at a name length of 260
// or more, at a header that would not leave a byte after it, and at a header
// or name cut short by the end of the file.
class NobWalk {
public:
    explicit NobWalk(FileHandle& pack) : reader(pack) {}
    bool Next(NobEntry& entry);

private:
    ChunkReader reader;
    uint64_t next = 0;
    bool done = false;
};

// Why the open file is not a .nob pack: too short for one entry header
// (PackTooShortForHeader), or its first entry cannot be read
// (PackEndsBeforeFirstEntry); None for a pack.
Reason CheckNobPack(FileHandle& pack);

// Indexes every listed .nob pack (see FillIndex); true when all could be opened.
bool IndexNobPacks(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message);

// Finds wanted (compared ignoring ASCII case, '/' as '\') by walking the
// pack: its data size with file on the first data byte, or 0. The pack stays
// open once it could be opened.
uint32_t LocateInNob(FileHandle& file, const char* pack, const char* wanted);

// Lists the folder's .nob packs (pack numbers in the folder's order), selects
// the chosen one and indexes them all. True when a pack was listed and the
// indexing succeeded.
bool ScanNobDirectory(PackCounts& packs, const char* path, const char* dir, PackIndex& index, PackList& list,
                      const MessageSeam& message);

// Fills the tree with the pack's files (folder entries left out), names as
// stored with '\' separators, under a "Directory Scan" progress window. Gives
// the pack's file count.
uint32_t BuildNobTree(const PackCounts& packs, FileHandle& pack, int32_t position, const ProgressHooks* progress,
                      PackTree& tree);
