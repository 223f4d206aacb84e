// Helpers shared by the tests: private temporary folders and a guard that
// puts the current directory back (opening a pack changes it).
#pragma once

#include "pack/FileHandle.h"
#include "tools/PackWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

// Little-endian integers in a byte string, in place: for damaging a good
// file one field at a time.
inline void Put(std::string& s, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * i));
}
inline uint32_t Get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(s[at + size_t(i)]);
    return v;
}

class TempDir {
public:
    TempDir() {
        static std::atomic<int> serial{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = (std::filesystem::temp_directory_path() /
                ("quillon-test-" + std::to_string(stamp) + "-" + std::to_string(serial++)))
                   .string();
        std::filesystem::create_directories(path);
        ForgetFolderListings();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (std::filesystem::path(path) / name).string(); }
    // Writes a file below the folder, creating its folders.
    void Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path target = std::filesystem::path(path) / name;
        std::filesystem::create_directories(target.parent_path());
        ASSERT_TRUE(WriteWholeFile(target.string(), bytes)) << target;
        ForgetFolderListings();
    }

    std::string path;
};

// The real game files the tests may use, when the folder is there.
inline std::string RealData() {
#ifdef _WIN32
    return std::string("Z:") + QUILLON_REALDATA;  // Wine maps the Unix root to Z:
#else
    return QUILLON_REALDATA;
#endif
}

class CwdGuard {
public:
    CwdGuard() : saved(GetCurrentDir()) {}
    ~CwdGuard() { SetCurrentDir(saved.c_str()); }

private:
    std::string saved;
};
