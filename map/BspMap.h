// Bloodlines maps (.bsp): the lump directory, the entity lump's text and the
// list of files packed into the map's pakfile lump (a zip archive). Only
// what a modder reads; the geometry lumps are not decoded.
//
// Header, 1036 bytes, little-endian:
//   0     4 bytes  "VBSP"
//   4     i32      version (17 in the game's own maps)
//   8     64 x 16  lump directory: i32 offset, i32 length, i32 version,
//                  4 bytes fourCC (zero in the game's maps)
//   1032  i32      map revision
// Lump 0 holds the entities as text ("{", "\"key\" \"value\"" lines, "}"),
// ended by a zero byte; lump 40 a zip archive whose offsets count from the
// lump's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const uint32_t kBspLumpCount = 64;
const uint32_t kBspEntityLump = 0;
const uint32_t kBspPakfileLump = 40;

struct BspLump {
    int32_t offset = 0;
    int32_t length = 0;
    int32_t version = 0;
    // Its bytes lie inside the file (a lump of length 0 always does).
    bool inside = true;
};

struct PakfileEntry {
    std::string name;
    uint32_t size = 0;        // unpacked
    uint32_t packedSize = 0;  // as stored
    uint16_t method = 0;      // 0 stored, 8 deflated
};

struct BspMap {
    int32_t version = 0;
    int32_t revision = 0;
    uint64_t fileSize = 0;
    BspLump lumps[kBspLumpCount];
    // The entity lump's text up to its first zero byte; empty when the lump
    // lies outside the file.
    std::string entities;
    // The pakfile's zip directory: read (it may list no file), and the
    // files it lists in its own order.
    bool pakfileRead = false;
    std::vector<PakfileEntry> pakfile;
    // Why the pakfile's directory could not be read; empty when it was, or
    // when the map has no pakfile.
    std::string pakfileProblem;
};

// The name of lump index in the game's maps ("entities", "pakfile"), or null
// where it is not known.
const char* BspLumpName(uint32_t index);

// Reads the header, the directory, the entities and the pakfile's directory
// from data[0, size). A lump that points outside the file is marked so and
// left unread; the rest is read all the same. False only when the file is
// no map at all: shorter than the header or without "VBSP".
bool ReadBspMap(const uint8_t* data, size_t size, BspMap& map);

// The zip directory of an archive held in data[0, size): the end record
// (searched for from the end, behind a comment of up to 65535 bytes) and
// every entry of the central directory it names. False, with why, when
// either lies outside the data or is damaged.
bool ReadZipDirectory(const uint8_t* data, size_t size, std::vector<PakfileEntry>& files, std::string& why);
