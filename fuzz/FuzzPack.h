// Shared body of the pack fuzz targets: the input becomes the only pack of a
// private data folder, which is then opened, walked, indexed and read the
// way the program does.
#pragma once

#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "pack/FileHandle.h"
#include "tools/PackWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

inline const std::string& FuzzFolder() {
    static std::string folder = [] {
        char tmpl[] = "/tmp/quillon-fuzz-XXXXXX";
        char* made = mkdtemp(tmpl);
        if (made == nullptr) std::abort();
        return std::string(made);
    }();
    return folder;
}

// Opening a pack enters its folder; libFuzzer's own paths are relative.
struct CwdRestorer {
    std::string saved = GetCurrentDir();
    ~CwdRestorer() { SetCurrentDir(saved.c_str()); }
};

inline void WriteFuzzPack(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// Reads every name the walk yields through OpenGameFile and checks that what
// comes back lies inside the pack.
template <typename Walk, typename Entry>
void ReadEveryEntry(AppState& app, const std::string& pack, uint32_t packSize) {
    FileHandle f;
    if (!f.Open(pack.c_str())) return;
    Walk walk(f);
    Entry e;
    int budget = 4096;
    while (budget-- > 0 && walk.Next(e)) {
        if (e.nameLength >= sizeof e.name || e.name[e.nameLength] != '\0') std::abort();
        FileEntry key = {};
        std::strncpy(key.name, e.name, sizeof key.name - 1);
        FileHandle g;
        uint32_t size = OpenGameFile(app.Files(), g, key, 1);
        if (size == 0) continue;
        uint32_t at = g.Skip(0);
        if (uint64_t(at) + size > packSize) std::abort();
        auto bytes = g.ReadAll(size);
        if (!bytes) std::abort();
    }
}

// One application record for a whole fuzzing run, opened once on a pack of
// the given files in the fuzzing folder (which becomes the current
// directory, so inputs can be written there as loose files).
inline AppState* OpenFuzzGame(const std::vector<PackFile>& files) {
    WriteWholeFile(FuzzFolder() + "/pack000.vpk", BuildVpk(files));
    AppState* app = new AppState;
    if (!OpenPack(*app, (FuzzFolder() + "/pack000.vpk").c_str())) std::abort();
    return app;
}
