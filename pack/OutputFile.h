// Output files: every file Quillon writes goes through OutputFile, below the
// output folder (exports) or below the data folder (loose files written back
// in place of packed ones).
//
// Packs are untrusted: an in-pack path that could leave its folder ("..", an
// absolute path, a drive, an empty component, ':' on Windows) is listed in
// the tree as it is, but never written. Every output is written to a
// temporary name beside it and renamed into place once complete, so a
// failure never leaves a truncated file that looks whole.
#pragma once

#include "pack/Failure.h"
#include "pack/FileHandle.h"
#include "pack/FileTypes.h"
#include "pack/GameFiles.h"
#include "pack/PackTree.h"
#include "pack/Seams.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// An output file being written: created under a temporary name, put in place
// by Commit. Destroying it uncommitted removes the temporary file.
struct OutputFile {
    FileHandle file;
    std::string finalPath;  // '\' separators
    std::string tempPath;
    // Why it could not be opened: OutputExists, UnsafePath, OutputTooLong,
    // CannotCreate; None once open.
    Reason status = Reason::None;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Abandon(); }
    // Closes and renames the file into place; false (and nothing in place)
    // when that fails.
    bool Commit();
    void Abandon();
};

// What one extraction did, for the front end to report.
struct ExtractReport {
    uint32_t written = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    // Every file that failed, with why (subject: its path in the pack).
    std::vector<Failure> problems;
    // "PATH: what is missing" for files written without a part of them (a
    // model whose texture could not be loaded).
    std::vector<std::string> notes;
    // The models met so far (stems, lower case), so that a model counts
    // once however many of its files the walk meets.
    std::unordered_set<std::string> models;

    void Clear() { *this = ExtractReport(); }
    // Counts a failed file.
    void Fail(const std::string& path, Reason reason, const std::string& detail = std::string()) {
        ++failed;
        problems.push_back(Failure{reason, path, detail});
    }
};

// What the front end supplies to an extraction, and what it keeps.
struct ExtractState {
    // The output-folder edit box and the "Extract Tree" check box.
    std::string outputFolder = "E:\\Dedeziv Extracted";
    bool extractTree = true;
    // Files per FileCategory, filled by CountCategories.
    uint32_t categoryCounts[8] = {};
    uint32_t& Count(FileCategory c) { return categoryCounts[static_cast<uint32_t>(c)]; }
    ExtractReport report;
    // Folders created (or tried) during the current run: each is made once.
    std::unordered_set<std::string> madeFolders;
    // The pop-up menu command being run (ExtractCommand); it picks the
    // output format of pictures and models.
    uint32_t command = 0;
    // Pictures encoded for the models of the current run, by the material
    // file that gave them, and their total size.
    std::unordered_map<std::string, std::vector<uint8_t>> encodedPictures;
    size_t encodedBytes = 0;
};

// What every export of a subtree works with: the game files it reads, where
// its output goes and what it reports, the progress window and the message
// box.
struct ExportJob {
    GameFiles files;
    ExtractState& extraction;
    ProgressDialog& progress;
    const MessageSeam& message;
};

// What a drop of files on a tree item works with: the game files it reads,
// the tree whose item's siblings it writes, the progress window and the
// message box.
struct DropJob {
    GameFiles files;
    PackTree& tree;
    ProgressDialog& progress;
    const MessageSeam& message;
};

// True when path ('/' or '\') is relative and stays inside its folder.
bool IsSafeRelativePath(const std::string& path);

// Creates every folder level of path ('\' separators) but the last part;
// levels after a ':' are the drive and are not made. Always true.
bool CreateParentFolders(const char* path);
bool CreateParentFolders(const char* path, std::unordered_set<std::string>* made);

// Opens the output file for an in-pack path below the output folder (the
// whole path with "Extract Tree", else its bare name). With overwrite 0 an
// existing file is left alone (status OutputExists).
bool OpenOutputFile(ExtractState& extraction, OutputFile& out, const char* path, uint8_t overwrite);

// Opens the loose file that replaces the packed file path names, a sibling
// of item, below the data folder (the current directory).
bool OpenWriteBack(const PackTree& tree, OutputFile& out, TreeItem item, const char* path);
