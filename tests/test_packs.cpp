// The two pack formats: their walks, indexing, locating and folder scans.
#include "pack/GameFiles.h"
#include "pack/NobPack.h"
#include "pack/VpkPack.h"
#include "TestUtil.h"

#include <cstring>
#include <random>

namespace {

// The names a walk of the pack at path hands out, in order.
template <typename Walk, typename Entry>
std::vector<std::string> Names(const std::string& path) {
    FileHandle f;
    EXPECT_TRUE(f.Open(path.c_str()));
    Walk walk(f);
    Entry e;
    std::vector<std::string> names;
    while (walk.Next(e)) names.push_back(e.name);
    return names;
}

std::string Header(uint32_t dataSize, uint32_t nameLength) {
    std::string h(22, '\0');
    AppendLE32(h, dataSize);
    AppendLE32(h, nameLength);
    return h;
}

}  // namespace

// Scans of the folder dir, entered as the current folder; messages are kept
// as "caption|text".
class ScanTest : public ::testing::Test {
protected:
    TempDir dir;
    CwdGuard cwd;
    PackCounts counts;
    PackIndex index;
    PackList list;
    std::vector<std::string> shown;
    MessageSeam seam;
    ScanTest() {
        EXPECT_TRUE(SetCurrentDir(dir.path.c_str()) && index.Create());
        seam.context = &shown;
        seam.show = [](void* ctx, const char* text, const char* caption) {
            static_cast<std::vector<std::string>*>(ctx)->push_back(std::string(caption) + "|" + text);
        };
    }
};

TEST(NobWalkTest, StopsWhereTheFormatSaysAndNeverReadsPastTheFile) {
    TempDir dir;
    std::string two = BuildNob({{"a.txt", "AAAA"}, {"data/b.txt", "BB"}});
    struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"empty file", "", {}},
        {"exactly one header", Header(0, 0), {}},
        {"two entries", two, {"a.txt", "data/b.txt"}},
        {"a last header ending at the end of the file is not read", two.substr(0, 39) + Header(0, 0), {"a.txt"}},
        {"30 bytes or fewer after the previous data end the walk", two + std::string(30, 'x'),
         {"a.txt", "data/b.txt"}},
        {"one byte more is a header", BuildNob({{"a.txt", ""}}) + Header(0, 0) + "z", {"a.txt", ""}},
        {"a name length of 260 ends the walk", BuildNob({{"a.txt", "1"}}) + Header(0, 260) + std::string(300, 'n'),
         {"a.txt"}},
        {"a name length of 259 is read", Header(0, 259) + std::string(259, 'n') + "!", {std::string(259, 'n')}},
        {"a name cut short by the end is not handed out", BuildNob({{"a.txt", "1"}}) + Header(0, 40) + "short",
         {"a.txt"}},
        {"a data size past the end ends the walk after its entry", Header(1000, 1) + "a" + two, {"a"}},
        {"a data size near 4 GiB does not wrap around", Header(0xFFFFFFF0u, 1) + "a" + two, {"a"}},
    };
    for (const auto& c : cases) {
        dir.Write("p.nob", c.bytes);
        EXPECT_EQ((Names<NobWalk, NobEntry>(dir / "p.nob")), c.names) << c.what;
    }
}

TEST(NobWalkTest, ReportsHeaderOffsetsSizesAndFolderEntries) {
    TempDir dir;
    dir.Write("p.nob", BuildNob({{"data/", "xyz"}, {"data/a.txt", "hello"}}));
    FileHandle f;
    ASSERT_TRUE(f.Open((dir / "p.nob").c_str()));
    NobWalk walk(f);
    NobEntry e;
    ASSERT_TRUE(walk.Next(e));
    EXPECT_TRUE(e.IsFolder());
    EXPECT_EQ(e.headerOffset, 0u);
    EXPECT_EQ(e.dataSize, 3u) << "a folder entry's data is still skipped";
    ASSERT_TRUE(walk.Next(e));
    EXPECT_FALSE(e.IsFolder());
    EXPECT_EQ(e.headerOffset, 30u + 5 + 3);
    EXPECT_EQ(e.DataOffset(), 38u + 30 + 10);
    EXPECT_EQ(e.dataSize, 5u);
    EXPECT_FALSE(walk.Next(e));
}

TEST(VpkWalkTest, StopsAtTheCountOrTheFooterAndSkipsUnnameableEntries) {
    TempDir dir;
    std::string two = BuildVpk({{"a.txt", "AAAA"}, {"dlg/b.dlg", "BB"}});
    // Footer that states more entries than the directory holds.
    std::string overstated = two;
    overstated[overstated.size() - 9] = 5;
    // Footer that states one entry only.
    std::string understated = two;
    understated[understated.size() - 9] = 1;
    // An entry whose name is too long for a path buffer, between two good ones.
    std::string withLong = "xy";
    for (auto& en : {std::make_pair(std::string("a"), 0u), {std::string(300, 'L'), 0u}, {std::string("b"), 1u}}) {
        AppendLE32(withLong, uint32_t(en.first.size())), withLong += en.first;
        AppendLE32(withLong, en.second), AppendLE32(withLong, 1);
    }
    AppendLE32(withLong, 3), AppendLE32(withLong, 2), withLong.push_back('\0');
    // A directory whose last entry runs into the footer.
    std::string intoFooter = two.substr(0, two.size() - 9 - 3);
    AppendLE32(intoFooter, 2);
    AppendLE32(intoFooter, 6);
    intoFooter.push_back('\0');

    struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"shorter than a footer", "12345678", {}},
        {"footer only, count 0", std::string(9, '\0'), {}},
        {"two entries", two, {"a.txt", "dlg/b.dlg"}},
        {"more entries stated than fit before the footer", overstated, {"a.txt", "dlg/b.dlg"}},
        {"the stated count ends the walk", understated, {"a.txt"}},
        {"a name of 260 or more is passed over", withLong, {"a", "b"}},
        {"an entry reaching into the footer is not read", intoFooter, {"a.txt"}},
        {"a directory offset beyond the end gives nothing",
         std::string("abc") + std::string("\x01\0\0\0\xff\xff\xff\x7f\0", 9), {}},
    };
    for (const auto& c : cases) {
        dir.Write("p.vpk", c.bytes);
        EXPECT_EQ((Names<VpkWalk, VpkEntry>(dir / "p.vpk")), c.names) << c.what;
    }
}

TEST(PackCheckTest, TellsFilesThatAreNotPacksOfTheirKind) {
    TempDir dir;
    std::mt19937 random(14);
    std::string noise(102400, '\0');
    for (char& c : noise) c = char(random());
    std::string text = "these are notes\nabout the game, not a pack\n";
    std::string two = BuildVpk({{"a.txt", "AAAA"}, {"dlg/b.dlg", "BB"}});
    std::string overstated = two;  // a real first entry, then fewer than stated: a pack
    overstated[overstated.size() - 9] = 5;
    std::string firstTooLong = std::string(4, '\0') + std::string("\xff\xff\0\0", 4);
    AppendLE32(firstTooLong, 1), AppendLE32(firstTooLong, 4), firstTooLong += '\0';
    struct {
        const char* what;
        bool nob;
        std::string bytes;
        Reason why;
    } cases[] = {
        {"empty .vpk", false, "", Reason::PackTooShortForFooter},
        {"8 bytes", false, "12345678", Reason::PackTooShortForFooter},
        {"footer alone, count 0 (an empty pack)", false, std::string(9, '\0'), Reason::None},
        {"footer alone, count 4294967295", false, std::string("\xff\xff\xff\xff\0\0\0\0\0", 9),
         Reason::PackEndsBeforeFirstEntry},
        {"text", false, text, Reason::PackDirectoryOutside},
        {"directory offset past the footer", false, std::string("abc\x01\0\0\0\x04\0\0\0\0", 12),
         Reason::PackDirectoryOutside},
        {"first entry's name runs into the footer", false, firstTooLong, Reason::PackEndsBeforeFirstEntry},
        {"two entries", false, two, Reason::None},
        {"more entries stated than held", false, overstated, Reason::None},
        {"empty .nob", true, "", Reason::PackTooShortForHeader},
        {"one header, nothing after it", true, Header(0, 0), Reason::PackTooShortForHeader},
        {"text .nob", true, text, Reason::PackEndsBeforeFirstEntry},
        {"first name cut by the end", true, Header(0, 20) + "abc", Reason::PackEndsBeforeFirstEntry},
        {"a .nob", true, BuildNob({{"a.txt", "x"}}), Reason::None},
    };
    for (const auto& c : cases) {
        dir.Write("p", c.bytes);
        FileHandle f;
        ASSERT_TRUE(f.Open((dir / "p").c_str()));
        EXPECT_EQ(c.nob ? CheckNobPack(f) : CheckVpkPack(f), c.why) << c.what;
    }
    for (bool nob : {false, true}) {
        dir.Write("p", noise);
        FileHandle f;
        ASSERT_TRUE(f.Open((dir / "p").c_str()));
        EXPECT_NE(nob ? CheckNobPack(f) : CheckVpkPack(f), Reason::None) << "100 KB of random bytes";
    }
}

TEST(LocateTest, FindsNamesIgnoringCaseAndSeparatorAndPositionsOnTheData) {
    TempDir dir;
    CwdGuard cwd;
    dir.Write("p.nob", BuildNob({{"Models/", ""}, {"Models/A.MDL", "model-a"}, {"b.txt", "bee"}}));
    dir.Write("p.vpk", BuildVpk({{"Models/A.MDL", "model-a"}, {"dlg\\B.dlg", "bee"}}));
    ASSERT_TRUE(SetCurrentDir(dir.path.c_str()));
    FileHandle f;
    char data[16] = {};
    ASSERT_EQ(LocateInNob(f, "p.nob", "models\\a.mdl"), 7u);
    ASSERT_TRUE(f.Read(data, 7));
    EXPECT_STREQ(data, "model-a");
    EXPECT_EQ(LocateInNob(f, "p.nob", "models\\a.md"), 0u) << "lengths must match";
    EXPECT_TRUE(f.IsOpen()) << "the pack stays open after a miss";
    EXPECT_EQ(LocateInNob(f, "missing.nob", "b.txt"), 0u);
    EXPECT_FALSE(f.IsOpen());

    ASSERT_EQ(LocateInVpk(f, "p.vpk", "DLG/b.DLG"), 3u);
    EXPECT_EQ(f.Skip(0), 7u) << "on the data offset";
    ASSERT_EQ(LocateInVpk(f, "p.vpk", "models/a.mdl"), 7u);
    EXPECT_EQ(f.Skip(0), 0u);
}

TEST_F(ScanTest, ListsPacksSortedWithScanNumbersAndIndexesThem) {
    dir.Write("b.nob", BuildNob({{"Shared.txt", "from b"}, {"only-b.txt", "b"}, {"dir/", ""}}));
    dir.Write("A.nob", BuildNob({{"shared.TXT", "from a"}}));
    dir.Write("c.vpk", BuildVpk({{"x.txt", "x"}}));  // another game's pack
    ASSERT_TRUE(ScanNobDirectory(counts, "b.nob", dir.path.c_str(), index, list, MessageSeam()));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetText(0), "A.nob");
    EXPECT_EQ(list.GetText(1), "b.nob");
    EXPECT_EQ(list.GetSel(), 1) << "the chosen pack is selected";
    EXPECT_EQ(counts.packCount, 2u);
    EXPECT_EQ(counts.fileCounts, (std::vector<uint32_t>{1, 2})) << "folder entries are not files";
    EXPECT_EQ(index.files.count, 2u);
    FileEntry key;
    MakeFileKey(key, "shared.txt", 10, 0);
    int32_t slot = index.files.Find(&key);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(list.GetText(list.FindItemData(index.files.Entry(slot).packNumber)), "A.nob")
        << "the pack listed first keeps a shared path";
}

TEST_F(ScanTest, FlaggedVpkIsLeftOutAndEmptyOrFooterlessPacksCount) {
    dir.Write("pack000.vpk", BuildVpk({{"a.txt", "a"}}, 1));
    dir.Write("pack001.vpk", std::string(9, '\0'));
    dir.Write("pack002.vpk", "");
    // pack003 states 40 entries and holds 2: its count is the stated one.
    std::string overstated = BuildVpk({{"b.txt", "b"}, {"c.txt", "c"}});
    overstated[overstated.size() - 9] = 40;
    dir.Write("pack003.vpk", overstated);
    ASSERT_TRUE(ScanVpkDirectory(counts, "pack000.vpk", dir.path.c_str(), index, list, MessageSeam()));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetText(0), "pack001.vpk");
    EXPECT_EQ(list.GetSel(), -1) << "the chosen pack was not listed";
    EXPECT_EQ(counts.fileCounts, (std::vector<uint32_t>{0, 0, 40}));
    EXPECT_EQ(index.files.count, 2u);
}

TEST_F(ScanTest, AFolderWithoutPacksOrAnUnopenablePackFails) {
    EXPECT_FALSE(ScanNobDirectory(counts, "x.nob", dir.path.c_str(), index, list, MessageSeam()));
    EXPECT_EQ(list.Count(), 0);

    // A pack that vanishes between listing and indexing stops the indexing
    // with the message naming it.
    list.Reset();
    list.SetItemData(list.Add("gone.nob"), 0);
    EXPECT_FALSE(IndexNobPacks(counts, index, list, seam));
    EXPECT_EQ(shown, (std::vector<std::string>{"Error Creating Hash Table!|gone.nob"}));
}
