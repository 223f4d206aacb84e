// What an extraction needs from the front end and what it reports back.
// Plain data, kept in AppState.
#pragma once

#include "pack/FileIndex.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

struct AppState;

// What one extraction did, for the front end to report.
struct ExtractReport {
    uint32_t written = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    // "PATH: reason" for every file that failed.
    std::vector<std::string> problems;
    // "PATH: what is missing" for files written without a part of them (a
    // model whose texture could not be loaded).
    std::vector<std::string> notes;

    void Clear() { *this = ExtractReport(); }
};

// What the front end supplies to an extraction, and what it keeps.
struct ExtractState {
    // The output-folder edit box and the "Extract Tree" check box.
    std::string outputFolder = "E:\\Dedeziv Extracted";
    bool extractTree = true;
    // Files per FileCategory, filled by CountCategories.
    uint32_t categoryCounts[8] = {};
    ExtractReport report;
    // The pop-up menu command being run (ExtractCommand); it picks the
    // output format of pictures and models.
    uint32_t command = 0;
    // Models written (or tried) in the current run, by lower-case path
    // without extension: a model is one export whichever of its files the
    // walk meets.
    std::unordered_set<std::string> modelsExported;
    // Folders created (or tried) during the current run: each is made once.
    std::unordered_set<std::string> madeFolders;
};

