// quillon-sample: writes the sample game data folders below a folder.
#include "tools/SampleData.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: quillon-sample DIR\n"
                             "Writes DIR/redemption (*.nob) and DIR/bloodlines (*.vpk) sample data folders.\n");
        return 2;
    }
    if (!WriteSampleData(argv[1])) {
        std::fprintf(stderr, "quillon-sample: cannot write below %s\n", argv[1]);
        return 1;
    }
    return 0;
}
