// Parts of FileHandle and the path helpers that need no operating system.
#include "pack/FileHandle.h"

#include <cstring>
#include <new>

void FileHandle::StorePath(const char* p) {
    size_t n = std::strlen(p);
    path = new (std::nothrow) char[n + 1];
    if (path == nullptr) return;
    std::memcpy(path, p, n + 1);
    ToBackslashes(path);
}

std::unique_ptr<uint8_t[]> FileHandle::ReadAll(uint32_t n) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[n == 0 ? 1 : n]);
    if (!buffer) return nullptr;
    if (n != 0 && !Read(buffer.get(), n)) return nullptr;
    return buffer;
}

void ToBackslashes(char* s) {
    for (; *s != '\0'; ++s)
        if (*s == '/') *s = '\\';
}

uint32_t NameOffset(const char* path) {
    const char* last = std::strrchr(path, '\\');
    return last == nullptr ? 0 : static_cast<uint32_t>(last - path + 1);
}

uint32_t ExtensionOffset(const char* name) {
    const char* last = std::strrchr(name, '.');
    return last == nullptr ? 0 : static_cast<uint32_t>(last - name);
}
