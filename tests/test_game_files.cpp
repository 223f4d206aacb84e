// Opening a data folder and reading game files by path.
#include "pack/GameFiles.h"
#include "pack/NobPack.h"
#include "pack/VpkPack.h"
#include "TestGame.h"

#include <cstring>
#include <random>

namespace {

FileEntry KeyOf(const std::string& path) {
    FileEntry key = {};
    std::strncpy(key.name, path.c_str(), sizeof key.name - 1);
    return key;
}

// Reads game file path the way every reader does; "<absent>" when not found.
std::string ReadGameFile(AppState& app, const std::string& path) {
    FileEntry key = KeyOf(path);
    FileHandle f;
    uint32_t size = OpenGameFile(app.Files(), f, key, 1);
    if (size == 0) return f.IsOpen() ? "<left open>" : "<absent>";
    auto bytes = f.ReadAll(size);
    return bytes ? std::string(reinterpret_cast<char*>(bytes.get()), size) : "<short>";
}

}  // namespace

TEST(OpenPackTest, ListsOnlyThePacksOfTheChosenKindAndEntersTheFolder) {
    TempDir dir;
    CwdGuard cwd;
    dir.Write("data/pack001.vpk", BuildVpk({{"b.txt", "b"}}));
    dir.Write("data/pack000.vpk", BuildVpk({{"a.txt", "a"}, {"c.txt", "c"}}));
    dir.Write("data/other.nob", BuildNob({{"n.txt", "n"}}));
    AppState app;
    ASSERT_TRUE(SetCurrentDir(dir.path.c_str()));
    ASSERT_TRUE(OpenPack(app, "data\\pack001.vpk")) << "a relative path works too";
    EXPECT_EQ(app.gameType, kGameBloodlines);
    EXPECT_EQ(GetCurrentDir(), std::filesystem::canonical(dir / "data").string());
    ASSERT_EQ(app.packList.Count(), 2);
    EXPECT_EQ(app.packList.GetText(0), "pack000.vpk");
    EXPECT_EQ(app.packList.GetSel(), 1);
    EXPECT_EQ(app.bloodlinesPacks.fileCounts, (std::vector<uint32_t>{2, 1}));
    EXPECT_TRUE(app.redemptionPacks.fileCounts.empty());

    // A Redemption pack of the same folder replaces all of it.
    ASSERT_TRUE(OpenPack(app, (dir / "data/other.nob").c_str()));
    EXPECT_EQ(app.gameType, kGameRedemption);
    ASSERT_EQ(app.packList.Count(), 1);
    EXPECT_TRUE(app.bloodlinesPacks.fileCounts.empty());
    EXPECT_EQ(ReadGameFile(app, "a.txt"), "<absent>") << "the index was refilled";
    EXPECT_EQ(ReadGameFile(app, "N.TXT"), "n");

    // A chosen pack that is not there still opens its folder's first pack;
    // a folder without packs of that kind opens nothing.
    ASSERT_TRUE(OpenPack(app, (dir / "data/absent.nob").c_str()));
    EXPECT_EQ(app.packList.GetSel(), 0);
    EXPECT_EQ(app.tree.Text(app.tree.FirstTopLevel()), "n.txt");
    for (const char* bad : {"data/pack000.zip", "data/noextension", "data/absent.NOB/", "empty.vpk"}) {
        EXPECT_FALSE(OpenPack(app, (dir / bad).c_str())) << bad;
        EXPECT_EQ(app.gameType, kGameNone) << bad;
    }
}

TEST(OpenGameFileTest, LooseFilesWinAndKeepTheirName) {
    TestGame g;
    g.dir.Write("data/cfg/autoexec.cfg", "loose");
    g.Open("pack000.vpk", {{"cfg/Autoexec.cfg", "packed"}, {"dlg/a.dlg", "dialog"}});
    AppState& app = g.app;
    FileEntry key = KeyOf("Cfg/AutoExec.CFG");
    FileHandle f;
    ASSERT_EQ(OpenGameFile(app.Files(), f, key, 1), 5u);
    EXPECT_STREQ(key.name, "Cfg/AutoExec.CFG") << "a loose hit leaves the key as given";
    EXPECT_EQ(f.Skip(0), 0u);

    key = KeyOf("DLG/A.dlg");
    ASSERT_EQ(OpenGameFile(app.Files(), f, key, 1), 6u);
    EXPECT_STREQ(key.name, "dlg\\a.dlg") << "callers rely on the rewritten key";
    for (size_t i = std::strlen(key.name); i < sizeof key.name; ++i) ASSERT_EQ(key.name[i], 0);

    key = KeyOf("dlg/none.dlg");
    EXPECT_EQ(OpenGameFile(app.Files(), f, key, 1), 0u);
    EXPECT_FALSE(f.IsOpen());
}

TEST(OpenGameFileTest, EmptyOrDamagedPackedFilesAreNotAvailable) {
    TempDir dir;
    CwdGuard cwd;
    std::string bytes = BuildVpk({{"empty.txt", ""}, {"good.txt", "good"}, {"cut.txt", "0123456789"}});
    // Make cut.txt claim more bytes than the pack holds.
    size_t sizeField = bytes.find("cut.txt") + 7 + 4;
    bytes[sizeField + 1] = 0x10;
    dir.Write("p.vpk", bytes);
    AppState app;
    ASSERT_TRUE(OpenPack(app, (dir / "p.vpk").c_str()));
    // Not available, and the reason tells the three apart, for loose files too.
    dir.Write("loose-empty.txt", "");
    const struct { const char* path; Reason why; const char* read; } cases[] = {
        {"empty.txt", Reason::EmptyFile, "<absent>"}, {"loose-empty.txt", Reason::EmptyFile, "<absent>"},
        {"cut.txt", Reason::OutsidePack, "<absent>"}, {"missing.txt", Reason::NotFound, "<absent>"},
        {"good.txt", Reason::None, "good"}};
    for (const auto& c : cases) {
        FileEntry key = KeyOf(c.path);
        FileHandle f;
        Reason why = Reason::CannotRead;
        OpenGameFile(app.Files(), f, key, 1, &why);
        EXPECT_EQ(why, c.why) << c.path;
        EXPECT_EQ(ReadGameFile(app, c.path), c.read) << c.path;
    }

    FileEntry key = KeyOf("good.txt");
    FileHandle f;
    app.gameType = kGameNone;
    EXPECT_EQ(OpenGameFile(app.Files(), f, key, 0), 0u) << "no game open, nothing packed is read";
}

TEST(OpenPackTest, AChosenFileThatIsNotAPackIsToldAndTheFolderStaysOpen) {
    TestGame g;
    TempDir& dir = g.dir;
    AppState& app = g.app;
    dir.Write("pack000.vpk", BuildVpk({{"a.txt", "a"}}));
    dir.Write("notes.vpk", "these are notes, not a pack\n");  // its last byte, a flag, leaves it unlisted
    dir.Write("zero.vpk", "");                                // listed: too short to have a flag
    EXPECT_FALSE(OpenPack(app, (dir / "notes.vpk").c_str())) << "never another pack in its place";
    EXPECT_EQ(app.failure.reason, Reason::PackDirectoryOutside);
    EXPECT_EQ(app.failure.subject, dir / "notes.vpk");
    EXPECT_TRUE(g.messages.empty()) << "told once, through the failure";
    EXPECT_FALSE(app.packsLoaded);
    EXPECT_EQ(app.packList.Count(), 2) << "the pack list stays";
    EXPECT_EQ(ReadGameFile(app, "a.txt"), "a") << "and so does the index";
    ASSERT_TRUE(LoadPack(app, "pack000.vpk"));
    EXPECT_FALSE(app.failure.Failed());
    EXPECT_EQ(app.listedFiles, 1u);
    EXPECT_FALSE(LoadPack(app, "ZERO.VPK")) << "picked from the list";
    EXPECT_EQ(app.failure.Words(), "zero.vpk: not a pack: too short for a pack footer");
    EXPECT_FALSE(app.packsLoaded);

    dir.Write("empty.vpk", std::string(9, '\0'));
    EXPECT_TRUE(OpenPack(app, (dir / "empty.vpk").c_str())) << "a footer with no entries is an empty pack";
    EXPECT_FALSE(app.failure.Failed());
    EXPECT_EQ(app.listedFiles, 0u);
}

// Opening through the remembered places must give exactly what walking the
// pack gives: the pack the index keeps, and its first matching entry.
TEST(OpenGameFileTest, AgreesWithAWalkOfThePackForEveryIndexedPath) {
    for (int kind = 0; kind < 2; ++kind) {
        TempDir dir;
        CwdGuard cwd;
        std::mt19937 rng(1234 + kind);
        const char* ext = kind == 0 ? ".nob" : ".vpk";
        const char* names[] = {"a.txt", "A.TXT", "dir/b.dlg", "DIR\\B.dlg", "c/d/e.cfg", "f.lst", "dir/"};
        std::vector<std::string> allNames;
        for (int p = 0; p < 3; ++p) {
            std::vector<PackFile> files;
            for (int i = 0; i < 12; ++i) {
                std::string name = names[rng() % (kind == 0 ? 7 : 6)];
                std::string data(1 + rng() % 50, static_cast<char>('a' + p));
                data += std::to_string(i);
                files.push_back({name, data});
                allNames.push_back(name);
            }
            std::string pack = "pack" + std::to_string(p) + ext;
            dir.Write(pack, kind == 0 ? BuildNob(files) : BuildVpk(files));
        }
        AppState app;
        ASSERT_TRUE(OpenPack(app, (dir / (std::string("pack1") + ext)).c_str()));
        for (const std::string& name : allNames) {
            if (name.back() == '/') continue;
            FileEntry key = KeyOf(name);
            FileHandle viaIndex, viaWalk;
            uint32_t size = OpenGameFile(app.Files(), viaIndex, key, 1);
            int32_t slot = app.fileIndex.files.Find(&key);
            ASSERT_GE(slot, 0) << name;
            std::string pack = app.packList.GetText(app.packList.FindItemData(app.fileIndex.files.Entry(slot).packNumber));
            uint32_t walked = kind == 0 ? LocateInNob(viaWalk, pack.c_str(), key.name)
                                        : LocateInVpk(viaWalk, pack.c_str(), key.name);
            EXPECT_EQ(size, walked) << name;
            EXPECT_EQ(viaIndex.Skip(0), viaWalk.Skip(0)) << name;
        }
    }
}
