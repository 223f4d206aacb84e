// Builds maps and zip archives in memory, for the sample data, the tests and
// the fuzz seeds. Quillon itself only reads them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A map: the 1036-byte header, then each given lump's bytes in the order
// given (index, bytes); the other lumps are empty.
std::string BuildBsp(int32_t version, int32_t revision, const std::vector<std::pair<uint32_t, std::string>>& lumps);

// A zip archive of stored (not compressed) files, offsets counted from its
// start, as map compilers write a map's pakfile lump.
std::string BuildZip(const std::vector<std::pair<std::string, std::string>>& files,
                     const std::string& comment = std::string());
