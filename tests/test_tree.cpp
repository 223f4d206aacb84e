// The pack tree: its order, merging of folders, walks and lookups.
#include "pack/GameFiles.h"
#include "pack/PackTree.h"
#include "TestGame.h"

#include <random>

namespace {

void Add(PackTree& tree, std::string path, uint32_t place = 0) {
    for (char& c : path)
        if (c == '/') c = '\\';
    InsertPathInTree(tree, path.c_str(), TreeItemData{place, 1});
}

// "text" for files, "text/" for folders, children indented, in tree order.
std::string Dump(const PackTree& tree, TreeItem first, int depth = 0) {
    std::string out;
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        out += std::string(depth * 2, ' ') + tree.Text(item) + (tree.Data(item) ? "" : "/") + "\n";
        out += Dump(tree, tree.FirstChild(item), depth + 1);
    }
    return out;
}

std::string Build(const std::vector<std::string>& paths, bool inOneBuild) {
    PackTree tree;
    if (inOneBuild) tree.BeginBuild();
    for (const std::string& p : paths) Add(tree, p);
    tree.EndBuild();
    return Dump(tree, tree.FirstTopLevel());
}

struct Recorder {
    std::vector<std::string> events;
};

ProgressHooks RecordingHooks(Recorder& r) {
    ProgressHooks h;
    h.context = &r;
    h.create = [](void* c, const char* title) -> void* {
        static_cast<Recorder*>(c)->events.push_back(std::string("create ") + title);
        return c;
    };
    h.setText = [](void* c, void*, const char* text) { static_cast<Recorder*>(c)->events.push_back(text); };
    h.destroy = [](void* c, void*) { static_cast<Recorder*>(c)->events.push_back("destroy"); };
    return h;
}

}  // namespace

TEST(PackTreeTest, FoldersMergeIgnoringCaseAndSiblingsSortOneWay) {
    const struct { std::vector<std::string> paths; std::string expected; } cases[] = {
        {{"Models/A.mdl", "models/b.mdl", "b.txt", "a.txt", "B.txt", "_x.txt", "Zeta/z.txt", "alpha/x.txt", "A.txt",
          "a.txt"},
         "_x.txt\n"  // '_' (0x5F) sorts before letters once they are lower-cased
         "A.txt\n"
         "a.txt\n"
         "a.txt\n"  // equal names keep insertion order
         "alpha/\n  x.txt\n"
         "B.txt\n"
         "b.txt\n"
         "Models/\n  A.mdl\n  b.mdl\n"  // one folder, named as first inserted
         "Zeta/\n  z.txt\n"},
        // A later path's new first component gets its own nested folders, not
        // those of an existing top-level folder of its later component's name.
        {{"zzz/file.txt", "aaa/zzz/other.txt"}, "aaa/\n  zzz/\n    other.txt\nzzz/\n  file.txt\n"},
        // A file named like a folder stays apart from it.
        {{"data", "data/inner.txt"}, "data\ndata/\n  inner.txt\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Build(c.paths, true), c.expected) << "one-off sort, last path " << c.paths.back();
        EXPECT_EQ(Build(c.paths, false), c.expected) << "sorted insertion, last path " << c.paths.back();
    }
}

TEST(PackTreeTest, BuildAndSortedInsertionAgreeOnRandomNames) {
    std::mt19937 rng(7);
    const char* parts[] = {"a", "A", "b", "B", "ab", "Ab", "a_", "a.b", "z", "Z9", "_"};
    std::vector<std::string> paths;
    for (int i = 0; i < 400; ++i) {
        std::string p;
        int depth = 1 + static_cast<int>(rng() % 3);
        for (int d = 0; d < depth; ++d) p += std::string(d ? "/" : "") + parts[rng() % 11];
        paths.push_back(p + ".txt");
    }
    EXPECT_EQ(Build(paths, true), Build(paths, false));
}

TEST(PackTreeTest, WalksAndLookups) {
    PackTree tree;
    Add(tree, "dlg/Hollywood/Isaac.dlg", 10);
    Add(tree, "dlg/main characters/Regent.dlg", 20);
    Add(tree, "Readme.txt", 30);
    TreeItem regent = FindTreeItemByPath(tree, "DLG\\Main Characters/regent.DLG");
    ASSERT_NE(regent, kNoItem);
    std::string path;
    ASSERT_TRUE(TreeItemPath(tree, regent, path));
    EXPECT_EQ(path, "dlg/main characters/Regent.dlg");
    EXPECT_EQ(tree.Data(regent)->place, 20u);
    EXPECT_EQ(tree.Parent(tree.Parent(regent)), tree.FirstTopLevel());
    EXPECT_EQ(tree.Parent(tree.FirstTopLevel()), kNoItem);

    TreeItem chars = tree.Parent(regent);
    EXPECT_EQ(FirstSiblingOf(tree, chars), FindTreeItemByPath(tree, "dlg/hollywood"));
    EXPECT_EQ(FirstSiblingOf(tree, kNoItem), tree.FirstTopLevel());
    EXPECT_EQ(FindTreeItemByPath(tree, "dlg/nobody.dlg"), kNoItem);
    EXPECT_EQ(FindTreeItemByPath(tree, "dlg/"), tree.FirstTopLevel());
    Add(tree, "readme.txt/inner.txt", 40);  // a folder named like a file beside it
    EXPECT_EQ(tree.Data(FindTreeItemByPath(tree, "README.TXT/Inner.TXT"))->place, 40u);

    // The walk stops where the name sorts before a sibling.
    TreeItem first = tree.FirstTopLevel();
    EXPECT_EQ(FindTreeSibling(tree, first, "README.TXT"), tree.NextSibling(first));
    EXPECT_EQ(FindTreeSibling(tree, tree.NextSibling(first), "dlg"), kNoItem) << "dlg lies before the start";
    EXPECT_EQ(FindTreeSibling(tree, first, "c"), kNoItem);

    std::string deep;
    for (int i = 0; i < 30; ++i) deep += "folder" + std::to_string(i) + "/";
    Add(tree, deep + "x.txt");
    EXPECT_FALSE(TreeItemPath(tree, FindTreeItemByPath(tree, deep + "x.txt"), path)) << "260 characters or more";
}

TEST(LoadPackTest, BuildsTheChosenPacksTreeWithProgressEvery128Files) {
    TempDir dir;
    CwdGuard cwd;
    std::vector<PackFile> many, few;
    for (int i = 0; i < 300; ++i) many.push_back({"Dir/file" + std::to_string(1000 + i) + ".txt", "x"});
    for (int i = 0; i < 100; ++i) few.push_back({"f" + std::to_string(i) + ".txt", "y"});
    dir.Write("a.vpk", BuildVpk(many));
    dir.Write("b.vpk", BuildVpk(few));
    dir.Write("c.nob", BuildNob({{"only/", ""}, {"folders/", ""}}));
    Recorder rec;
    AppState app;
    app.progressHooks = RecordingHooks(rec);
    ASSERT_TRUE(OpenPack(app, (dir / "a.vpk").c_str()));
    EXPECT_EQ(app.listedFiles, 300u);
    EXPECT_TRUE(app.packsLoaded);
    EXPECT_EQ(app.tree.Selected(), app.tree.FirstTopLevel());
    EXPECT_EQ(rec.events, (std::vector<std::string>{"create Directory Scan", "file1127.txt", "file1255.txt",
                                                     "destroy"}));

    // Another entry of the pack list: a new tree, the same index.
    rec.events.clear();
    uint32_t indexed = app.fileIndex.files.count;
    ASSERT_TRUE(LoadPack(app, "B.VPK"));
    EXPECT_EQ(app.listedFiles, 100u);
    EXPECT_EQ(app.packList.GetSel(), 1);
    EXPECT_EQ(app.tree.ItemCount(), 100u);
    EXPECT_EQ(app.fileIndex.files.count, indexed);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"create Directory Scan", "destroy"}))
        << "fewer than 128 files never change the text";

    UnloadPack(app);
    EXPECT_FALSE(app.packsLoaded);
    EXPECT_EQ(app.tree.ItemCount(), 0u);
    EXPECT_EQ(app.packList.Count(), 2) << "the pack list stays";

    ASSERT_TRUE(OpenPack(app, (dir / "c.nob").c_str()));
    EXPECT_EQ(app.listedFiles, 0u) << "a pack of folder entries only lists nothing";
    EXPECT_EQ(app.tree.ItemCount(), 0u);
}
