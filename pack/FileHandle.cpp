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

bool FileHandle::Close() {
    if (handle != kInvalid && closeOnRelease) CloseSystemHandle(handle);
    handle = kInvalid;
    closeOnRelease = 1;
    position = 0;
    delete[] path;
    path = nullptr;
    return true;
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

bool FileHandle::Borrow(const FileHandle& owner, uint32_t pos) {
    Close();
    if (!owner.IsOpen()) return false;
    handle = owner.handle;
    closeOnRelease = 0;
    position = pos;
    if (owner.path != nullptr) StorePath(owner.path);
    return true;
}

uint32_t FileHandle::Skip(int32_t delta) {
    if (handle == kInvalid) return 0xFFFFFFFFu;
    int64_t at = int64_t(position) + delta;
    if (at < 0 || at > 0xFFFFFFFEll) return 0xFFFFFFFFu;
    position = static_cast<uint32_t>(at);
    return position;
}

bool FileHandle::SeekTo(int32_t pos) {
    if (handle == kInvalid || pos < 0) return false;
    position = static_cast<uint32_t>(pos);
    return true;
}

size_t FileNameStart(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? 0 : sep + 1;
}

uint32_t NameOffset(const char* path) {
    const char* last = std::strrchr(path, '\\');
    return last == nullptr ? 0 : static_cast<uint32_t>(last - path + 1);
}

uint32_t ExtensionOffset(const char* name) {
    const char* last = std::strrchr(name, '.');
    return last == nullptr ? 0 : static_cast<uint32_t>(last - name);
}
