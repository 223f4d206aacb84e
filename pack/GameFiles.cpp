#include "pack/GameFiles.h"

#include <cstring>
#include <new>
#include <string>

bool NamesEqualAsPaths(const char* stored, uint32_t storedLength, const char* wanted, uint32_t wantedLength) {
    if (storedLength != wantedLength) return false;
    for (uint32_t i = 0; i < storedLength; ++i)
        if (FoldKeyChar(stored[i]) != FoldKeyChar(wanted[i])) return false;
    return true;
}

void PackIndex::Add(const char* name, uint32_t length, uint32_t packNumber, PackPlace place) {
    FileEntry key;
    if (!MakeFileKey(key, name, length, packNumber)) return;
    uint32_t before = files.count;
    int32_t slot = files.Insert(&key);
    if (slot < 0) {
        ++unindexed;
        return;
    }
    if (files.count == before) return;  // an earlier pack holds this path
    try {
        places.resize(static_cast<size_t>(slot));
        places.push_back(place);
    } catch (const std::bad_alloc&) {
        files.Truncate(before);
        ++unindexed;
    }
}

void PackIndex::Truncate(uint32_t n) {
    files.Truncate(n);
    if (places.size() > n) places.resize(n);
}

bool FillIndex(PackCounts& packs, PackIndex& index, PackList& list, const MessageSeam& message, PerPackStep perPack) {
    index.Truncate(0);
    index.unindexed = 0;
    index.packs.clear();
    index.packSizes.clear();
    packs.Release();
    int32_t n = list.Count();
    if (n <= 0) return false;
    packs.packCount = static_cast<uint32_t>(n);
    packs.fileCounts.assign(static_cast<size_t>(n), 0);
    for (int32_t pos = 0; pos < n; ++pos) {
        std::string name = list.GetText(pos);
        std::unique_ptr<FileHandle> pack(new FileHandle);
        if (!pack->Open(name.c_str())) {
            message.Show(name.c_str(), "Error Creating Hash Table!");
            return false;
        }
        perPack(*pack, list.GetItemData(pos), index, packs.fileCounts[static_cast<size_t>(pos)]);
        index.packSizes.push_back(pack->Size());
        if (static_cast<uint32_t>(pos) >= index.keepOpen) pack.reset();
        index.packs.push_back(std::move(pack));
    }
    if (index.unindexed > 0) {
        std::string text = std::to_string(index.unindexed) + " files could not be indexed: out of memory";
        message.Show(text.c_str(), "Error Creating Hash Table!");
        return false;
    }
    return true;
}

bool ListPacks(const char* path, const char* dir, const char* ext, PackList& list, AcceptPack accept) {
    std::vector<std::string> names;
    if (!ListFilesWithExtension(*dir != '\0' ? dir : ".", ext, names)) return false;
    uint32_t number = 0;
    for (const std::string& name : names) {
        FileHandle pack;
        if (!pack.Open(name.c_str()) || !accept(pack)) continue;
        list.SetItemData(list.Add(name), number++);
    }
    if (number == 0) return false;
    list.SelectString(path + NameOffset(path));
    return true;
}

bool MemoryFiles::Add(const std::string& path, std::vector<uint8_t> bytes) {
    FileEntry key;
    if (!MakeFileKey(key, path.data(), static_cast<uint32_t>(path.size()), 0)) return false;
    files[key.name] = std::move(bytes);
    return true;
}

const std::vector<uint8_t>* MemoryFiles::Find(const char* path) const {
    FileEntry key;
    if (!MakeFileKey(key, path, static_cast<uint32_t>(std::strlen(path)), 0)) return nullptr;
    auto it = files.find(key.name);
    return it == files.end() ? nullptr : &it->second;
}

std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, FileEntry& key, uint32_t& size, Reason* why) {
    Reason reason = Reason::None;
    std::unique_ptr<uint8_t[]> bytes;
    if (files.memory != nullptr) {
        key.name[sizeof key.name - 1] = '\0';
        const std::vector<uint8_t>* found = files.memory->Find(key.name);
        size = found != nullptr ? static_cast<uint32_t>(found->size()) : 0;
        if (found == nullptr) reason = Reason::NotFound;
        else if (size == 0) reason = Reason::EmptyFile;
        else bytes.reset(new (std::nothrow) uint8_t[size]);
        if (bytes) std::memcpy(bytes.get(), found->data(), size);
    } else {
        FileHandle file;
        size = OpenGameFile(files, file, key, 1, &reason);
        if (size != 0) bytes = file.ReadAll(size);
        file.Close();
    }
    if (reason == Reason::None && !bytes) reason = Reason::CannotRead;
    if (why != nullptr) *why = reason;
    return bytes;
}

namespace {

// The lookup behind OpenGameFile; reason receives why it gives 0.
uint32_t LocateGameFile(const GameFiles& files, FileHandle& file, FileEntry& key, Reason& reason) {
    key.name[sizeof key.name - 1] = '\0';
    reason = Reason::NotFound;
    if (files.memory != nullptr) return 0;
    if (LooseFileMayExist(key.name) && file.Open(key.name)) {
        if (file.Size() == 0) reason = Reason::EmptyFile;
        return file.Size();
    }

    MakeFileKey(key, key.name, static_cast<uint32_t>(std::strlen(key.name)), key.packNumber);

    if (files.index == nullptr || files.packList == nullptr) return 0;
    const PackIndex& index = *files.index;
    int32_t slot = index.files.Find(&key);
    if (slot < 0 || static_cast<size_t>(slot) >= index.places.size() ||
        (files.gameType != kGameRedemption && files.gameType != kGameBloodlines))
        return 0;
    const PackPlace& place = index.places[static_cast<size_t>(slot)];
    int32_t pos = files.packList->FindItemData(index.files.Entry(slot).packNumber);
    if (pos < 0 || static_cast<size_t>(pos) >= index.packs.size()) return 0;
    // A file whose bytes do not all lie inside its pack is damaged and not
    // available.
    if (uint64_t(place.offset) + place.size > index.packSizes[static_cast<size_t>(pos)]) {
        reason = Reason::OutsidePack;
        return 0;
    }
    // Packs past the first ones are not kept open: such a file is read
    // through a handle of its own.
    const FileHandle* open = index.packs[static_cast<size_t>(pos)].get();
    bool placed = open != nullptr ? file.Borrow(*open, place.offset)
                                  : place.offset <= 0x7FFFFFFFu && file.Open(files.packList->GetText(pos).c_str()) &&
                                        file.SeekTo(static_cast<int32_t>(place.offset));
    if (!placed) {
        file.Close();  // an opened pack that could not be positioned is no empty file
        reason = Reason::CannotRead;
        return 0;
    }
    if (place.size == 0) reason = Reason::EmptyFile;
    return place.size;
}

}  // namespace

std::unique_ptr<uint8_t[]> ReadGameFile(const GameFiles& files, const std::string& path, uint32_t& size,
                                        Reason* why) {
    FileEntry key = {};
    size = 0;
    if (path.size() >= sizeof key.name) {
        if (why != nullptr) *why = Reason::NotFound;
        return nullptr;
    }
    std::memcpy(key.name, path.data(), path.size());
    return ReadGameFile(files, key, size, why);
}

uint32_t OpenGameFile(const GameFiles& files, FileHandle& file, FileEntry& key, uint8_t closeWhenMissing,
                      Reason* why) {
    Reason reason = Reason::NotFound;
    uint32_t result = LocateGameFile(files, file, key, reason);
    if (result == 0 && closeWhenMissing) file.Close();
    if (why != nullptr) *why = result != 0 ? Reason::None : reason;
    return result;
}
