// Choosing files of the tree: ITEM and PATTERN arguments, and the filter.
#include "pack/TreeSelect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PackTree MakeTree(std::vector<std::string> paths) {
    PackTree tree;
    tree.BeginBuild();
    for (std::string& p : paths) {
        for (char& c : p)
            if (c == '/') c = '\\';
        InsertPathInTree(tree, p.c_str(), TreeItemData{0, 1});
    }
    tree.EndBuild();
    return tree;
}

const std::vector<std::string> kPaths = {
    "sound/dlg/thug/line11_col_e.wav", "sound/dlg/thug/line11_col_e.lip", "sound/dlg/Tourette/line15_col_e.mp3",
    "materials/hud/icon.vmt",          "materials/hud/icon.tth",          "materials/sound.vmt",
    "readme.txt",
};

std::string Paths(const PackTree& tree, const std::vector<TreeItem>& items) {
    std::string out;
    for (TreeItem item : items) {
        std::string path;
        TreeItemPath(tree, item, path);
        out += path + "\n";
    }
    return out;
}

// The shown items as paths, folders with a trailing '/'.
std::string Shown(const PackTree& tree, const TreeFilter& filter, TreeItem first, const std::string& prefix = "") {
    std::string out;
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        if (!filter.Shows(item)) continue;
        std::string path = prefix + tree.Text(item);
        bool folder = tree.Data(item) == nullptr;
        out += path + (folder ? "/" : "") + " ";
        if (folder) out += Shown(tree, filter, tree.FirstChild(item), path + "/");
    }
    return out;
}

}  // namespace

TEST(TreeSelectTest, ItemsAndPatternsSelectFilesInTreeOrderOnce) {
    PackTree tree = MakeTree(kPaths);
    std::vector<std::string> unmatched;
    // A folder item, a pattern over names and one over paths, overlapping:
    // tree order, each file once, whatever the order of the arguments.
    auto files = SelectTreeFiles(tree, {"*.VMT", "SOUND/DLG/thug", "**/tourette/*"}, unmatched);
    EXPECT_EQ(Paths(tree, files),
              "materials/hud/icon.vmt\nmaterials/sound.vmt\nsound/dlg/thug/line11_col_e.lip\n"
              "sound/dlg/thug/line11_col_e.wav\nsound/dlg/Tourette/line15_col_e.mp3\n");
    EXPECT_TRUE(unmatched.empty());

    // A word that names no item is a pattern over file names: "sound" is a
    // top-level folder (all below it), "thug" only a folder deeper down,
    // which no file is named like.
    files = SelectTreeFiles(tree, {"sound", "thug", "readme.txt", "materials/*.zzz"}, unmatched);
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(unmatched, (std::vector<std::string>{"thug", "materials/*.zzz"}));
    EXPECT_EQ(AllTreeFiles(tree).size(), kPaths.size());
}

TEST(TreeSelectTest, FilterKeepsMatchesAndTheFoldersOnTheirWay) {
    PackTree tree = MakeTree(kPaths);
    TreeFilter filter;
    EXPECT_TRUE(filter.Shows(tree.FirstTopLevel())) << "no filter shows everything";

    // Plain text is a part of a file name, any case; folder names do not count.
    filter.Set(tree, "SOUND");
    EXPECT_EQ(Shown(tree, filter, tree.FirstTopLevel()), "materials/ materials/sound.vmt ");
    EXPECT_EQ(filter.MatchingFiles(), 1u);
    filter.Set(tree, "col_e.");
    EXPECT_EQ(filter.MatchingFiles(), 3u);

    // Wildcards or a separator make a pattern.
    filter.Set(tree, "*.vmt");
    EXPECT_EQ(Shown(tree, filter, tree.FirstTopLevel()), "materials/ materials/hud/ materials/hud/icon.vmt materials/sound.vmt ");
    filter.Set(tree, "dlg/thug");
    EXPECT_EQ(filter.MatchingFiles(), 0u) << "a pattern over files: a folder path alone matches none";
    filter.Set(tree, "dlg/thug/");
    EXPECT_EQ(filter.MatchingFiles(), 0u) << "dlg is not at the top";
    filter.Set(tree, "**/thug/");
    EXPECT_EQ(filter.MatchingFiles(), 2u);

    filter.Set(tree, "");
    EXPECT_FALSE(filter.Active());
    EXPECT_TRUE(filter.Shows(tree.FirstTopLevel()));
}

TEST(TreeSelectTest, ACommandOnAFilteredFolderReachesOnlyItsShownFiles) {
    PackTree tree = MakeTree(kPaths);
    TreeFilter filter;
    TreeItem materials = FindTreeItemByPath(tree, "materials");
    TreeItem sound = FindTreeItemByPath(tree, "sound");
    TreeItem readme = FindTreeItemByPath(tree, "readme.txt");
    // No filter: the folder itself, walked whole by the command.
    EXPECT_EQ(filter.Reached(tree, materials), std::vector<TreeItem>{materials});

    filter.Set(tree, "*.vmt");
    EXPECT_EQ(Paths(tree, filter.Reached(tree, materials)), "materials/hud/icon.vmt\nmaterials/sound.vmt\n")
        << "icon.tth is below the folder but not shown";
    EXPECT_TRUE(filter.Reached(tree, sound).empty()) << "a folder the filter hides reaches nothing";
    EXPECT_EQ(filter.Reached(tree, readme), std::vector<TreeItem>{readme}) << "a file is itself";
}
