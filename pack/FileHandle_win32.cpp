// Win32 backend of FileHandle and the folder functions.
//
// The ANSI calls are used on purpose: game paths are narrow strings, and the
// share modes here are what other tools see while Quillon holds a pack open
// (readers may read beside us; a file we are writing is ours alone).
// Windows accepts '/' as well as '\', so paths go to the system as written.
//
// Several records may share one HANDLE (FileHandle::Borrow), each with its
// own position, so every read and write names its offset (an OVERLAPPED on a
// synchronous handle, the pread of Win32) and the system's file pointer is
// never relied on.
#include "pack/FileHandle.h"

#include "pack/Ascii.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// <windows.h> maps ReplaceFile to ReplaceFileA; ours is a different function.
#undef ReplaceFile

#include <string>

namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool EqualIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = AsciiLower(*a), y = AsciiLower(*b);
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A file we can describe: on disk (not CON, NUL, a pipe or a port, which
// CreateFileA opens just as readily) and below 4 GiB.
bool IsUsableFile(HANDLE h) {
    if (GetFileType(h) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) && static_cast<uint64_t>(size.QuadPart) <= 0xFFFFFFFFull;
}

// ReadFile and WriteFile at an absolute offset.
OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Opens path the way FileHandle::Open does; INVALID_HANDLE_VALUE on failure.
// Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open at all.
HANDLE OpenForReading(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return h;
    if (!IsUsableFile(h)) {
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

}  // namespace

FileHandle::FileHandle() : closeOnRelease(1), handle(kInvalid), path(nullptr), position(0) {}

FileHandle::~FileHandle() { Close(); }

bool FileHandle::Open(const char* p) {
    Close();
    HANDLE h = OpenForReading(p);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle = reinterpret_cast<intptr_t>(h);
    StorePath(p);
    return true;
}

bool FileHandle::Create(const char* p) {
    Close();
    HANDLE h = CreateFileA(p, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    handle = reinterpret_cast<intptr_t>(h);
    StorePath(p);
    return true;
}

void FileHandle::CloseSystemHandle(intptr_t h) { CloseHandle(AsHandle(h)); }

bool FileHandle::Read(void* dst, uint32_t n) {
    if (handle == kInvalid) return false;
    uint8_t* out = static_cast<uint8_t*>(dst);
    uint32_t done = 0;
    while (done < n) {
        OVERLAPPED at = At(uint64_t(position) + done);
        DWORD got = 0;
        // At the end of the file a read with an offset fails (ERROR_HANDLE_EOF)
        // where a plain one would succeed with 0 bytes; both end the loop.
        if (!ReadFile(AsHandle(handle), out + done, n - done, &got, &at) || got == 0) break;
        done += got;
    }
    position += done;
    return done == n;
}

bool FileHandle::Write(const void* src, uint32_t n) {
    if (handle == kInvalid || uint64_t(position) + n > 0xFFFFFFFFull) return false;
    const uint8_t* in = static_cast<const uint8_t*>(src);
    uint32_t done = 0;
    while (done < n) {
        OVERLAPPED at = At(uint64_t(position) + done);
        DWORD put = 0;
        if (!WriteFile(AsHandle(handle), in + done, n - done, &put, &at) || put == 0) break;
        done += put;
    }
    position += done;
    return done == n;
}

uint32_t FileHandle::Size() {
    LARGE_INTEGER size;
    if (handle == kInvalid || !GetFileSizeEx(AsHandle(handle), &size)) return 0;
    return static_cast<uint32_t>(size.QuadPart);
}

bool LooseFileMayExist(const char* p) {
    if (*p == '\0') return false;
    // One attribute lookup opens nothing, so it costs little and is not
    // fooled by share modes; a folder of that name is no loose file.
    DWORD attributes = GetFileAttributesA(p);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    // Only a definite "not there" may say no; anything else is left to the
    // open that follows.
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool FileExists(const char* p) {
    HANDLE h = OpenForReading(p);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool ListFilesWithExtension(const char* dir, const char* ext, std::vector<std::string>& names) {
    names.clear();
    std::string pattern = *dir != '\0' ? dir : ".";
    if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    pattern += ext;

    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        // No match in an existing folder is an empty list, not a failure.
        return IsFolder(*dir != '\0' ? dir : ".");
    }
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) continue;
        // The pattern is matched against short 8.3 names too, so "*.nob"
        // also finds "a.nobble" and "c.nobx" (A~1.NOB, C~1.NOB); only the
        // long name's own extension counts.
        uint32_t at = ExtensionOffset(found.cFileName);
        if (at == 0 || !EqualIgnoringCase(found.cFileName + at, ext)) continue;
        names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
}

bool SetCurrentDir(const char* dir) { return SetCurrentDirectoryA(dir) != 0; }

std::string GetCurrentDir() {
    // The directory may change between asking for the length and the copy;
    // retry until the buffer was big enough.
    std::string dir;
    DWORD need = GetCurrentDirectoryA(0, nullptr);
    while (need != 0) {
        dir.resize(need);
        DWORD got = GetCurrentDirectoryA(need, &dir[0]);
        if (got == 0) break;
        if (got < need) {
            dir.resize(got);
            return dir;
        }
        need = got;
    }
    return std::string();
}

bool MakeFolder(const char* p) {
    if (CreateDirectoryA(p, nullptr)) return true;
    // ERROR_ALREADY_EXISTS is also what a plain file of that name gives.
    return GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(p);
}

bool ReplaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const char* p) {
    if (DeleteFileA(p)) return true;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Windows resolves case itself; there is nothing cached to drop.
void ForgetFolderListings() {}

uint32_t ProcessNumber() { return static_cast<uint32_t>(GetCurrentProcessId()); }
