#include "tools/SampleData.h"

#include <filesystem>
#include <system_error>

namespace {

std::string Lines(const std::string& title, int count) {
    std::string text = "// " + title + "\r\n";
    for (int i = 1; i <= count; ++i) text += "\t\"line\"\t" + std::to_string(i) + "\t\"" + title + "\"\r\n";
    return text;
}

SampleGame Redemption() {
    SampleGame g;
    g.folder = "redemption";
    g.packs.push_back({"data.nob",
                       {
                           {"Dialog/", ""},
                           {"Dialog/Intro.NCO", Lines("intro dialog", 12)},
                           {"Dialog/Town/Elder.npc", Lines("the elder", 30)},
                           {"Scripts/Quest/Main.scr", Lines("main quest", 40)},
                           {"Config/Game.cfg", "difficulty=2\r\nsubtitles=1\r\n"},
                           {"Motions/Walk.NMS", Lines("walk cycle", 8)},
                           {"shared/Common.txt", "from data.nob: the first listed pack wins\r\n"},
                           {"Loose/Override.txt", "packed text: a loose file replaces it\r\n"},
                           {"README.TXT", "Sample Redemption data made by quillon-sample.\r\n"},
                       }});
    g.packs.push_back({"patch.nob",
                       {
                           {"SHARED/common.TXT", "from patch.nob: hidden by data.nob\r\n"},
                           {"Patch/", ""},
                           {"Patch/Notes.txt", Lines("patch notes", 5)},
                           {"Scripts\\Quest\\Side.scr", Lines("side quest", 20)},
                       }});
    g.loose.push_back({"loose/override.txt", "loose text: read in place of the packed file\r\n"});
    return g;
}

SampleGame Bloodlines() {
    SampleGame g;
    g.folder = "bloodlines";
    g.packs.push_back({"pack000.vpk",
                       {
                           {"dlg/Hollywood/Isaac.dlg", Lines("isaac", 25)},
                           {"dlg/main characters/Regent.dlg", Lines("regent", 25)},
                           {"vdata/System/Strings.txt", Lines("strings", 60)},
                           {"scripts/Intro.lst", "intro.vcd\nhaven.vcd\n"},
                           {"cfg/autoexec.cfg", "// packed autoexec\nbind F5 quicksave\n"},
                           {"shared/common.txt", "from pack000.vpk: the first listed pack wins\n"},
                           {"Readme.txt", "Sample Bloodlines data made by quillon-sample.\n"},
                       }});
    g.packs.push_back({"pack001.vpk",
                       {
                           {"Shared/Common.TXT", "from pack001.vpk: hidden by pack000.vpk\n"},
                           {"python/Vamputil.RAD", Lines("vamputil", 15)},
                           {"vdata/hackterminals/Haven_PC.txt", Lines("haven pc", 10)},
                       }});
    g.loose.push_back({"cfg/autoexec.cfg", "// loose autoexec: read in place of the packed one\nbind F9 quickload\n"});
    return g;
}

}  // namespace

std::vector<SampleGame> SampleGames() { return {Redemption(), Bloodlines()}; }

bool WriteSampleData(const std::string& root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const SampleGame& g : SampleGames()) {
        fs::path folder = fs::path(root) / g.folder;
        fs::create_directories(folder, ec);
        if (ec) return false;
        for (const SamplePack& p : g.packs) {
            bool nob = p.fileName.size() > 4 && p.fileName.substr(p.fileName.size() - 4) == ".nob";
            std::string bytes = nob ? BuildNob(p.files) : BuildVpk(p.files);
            if (!WriteWholeFile((folder / p.fileName).string(), bytes)) return false;
        }
        for (const PackFile& f : g.loose) {
            fs::path target = folder / fs::path(f.name);
            fs::create_directories(target.parent_path(), ec);
            if (ec || !WriteWholeFile(target.string(), f.data)) return false;
        }
    }
    return true;
}
