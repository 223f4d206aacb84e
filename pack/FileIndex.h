// The hash index of every file path in the listed packs of one game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The record stored in the index and the key of every lookup.
//
//   offset  width  field
//   0       4      pack number (payload: the pack list item data of its pack)
//   4       256    path inside the pack: lower case, '\' separators,
//                  zero-terminated and zero-filled (the key)
struct FileEntry {
    uint32_t packNumber;
    char name[256];
};
static_assert(sizeof(FileEntry) == 260, "FileEntry is a fixed 260-byte record");

// Where an indexed file's bytes lie in its pack. Remembered while indexing so
// that opening a packed file never rescans the pack's directory.
struct PackPlace {
    uint32_t offset;  // first data byte
    uint32_t size;    // data bytes
};

// A hash table of fixed-size records whose key runs from keyStart to the end
// of the record. It never grows or rehashes: capacity is both the record limit
// and the bucket count. Slots are handed out in insertion order.
class FileIndex {
public:
    FileIndex() = default;
    ~FileIndex() { Destroy(); }
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    // False only when the tables could not be allocated (the index then stays
    // empty and every insertion gives -1).
    bool Create(uint32_t capacity, uint32_t recordSize, uint32_t keyStart);
    // The slot of a stored record with the same key (which stays as it was),
    // the new slot, or -1 when the table is full or was never created.
    int32_t Insert(const void* record);
    // The slot of the record with the same key, or -1.
    int32_t Find(const void* record) const;
    // Drops the records of slots n and above.
    void Truncate(uint32_t n);
    void Destroy();

    const void* Record(int32_t slot) const { return records[slot]; }
    const FileEntry* Entry(int32_t slot) const { return reinterpret_cast<const FileEntry*>(records[slot]); }
    uint32_t Hash(const void* record) const;

    uint8_t** records = nullptr;
    uint32_t capacity = 0;
    uint32_t keyStart = 0;
    uint32_t recordSize = 0;
    uint32_t count = 0;
    int32_t* bucketHead = nullptr;
    int32_t* nextInChain = nullptr;
    // The whole hash of each slot's key. The hash is weak on paths that
    // differ only near their end, so chains of ten or more records are
    // common; comparing whole hashes first spares most key comparisons.
    uint32_t* slotHash = nullptr;
};

// The index the application keeps: 2^20 FileEntry records.
const uint32_t kFileIndexCapacity = 1u << 20;

// Pack and file counts of one game's listed packs.
struct PackCounts {
    uint32_t packCount = 0;
    // Files of each pack, by pack list position.
    std::vector<uint32_t> fileCounts;

    void Release() { packCount = 0; fileCounts.clear(); }
    // The file count of the pack at a pack list position; 0 outside the list.
    uint32_t FileCountAt(int32_t position) const {
        return position >= 0 && static_cast<size_t>(position) < fileCounts.size()
                   ? fileCounts[static_cast<size_t>(position)]
                   : 0;
    }
};

// Builds the index key of a path as read from a pack or given by a caller:
// lower case, '\' separators, zero fill. False when the path does not fit
// (256 characters or more) or holds a zero byte before its stated end.
bool MakeFileKey(FileEntry& key, const char* path, uint32_t length, uint32_t packNumber);
