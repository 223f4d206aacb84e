// The core's state over a private data folder, for the tests of the session
// and of everything that needs an opened pack.
#pragma once

#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "TestUtil.h"

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
