#include "pack/FileIndex.h"

#include <cstring>
#include <new>

namespace {

const uint32_t kMaxBuckets = 1u << 30;
const uint32_t kMaxSlots = 0x7FFFFFFFu;  // slot numbers are signed 32-bit
const uint32_t kBlockBytes = 1u << 20;   // arena block; a larger record gets its own
const uint64_t kSlotBytes = sizeof(uint64_t) + sizeof(uint32_t) + sizeof(int32_t);

// The key without its trailing zero bytes: equal keys of one fixed width are
// equal exactly when these are.
uint32_t KeyLength(const uint8_t* key, uint32_t width) {
    // Keys are mostly a name and its zero fill: find the first zero, then
    // check the fill a word at a time rather than walking it back byte by
    // byte (that walk was a third of the cost of a lookup).
    const void* zero = std::memchr(key, 0, width);
    if (zero == nullptr) return width;
    uint32_t end = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - key);
    uint32_t i = end;
    uint64_t rest = 0;
    for (; width - i >= 8; i += 8) {
        uint64_t word;
        std::memcpy(&word, key + i, 8);
        rest |= word;
    }
    for (; i < width; ++i) rest |= key[i];
    if (rest == 0) return end;
    while (key[width - 1] == 0) --width;
    return width;
}

uint64_t Fnv1a64(const uint8_t* bytes, uint32_t length) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint32_t i = 0; i < length; ++i) {
        h ^= bytes[i];
        h *= 0x100000001B3ull;
    }
    return h;
}

uint32_t Fold(uint64_t h) { return static_cast<uint32_t>(h ^ (h >> 32)); }

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

bool FileIndex::Create(uint32_t cap, uint32_t size, uint32_t start) {
    Destroy();
    if (cap == 0 || cap > kMaxBuckets || start >= size) return false;
    uint32_t buckets = 1;
    while (buckets < cap) buckets <<= 1;
    try {
        bucketHead.assign(buckets, -1);
    } catch (const std::bad_alloc&) {
        Destroy();
        return false;
    }
    capacity = buckets;
    recordSize = size;
    keyStart = start;
    count = 0;
    return true;
}

uint64_t FileIndex::Hash(const void* record) const {
    const uint8_t* key = static_cast<const uint8_t*>(record) + keyStart;
    return Fnv1a64(key, KeyLength(key, recordSize - keyStart));
}

uint32_t FileIndex::Bucket(uint32_t hash) const {
    // FNV's low bits follow the last bytes closely; a multiply spreads every
    // bit of the hash over the bucket number.
    return static_cast<uint32_t>((uint64_t(hash) * 0x9E3779B97F4A7C15ull) >> 32) & (capacity - 1);
}

const uint8_t* FileIndex::Stored(int32_t slot, uint32_t& keyLength) const {
    uint64_t at = recordAt[static_cast<size_t>(slot)];
    const uint8_t* p = blocks[static_cast<size_t>(at >> 32)].get() + static_cast<uint32_t>(at);
    keyLength = ReadU32(p);
    return p + 4;
}

FileIndex::Found FileIndex::Lookup(const uint8_t* record) const {
    const uint8_t* key = record + keyStart;
    Found f;
    f.keyLength = KeyLength(key, recordSize - keyStart);
    f.hash = Fold(Fnv1a64(key, f.keyLength));
    f.slot = -1;
    for (int32_t slot = bucketHead[Bucket(f.hash)]; slot >= 0; slot = nextInChain[static_cast<size_t>(slot)]) {
        if (slotHash[static_cast<size_t>(slot)] != f.hash) continue;
        uint32_t length;
        const uint8_t* stored = Stored(slot, length) + keyStart;
        if (length == f.keyLength && std::memcmp(stored, key, length) == 0) {
            f.slot = slot;
            break;
        }
    }
    return f;
}

int32_t FileIndex::Find(const void* record) const {
    if (capacity == 0) return -1;
    return Lookup(static_cast<const uint8_t*>(record)).slot;
}

uint64_t FileIndex::BytesInUse() const {
    return arenaBytes + recordAt.capacity() * sizeof(uint64_t) + slotHash.capacity() * sizeof(uint32_t) +
           nextInChain.capacity() * sizeof(int32_t) + bucketHead.capacity() * sizeof(int32_t);
}

bool FileIndex::GrowBuckets() {
    if (capacity >= kMaxBuckets) return false;
    uint32_t grown = capacity * 2;
    // The old heads are freed only after the new ones are filled.
    if (BytesInUse() + uint64_t(grown) * sizeof(int32_t) > byteLimit) return false;
    std::vector<int32_t> heads;
    try {
        heads.assign(grown, -1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    capacity = grown;
    // Relinking in slot order puts the newest slot in front of every chain
    // again.
    for (uint32_t s = 0; s < count; ++s) {
        uint32_t b = Bucket(slotHash[s]);
        nextInChain[s] = heads[b];
        heads[b] = static_cast<int32_t>(s);
    }
    bucketHead.swap(heads);
    return true;
}

bool FileIndex::ReserveSlot() {
    if (recordAt.size() < recordAt.capacity() && slotHash.size() < slotHash.capacity() &&
        nextInChain.size() < nextInChain.capacity())
        return true;
    uint64_t grown = recordAt.capacity() < 64 ? 64 : uint64_t(recordAt.capacity()) * 2;
    if (grown > kMaxSlots) grown = kMaxSlots;
    // While an array moves, its old and new copies both exist.
    if (BytesInUse() + grown * kSlotBytes > byteLimit) return false;
    try {
        recordAt.reserve(static_cast<size_t>(grown));
        slotHash.reserve(static_cast<size_t>(grown));
        nextInChain.reserve(static_cast<size_t>(grown));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint8_t* FileIndex::Allocate(uint32_t bytes) {
    if (blocks.empty() || blockSize.back() - blockUsed < bytes) {
        uint32_t size = bytes > kBlockBytes ? bytes : kBlockBytes;
        if (BytesInUse() + size > byteLimit) return nullptr;
        std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size]);
        if (!block) return nullptr;
        try {
            blocks.reserve(blocks.size() + 1);
            blockSize.reserve(blockSize.size() + 1);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        blocks.push_back(std::move(block));
        blockSize.push_back(size);
        blockUsed = 0;
        arenaBytes += size;
    }
    uint8_t* at = blocks.back().get() + blockUsed;
    blockUsed += bytes;
    return at;
}

int32_t FileIndex::Insert(const void* record) {
    if (capacity == 0) return -1;
    const uint8_t* r = static_cast<const uint8_t*>(record);
    Found f = Lookup(r);
    if (f.slot >= 0) return f.slot;
    if (count >= kMaxSlots) return -1;
    // Growing the buckets may fail without harm: chains only get longer.
    if (count >= capacity) GrowBuckets();
    if (!ReserveSlot()) return -1;
    uint8_t* at = Allocate(4 + keyStart + f.keyLength);
    if (at == nullptr) return -1;
    std::memcpy(at, &f.keyLength, 4);
    std::memcpy(at + 4, r, keyStart + f.keyLength);

    int32_t slot = static_cast<int32_t>(count);
    uint32_t b = Bucket(f.hash);
    recordAt.push_back(uint64_t(blocks.size() - 1) << 32 | (blockUsed - (4 + keyStart + f.keyLength)));
    slotHash.push_back(f.hash);
    nextInChain.push_back(bucketHead[b]);
    bucketHead[b] = slot;
    ++count;
    return slot;
}

void FileIndex::Truncate(uint32_t n) {
    if (n >= count) return;
    // New records always go in front of their chain, so every slot of n and
    // above sits at the front: unlinking heads until one is below n removes
    // exactly them. Only the buckets of dropped slots need a look, which
    // keeps emptying a small index cheap however large the table.
    for (uint32_t i = n; i < count; ++i) {
        uint32_t b = Bucket(slotHash[i]);
        while (bucketHead[b] >= static_cast<int32_t>(n)) bucketHead[b] = nextInChain[static_cast<size_t>(bucketHead[b])];
    }
    // The arena is filled in slot order: it ends where slot n began.
    uint64_t at = recordAt[n];
    size_t keep = static_cast<size_t>(at >> 32) + 1;
    for (size_t i = keep; i < blocks.size(); ++i) arenaBytes -= blockSize[i];
    blocks.resize(keep);
    blockSize.resize(keep);
    blockUsed = static_cast<uint32_t>(at);
    recordAt.resize(n);
    slotHash.resize(n);
    nextInChain.resize(n);
    count = n;
}

void FileIndex::Destroy() {
    recordAt = std::vector<uint64_t>();
    slotHash = std::vector<uint32_t>();
    nextInChain = std::vector<int32_t>();
    bucketHead = std::vector<int32_t>();
    blocks = std::vector<std::unique_ptr<uint8_t[]>>();
    blockSize = std::vector<uint32_t>();
    blockUsed = 0;
    arenaBytes = 0;
    capacity = keyStart = recordSize = count = 0;
}

void FileIndex::CopyRecord(int32_t slot, void* out) const {
    uint8_t* o = static_cast<uint8_t*>(out);
    uint32_t length;
    const uint8_t* stored = Stored(slot, length);
    std::memcpy(o, stored, keyStart + length);
    std::memset(o + keyStart + length, 0, recordSize - keyStart - length);
}

FileEntry FileIndex::Entry(int32_t slot) const {
    FileEntry e;
    if (recordSize == sizeof e)
        CopyRecord(slot, &e);
    else
        std::memset(&e, 0, sizeof e);
    return e;
}

bool MakeFileKey(FileEntry& key, const char* path, uint32_t length, uint32_t packNumber) {
    key.packNumber = packNumber;
    if (length >= sizeof key.name || std::memchr(path, '\0', length) != nullptr) {
        std::memset(key.name, 0, sizeof key.name);
        return false;
    }
    // Index by index, so that path may be key.name itself.
    for (uint32_t i = 0; i < length; ++i) key.name[i] = FoldKeyChar(path[i]);
    std::memset(key.name + length, 0, sizeof key.name - length);
    return true;
}
