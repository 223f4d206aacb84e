// The core's state over a private data folder, for the tests of the session
// and of everything that needs an opened pack.
#pragma once

#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "TestUtil.h"

#include <filesystem>
#include <string>
#include <vector>

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

// The record as text: meshes (texture index, triangles, visible), slots
// (size, twoSided, alpha, "sub" for the substitute), vertices (x, y, z, ny,
// nz, v).
inline std::string DescribeModel(const Viewer& v, bool vertices = true) {
    std::string out;
    for (uint32_t i = 0; i < v.meshCount; ++i)
        out += "m" + std::to_string(v.meshes[i].textureIndex) + "/" + std::to_string(v.meshes[i].triangleCount) + "/" +
               std::to_string(v.meshes[i].visible) + " ";
    for (uint32_t i = 1; i < v.slotCount; ++i)
        out += "s" + std::to_string(v.slots[i].image.width) + "x" + std::to_string(v.slots[i].image.height) + "/" +
               std::to_string(v.slots[i].twoSided) + std::to_string(v.slots[i].alpha) +
               (v.slots[i].substitute ? "sub " : " ");
    uint32_t written = 0;
    for (uint32_t i = 0; i < v.meshCount; ++i) written += 3 * v.meshes[i].triangleCount;
    for (uint32_t k = 0; vertices && k < written && k < v.lockedVertices; ++k) {
        const ModelVertex& x = v.ModelVertices()[k];
        for (float f : {x.x, x.y, x.z, x.ny, x.nz, x.v}) out += std::to_string(int(f)) + ",";
        out.back() = ' ';
    }
    return out;
}

// A file's key in the index, by its path.
inline FileEntry EntryFor(const std::string& path) {
    FileEntry key = {};
    path.copy(key.name, sizeof key.name - 1);
    return key;
}

// The real Bloodlines pack of models, opened when it is there.
struct RealPack {
    CwdGuard cwd;
    AppState app;
    bool open = false;
    RealPack() {
        std::string pack = RealData() + "/bloodlines/pack103.vpk";
        if (!std::filesystem::exists(pack)) return;
        open = OpenPack(app, pack.c_str());
        EXPECT_TRUE(open) << pack;
    }
};

// The real models (below real, a game data folder) with their materials,
// packed as dir's data/pack000.vpk and opened into app: the real files are
// loose, and the pack makes them items of a tree as in the game's own
// packs. Extraction output goes to dir/out.
inline void OpenRealModels(const TempDir& dir, const std::string& real, AppState& app) {
    std::vector<PackFile> files;
    for (const char* folder : {"models", "materials/models"})
        for (auto& e : std::filesystem::recursive_directory_iterator(real + "/" + folder))
            if (e.is_regular_file()) {
                files.push_back({std::filesystem::relative(e.path(), real).generic_string(), {}});
                ASSERT_TRUE(ReadWholeFile(e.path().string(), files.back().data));
            }
    dir.Write("data/pack000.vpk", BuildVpk(files));
    ASSERT_TRUE(OpenPack(app, (dir / "data/pack000.vpk").c_str()));
    app.extraction.outputFolder = dir / "out";
}
