// Extraction: the walks over a subtree of the pack tree, raw copies of game
// files, and the openers of every output file and of loose files written
// back beside the packs.
//
// Packs are untrusted: an in-pack path that could leave its folder ("..", an
// absolute path, a drive, an empty component, ':' on Windows) is listed in
// the tree as it is, but never written. Every output is written to a
// temporary name beside it and renamed into place once complete, so a
// failure never leaves a truncated file that looks whole.
#pragma once

#include "pack/FileHandle.h"
#include "pack/GameFiles.h"
#include "pack/PackTree.h"

#include <cstdint>
#include <string>

// The pop-up menu's commands (menu identifiers).
enum ExtractCommand : uint32_t {
    kExtractFiles = 136,          // "Extract Files (Binary)"
    kExtractTextures = 137,       // "Extract Textures (Tga)"
    kExtractModels = 32780,       // "Extract Model (D3d.x)"
    kExtractModelsGltf = 32790,   // "Extract Model (glTF)"
    kExtractTexturesPng = 32791,  // "Extract Textures (Png)"
};

// Why an output file could not be opened.
enum class OutputStatus { Ok, Exists, Unsafe, TooLong, CannotCreate };

// An output file being written: created under a temporary name, put in place
// by Commit. Destroying it uncommitted removes the temporary file.
struct OutputFile {
    FileHandle file;
    std::string finalPath;  // '\' separators
    std::string tempPath;
    OutputStatus status = OutputStatus::Ok;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Abandon(); }
    // Closes and renames the file into place; false (and nothing in place)
    // when that fails.
    bool Commit();
    void Abandon();
};


// True when path ('/' or '\') is relative and stays inside its folder.
bool IsSafeRelativePath(const std::string& path);

// Creates every folder level of path ('\' separators) but the last part;
// levels after a ':' are the drive and are not made. Always true.
bool CreateParentFolders(const char* path);
bool CreateParentFolders(const char* path, std::unordered_set<std::string>* made);

// Opens the output file for an in-pack path below the output folder (the
// whole path with "Extract Tree", else its bare name). With overwrite 0 an
// existing file is left alone (status Exists).
bool OpenOutputFile(AppState& app, OutputFile& out, const char* path, uint8_t overwrite);

// Opens the loose file that replaces the packed file path names, a sibling
// of item, below the data folder (the current directory).
bool OpenWriteBack(AppState& app, OutputFile& out, TreeItem item, const char* path);

// Adds the files below item (or item itself) to the category counts.
void CountCategories(AppState& app, TreeItem item);
// Handles every file below item that passes filter (0: all, else a category);
// pictures go out as PNG instead of Targa while the command being run
// (app.extraction.command) is kExtractTexturesPng, models as glTF instead of
// .x while it is kExtractModelsGltf.
void ExtractSubtree(AppState& app, TreeItem item, uint32_t filter);
// Copies the game file named by key to the output folder; true when written
// whole. key is rewritten as OpenGameFile does.
bool ExtractRawFile(AppState& app, FileEntry& key);

// The pop-up menu's command on item: counts, opens a progress window when the
// command's threshold is reached, extracts, closes it. Gives the number of
// files concerned (0: nothing was done).
uint32_t RunExtraction(AppState& app, TreeItem item, uint32_t command);
