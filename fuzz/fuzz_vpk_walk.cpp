#include "FuzzPack.h"
#include "pack/VpkPack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string pack = FuzzFolder() + "/fuzz.vpk";
    WriteFuzzPack(pack, data, size);
    CwdRestorer cwd;
    // One application record for the whole run, as in the program: every
    // opening refills it.
    static AppState app;
    if (!OpenPack(app, pack.c_str())) return 0;
    ReadEveryEntry<VpkWalk, VpkEntry>(app, "fuzz.vpk", static_cast<uint32_t>(size));
    FileHandle f;
    LocateInVpk(f, "fuzz.vpk", "a\\b.txt");
    return 0;
}
