// quillon-sample: writes the sample game data folders below a folder, or
// packs chosen files of a folder into one pack (for tests on real files).
#include "tools/PackWriter.h"
#include "tools/SampleData.h"

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: quillon-sample DIR\n"
    "       quillon-sample --pack OUT.vpk|OUT.nob ROOT PATH...\n"
    "Writes DIR/redemption (*.nob) and DIR/bloodlines (*.vpk) sample data folders,\n"
    "or packs the files ROOT/PATH into OUT under their PATHs.\n";

int Pack(int argc, char** argv) {
    std::vector<PackFile> files;
    for (int i = 2; i < argc; ++i) {
        PackFile f{argv[i], {}};
        if (!ReadWholeFile(std::string(argv[1]) + "/" + argv[i], f.data)) {
            std::fprintf(stderr, "quillon-sample: cannot read %s/%s\n", argv[1], argv[i]);
            return 1;
        }
        files.push_back(f);
    }
    std::string out = argv[0];
    bool nob = out.size() > 4 && out.compare(out.size() - 4, 4, ".nob") == 0;
    if (!WriteWholeFile(out, nob ? BuildNob(files) : BuildVpk(files))) {
        std::fprintf(stderr, "quillon-sample: cannot write %s\n", argv[0]);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--pack") == 0) return Pack(argc - 2, argv + 2);
    if (argc != 2 || argv[1][0] == '-') return std::fputs(kUsage, stderr), 2;
    if (!WriteSampleData(argv[1])) {
        std::fprintf(stderr, "quillon-sample: cannot write below %s\n", argv[1]);
        return 1;
    }
    return 0;
}
