// The new output formats against the ones they stand beside, on the real
// game files (../shared/realdata):
//
//   models:   a pack holding COPIES copies of every real model, each copy
//             in a folder of its own below one folder, with their
//             materials; that folder exported as binary glTF ("Extract
//             Model (glTF)": the rigged models with their skins and every
//             animation) against DirectX .x with Targa textures ("Extract
//             Model (D3d.x)"). Target: .glb at most 1.5 times .x. With COPIES 1 every texture is encoded once per
//             model; with more, copies share their textures as the models
//             of a game folder do, and each is encoded once per extraction.
//   pictures: a pack of every real texture pair, COPIES times, exported as
//             PNG against Targa. Target: PNG at most 2 times Targa. A third
//             line times the PNG encoding alone of the same pictures,
//             decoded beforehand, against the whole Targa export: with no
//             reading, decoding or writing left to save, PNG export costs
//             at least 1 + that ratio times Targa.
//
// In-process (the extraction walk of the pop-up menu), best of ROUNDS runs
// each, outputs removed between runs, below TMPDIR. Times are the process's
// CPU time (user and system): on a machine shared with other work, wall
// time measures the neighbours as much as the code.
// usage: bench_formats [COPIES] [ROUNDS]
#include "extract/Extract.h"
#include "pack/GameFiles.h"
#include "session/AppState.h"
#include "session/Operations.h"
#include "texture/LoadImage.h"
#include "texture/Png.h"
#include "tools/PackWriter.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool Add(std::vector<PackFile>& files, const fs::path& real, const std::string& path, const std::string& as) {
    std::string data;
    if (!ReadWholeFile((real / path).string(), data)) return false;
    files.push_back({as, data});
    return true;
}

// Best wall time of command over the pack's tree, top-level items in turn.
double Best(AppState& app, uint32_t command, const fs::path& out, int rounds, ExtractReport& report) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        fs::remove_all(out);
        app.extraction.outputFolder = out.string();
        app.extraction.report.Clear();
        double start = CpuSeconds();
        for (TreeItem item = app.tree.FirstTopLevel(); item != kNoItem; item = app.tree.NextSibling(item))
            RunExtraction(app, item, command);
        best = std::min(best, CpuSeconds() - start);
    }
    report = app.extraction.report;
    fs::remove_all(out);
    return best;
}

// Gives the time of theirs (negative when the pack cannot be opened).
double Compare(const fs::path& pack, uint32_t ours, uint32_t theirs, const char* what, double target, int rounds,
               const fs::path& work) {
    AppState app;
    if (!OpenPack(app, pack.string().c_str())) {
        std::fprintf(stderr, "bench_formats: cannot open %s\n", pack.string().c_str());
        return -1;
    }
    ExtractReport a, b;
    double tNew = Best(app, ours, work / "out", rounds, a);
    double tOld = Best(app, theirs, work / "out", rounds, b);
    double ratio = tNew / tOld;
    std::printf("%-9s new %.3f s (written %u, failed %u)  old %.3f s (written %u, failed %u)  ratio %.2f  target <= %.1f  %s\n",
                what, tNew, a.written, a.failed, tOld, b.written, b.failed, ratio, target, ratio <= target ? "ok" : "MISSED");
    return tOld;
}

// Best CPU time of encoding every picture as PNG copies times (in memory),
// the pictures decoded beforehand from their files.
double EncodeOnly(const std::vector<PackFile>& files, int copies, int rounds, size_t& encoded) {
    MemoryFiles memory;
    for (const PackFile& f : files) memory.Add(f.name, std::vector<uint8_t>(f.data.begin(), f.data.end()));
    GameFiles game;
    game.gameType = kGameBloodlines;
    game.memory = &memory;
    std::vector<Image32> images;
    for (const PackFile& f : files) {
        if (fs::path(f.name).extension() != ".ttz") continue;
        FileEntry key = {};
        f.name.copy(key.name, sizeof key.name - 1);
        Image32 image = Image32{};
        if (LoadImage(game, MessageSeam{}, key, image, nullptr).loaded)
            images.push_back(image);
        else
            image.Release();
    }
    double best = 1e9;
    std::vector<uint8_t> png;
    for (int r = 0; r < rounds; ++r) {
        encoded = 0;
        double start = CpuSeconds();
        for (int c = 0; c < copies; ++c)
            for (const Image32& image : images) encoded += EncodePng(image, png) ? 1 : 0;
        best = std::min(best, CpuSeconds() - start);
    }
    for (Image32& image : images) image.Release();
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int copies = argc > 1 ? std::atoi(argv[1]) : 20;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    fs::path real = fs::path(QUILLON_REALDATA) / "bloodlines";
    if (!fs::exists(real / "models")) {
        std::fprintf(stderr, "bench_formats: no real data at %s\n", real.string().c_str());
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    fs::path work = fs::path(tmp != nullptr ? tmp : "/tmp") / ("quillon-bench-formats-" + std::to_string(getpid()));
    fs::create_directories(work / "models");
    fs::create_directories(work / "pictures");

    std::vector<PackFile> models, pictures, onePicture;
    for (const auto& e : fs::recursive_directory_iterator(real / "materials")) {
        if (!e.is_regular_file()) continue;
        std::string path = fs::relative(e.path(), real).generic_string();
        Add(models, real, path, path);
        if (e.path().extension() != ".tth" && e.path().extension() != ".ttz") continue;
        Add(onePicture, real, path, path);
        for (int c = 0; c < copies; ++c) Add(pictures, real, path, "copies/" + std::to_string(c) + "/" + path);
    }
    std::vector<std::string> stems;
    for (const auto& e : fs::recursive_directory_iterator(real / "models"))
        if (e.path().extension() == ".mdl") stems.push_back(fs::relative(e.path(), real).replace_extension().generic_string());
    std::sort(stems.begin(), stems.end());
    for (int c = 0; c < copies; ++c)
        for (const std::string& stem : stems)
            for (const char* ext : {".mdl", ".dx80.vtx"}) {
                std::string path = stem + ext;
                Add(models, real, path, "copies/" + std::to_string(c) + "/" + path);
            }
    WriteWholeFile((work / "models/pack000.vpk").string(), BuildVpk(models));
    WriteWholeFile((work / "pictures/pack000.vpk").string(), BuildVpk(pictures));

    std::printf("%d copies of %zu models, best of %d\n", copies, stems.size(), rounds);
    double x = Compare(work / "models/pack000.vpk", kExtractModelsGltf, kExtractModels, ".glb/.x", 1.5, rounds, work);
    double tga = Compare(work / "pictures/pack000.vpk", kExtractTexturesPng, kExtractTextures, "png/tga", 2.0, rounds, work);
    fs::remove_all(work);
    if (x < 0 || tga < 0) return 1;
    size_t encoded = 0;
    double encode = EncodeOnly(onePicture, copies, rounds, encoded);
    std::printf("png encoding alone %.3f s (%zu pictures)  = %.2f x the Targa export\n", encode, encoded, encode / tga);
    return 0;
}
