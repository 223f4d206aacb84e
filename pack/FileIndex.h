// The hash index of every file path in the listed packs of one game.
#pragma once

#include "pack/Ascii.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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
// of the record; two keys are equal when all their bytes are. Slots are
// handed out in insertion order, from 0.
//
// The table grows when it fills, so it has no record limit of its own: an
// insertion fails only when memory runs out (or byteLimit would be passed).
// Records are kept compactly, not as recordSize-byte copies: one arena holds
// each record's leading bytes (before keyStart) and its key without the
// trailing zero bytes, and a slot costs 16 bytes besides (plus 4 per bucket).
class FileIndex {
public:
    FileIndex() = default;
    ~FileIndex() { Destroy(); }
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    // Starts an empty table with room for capacity records before its first
    // growth (rounded up to a power of two). False when the arguments make
    // no table (capacity 0 or above 2^30, keyStart not below recordSize) or
    // the buckets could not be allocated; the index then stays uncreated and
    // every insertion gives -1.
    bool Create(uint32_t capacity, uint32_t recordSize, uint32_t keyStart);
    // The slot of a stored record with the same key (which stays as it was),
    // the new slot, or -1 when memory ran out, 2^31 - 1 records are stored or
    // the table was never created. A failed insertion changes nothing.
    int32_t Insert(const void* record);
    // The slot of the record with the same key, or -1.
    int32_t Find(const void* record) const;
    // Drops the records of slots n and above; earlier slots keep their
    // numbers and stay reachable. Truncate(0) empties the table.
    void Truncate(uint32_t n);
    void Destroy();

    // Writes the record of slot (0 <= slot < count) to out, recordSize bytes,
    // as it was inserted (its key zero-filled again).
    void CopyRecord(int32_t slot, void* out) const;
    // CopyRecord for a table of FileEntry records.
    FileEntry Entry(int32_t slot) const;

    // The 64-bit FNV-1a hash of a record's key bytes up to its last non-zero
    // byte: a zero-filled name hashes as the name alone, so the fill neither
    // costs time nor makes similar names alike. Internal: nothing stored
    // depends on it.
    uint64_t Hash(const void* record) const;

    // Bytes the table holds now (arena, slots, buckets).
    uint64_t BytesInUse() const;
    // An insertion that would take the table past this many bytes fails as
    // when memory runs out. The application leaves it unlimited; tests lower
    // it to see that failure handled.
    uint64_t byteLimit = UINT64_MAX;

    uint32_t capacity = 0;  // buckets; doubles as records arrive
    uint32_t keyStart = 0;
    uint32_t recordSize = 0;
    uint32_t count = 0;

private:
    struct Found {
        int32_t slot;
        uint32_t hash;
        uint32_t keyLength;
    };
    Found Lookup(const uint8_t* record) const;
    uint32_t Bucket(uint32_t hash) const;
    const uint8_t* Stored(int32_t slot, uint32_t& keyLength) const;
    bool GrowBuckets();
    bool ReserveSlot();
    uint8_t* Allocate(uint32_t bytes);

    // Each slot's record in the arena: block number in the high 32 bits,
    // offset within the block in the low ones. The stored form is the key
    // length (4 bytes), the bytes before keyStart, then the key bytes.
    std::vector<uint64_t> recordAt;
    // Each slot's hash, folded to 32 bits: compared before any key, and the
    // source of its bucket when the buckets grow.
    std::vector<uint32_t> slotHash;
    // Chains run from the newest slot to the oldest; Truncate relies on it.
    std::vector<int32_t> nextInChain;
    std::vector<int32_t> bucketHead;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;
    std::vector<uint32_t> blockSize;
    uint32_t blockUsed = 0;  // bytes used in the last block
    uint64_t arenaBytes = 0;
};

// The application's index starts with buckets for 2^20 files and grows
// beyond that.
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

// One character of a path as the index compares it: ASCII letters lower
// case, '/' as '\'.
inline char FoldKeyChar(char c) { return c == '/' ? '\\' : AsciiLower(c); }

// The one way a path becomes an index key, for indexing and lookup alike:
// lower case, '\' separators, zero fill. path may be key.name itself (the
// key is then rewritten in place). False, with key.name zero, when the path
// does not fit (256 characters or more) or holds a zero byte before its
// stated end.
bool MakeFileKey(FileEntry& key, const char* path, uint32_t length, uint32_t packNumber);
