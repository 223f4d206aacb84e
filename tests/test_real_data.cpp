// Real packs from a public fan patch: tests run when the folder is there.
#include "pack/GameFiles.h"
#include "pack/VpkPack.h"
#include "TestUtil.h"

#include <cstring>
#include <filesystem>

TEST(RealDataTest, Pack103ListsAndReadsItsSevenTextFiles) {
    std::string folder = RealData() + "/bloodlines";
    if (!std::filesystem::exists(folder + "/pack103.vpk")) GTEST_SKIP() << "no real data at " << folder;
    CwdGuard cwd;
    AppState app;
    ASSERT_TRUE(OpenPack(app, (folder + "/pack103.vpk").c_str()));
    ASSERT_EQ(app.packList.Count(), 2);
    EXPECT_EQ(app.packList.GetText(0), "pack102.vpk");
    EXPECT_EQ(app.packList.GetText(1), "pack103.vpk");
    EXPECT_EQ(app.packList.GetSel(), 1);
    EXPECT_EQ(app.bloodlinesPacks.fileCounts, (std::vector<uint32_t>{0, 7})) << "the footer-only pack still counts";

    std::string pack;
    ASSERT_TRUE(ReadWholeFile("pack103.vpk", pack));
    FileHandle f;
    ASSERT_TRUE(f.Open("pack103.vpk"));
    VpkWalk walk(f);
    VpkEntry e;
    int seen = 0;
    while (walk.Next(e)) {
        ++seen;
        FileEntry key = {};
        std::strcpy(key.name, e.name);
        FileHandle g;
        uint32_t size = OpenGameFile(app, g, key, 1);
        ASSERT_EQ(size, e.dataSize) << e.name;
        auto bytes = g.ReadAll(size);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.get()), size), pack.substr(e.dataOffset, e.dataSize))
            << e.name;
    }
    EXPECT_EQ(seen, 7);
    FileEntry key = {};
    std::strcpy(key.name, "DLG/Main Characters/Regent.DLG");
    FileHandle g;
    EXPECT_EQ(OpenGameFile(app, g, key, 1), 129781u) << "names with spaces, any case";
}
