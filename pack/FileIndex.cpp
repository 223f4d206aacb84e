#include "pack/FileIndex.h"

#include <cstring>
#include <new>

bool FileIndex::Create(uint32_t cap, uint32_t size, uint32_t start) {
    Destroy();
    if (cap == 0 || cap > 0x7FFFFFFFu || start >= size) return false;
    records = new (std::nothrow) uint8_t*[cap]();
    bucketHead = new (std::nothrow) int32_t[cap];
    nextInChain = new (std::nothrow) int32_t[cap];
    slotHash = new (std::nothrow) uint32_t[cap];
    if (records == nullptr || bucketHead == nullptr || nextInChain == nullptr || slotHash == nullptr) {
        Destroy();
        return false;
    }
    capacity = cap;
    recordSize = size;
    keyStart = start;
    count = 0;
    for (uint32_t i = 0; i < cap; ++i) bucketHead[i] = nextInChain[i] = -1;
    return true;
}

uint32_t FileIndex::Hash(const void* record) const {
    const uint8_t* key = static_cast<const uint8_t*>(record);
    uint32_t h = 0;
    for (uint32_t i = keyStart; i < recordSize; ++i) h = (h ^ 0xAAAAAAAAu) + key[i] + 47u;
    return h;
}

int32_t FileIndex::Find(const void* record) const {
    if (capacity == 0) return -1;
    const uint8_t* key = static_cast<const uint8_t*>(record) + keyStart;
    uint32_t keySize = recordSize - keyStart;
    uint32_t h = Hash(record);
    for (int32_t slot = bucketHead[h % capacity]; slot >= 0; slot = nextInChain[slot])
        if (slotHash[slot] == h && std::memcmp(records[slot] + keyStart, key, keySize) == 0) return slot;
    return -1;
}

int32_t FileIndex::Insert(const void* record) {
    int32_t present = Find(record);
    if (present >= 0) return present;
    if (count >= capacity) return -1;
    uint8_t* copy = new (std::nothrow) uint8_t[recordSize];
    if (copy == nullptr) return -1;
    std::memcpy(copy, record, recordSize);
    uint32_t h = Hash(record);
    uint32_t bucket = h % capacity;
    int32_t slot = static_cast<int32_t>(count);
    records[slot] = copy;
    slotHash[slot] = h;
    nextInChain[slot] = bucketHead[bucket];
    bucketHead[bucket] = slot;
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
        uint32_t b = slotHash[i] % capacity;
        while (bucketHead[b] >= static_cast<int32_t>(n)) {
            int32_t head = bucketHead[b];
            bucketHead[b] = nextInChain[head];
            nextInChain[head] = -1;
        }
        delete[] records[i];
        records[i] = nullptr;
    }
    count = n;
}

void FileIndex::Destroy() {
    if (records != nullptr)
        for (uint32_t i = 0; i < count; ++i) delete[] records[i];
    delete[] records;
    delete[] bucketHead;
    delete[] nextInChain;
    delete[] slotHash;
    records = nullptr;
    bucketHead = nextInChain = nullptr;
    slotHash = nullptr;
    capacity = keyStart = recordSize = count = 0;
}

bool MakeFileKey(FileEntry& key, const char* path, uint32_t length, uint32_t packNumber) {
    std::memset(&key, 0, sizeof key);
    key.packNumber = packNumber;
    if (length >= sizeof key.name) return false;
    for (uint32_t i = 0; i < length; ++i) {
        char c = path[i];
        if (c == '\0') return false;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '/') c = '\\';
        key.name[i] = c;
    }
    return true;
}
