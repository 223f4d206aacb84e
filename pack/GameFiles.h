// The data folder of the open game: its packs, the index of every packed
// path, and the one way to read a game file by its path.
#pragma once

#include "pack/Failure.h"
#include "pack/FileHandle.h"
#include "pack/FileIndex.h"
#include "pack/PackList.h"
#include "pack/Seams.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum GameType : uint32_t { kGameNone = 0, kGameRedemption = 1, kGameBloodlines = 2 };

// The FileIndex of all packed paths, with where each indexed file lies in its
// pack (by slot), so that opening a packed file needs no directory walk.
struct PackIndex {
    FileIndex files;
    std::vector<PackPlace> places;
    // The listed packs, open from indexing on (by pack list position), so
    // that reading a packed file costs one read and no open. Game files
    // handed out by OpenGameFile borrow these handles: they are valid until
    // the index is filled again.
    std::vector<std::unique_ptr<FileHandle>> packs;
    // Packs listed after this many are closed once indexed (null above) and
    // opened again for each file read from them: a folder of more packs than
    // a process may hold open (1,024 is a common limit) must still index.
    uint32_t keepOpen = 256;
    std::vector<uint32_t> packSizes;

    // Files of the current filling that could not be indexed for want of
    // memory; FillIndex fails when there are any.
    uint32_t unindexed = 0;

    bool Create() { return files.Create(kFileIndexCapacity, sizeof(FileEntry), 4); }
    // Indexes a path read from a pack. Names that do not fit the key (256
    // characters or more, or a zero byte inside) are refused: no lookup could
    // ever reach them. The first entry of a path stays. A file that finds no
    // memory is counted in unindexed.
    void Add(const char* name, uint32_t length, uint32_t packNumber, PackPlace place);
    void Truncate(uint32_t n);
};

// The shared frame of IndexNobPacks and IndexVpkPacks: empties the index,
// then opens every listed pack in list order and hands it to perPack, which
// adds its files and sets its file count. A pack that cannot be opened ends
// the filling with the message "Error Creating Hash Table!" (the packs before
// it stay indexed) and gives false. So does running out of memory, with a
// message that says how many files could not be indexed: a file left out
// must never turn into a silent "not found" later.
using PerPackStep = void (*)(FileHandle& pack, uint32_t packNumber, PackIndex& index, uint32_t& fileCount);
bool FillIndex(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message, PerPackStep perPack);

// The shared folder scan of both pack kinds: every file of dir whose
// extension is ext and that accept takes becomes a pack list entry (pack
// numbers in the folder's order); the chosen pack's entry is selected.
// False when nothing was listed.
using AcceptPack = bool (*)(FileHandle& pack);
bool ListPacks(const char* path, const char* dir, const char* ext, PackList& list, AcceptPack accept);

// True when a name read from a pack and a wanted path are the same path: the
// same length, equal ignoring ASCII case, '/' and '\' alike.
bool NamesEqualAsPaths(const char* stored, uint32_t storedLength, const char* wanted, uint32_t wantedLength);

// A set of game files held in memory, keyed by path as the index keys them
// (lower case, '\' separators). Loaders read it through GameFiles exactly as
// they read the packs, so they are tested and fuzzed without writing a pack.
struct MemoryFiles {
    std::map<std::string, std::vector<uint8_t>> files;

    // False when path does not fit an index key.
    bool Add(const std::string& path, std::vector<uint8_t> bytes);
    const std::vector<uint8_t>* Find(const char* path) const;
};

// What reading a game file by its path needs: the open game, the index of
// its packs and its pack list; or, instead of all three, a set of files in
// memory. A record of borrowed pointers: whoever builds it keeps them alive.
struct GameFiles {
    uint32_t gameType = kGameNone;
    const PackIndex* index = nullptr;
    const PackList* packList = nullptr;
    const MemoryFiles* memory = nullptr;
};

// Opens the game file whose path is key.name (any case, '/' or '\'): a
// loose file of that path below the current directory wins; otherwise the
// indexed packed file. Gives the size with file positioned on the first data
// byte, or 0 when the file is absent, empty or lies outside its pack. A
// packed file borrows the index's open pack (see PackIndex). Rewrites
// key.name to its lower-case, '\' form unless a loose file was found. With
// closeWhenMissing the file is closed when the result is 0.
// A memory set has no handle to give: it is read through ReadGameFile only
// (OpenGameFile gives 0 for it). why (when given) tells the 0s apart:
// NotFound, EmptyFile (the file is there, with no byte), OutsidePack (its
// bytes do not all lie inside its pack); None when the size is not 0.
uint32_t OpenGameFile(const GameFiles& files, FileHandle& file, FileEntry& key, uint8_t closeWhenMissing,
                      Reason* why = nullptr);
// The whole game file key names, read through OpenGameFile (key is
// rewritten as it rewrites it); null, with size 0 or the size that could not
// be read, when it is missing, empty or unreadable: why (when given) says
// which (CannotRead for the last).
std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, FileEntry& key, uint32_t& size,
                                        Reason* why = nullptr);
// The same for a path given as text; a path too long for a key is NotFound.
std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, const std::string& path, uint32_t& size,
                                        Reason* why = nullptr);
