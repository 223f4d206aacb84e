// `quillon extract` and `quillon list` against tar, which is what a user
// would otherwise reach for.
//
//   extract: a generated pack of N files (default 20,000; sizes log-uniform
//            from 64 bytes to 256 KiB, as in bench_read) extracted whole with
//            `quillon extract PACK -o DIR`, against `tar -xf` of a tar of the
//            same files into a fresh folder. Target: at most 1.5 times tar.
//   list:    a pack of 100,000 small files (up to 256 bytes) listed with
//            `quillon list PACK`, against `tar -tf` of a tar of the same
//            names and contents. Target: at most 2 times tar.
//
// Both formats; best of ROUNDS runs each, outputs removed between runs. The
// files go below TMPDIR (a tmpfs such as /dev/shm measures the programs, a
// disk measures the file system as much).
// usage: bench_extract [FILES] [ROUNDS]
#include "bench/BenchFiles.h"
#include "tools/PackWriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Run(const std::string& command) {
    auto start = Clock::now();
    int rc = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (rc != 0) {
        std::fprintf(stderr, "bench_extract: failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds;
}

// Writes the files below dir and a tar of them (names relative to dir).
void WriteTar(const std::vector<PackFile>& files, const fs::path& dir, const fs::path& tar) {
    for (const PackFile& f : files) {
        fs::path p = dir / f.name;
        fs::create_directories(p.parent_path());
        WriteWholeFile(p.string(), f.data);
    }
    Run("tar -cf '" + tar.string() + "' -C '" + dir.string() + "' .");
    fs::remove_all(dir);
}

double Best(int rounds, const std::string& command, const fs::path& output) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        fs::remove_all(output);
        fs::create_directories(output);
        Run("sync");
        best = std::min(best, Run(command));
    }
    fs::remove_all(output);
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (count <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_extract [FILES] [ROUNDS]\n");
        return 2;
    }
    const std::string quillon = QUILLON_EXE;
    fs::path root = fs::temp_directory_path() / ("quillon-bench-x-" + std::to_string(::getpid()));
    fs::create_directories(root);
    int status = 0;

    std::vector<PackFile> files = MakeBenchFiles(count, 256.0 * 1024, 20261206);
    WriteTar(files, root / "staging", root / "files.tar");
    WriteWholeFile((root / "pack000.vpk").string(), BuildVpk(files));
    WriteWholeFile((root / "pack000.nob").string(), BuildNob(files));
    fs::path out = root / "out";
    // The three take turns, so that whatever the file system does over time
    // (ext4 slows down while it reuses many just-freed inodes) falls on all.
    const std::string commands[3] = {
        "tar -xf '" + (root / "files.tar").string() + "' -C '" + out.string() + "'",
        quillon + " extract '" + (root / "pack000.vpk").string() + "' -o '" + out.string() + "' 2>/dev/null",
        quillon + " extract '" + (root / "pack000.nob").string() + "' -o '" + out.string() + "' 2>/dev/null",
    };
    double best[3] = {1e9, 1e9, 1e9};
    for (int r = 0; r < rounds; ++r)
        for (int c = 0; c < 3; ++c) best[c] = std::min(best[c], Best(1, commands[c], out));
    for (int c = 1; c < 3; ++c) {
        double ratio = best[c] / best[0];
        std::printf("extract %s: %d files: quillon %.3f s, tar -xf %.3f s, ratio %.2f (target <= 1.5)\n",
                    c == 1 ? ".vpk" : ".nob", count, best[c], best[0], ratio);
        if (ratio > 1.5) status = 1;
    }
    fs::remove(root / "files.tar");
    fs::remove(root / "pack000.vpk");
    fs::remove(root / "pack000.nob");

    const int listed = 100000;
    std::vector<PackFile> many = MakeBenchFiles(listed, 256.0, 7);
    WriteTar(many, root / "staging", root / "many.tar");
    double tarList = 1e9;
    for (int r = 0; r < rounds; ++r)
        tarList = std::min(tarList, Run("tar -tf '" + (root / "many.tar").string() + "' > /dev/null"));
    for (const char* ext : {".vpk", ".nob"}) {
        fs::path pack = root / (std::string("many") + ext);
        WriteWholeFile(pack.string(), ext[1] == 'v' ? BuildVpk(many) : BuildNob(many));
        double t = 1e9;
        for (int r = 0; r < rounds; ++r) t = std::min(t, Run(quillon + " list '" + pack.string() + "' > /dev/null"));
        std::printf("list %s: %d files: quillon %.3f s, tar -tf %.3f s, ratio %.2f (target <= 2)\n", ext, listed, t,
                    tarList, t / tarList);
        if (t / tarList > 2.0) status = 1;
    }
    fs::remove_all(root);
    return status;
}
