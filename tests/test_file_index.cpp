#include "pack/FileIndex.h"
#include "pack/Seams.h"
#include "pack/VpkPack.h"
#include "TestGame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

FileEntry Key(const std::string& path, uint32_t pack = 0) {
    FileEntry e;
    EXPECT_TRUE(MakeFileKey(e, path.data(), static_cast<uint32_t>(path.size()), pack)) << path;
    return e;
}

std::string Name(uint32_t i) { return "dir" + std::to_string(i % 64) + "/sub" + std::to_string(i % 8) + "/file" + std::to_string(i) + ".txt"; }

}  // namespace

TEST(FileIndexTest, HashIsFnv1aOfTheNameWithoutItsZeroFill) {
    FileIndex index;
    ASSERT_TRUE(index.Create(16, sizeof(FileEntry), 4));
    // The published FNV-1a 64-bit test vectors, and one path.
    struct {
        const char* name;
        uint64_t hash;
    } cases[] = {
        {"", 0xCBF29CE484222325ull},
        {"a", 0xAF63DC4C8601EC8Cull},
        {"foobar", 0x85944171F73967E8ull},
        {"models\\foo.mdl", 0x299E61DDBFF36C0Aull},
    };
    for (const auto& c : cases) {
        FileEntry e = Key(c.name, 7);  // the pack number is payload, not key
        EXPECT_EQ(index.Hash(&e), c.hash) << c.name;
    }
    // A narrower record of the same key hashes alike: the fill does not count.
    struct Small {
        uint32_t payload;
        char key[8];
    } small = {1, "foobar"};
    FileIndex narrow;
    ASSERT_TRUE(narrow.Create(16, sizeof small, 4));
    EXPECT_EQ(narrow.Hash(&small), 0x85944171F73967E8ull);
}

TEST(FileIndexTest, AnIndexNeverCreatedOrWithoutKeyBytesTakesNothing) {
    FileIndex never;
    FileEntry b = Key("models\\b.mdl", 9);
    EXPECT_EQ(never.Insert(&b), -1);
    EXPECT_EQ(never.Find(&b), -1);
    EXPECT_FALSE(never.Create(0, sizeof(FileEntry), 4));
    EXPECT_FALSE(never.Create(16, 4, 4)) << "no key bytes";
}

TEST(FileIndexTest, GrowthPastTheStartingCapacityKeepsEverySlotReachable) {
    // One bucket to start with: every record arrives in a full table.
    FileIndex index;
    ASSERT_TRUE(index.Create(1, sizeof(FileEntry), 4));
    std::vector<FileEntry> keys;
    for (uint32_t i = 0; i < 5000; ++i) keys.push_back(Key(Name(i), i));
    for (uint32_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(index.Insert(&keys[i]), int32_t(i));
        // Right after each growth, every earlier slot is still found.
        if ((i & (i + 1)) == 0) {
            for (uint32_t j = 0; j <= i; ++j) ASSERT_EQ(index.Find(&keys[j]), int32_t(j)) << "after " << i;
        }
    }
    EXPECT_GE(index.capacity, 5000u);
    for (uint32_t i = 0; i < keys.size(); ++i) ASSERT_EQ(index.Entry(int32_t(i)).packNumber, i);

    // Truncating after growth drops exactly the later slots; refilling from
    // empty gives the slots a fresh table gives.
    index.Truncate(1234);
    EXPECT_EQ(index.count, 1234u);
    for (uint32_t i = 0; i < keys.size(); ++i) ASSERT_EQ(index.Find(&keys[i]), i < 1234 ? int32_t(i) : -1) << i;
    for (uint32_t i = 1234; i < keys.size(); ++i) ASSERT_EQ(index.Insert(&keys[i]), int32_t(i));
    index.Truncate(0);
    for (uint32_t i = 0; i < keys.size(); ++i) ASSERT_EQ(index.Insert(&keys[keys.size() - 1 - i]), int32_t(i));
    EXPECT_EQ(index.Entry(0).packNumber, 4999u);
}

TEST(FileIndexTest, HoldsMoreThanTheOldFixedLimitOfFiles) {
    // The table used to stop at 2^20 records and drop the rest unnoticed.
    const uint32_t n = (1u << 20) + 1;
    PackIndex index;
    ASSERT_TRUE(index.Create());
    for (uint32_t i = 0; i < n; ++i) {
        std::string name = Name(i);
        index.Add(name.data(), uint32_t(name.size()), i % 3, PackPlace{i, 1});
    }
    EXPECT_EQ(index.unindexed, 0u);
    ASSERT_EQ(index.files.count, n);
    for (uint32_t i : {0u, 1u, 1u << 19, (1u << 20) - 1, 1u << 20}) {
        FileEntry key = Key(Name(i));
        int32_t slot = index.files.Find(&key);
        ASSERT_EQ(slot, int32_t(i)) << Name(i);
        EXPECT_EQ(index.places[size_t(slot)].offset, i);
    }
    // A record costs its path and a small fixed overhead, not 260 bytes.
    EXPECT_LT(index.files.BytesInUse(), uint64_t(n) * 100);
}

TEST(FileIndexTest, RunningOutOfMemoryRefusesTheRecordAndChangesNothing) {
    FileIndex index;
    ASSERT_TRUE(index.Create(16, sizeof(FileEntry), 4));
    index.byteLimit = index.BytesInUse() + (1u << 20) + 64 * 16;  // one arena block and the first slots
    uint32_t stored = 0;
    for (FileEntry k = Key(Name(0)); stored < 100000 && index.Insert(&k) >= 0; k = Key(Name(stored))) ++stored;
    ASSERT_GT(stored, 0u);
    ASSERT_LT(stored, 100000u);
    EXPECT_EQ(index.count, stored);
    FileEntry next = Key(Name(stored));
    EXPECT_EQ(index.Insert(&next), -1);
    EXPECT_EQ(index.count, stored);
    EXPECT_EQ(index.Find(&next), -1);
    for (uint32_t i = 0; i < stored; ++i) {
        FileEntry k = Key(Name(i));
        ASSERT_EQ(index.Find(&k), int32_t(i));
    }
    EXPECT_LE(index.BytesInUse(), index.byteLimit);
}

TEST(FileIndexTest, FillingSaysHowManyFilesCouldNotBeIndexed) {
    TempDir dir;
    CwdGuard cwd;
    std::vector<PackFile> files;
    for (uint32_t i = 0; i < 60000; ++i) files.push_back({Name(i), "x"});
    dir.Write("pack000.vpk", BuildVpk(files));
    ASSERT_TRUE(SetCurrentDir(dir.path.c_str()));
    std::vector<std::string> shown;
    MessageSeam seam;
    seam.context = &shown;
    seam.show = [](void* ctx, const char* text, const char* caption) {
        static_cast<std::vector<std::string>*>(ctx)->push_back(std::string(caption) + "|" + text);
    };
    PackCounts counts;
    PackIndex index;
    ASSERT_TRUE(index.files.Create(16, sizeof(FileEntry), 4));
    index.files.byteLimit = 2u << 20;
    PackList list;
    EXPECT_FALSE(ScanVpkDirectory(counts, "pack000.vpk", dir.path.c_str(), index, list, seam));
    ASSERT_GT(index.files.count, 0u);
    ASSERT_LT(index.files.count, 60000u);
    EXPECT_EQ(index.unindexed, 60000u - index.files.count);
    EXPECT_EQ(shown, (std::vector<std::string>{"Error Creating Hash Table!|" + std::to_string(index.unindexed) +
                                               " files could not be indexed: out of memory"}));

    // With memory to spare the same folder indexes whole.
    shown.clear();
    index.files.byteLimit = UINT64_MAX;
    list.Reset();
    EXPECT_TRUE(ScanVpkDirectory(counts, "pack000.vpk", dir.path.c_str(), index, list, seam));
    EXPECT_EQ(index.files.count, 60000u);
    EXPECT_EQ(index.unindexed, 0u);
    EXPECT_TRUE(shown.empty());
}

TEST(FileIndexTest, SeveralPacksGrowingTheIndexKeepTheLookupRules) {
    // The index starts tiny so that filling it grows it many times over, and
    // only the first pack stays open: the others are opened for each read.
    TestGame game;
    std::vector<PackFile> a, b, c;
    for (uint32_t i = 0; i < 3000; ++i) a.push_back({Name(i), "a"});
    for (uint32_t i = 1500; i < 4500; ++i) b.push_back({Name(i), "b"});  // half shared with a
    c.push_back({"DIR1/Sub1/FILE1.TXT", "c"});                             // a's file in other case
    c.push_back({"Only\\In\\C.txt", "c"});
    game.dir.Write("data/pack000.vpk", BuildVpk(a));
    game.dir.Write("data/pack001.vpk", BuildVpk(b));
    game.dir.Write("data/pack002.vpk", BuildVpk(c));
    ASSERT_TRUE(game.app.fileIndex.files.Create(2, sizeof(FileEntry), 4));
    game.app.fileIndex.keepOpen = 1;
    ASSERT_TRUE(OpenPack(game.app, (game.dir / "data/pack001.vpk").c_str()));
    EXPECT_EQ(game.app.fileIndex.files.count, 4501u);
    ASSERT_EQ(game.app.fileIndex.packs.size(), 3u);
    EXPECT_TRUE(game.app.fileIndex.packs[0] && !game.app.fileIndex.packs[2]);
    EXPECT_TRUE(game.messages.empty());
    struct {
        std::string asked;
        std::string bytes;
    } cases[] = {
        {Name(0), "a"},
        {Name(1500), "a"},  // the first pack in the list wins
        {Name(4499), "b"},
        {"DIR1\\SUB1\\file1.TXT", "a"},
        {"only/in/c.TXT", "c"},
    };
    for (const auto& k : cases) {
        FileEntry key = {};
        std::strcpy(key.name, k.asked.c_str());
        uint32_t size = 0;
        std::unique_ptr<uint8_t[]> bytes = ReadGameFile(game.app.Files(), key, size);
        ASSERT_TRUE(bytes) << k.asked;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.get()), size), k.bytes) << k.asked;
    }
    // Lookup rewrites its key with the very function indexing used.
    FileEntry key = {};
    std::strcpy(key.name, "Only/In/C.txt");
    FileHandle file;
    ASSERT_GT(OpenGameFile(game.app.Files(), file, key, 1), 0u);
    FileEntry indexed = Key("Only\\In\\C.txt");
    EXPECT_EQ(std::memcmp(key.name, indexed.name, sizeof key.name), 0);
}

// Inserting a key again gives its old slot and leaves the stored record (its
// pack number, name and zero fill) as first inserted.
TEST(FileIndexTest, RandomInsertsFindsAndTruncatesAgreeWithAStandardMap) {
    // Few letters and short names: repeats, case and separator variants are
    // common, so every path through the chains is taken.
    std::mt19937 rng(20261207);
    FileIndex index;
    ASSERT_TRUE(index.Create(4, sizeof(FileEntry), 4));
    std::unordered_map<std::string, int32_t> model;
    std::vector<FileEntry> bySlot;
    const char letters[] = "aAbB/\\c";
    for (int round = 0; round < 200000; ++round) {
        std::string path(1 + rng() % 7, 'x');
        for (char& ch : path) ch = letters[rng() % 7];
        FileEntry key = Key(path, uint32_t(round));
        std::string folded(key.name);
        uint32_t op = rng() % 100;
        if (op < 60) {
            auto it = model.find(folded);
            int32_t expected = it != model.end() ? it->second : int32_t(bySlot.size());
            ASSERT_EQ(index.Insert(&key), expected) << path;
            if (it == model.end()) {
                model.emplace(folded, expected);
                bySlot.push_back(key);
            }
        } else if (op < 99) {
            auto it = model.find(folded);
            ASSERT_EQ(index.Find(&key), it == model.end() ? -1 : it->second) << path;
        } else {
            uint32_t n = bySlot.empty() ? 0 : uint32_t(rng() % (bySlot.size() + 1));
            index.Truncate(n);
            for (size_t s = n; s < bySlot.size(); ++s) model.erase(bySlot[s].name);
            bySlot.resize(n);
        }
        ASSERT_EQ(index.count, bySlot.size());
    }
    for (size_t s = 0; s < bySlot.size(); ++s) {
        FileEntry back = index.Entry(int32_t(s));
        EXPECT_EQ(std::memcmp(&back, &bySlot[s], sizeof back), 0) << bySlot[s].name;
    }
}

TEST(FileIndexTest, KeysAreLowerCaseBackslashedAndMustFit) {
    FileEntry e;
    ASSERT_TRUE(MakeFileKey(e, "Models/Foo.MDL", 14, 5));
    EXPECT_STREQ(e.name, "models\\foo.mdl");
    EXPECT_EQ(e.packNumber, 5u);
    for (size_t i = 14; i < sizeof e.name; ++i) ASSERT_EQ(e.name[i], 0) << "zero fill at " << i;

    // In place, as lookups rewrite the caller's key; stale bytes are cleared.
    std::memset(e.name, 'Z', sizeof e.name);
    std::memcpy(e.name, "A/B.TXT", 8);
    ASSERT_TRUE(MakeFileKey(e, e.name, 7, 0));
    EXPECT_STREQ(e.name, "a\\b.txt");
    for (size_t i = 7; i < sizeof e.name; ++i) ASSERT_EQ(e.name[i], 0) << "zero fill at " << i;

    std::string longest(255, 'x'), tooLong(256, 'x');
    EXPECT_TRUE(MakeFileKey(e, longest.data(), 255, 0));
    EXPECT_FALSE(MakeFileKey(e, tooLong.data(), 256, 0));
    EXPECT_FALSE(MakeFileKey(e, "a\0b", 3, 0)) << "a zero byte inside cannot be looked up";
}

TEST(ProgressRangeTest, CountsAbove65535NeitherWrapNorStop) {
    struct Seen {
        uint32_t position = 0, maximum = 0;
    } seen;
    ProgressHooks hooks;
    hooks.context = &seen;
    hooks.create = [](void* c, const char*) -> void* { return c; };
    hooks.update = [](void* c, void*, uint32_t pos, uint32_t max) {
        static_cast<Seen*>(c)->position = pos;
        static_cast<Seen*>(c)->maximum = max;
    };
    ProgressDialog progress(&hooks);
    progress.Create("Directory Scan");
    progress.SetRange(0, 1000000);
    progress.SetPos(0);
    progress.SetStep(1);
    for (int i = 0; i < 70000; ++i) progress.StepIt();
    EXPECT_EQ(seen.maximum, 1000000u) << "a 16-bit range would give 16,960";
    EXPECT_EQ(seen.position, 70000u);
    // Stepping past the end starts again, as a progress bar does.
    progress.SetPos(999999);
    progress.SetStep(3);
    progress.StepIt();
    EXPECT_EQ(seen.position, 1u);
}
