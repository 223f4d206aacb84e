// The project's own sample game data: for each game a data folder with
// packs that share some paths (the first listed pack wins), mixed-case
// names, nested folders and a loose file that overrides a packed one.
#pragma once

#include "tools/PackWriter.h"

#include <string>
#include <vector>

struct SamplePack {
    std::string fileName;
    std::vector<PackFile> files;
};

struct SampleGame {
    std::string folder;  // below the sample root
    std::vector<SamplePack> packs;
    std::vector<PackFile> loose;  // paths below the data folder, '/' separators
};

std::vector<SampleGame> SampleGames();
// Writes every game's folder below root (created as needed).
bool WriteSampleData(const std::string& root);
