// Reading every file of a pack by path, against reading the pack file once
// from start to end (the floor no reader can beat).
//
// For each format it writes a pack of N files (default 20,000) whose sizes are
// spread log-uniformly from 64 bytes to 256 KiB (mean about 32 KiB, median
// about 4 KiB; the real game data we have measures 33 KiB mean, 292 bytes
// median), opens it as the program does, warms the page cache, then times
//   read-all: OpenGameFile + FileHandle::ReadAll for every file, in directory order
//   floor:    one sequential read of the whole pack file in 1 MiB blocks
// and prints the best of several rounds of each and their ratio.
//
// usage: bench_read [FILES] [ROUNDS]
#include "pack/FileHandle.h"
#include "session/AppState.h"
#include "bench/BenchFiles.h"
#include "tools/PackWriter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double ReadSequentially(const std::string& path, uint64_t& bytes) {
    static std::vector<char> block(1 << 20);
    auto start = Clock::now();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return -1;
    std::setvbuf(f, nullptr, _IONBF, 0);
    bytes = 0;
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), f)) > 0) bytes += got;
    std::fclose(f);
    return Seconds(start);
}

double ReadEveryFile(AppState& app, const std::vector<PackFile>& files, uint64_t& bytes) {
    auto start = Clock::now();
    bytes = 0;
    for (const PackFile& pf : files) {
        FileEntry key = {};
        std::memcpy(key.name, pf.name.data(), pf.name.size());
        FileHandle f;
        uint32_t size = OpenGameFile(app.Files(), f, key, 1);
        auto data = f.ReadAll(size);
        if (size == 0 || !data) {
            std::fprintf(stderr, "bench_read: cannot read %s\n", pf.name.c_str());
            std::exit(1);
        }
        bytes += size;
    }
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (count <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_read [FILES] [ROUNDS]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("quillon-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string home = GetCurrentDir();
    std::vector<PackFile> files = MakeBenchFiles(count, 256.0 * 1024, 20261206);
    int status = 0;

    for (const char* ext : {".vpk", ".nob"}) {
        std::string pack = (dir / (std::string("pack000") + ext)).string();
        if (!WriteWholeFile(pack, ext[1] == 'v' ? BuildVpk(files) : BuildNob(files))) {
            std::fprintf(stderr, "bench_read: cannot write %s\n", pack.c_str());
            return 1;
        }
        AppState app;
        auto openStart = Clock::now();
        if (!OpenPack(app, pack.c_str())) {
            std::fprintf(stderr, "bench_read: cannot open %s\n", pack.c_str());
            return 1;
        }
        double openTime = Seconds(openStart);
        uint64_t floorBytes = 0, readBytes = 0;
        ReadSequentially(pack, floorBytes);  // warm the page cache
        ReadEveryFile(app, files, readBytes);
        double bestFloor = 1e9, bestRead = 1e9;
        for (int r = 0; r < rounds; ++r) {
            bestFloor = std::min(bestFloor, ReadSequentially(pack, floorBytes));
            bestRead = std::min(bestRead, ReadEveryFile(app, files, readBytes));
        }
        double ratio = bestRead / bestFloor;
        std::printf("%s: %d files, %.1f MiB of data, pack %.1f MiB; open+index %.3f s\n", ext, count,
                    readBytes / 1048576.0, floorBytes / 1048576.0, openTime);
        std::printf("%s: read-all %.3f s, floor %.3f s, ratio %.2f (target <= 2)\n", ext, bestRead, bestFloor, ratio);
        if (ratio > 2.0) status = 1;
        SetCurrentDir(home.c_str());
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
