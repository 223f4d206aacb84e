#include "session/AppState.h"

#include "pack/Ascii.h"
#include "pack/NobPack.h"
#include "pack/VpkPack.h"

AppState::AppState() { fileIndex.Create(); }

namespace {

bool Fail(AppState& app, const std::string& subject, Reason reason) {
    app.failure = Failure{reason, subject, std::string()};
    return false;
}

}  // namespace

bool OpenPack(AppState& app, const char* path) {
    UnloadPack(app);
    app.failure.Clear();
    app.redemptionPacks.Release();
    app.bloodlinesPacks.Release();
    app.gameType = kGameNone;

    std::string chosen(path);
    ToBackslashes(&chosen[0]);
    uint32_t nameAt = NameOffset(chosen.c_str());
    std::string dir = nameAt > 0 ? chosen.substr(0, nameAt - 1) : std::string();
    if (nameAt == 1) dir = "\\";
    if (!dir.empty() && !SetCurrentDir(dir.c_str())) return Fail(app, path, Reason::NotFound);
    // The scan runs in the data folder itself, so a relative folder must not
    // be looked up a second time below it.
    std::string here = GetCurrentDir();
    ForgetFolderListings();
    app.packList.Reset();
    app.viewer.ClearSkeleton();

    uint32_t extAt = ExtensionOffset(chosen.c_str() + nameAt);
    if (extAt == 0) return Fail(app, path, Reason::UnknownPackKind);
    const char* ext = chosen.c_str() + nameAt + extAt;
    std::string lower = AsciiLowered(ext);

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
    if (lower != ".nob" && lower != ".vpk") return Fail(app, path, Reason::UnknownPackKind);
    if (!scanned) {
        app.gameType = kGameNone;
        return Fail(app, path, Reason::NoPackListed);
    }
    // The chosen file itself is checked: one that is there but not a pack
    // must not quietly give way to another pack of the folder (one that is
    // not there does: the folder's first pack is shown).
    const char* name = chosen.c_str() + nameAt;
    FileHandle pack;
    Reason bad = !pack.Open(name) ? Reason::None
                 : app.gameType == kGameRedemption ? CheckNobPack(pack)
                                                   : CheckVpkPack(pack);
    pack.Close();
    // Either way the game type stays: the folder's other packs are listed
    // and indexed, and the pack list can still load one of them.
    if (bad != Reason::None) return Fail(app, path, bad);
    if (!LoadPack(app, name)) {
        app.failure.subject = path;
        return false;
    }
    return true;
}

bool LoadPack(AppState& app, const std::string& wanted) {
    UnloadPack(app);
    app.failure.Clear();
    std::string name = wanted;
    int32_t pos = app.packList.FindExact(name);
    if (pos < 0) {
        if (app.packList.Count() == 0) return Fail(app, name, Reason::NoPackListed);
        app.packList.SetSel(0);
        name = app.packList.GetText(0);
    } else {
        app.packList.SetSel(pos);
        name = app.packList.GetText(pos);
    }
    pos = app.packList.GetSel();
    if (pos < 0) return Fail(app, name, Reason::NotFound);
    FileHandle pack;
    if (!pack.Open(name.c_str())) return Fail(app, name, Reason::CannotRead);
    // Said once, here: the scan lists such a file and the index skips it.
    Reason bad = app.gameType == kGameRedemption ? CheckNobPack(pack) : CheckVpkPack(pack);
    if (bad != Reason::None) return Fail(app, name, bad);
    if (app.gameType == kGameRedemption)
        app.listedFiles = BuildNobTree(app.redemptionPacks, pack, pos, &app.progressHooks, app.tree);
    else if (app.gameType == kGameBloodlines)
        app.listedFiles = BuildVpkTree(app.bloodlinesPacks, pack, pos, &app.progressHooks, app.tree);
    else
        return Fail(app, name, Reason::UnknownPackKind);
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
