// Little-endian fields of a model file held whole in memory. Readers check
// Has(pos, n) before every read: positions come from files we do not
// control, so they may be any 64-bit value.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

struct ByteView {
    const uint8_t* data;
    uint32_t size;

    // True when n bytes at pos lie inside.
    bool Has(uint64_t pos, uint64_t n) const { return pos <= size && n <= size - pos; }
    uint32_t U32(uint64_t pos) const {
        uint32_t v;
        std::memcpy(&v, data + pos, 4);
        return v;
    }
    uint16_t U16(uint64_t pos) const {
        uint16_t v;
        std::memcpy(&v, data + pos, 2);
        return v;
    }
    float F32(uint64_t pos) const {
        float v;
        std::memcpy(&v, data + pos, 4);
        return v;
    }
};

// Records why a model is refused; always false.
inline bool Fail(std::string& why, const char* text) {
    why = text;
    return false;
}
