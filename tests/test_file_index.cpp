#include "pack/FileIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

FileEntry Key(const std::string& path, uint32_t pack = 0) {
    FileEntry e;
    EXPECT_TRUE(MakeFileKey(e, path.data(), static_cast<uint32_t>(path.size()), pack)) << path;
    return e;
}

}  // namespace

TEST(FileIndexTest, HashFollowsTheFormulaOverTheWholeZeroFilledName) {
    FileIndex index;
    ASSERT_TRUE(index.Create(1024, sizeof(FileEntry), 4));
    FileEntry e = Key("ab");
    uint32_t h = 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&e);
    for (int i = 4; i < 260; ++i) h = (h ^ 0xAAAAAAAAu) + bytes[i] + 47u;
    EXPECT_EQ(index.Hash(&e), h);
    // The pack number is payload, not key.
    FileEntry other = Key("ab", 7);
    EXPECT_EQ(index.Hash(&other), h);
}

TEST(FileIndexTest, InsertKeepsTheFirstRecordOfAKey) {
    FileIndex index;
    ASSERT_TRUE(index.Create(kFileIndexCapacity, sizeof(FileEntry), 4));
    FileEntry first = Key("models\\a.mdl", 0);
    FileEntry again = Key("Models/A.MDL", 3);
    EXPECT_EQ(index.Insert(&first), 0);
    EXPECT_EQ(index.Insert(&again), 0) << "same key after folding gives the old slot";
    EXPECT_EQ(index.Entry(0)->packNumber, 0u) << "the stored record is not changed";
    FileEntry b = Key("models\\b.mdl", 1);
    EXPECT_EQ(index.Insert(&b), 1);
    EXPECT_EQ(index.Find(&again), 0);
    FileEntry absent = Key("models\\c.mdl");
    EXPECT_EQ(index.Find(&absent), -1);
    EXPECT_EQ(index.count, 2u);
}

TEST(FileIndexTest, FullTableRefusesAndCollisionsChain) {
    // Two buckets and four slots: every chain holds several records.
    FileIndex index;
    ASSERT_TRUE(index.Create(4, sizeof(FileEntry), 4));
    const char* names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        FileEntry e = Key(names[i]);
        EXPECT_EQ(index.Insert(&e), i);
    }
    FileEntry e = Key("e");
    EXPECT_EQ(index.Insert(&e), -1);
    for (int i = 0; i < 4; ++i) {
        FileEntry k = Key(names[i]);
        EXPECT_EQ(index.Find(&k), i) << names[i];
    }
    FileIndex never;
    EXPECT_EQ(never.Insert(&e), -1) << "an index never created takes nothing";
    EXPECT_EQ(never.Find(&e), -1);
}

TEST(FileIndexTest, TruncateDropsExactlyTheLaterSlots) {
    FileIndex index;
    ASSERT_TRUE(index.Create(8, sizeof(FileEntry), 4));  // small: chains share buckets
    std::vector<FileEntry> keys;
    for (int i = 0; i < 8; ++i) keys.push_back(Key("file" + std::to_string(i) + ".txt"));
    for (auto& k : keys) index.Insert(&k);
    index.Truncate(3);
    EXPECT_EQ(index.count, 3u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(index.Find(&keys[i]), i < 3 ? i : -1) << i;
    // Refilling after truncating to 0 gives the slots a fresh table gives.
    index.Truncate(0);
    for (int i = 7; i >= 0; --i) EXPECT_EQ(index.Insert(&keys[i]), 7 - i);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(index.Find(&keys[i]), 7 - i);
}

TEST(FileIndexTest, KeysAreLowerCaseBackslashedAndMustFit) {
    FileEntry e;
    ASSERT_TRUE(MakeFileKey(e, "Models/Foo.MDL", 14, 5));
    EXPECT_STREQ(e.name, "models\\foo.mdl");
    EXPECT_EQ(e.packNumber, 5u);
    for (size_t i = 14; i < sizeof e.name; ++i) ASSERT_EQ(e.name[i], 0) << "zero fill at " << i;

    std::string longest(255, 'x'), tooLong(256, 'x');
    EXPECT_TRUE(MakeFileKey(e, longest.data(), 255, 0));
    EXPECT_FALSE(MakeFileKey(e, tooLong.data(), 256, 0));
    EXPECT_FALSE(MakeFileKey(e, "a\0b", 3, 0)) << "a zero byte inside cannot be looked up";
}
