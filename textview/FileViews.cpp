#include "textview/FileViews.h"

#include <cstdio>

std::string HexDumpText(const uint8_t* data, size_t size, size_t limit) {
    static const char kHex[] = "0123456789abcdef";
    size_t shown = size < limit ? size : limit;
    std::string out;
    out.reserve(shown / 16 * 78 + 160);
    for (size_t line = 0; line < shown; line += 16) {
        char offset[24];
        std::snprintf(offset, sizeof offset, "%08zx  ", line);
        out += offset;
        size_t n = shown - line < 16 ? shown - line : 16;
        for (size_t i = 0; i < 16; ++i) {
            if (i == 8) out += ' ';
            if (i < n) {
                out += kHex[data[line + i] >> 4];
                out += kHex[data[line + i] & 15];
                out += ' ';
            } else {
                out += "   ";
            }
        }
        out += " |";
        for (size_t i = 0; i < n; ++i) {
            uint8_t c = data[line + i];
            out += c >= 0x20 && c < 0x7F ? char(c) : '.';
        }
        out += "|\n";
    }
    if (shown < size)
        out += "... " + std::to_string(size - shown) + " more bytes not shown (" + std::to_string(size) +
               " bytes in all)\n";
    else
        out += "(end of file: " + std::to_string(size) + " bytes)\n";
    return out;
}

std::string MapText(const BspMap& map) {
    char line[160];
    std::snprintf(line, sizeof line, "map version %d, map revision %d, %llu bytes\n", map.version, map.revision,
                  static_cast<unsigned long long>(map.fileSize));
    std::string out = line;
    uint32_t used = 0;
    std::string table;
    for (uint32_t i = 0; i < kBspLumpCount; ++i) {
        const BspLump& l = map.lumps[i];
        if (l.length == 0) continue;
        ++used;
        const char* name = BspLumpName(i);
        std::snprintf(line, sizeof line, "%4u  %-32s %10d %10d%s\n", i, name != nullptr ? name : "-", l.offset,
                      l.length, l.inside ? "" : "  outside the file");
        table += line;
    }
    out += "lumps holding data: " + std::to_string(used) + " of " + std::to_string(kBspLumpCount) + "\n";
    out += "index name                                 offset     length\n" + table;

    const BspLump& pak = map.lumps[kBspPakfileLump];
    if (!map.pakfileProblem.empty()) {
        out += "\npakfile: cannot be read: " + map.pakfileProblem + "\n";
    } else if (pak.length > 0) {
        out += "\npakfile: " + std::to_string(map.pakfile.size()) + " files\n";
        for (const PakfileEntry& f : map.pakfile) {
            std::snprintf(line, sizeof line, "%10u  ", f.size);
            out += line + f.name + "\n";
        }
    } else {
        out += "\npakfile: none\n";
    }

    const BspLump& entities = map.lumps[kBspEntityLump];
    if (!entities.inside)
        out += "\nentities: cannot be read: the lump lies outside the file\n";
    else
        out += "\nentities:\n" + map.entities + (map.entities.empty() || map.entities.back() == '\n' ? "" : "\n");
    return out;
}
