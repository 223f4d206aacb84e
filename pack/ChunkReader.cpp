#include "pack/ChunkReader.h"

#include <cstring>

bool ChunkReader::ReadAt(uint64_t pos, void* dst, uint32_t n) {
    if (pos > size || n > size - pos) return false;
    if (pos >= windowStart && pos - windowStart <= window.size() && n <= window.size() - (pos - windowStart)) {
        std::memcpy(dst, window.data() + (pos - windowStart), n);
        return true;
    }
    bool follows = !window.empty() && pos == windowStart + window.size();
    windowSize = follows ? (windowSize < kMaxWindow ? windowSize * 2 : kMaxWindow) : kMinWindow;
    if (n > windowSize) {
        window.clear();
        return file.SeekTo(static_cast<int32_t>(pos)) && file.Read(dst, n);
    }
    uint64_t length = size - pos < windowSize ? size - pos : windowSize;
    window.resize(length);
    windowStart = pos;
    if (pos > 0x7FFFFFFFu || !file.SeekTo(static_cast<int32_t>(pos)) ||
        !file.Read(window.data(), static_cast<uint32_t>(length))) {
        window.clear();
        return false;
    }
    std::memcpy(dst, window.data(), n);
    return true;
}
