// Reads a pack's small records (headers, names, directory entries) through a
// window, so walking a directory costs one system read per window rather
// than several per entry. The window grows to 64 KiB while reads follow each
// other (a directory) and shrinks to 4 KiB when they jump (the headers of a
// .nob pack lie between file data, and filling 64 KiB for each would copy
// the whole pack). Every read is checked against the file's
// size; nothing past the end is ever handed out.
#pragma once

#include "pack/FileHandle.h"

#include <cstdint>
#include <vector>

class ChunkReader {
public:
    explicit ChunkReader(FileHandle& f) : file(f), size(f.Size()) {}

    uint32_t Size() const { return size; }
    // Copies the n bytes at pos into dst; false when they do not all lie in
    // the file or the system read fails.
    bool ReadAt(uint64_t pos, void* dst, uint32_t n);

private:
    static const uint32_t kMinWindow = 4 * 1024;
    static const uint32_t kMaxWindow = 64 * 1024;
    FileHandle& file;
    uint32_t windowSize = kMinWindow;
    uint32_t size;
    std::vector<uint8_t> window;
    uint64_t windowStart = 0;
};

inline uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
