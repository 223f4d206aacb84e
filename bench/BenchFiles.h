// The generated files the benchmarks pack: names spread over 37 folders of
// 211 subfolders each, sizes log-uniform from 64 bytes to maxSize (with 256
// KiB: mean about 32 KiB, median about 4 KiB; the real game data we have
// measures 33 KiB mean, 292 bytes median).
#pragma once

#include "tools/PackWriter.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

inline std::vector<PackFile> MakeBenchFiles(int count, double maxSize, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> logSize(std::log(64.0), std::log(maxSize));
    std::vector<PackFile> files;
    files.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "Folder%02d/Sub%03d/File_%06d.%s", i % 37, i % 211, i,
                      (i % 3 == 0) ? "ttz" : (i % 3 == 1) ? "vmt" : "mdl");
        size_t size = static_cast<size_t>(std::exp(logSize(rng)));
        files.push_back({name, std::string(size, static_cast<char>('a' + i % 26))});
    }
    return files;
}
