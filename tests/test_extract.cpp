// Extraction: tree and flat output, loose files, refusals, write-back and
// the promise that no half-written file is ever left in place.
#include "extract/Extract.h"
#include "pack/GameFiles.h"
#include "tools/MdlWriter.h"
#include "tools/TextureWriter.h"
#include "TestGame.h"

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Every regular file below root, as "relative/path=contents".
std::vector<std::string> Files(const std::string& root) {
    std::vector<std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::string data;
        ReadWholeFile(e.path().string(), data);
        out.push_back(fs::relative(e.path(), root).generic_string() + "=" + data);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Opened : TestGame {
    uint32_t Extract(const std::string& item = "") {
        app.extraction.report.Clear();
        uint32_t n = 0;
        if (item.empty()) {
            for (TreeItem i = app.tree.FirstTopLevel(); i != kNoItem; i = app.tree.NextSibling(i))
                n += RunExtraction(app, i, kExtractFiles);
        } else {
            n = RunExtraction(app, FindTreeItemByPath(app.tree, item), kExtractFiles);
        }
        return n;
    }
};

}  // namespace

TEST(ExtractTest, TreeModeWritesLowerCasePathsAndLooseFilesKeepTheTreesCase) {
    Opened o;
    o.Open("pack0.vpk", {{"Models/Chars/A.MDL", "packed"}, {"Models/Chars/B.MDL", "bee"}, {"Empty.txt", ""}});
    o.dir.Write("data/models/chars/b.mdl", "loose bee");
    EXPECT_EQ(o.Extract(), 3u);
    EXPECT_EQ(o.app.extraction.report.written, 3u);
    // A.MDL comes first and makes the folders; the loose B.MDL keeps its
    // name's case but goes into them, as on a case-free file system.
    EXPECT_EQ(Files(o.dir / "out"),
              (std::vector<std::string>{"empty.txt=", "models/chars/B.MDL=loose bee", "models/chars/a.mdl=packed"}));
    o.app.extraction.outputFolder = o.dir / "out2";
    EXPECT_EQ(o.Extract("models/chars/b.mdl"), 1u);
    EXPECT_EQ(Files(o.dir / "out2"), (std::vector<std::string>{"Models/Chars/B.MDL=loose bee"}));
}

TEST(ExtractTest, FlatModeLetsTheLaterFileReplaceTheEarlier) {
    Opened o;
    o.Open("pack0.nob", {{"b/same.txt", "second in tree order"}, {"a/same.txt", "first"}, {"a/other.txt", "o"}});
    o.app.extraction.extractTree = false;
    o.app.extraction.outputFolder += "\\";  // a trailing separator is doubled, harmlessly
    EXPECT_EQ(o.Extract(), 3u);
    EXPECT_EQ(Files(o.dir / "out"), (std::vector<std::string>{"other.txt=o", "same.txt=second in tree order"}));
    EXPECT_EQ(o.app.extraction.report.failed, 0u);
}

TEST(ExtractTest, ProgressWindowOnlyFromTheThresholdOn) {
    for (int files : {15, 16}) {
        Opened o;
        std::vector<PackFile> pack;
        for (int i = 0; i < files; ++i) pack.push_back({"d/f" + std::to_string(i) + ".txt", "x"});
        o.Open("p.vpk", pack);
        int created = 0;
        std::vector<std::string> texts;
        struct Ctx { int* created; std::vector<std::string>* texts; } ctx{&created, &texts};
        o.app.progressHooks.context = &ctx;
        o.app.progressHooks.create = [](void* c, const char*) -> void* { ++*static_cast<Ctx*>(c)->created; return c; };
        o.app.progressHooks.setText = [](void* c, void*, const char* t) { static_cast<Ctx*>(c)->texts->push_back(t); };
        EXPECT_EQ(o.Extract("d"), uint32_t(files));
        EXPECT_EQ(created, files >= 16 ? 1 : 0) << files;
        EXPECT_EQ(texts.size(), files >= 16 ? size_t(files) : 0u) << "each file's name is shown";
        EXPECT_EQ(o.app.progress.IsShown(), false);
    }
}

TEST(ExtractTest, CountsCategoriesOfASubtree) {
    Opened o;
    o.Open("p.vpk", {{"m/a.mdl", "1"}, {"m/a.vtx", "2"}, {"m/t.tth", "3"}, {"m/s.wav", "4"}, {"m/README", "5"},
                     {"x.txt", "6"}});
    for (uint32_t& c : o.app.extraction.categoryCounts) c = 0;
    CountCategories(o.app, FindTreeItemByPath(o.app.tree, "m"));
    ExtractState& c = o.app.extraction;
    EXPECT_EQ(c.Count(FileCategory::Model), 2u);
    EXPECT_EQ(c.Count(FileCategory::Image), 1u);
    EXPECT_EQ(c.Count(FileCategory::Sound), 1u);
    EXPECT_EQ(c.Count(FileCategory::Untyped), 1u);
    EXPECT_EQ(c.Count(FileCategory::Text), 0u);
    EXPECT_EQ(RunExtraction(o.app, FindTreeItemByPath(o.app.tree, "m"), kExtractTextures), 1u);
    EXPECT_EQ(o.app.extraction.report.failed, 1u) << "a texture that cannot be read is reported, not passed over";
    EXPECT_EQ(RunExtraction(o.app, FindTreeItemByPath(o.app.tree, "x.txt"), kExtractModels), 0u);
}

// Crafted packs whose paths try to leave the output folder: listed, never
// written outside it, each counted as failed.
TEST(ExtractTest, RefusesPathsThatLeaveTheOutputFolder) {
    const std::vector<std::string> evil = {"../escape.txt", "a/../../escape2.txt", "/abs.txt", "\\abs2.txt",
                                           "C:/drive.txt",  "c:drive2.txt",        "a//b.txt", "dir/"};
    for (const char* kind : {"p.nob", "p.vpk"}) {
        Opened o;
        std::vector<PackFile> files = {{"good/ok.txt", "fine"}};
        for (const std::string& e : evil) files.push_back({e, "bad"});
        if (std::string(kind) == "p.nob") files.pop_back();  // "dir/" is a folder entry there
        o.Open(kind, files);
        o.Extract();
        const ExtractReport& r = o.app.extraction.report;
        EXPECT_EQ(r.written, 1u) << kind;
        EXPECT_EQ(r.failed, files.size() - 1) << kind;
        EXPECT_EQ(Files(o.dir / "out"), (std::vector<std::string>{"good/ok.txt=fine"})) << kind;
        EXPECT_FALSE(fs::exists(o.dir / "escape.txt")) << kind;
        EXPECT_FALSE(fs::exists(o.dir / "data/escape2.txt")) << kind;
        EXPECT_FALSE(fs::exists("/abs.txt"));
        for (const Failure& p : r.problems) EXPECT_EQ(p.reason, Reason::UnsafePath) << p.Words();
    }
    struct {
        const char* path;
        bool safe;
    } cases[] = {{"a/b.txt", true},   {"a\\b\\c", true},  {"..", false},     {"a/..", false}, {"", false},
                 {"a/", false},       {"/a", false},      {"D:x", false},    {"x:y", false},   {"ab:c", true},   {"...", true},
                 {"a b/c d.txt", true}};
    for (const auto& c : cases) {
#ifdef _WIN32
        bool expected = c.safe && std::string(c.path).find(':') == std::string::npos;
#else
        bool expected = c.safe;
#endif
        EXPECT_EQ(IsSafeRelativePath(c.path), expected) << c.path;
    }
}

TEST(ExtractTest, FailuresLeaveNoPartialFiles) {
    Opened o;
    o.Open("p.vpk", {{"kept.txt", "new contents"}, {"b/c.txt", "c"}, {"d.txt", "d"}});
    // The output folder is a file: nothing can be created below it, which
    // is told once, naming the folder.
    o.dir.Write("blocked", "I am a file");
    for (std::string folder : {o.dir / "blocked", o.dir / "blocked/below"}) {
        o.app.extraction.outputFolder = folder;
        EXPECT_EQ(o.Extract(), 3u);
        EXPECT_EQ(o.app.extraction.report.failed, 3u);
        const std::vector<Failure>& problems = o.app.extraction.report.problems;
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].Words(), folder + ": cannot create the output folder");
    }
    EXPECT_EQ(Files(o.dir.path).size(), 2u) << "only the pack and the blocking file";

    // An output abandoned part-way leaves the previous file as it was and no
    // temporary file behind.
    o.dir.Write("out/kept.txt", "previous");
    o.app.extraction.outputFolder = o.dir / "out";
    {
        OutputFile out;
        ASSERT_TRUE(OpenOutputFile(o.app.extraction, out, "kept.txt", 1));
        ASSERT_TRUE(out.file.Write("half", 4));
    }
    EXPECT_EQ(Files(o.dir / "out"), (std::vector<std::string>{"kept.txt=previous"}));
    OutputFile out;
    EXPECT_FALSE(OpenOutputFile(o.app.extraction, out, "kept.txt", 0));
    EXPECT_EQ(out.status, Reason::OutputExists) << "no overwrite without being asked";
}

TEST(ExtractTest, DamagedEntriesFailAndOthersGoOn) {
    Opened o;
    std::string bytes = BuildVpk({{"cut.txt", "0123456789"}, {"fine.txt", "ok"}});
    size_t sizeField = bytes.find("cut.txt") + 7 + 4;
    bytes[sizeField + 2] = 0x01;  // claims 64 KiB more than the pack holds
    o.dir.Write("data/p.vpk", bytes);
    ASSERT_TRUE(OpenPack(o.app, (o.dir / "data/p.vpk").c_str()));
    o.app.extraction.outputFolder = o.dir / "out";
    o.Extract();
    EXPECT_EQ(o.app.extraction.report.written, 1u);
    ASSERT_EQ(o.app.extraction.report.problems.size(), 1u);
    EXPECT_EQ(o.app.extraction.report.problems[0].Words(), "cut.txt: damaged: its bytes lie outside its pack");
}

// One cause, one set of words, whichever export meets it.
TEST(ExtractTest, EveryExportTellsATooLongOutputPathAlike) {
    Opened o;
    std::string tth, ttz;
    ASSERT_TRUE(BuildTexturePair(12, 4, 4, 1, tth, ttz));
    MdlPair model;
    model.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
    // The folder itself can be made (Windows refuses folders of 248
    // characters or more); the files below it cannot.
    const std::string stem = "f/" + std::string(40, 'n');
    o.Open("pack000.vpk", {{stem + ".txt", "n"}, {stem + ".tth", tth}, {stem + ".ttz", ttz},
                           {stem + ".mdl", model.Mdl()}, {stem + ".dx80.vtx", model.Vtx()}});
    std::string out = o.dir / "";
    o.app.extraction.outputFolder = out + std::string(out.size() < 230 ? 230 - out.size() : 1, 'o');
    TreeItem folder = FindTreeItemByPath(o.app.tree, "f");
    for (uint32_t command : {kExtractFiles, kExtractTextures, kExtractModels}) {
        o.app.extraction.report.Clear();
        RunExtraction(o.app, folder, command);
        const ExtractReport& r = o.app.extraction.report;
        ASSERT_FALSE(r.problems.empty()) << command;
        for (const Failure& f : r.problems) {
            EXPECT_EQ(f.reason, Reason::OutputTooLong) << command << " " << f.Words();
            EXPECT_EQ(f.Words(), f.subject + ": output path too long") << command;
        }
        EXPECT_EQ(r.written, 0u) << command;
    }
}

// A tree path can be up to 259 characters; a file key holds 255. The files
// between are refused by name, and nothing is read past the key.
TEST(ExtractTest, TreePathsTooLongForAFileKeyAreToldNotRead) {
    Opened o;
    const std::string folder = std::string(150, 'd');
    std::vector<PackFile> files = {{folder + "/short", "s"}};
    for (size_t length : {256u, 257u, 259u}) files.push_back({folder + "/" + std::string(length - 151, 'f'), "x"});
    o.Open("p.vpk", files);
    EXPECT_EQ(o.Extract(folder), 4u);
    const ExtractReport& r = o.app.extraction.report;
    EXPECT_EQ(r.written, 1u);
    ASSERT_EQ(r.problems.size(), 3u);
    for (const Failure& f : r.problems) EXPECT_EQ(f.reason, Reason::PathTooLong) << f.Words();
}

TEST(WriteBackTest, WritesBesideThePacksUnderTheTreePath) {
    Opened o;
    o.Open("p.vpk", {{"Materials/Wall/Brick.tth", "h"}, {"Materials/Wall/Brick.ttz", "z"}, {"../evil.tth", "e"}});
    TreeItem brick = FindTreeItemByPath(o.app.tree, "materials/wall/brick.tth");
    ASSERT_NE(brick, kNoItem);
    OutputFile out;
    ASSERT_TRUE(OpenWriteBack(o.app.tree, out, brick, "C:\\somewhere\\BRICK.TTZ"));
    ASSERT_TRUE(out.file.Write("new", 3));
    ASSERT_TRUE(out.Commit());
    std::string got;
    ASSERT_TRUE(ReadWholeFile(o.dir / "data/Materials/Wall/Brick.ttz", got));
    EXPECT_EQ(got, "new");
    // ...where every reader now finds it first.
    FileEntry key = {};
    std::strcpy(key.name, "materials\\wall\\brick.ttz");
    FileHandle f;
    EXPECT_EQ(OpenGameFile(o.app.Files(), f, key, 1), 3u);

    EXPECT_FALSE(OpenWriteBack(o.app.tree, out, brick, "nothing.ttz")) << "no such sibling";
    TreeItem evil = FindTreeItemByPath(o.app.tree, "../evil.tth");
    ASSERT_NE(evil, kNoItem);
    EXPECT_FALSE(OpenWriteBack(o.app.tree, out, evil, "evil.tth"));
    EXPECT_EQ(out.status, Reason::UnsafePath);
    EXPECT_FALSE(fs::exists(o.dir / "evil.tth"));
}
