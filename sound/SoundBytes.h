// Field reads for the sound header readers. Every read is preceded by a
// Has(pos, n) check; positions come from files we do not control.
#pragma once

#include "sound/SoundInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

struct SoundBytes {
    const uint8_t* data;
    size_t size;

    bool Has(uint64_t pos, uint64_t n) const { return pos <= size && n <= size - pos; }
    bool Is(uint64_t pos, const char* tag) const {
        size_t n = std::strlen(tag);
        return Has(pos, n) && std::memcmp(data + pos, tag, n) == 0;
    }
    uint16_t LE16(uint64_t pos) const { return uint16_t(data[pos] | data[pos + 1] << 8); }
    uint32_t LE32(uint64_t pos) const {
        return uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8 | uint32_t(data[pos + 2]) << 16 |
               uint32_t(data[pos + 3]) << 24;
    }
    uint32_t BE32(uint64_t pos) const {
        return uint32_t(data[pos]) << 24 | uint32_t(data[pos + 1]) << 16 | uint32_t(data[pos + 2]) << 8 |
               uint32_t(data[pos + 3]);
    }
};

inline bool SoundFail(SoundInfo& info, SoundFailure failure) {
    info.failure = failure;
    return false;
}
