// Helpers shared by the tests: private temporary folders and a guard that
// puts the current directory back (opening a pack changes it).
#pragma once

#include "pack/FileHandle.h"
#include "pack/GameFiles.h"
#include "tools/PackWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

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

// A private data folder with the core's state over it: writes one pack
// there and opens it as "Set Directory" does. Messages the core shows are
// kept as "caption|text"; extraction output goes to dir/out.
struct TestGame {
    TempDir dir;
    CwdGuard cwd;
    AppState app;
    std::vector<std::string> messages;

    TestGame() {
        app.message.context = &messages;
        app.message.show = [](void* c, const char* text, const char* caption) {
            static_cast<std::vector<std::string>*>(c)->push_back(std::string(caption) + "|" + text);
        };
    }
    // pack: a name ending in .nob or .vpk.
    void Open(const std::string& pack, const std::vector<PackFile>& files) {
        bool nob = pack.substr(pack.size() - 4) == ".nob";
        dir.Write("data/" + pack, nob ? BuildNob(files) : BuildVpk(files));
        ASSERT_TRUE(OpenPack(app, (dir / ("data/" + pack)).c_str()));
        app.extraction.outputFolder = dir / "out";
    }
};
