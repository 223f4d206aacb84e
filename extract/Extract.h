// Extraction: the walks over a subtree of the pack tree and the dispatch of
// each file to a raw copy, the Targa or PNG export or the .x or glTF export. Output files
// are opened by pack/OutputFile.h, which keeps every write inside its folder.
#pragma once

#include "pack/FileIndex.h"
#include "pack/OutputFile.h"
#include "pack/PackTree.h"

#include <cstdint>
#include <vector>

// The pop-up menu's commands (menu identifiers).
enum ExtractCommand : uint32_t {
    kExtractFiles = 136,          // "Extract Files (Binary)"
    kExtractTextures = 137,       // "Extract Textures (Tga)"
    kExtractModels = 32780,       // "Extract Model (D3d.x)"
    kExtractModelsGltf = 32790,   // "Extract Model (glTF)"
    kExtractTexturesPng = 32791,  // "Extract Textures (Png)"
};

// Adds the files below item (or item itself) to the category counts.
void CountCategories(const PackTree& tree, ExtractState& extraction, TreeItem item);
// Handles every file below item that passes filter (0: all, else a category);
// pictures go out as PNG instead of Targa while the command being run
// (job.extraction.command) is kExtractTexturesPng, models as glTF instead of
// .x while it is kExtractModelsGltf.
void ExtractSubtree(const ExportJob& job, const PackTree& tree, TreeItem item, uint32_t filter);
// Copies the game file named by key to the output folder; true when written
// whole. key is rewritten as OpenGameFile does.
bool ExtractRawFile(const ExportJob& job, FileEntry& key);

// The pop-up menu's command on item: counts, opens a progress window when the
// command's threshold is reached, extracts, closes it. Gives the number of
// files concerned (0: nothing was done).
uint32_t RunExtraction(const ExportJob& job, const PackTree& tree, TreeItem item, uint32_t command);
// The same command on several items at once (files or folders, none below
// another), with one progress window over all of them.
uint32_t RunExtraction(const ExportJob& job, const PackTree& tree, const std::vector<TreeItem>& items,
                       uint32_t command);
