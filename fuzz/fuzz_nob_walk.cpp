#include "FuzzPack.h"
#include "pack/NobPack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string pack = FuzzFolder() + "/fuzz.nob";
    WriteFuzzPack(pack, data, size);
    CwdRestorer cwd;
    // One application record for the whole run, as in the program: every
    // opening refills it.
    static AppState app;
    if (!OpenPack(app, pack.c_str())) return 0;
    ReadEveryEntry<NobWalk, NobEntry>(app, "fuzz.nob", static_cast<uint32_t>(size));
    FileHandle f;
    LocateInNob(f, "fuzz.nob", "a\\b.txt");
    return 0;
}
