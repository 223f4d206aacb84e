#include "model/XReader.h"

#include "model/ByteView.h"

#include <charconv>
#include <cmath>
#include <cstring>

bool ReadXVertexCount(const char* data, size_t size, uint32_t& count, size_t& at) {
    const void* brace = std::memchr(data, '{', size);
    if (brace == nullptr) return false;
    at = size_t(static_cast<const char*>(brace) - data) + 3;
    if (at > size) return false;
    while (at < size && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' || data[at] == '\n')) ++at;
    auto [end, ec] = std::from_chars(data + at, data + size, count);
    return ec == std::errc() && end != data + at;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// From q: skip to the next ';', then skip more characters past it, then
// read a number (leading white space skipped). q ends after the number.
bool NextNumber(const char* data, size_t size, size_t& q, size_t skip, float& value, std::string& why) {
    const void* semi = q < size ? std::memchr(data + q, ';', size - q) : nullptr;
    if (semi == nullptr) return Fail(why, "The .x file ends before all of its vertex positions");
    q = size_t(static_cast<const char*>(semi) - data) + skip;
    while (q < size && IsBlank(data[q])) ++q;
    if (q >= size) return Fail(why, "The .x file ends before all of its vertex positions");
    size_t start = q;
    if (data[q] == '+') ++q;
    auto [end, ec] = std::from_chars(data + q, data + size, value);
    if (ec != std::errc() || end == data + q || !std::isfinite(value)) {
        why = "The .x file has a malformed vertex position at byte " + std::to_string(start);
        return false;
    }
    q = size_t(end - data);
    return true;
}

}  // namespace

bool ReadXPositions(const char* data, size_t size, size_t at, uint32_t count, std::vector<float>& xyz,
                    std::string& why) {
    xyz.clear();
    size_t q = at;
    for (uint32_t i = 0; i < count; ++i) {
        float value[3];
        // The first number follows the ';' and the line end of the line
        // before; the others follow their ';' directly.
        if (!NextNumber(data, size, q, 2, value[0], why) || !NextNumber(data, size, q, 1, value[1], why) ||
            !NextNumber(data, size, q, 1, value[2], why))
            return false;
        xyz.insert(xyz.end(), value, value + 3);
    }
    return true;
}
