// The text pane's views of files that are not text: a hex dump of any file,
// and a map's directory, pakfile list and entities.
#pragma once

#include "map/BspMap.h"

#include <cstddef>
#include <cstdint>
#include <string>

// How much of a file the hex view shows: a dump of a whole map or save game
// would only bury the pane.
const size_t kHexViewBytes = 64 * 1024;

// The first min(size, limit) bytes of data as lines of an offset (8 hex
// digits), 16 bytes in hex (a gap after the eighth) and the same bytes as
// ASCII between bars (other bytes as '.'); then one last line: how many bytes
// follow unshown and the file's size, or that the file ends there.
std::string HexDumpText(const uint8_t* data, size_t size, size_t limit = kHexViewBytes);

// A map as the text pane shows it: a header line (version, map revision,
// size), the lump table (index, name where known, offset, length; the lumps
// that hold data, each that points outside the file marked so), the files of
// the pakfile lump (size and name), then the entity lump's text.
std::string MapText(const BspMap& map);
