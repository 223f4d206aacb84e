#include "pack/GameFiles.h"

#include "pack/NobPack.h"
#include "pack/VpkPack.h"

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

AppState::AppState() { fileIndex.Create(); }

std::unique_ptr<uint8_t[]> ReadGameFile(AppState& app, FileEntry& key, uint32_t& size) {
    FileHandle file;
    size = OpenGameFile(app, file, key, 1);
    if (size == 0) return nullptr;
    std::unique_ptr<uint8_t[]> bytes = file.ReadAll(size);
    file.Close();
    return bytes;
}

uint32_t OpenGameFile(AppState& app, FileHandle& file, FileEntry& key, uint8_t closeWhenMissing) {
    key.name[sizeof key.name - 1] = '\0';
    if (LooseFileMayExist(key.name) && file.Open(key.name)) return file.Size();

    MakeFileKey(key, key.name, static_cast<uint32_t>(std::strlen(key.name)), key.packNumber);

    uint32_t result = 0;
    PackIndex& index = app.fileIndex;
    int32_t slot = index.files.Find(&key);
    if (slot >= 0 && static_cast<size_t>(slot) < index.places.size() &&
        (app.gameType == kGameRedemption || app.gameType == kGameBloodlines)) {
        const PackPlace& place = index.places[static_cast<size_t>(slot)];
        int32_t pos = app.packList.FindItemData(index.files.Entry(slot).packNumber);
        // A file whose bytes do not all lie inside its pack is damaged and
        // not available.
        if (pos >= 0 && static_cast<size_t>(pos) < index.packs.size() &&
            uint64_t(place.offset) + place.size <= index.packSizes[static_cast<size_t>(pos)] &&
            file.Borrow(*index.packs[static_cast<size_t>(pos)], place.offset))
            result = place.size;
    }
    if (result == 0 && closeWhenMissing) file.Close();
    return result;
}

bool OpenPack(AppState& app, const char* path) {
    UnloadPack(app);
    app.redemptionPacks.Release();
    app.bloodlinesPacks.Release();
    app.gameType = kGameNone;

    std::string chosen(path);
    ToBackslashes(&chosen[0]);
    uint32_t nameAt = NameOffset(chosen.c_str());
    std::string dir = nameAt > 0 ? chosen.substr(0, nameAt - 1) : std::string();
    if (nameAt == 1) dir = "\\";
    if (!dir.empty() && !SetCurrentDir(dir.c_str())) return false;
    // The scan runs in the data folder itself, so a relative folder must not
    // be looked up a second time below it.
    std::string here = GetCurrentDir();
    ForgetFolderListings();
    app.packList.Reset();
    app.viewer.ClearSkeleton();

    uint32_t extAt = ExtensionOffset(chosen.c_str() + nameAt);
    if (extAt == 0) return false;
    const char* ext = chosen.c_str() + nameAt + extAt;
    std::string lower;
    for (const char* c = ext; *c; ++c) lower += FoldKeyChar(*c);

    bool scanned = false;
    if (lower == ".nob") {
        app.gameType = kGameRedemption;
        scanned = ScanNobDirectory(app.redemptionPacks, chosen.c_str(), here.c_str(), app.fileIndex, app.packList,
                                   app.message);
    } else if (lower == ".vpk") {
        app.gameType = kGameBloodlines;
        scanned = ScanVpkDirectory(app.bloodlinesPacks, chosen.c_str(), here.c_str(), app.fileIndex, app.packList,
                                   app.message);
    }
    if (!scanned || !LoadPack(app, chosen.c_str() + nameAt)) {
        app.gameType = kGameNone;
        return false;
    }
    return true;
}

bool LoadPack(AppState& app, const std::string& wanted) {
    UnloadPack(app);
    std::string name = wanted;
    int32_t pos = app.packList.FindExact(name);
    if (pos < 0) {
        if (app.packList.Count() == 0) return false;
        app.packList.SetSel(0);
        name = app.packList.GetText(0);
    } else {
        app.packList.SetSel(pos);
    }
    pos = app.packList.GetSel();
    if (pos < 0) return false;
    FileHandle pack;
    if (!pack.Open(name.c_str())) return false;
    if (app.gameType == kGameRedemption)
        app.listedFiles = BuildNobTree(app.redemptionPacks, pack, pos, &app.progressHooks, app.tree);
    else if (app.gameType == kGameBloodlines)
        app.listedFiles = BuildVpkTree(app.bloodlinesPacks, pack, pos, &app.progressHooks, app.tree);
    else
        return false;
    pack.Close();
    app.tree.Select(app.tree.FirstTopLevel());
    app.acceptsDroppedFiles = true;
    app.tree.enabled = true;
    app.packsLoaded = true;
    return true;
}

void UnloadPack(AppState& app) {
    if (!app.packsLoaded) return;
    app.packsLoaded = false;
    app.listedFiles = 0;
    app.tree.DeleteAll();
    app.textView.SetText(std::string());
    app.viewer.FillImage(220, 220, 220, 255);  // light grey
    if (app.onUnload != nullptr) app.onUnload(app.onUnloadContext);
    app.tree.enabled = false;
    app.acceptsDroppedFiles = false;
}
