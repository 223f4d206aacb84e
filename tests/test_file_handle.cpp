#include "pack/FileHandle.h"
#include "TestUtil.h"

#include <cstring>

TEST(PathFunctions, NameAndExtensionOffsetsAndBackslashes) {
    struct {
        std::string path;
        uint32_t name, ext;
        const char* backslashed;
    } cases[] = {
        {"models\\a.mdl", 7, 8, "models\\a.mdl"},  // the name starts after the last backslash
        {"a.mdl", 0, 1, "a.mdl"},
        {"a/b", 0, 0, "a\\b"},                      // a forward slash does not count
        {"a.b.tth", 0, 3, "a.b.tth"},                // the last dot
        {".tth", 0, 0, ".tth"},                      // a leading dot alone is no extension
        {"x\\y\\", 4, 0, "x\\y\\"},
        {"a/b/c", 0, 0, "a\\b\\c"},
        {"", 0, 0, ""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(NameOffset(c.path.c_str()), c.name) << c.path;
        EXPECT_EQ(ExtensionOffset(c.path.c_str()), c.ext) << c.path;
        ToBackslashes(&c.path[0]);
        EXPECT_EQ(c.path, c.backslashed) << "backslashed";
    }
}

TEST(FileHandleTest, ReadsWritesAndMeasuresWithoutMovingThePosition) {
    TempDir dir;
    std::string path = dir / "data.bin";
    FileHandle f;
    ASSERT_TRUE(f.Create(path.c_str()));
    const char bytes[] = "0123456789abcdefghij";
    ASSERT_TRUE(f.Write(bytes, 20));
    ASSERT_TRUE(f.Close());
    EXPECT_TRUE(f.Close()) << "closing twice is harmless";
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Path(), nullptr);

    ASSERT_TRUE(f.Open(path.c_str()));
    EXPECT_EQ(f.Skip(10), 10u);
    EXPECT_EQ(f.Size(), 20u);
    EXPECT_EQ(f.Skip(0), 10u) << "Size must not disturb the position";
    char got[5] = {};
    ASSERT_TRUE(f.Read(got, 4));
    EXPECT_EQ(std::string(got), "abcd");
    EXPECT_FALSE(f.Read(got, 7)) << "a short read fails";

    ASSERT_TRUE(f.SeekTo(0));
    auto none = f.ReadAll(0);
    ASSERT_NE(none, nullptr) << "a count of 0 gives an empty allocation";
    EXPECT_EQ(f.Skip(0), 0u);
    auto all = f.ReadAll(20);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(std::memcmp(all.get(), bytes, 20), 0);
    ASSERT_TRUE(f.SeekTo(15));
    EXPECT_EQ(f.ReadAll(6), nullptr) << "fewer bytes than asked give null";
    EXPECT_FALSE(f.SeekTo(-1));
}

TEST(FileHandleTest, OpenReplacesWhatWasOpenAndKeepsABackslashPath) {
    TempDir dir;
    dir.Write("one.txt", "1");
    dir.Write("sub/two.txt", "22");
    FileHandle f;
    ASSERT_TRUE(f.Open((dir / "one.txt").c_str()));
    std::string second = dir.path + "/sub/two.txt";
    ASSERT_TRUE(f.Open(second.c_str()));
    EXPECT_EQ(f.Size(), 2u);
    EXPECT_EQ(std::strchr(f.Path(), '/'), nullptr) << f.Path();
    EXPECT_FALSE(f.Open((dir / "missing.txt").c_str()));
    EXPECT_FALSE(f.IsOpen()) << "a failed open leaves the record closed";
    EXPECT_EQ(f.Path(), nullptr);
}

TEST(FolderFunctions, CreateTruncatesReplaceRemoveAndMakeFolderAndFoldersAreNotFiles) {
    TempDir dir;
    dir.Write("f.bin", "0123456789");
    FileHandle f;
    ASSERT_TRUE(f.Create((dir / "f.bin").c_str()));
    EXPECT_EQ(f.Size(), 0u);
    f.Close();
    dir.Write("folder/x", "x");
    EXPECT_FALSE(f.Open((dir / "folder").c_str()));
    EXPECT_FALSE(FileExists((dir / "folder").c_str()));
    EXPECT_TRUE(FileExists((dir / "f.bin").c_str()));

    dir.Write("new.tmp", "new");
    ASSERT_TRUE(ReplaceFile((dir / "new.tmp").c_str(), (dir / "f.bin").c_str()));
    std::string got;
    ASSERT_TRUE(ReadWholeFile(dir / "f.bin", got));
    EXPECT_EQ(got, "new");
    EXPECT_FALSE(FileExists((dir / "new.tmp").c_str()));
    EXPECT_TRUE(RemoveFile((dir / "f.bin").c_str()));
    EXPECT_FALSE(FileExists((dir / "f.bin").c_str()));
    EXPECT_TRUE(MakeFolder((dir / "made").c_str()));
    EXPECT_TRUE(MakeFolder((dir / "made").c_str())) << "an existing folder is fine";
    EXPECT_FALSE(MakeFolder((dir / "no/such/parent").c_str()));
}

#ifndef _WIN32
// On Windows the file system ignores case; elsewhere the POSIX backend must.
TEST(PosixPaths, FindsComponentsIgnoringCaseAndTakesBackslashes) {
    TempDir dir;
    dir.Write("Models/Scenery/Crate.MDL", "crate");
    CwdGuard cwd;
    ASSERT_TRUE(SetCurrentDir(dir.path.c_str()));
    FileHandle f;
    EXPECT_TRUE(f.Open("models\\scenery\\crate.mdl"));
    EXPECT_TRUE(f.Open("MODELS/SCENERY/CRATE.mdl"));
    EXPECT_TRUE(FileExists("Models\\Scenery\\Crate.MDL"));
    EXPECT_FALSE(FileExists("models\\scenery\\crate.mdlx"));
    EXPECT_FALSE(FileExists("models\\crate.mdl"));

    // Creating through a differently cased path writes the existing file and
    // a new file made afterwards is found at once (the listing is renewed).
    ASSERT_TRUE(f.Create("models\\scenery\\CRATE.mdl"));
    ASSERT_TRUE(f.Write("new", 3));
    f.Close();
    std::string got;
    ASSERT_TRUE(ReadWholeFile(dir / "Models/Scenery/Crate.MDL", got));
    EXPECT_EQ(got, "new");
    ASSERT_TRUE(f.Create("models\\scenery\\Barrel.mdl"));
    f.Close();
    EXPECT_TRUE(FileExists("MODELS\\SCENERY\\barrel.MDL"));
}

TEST(PosixPaths, ListsPackExtensionsIgnoringCaseInNameOrder) {
    TempDir dir;
    for (const char* name : {"b.nob", "A.NOB", "c.Nob", "d.nobx", "e.vpk", "nob"}) dir.Write(name, "x");
    dir.Write("f.nob/inner", "a folder named like a pack");
    std::vector<std::string> names;
    ASSERT_TRUE(ListFilesWithExtension(dir.path.c_str(), ".nob", names));
    EXPECT_EQ(names, (std::vector<std::string>{"A.NOB", "b.nob", "c.Nob"}));
}
#endif
