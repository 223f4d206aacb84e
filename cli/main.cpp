// quillon: the command-line front end over the same core as the Windows
// program. Every command that takes a PACK opens it as "Set Directory" does:
// the pack's folder becomes the data folder and the current directory.
#include "pack/FileHandle.h"
#include "pack/GameFiles.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kUsage[] =
    "usage: quillon COMMAND [ARGS]\n"
    "\n"
    "Browse and read the packs of Redemption (*.nob) and Bloodlines (*.vpk).\n"
    "A PACK's folder is the data folder: every pack of the same kind there is\n"
    "listed and indexed, and loose files below it win over packed ones.\n"
    "\n"
    "commands:\n"
    "  packs PACK       list the folder's packs: NUMBER<TAB>FILES<TAB>NAME\n"
    "  cat PACK PATH    write the bytes of game file PATH to standard output\n"
    "\n"
    "options:\n"
    "  --help           show this help (also: quillon COMMAND --help)\n"
    "  --version        show the version\n"
    "\n"
    "exit status: 0 success, 1 the work failed, 2 usage error\n";

const char kPacksUsage[] =
    "usage: quillon packs PACK\n"
    "\n"
    "Opens PACK and prints the pack list of its folder in list order (sorted by\n"
    "name ignoring case), one line per pack: the pack number, the number of\n"
    "files the pack holds, and its file name, separated by tabs.\n";

const char kCatUsage[] =
    "usage: quillon cat PACK PATH\n"
    "\n"
    "Opens PACK and writes the bytes of game file PATH to standard output.\n"
    "PATH is an in-pack path ('/' or '\\', any case); a loose file of that path\n"
    "below the data folder wins over the packed one.\n";

// Message boxes of the core become one line on stderr.
void PrintMessage(void*, const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

int UsageError(const char* text, const char* usage) {
    std::fprintf(stderr, "quillon: %s\n%s", text, usage);
    return 2;
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

// Opens the pack as the GUI's "Set Directory" does; says why on failure.
bool OpenPackOrSay(AppState& app, const char* pack) {
    app.message.show = PrintMessage;
    if (!FileExists(pack)) {
        std::fprintf(stderr, "quillon: %s: no such pack file\n", pack);
        return false;
    }
    std::string name(pack);
    size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : ext) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    if (ext != ".nob" && ext != ".vpk") {
        std::fprintf(stderr, "quillon: %s: not a pack (the name must end in .nob or .vpk)\n", pack);
        return false;
    }
    if (!OpenPack(app, pack)) {
        std::fprintf(stderr, "quillon: %s: no pack of its folder could be listed and indexed\n", pack);
        return false;
    }
    return true;
}

int Packs(int argc, char** argv) {
    if (WantsHelp(argc, argv)) return std::fputs(kPacksUsage, stdout), 0;
    if (argc != 1) return UsageError("packs takes one PACK", kPacksUsage);
    AppState app;
    if (!OpenPackOrSay(app, argv[0])) return 1;
    const PackCounts& counts = app.CurrentPacks();
    for (int32_t pos = 0; pos < app.packList.Count(); ++pos) {
        uint32_t files = static_cast<size_t>(pos) < counts.fileCounts.size() ? counts.fileCounts[pos] : 0;
        std::printf("%u\t%u\t%s\n", app.packList.GetItemData(pos), files, app.packList.GetText(pos).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Cat(int argc, char** argv) {
    if (WantsHelp(argc, argv)) return std::fputs(kCatUsage, stdout), 0;
    if (argc != 2) return UsageError("cat takes a PACK and a PATH", kCatUsage);
    AppState app;
    if (!OpenPackOrSay(app, argv[0])) return 1;
    const char* wanted = argv[1];
    FileEntry key = {};
    if (std::strlen(wanted) >= sizeof key.name) {
        std::fprintf(stderr, "quillon: %s: not found\n", wanted);
        return 1;
    }
    std::strcpy(key.name, wanted);
    FileHandle file;
    uint32_t size = OpenGameFile(app, file, key, 1);
    if (size == 0) {
        // Readers treat an empty file as absent; cat still tells an empty
        // file from a missing one.
        int32_t slot = app.fileIndex.files.Find(&key);
        bool empty = FileExists(wanted) ||
                     (slot >= 0 && app.fileIndex.places[static_cast<size_t>(slot)].size == 0);
        if (empty) return 0;
        std::fprintf(stderr, "quillon: %s: not found\n", wanted);
        return 1;
    }
    std::unique_ptr<uint8_t[]> bytes = file.ReadAll(size);
    if (!bytes) {
        std::fprintf(stderr, "quillon: %s: cannot read %u bytes\n", wanted, size);
        return 1;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.get(), 1, size, stdout) != size || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillon: writing standard output failed\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return UsageError("no command given", kUsage);
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") return std::fputs(kUsage, stdout), 0;
    if (command == "--version") return std::printf("quillon %s\n", QUILLON_VERSION), 0;
    if (command == "packs") return Packs(argc - 2, argv + 2);
    if (command == "cat") return Cat(argc - 2, argv + 2);
    return UsageError(("unknown command '" + command + "'").c_str(), kUsage);
}
