// Builds pack files in memory, for the sample-data generator, the tests, the
// benchmarks and the fuzz seeds. Quillon itself never writes packs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackFile {
    std::string name;  // as stored in the pack, any separators
    std::string data;
};

// A .nob pack: entries back to back. A name ending in '/' makes a folder
// entry (its data, if any, is stored and skipped like a file's).
std::string BuildNob(const std::vector<PackFile>& files);
// A .vpk pack: the data first, then the directory, then the footer.
std::string BuildVpk(const std::vector<PackFile>& files, uint8_t footerFlag = 0);

// Writes bytes to a file; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Reads a whole file; false on failure.
bool ReadWholeFile(const std::string& path, std::string& bytes);

void AppendLE32(std::string& out, uint32_t v);
