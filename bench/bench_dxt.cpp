// Decoding block-compressed textures: our DXT1 and DXT5 decoders against
// libsquish's DecompressImage on the same 2048 x 2048 levels of random
// blocks (every bit pattern is a valid block). Both write 4 bytes a pixel
// into a buffer allocated once; the best of several rounds of each is
// printed with their ratio (squish time / ours: above 1 means ours is faster).
//
// usage: bench_dxt [SIDE] [ROUNDS]
#include "texture/TextureFile.h"

#include <squish.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double BestSeconds(int rounds, F run) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        Clock::time_point start = Clock::now();
        run();
        double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (s < best) best = s;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t side = argc > 1 ? uint32_t(std::atoi(argv[1])) : 2048;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    if (side < 4 || side > 16384 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_dxt [SIDE 4..16384] [ROUNDS]\n");
        return 2;
    }
    struct Kind {
        const char* name;
        uint32_t format;
        int flags;
    } kinds[] = {{"DXT1", kTextureDxt1, squish::kDxt1}, {"DXT5", kTextureDxt5, squish::kDxt5}};
    std::mt19937 rng(20261206);
    std::vector<uint8_t> out(size_t(side) * side * 4);
    std::printf("%ux%u, best of %d rounds\n", side, side, rounds);
    for (const Kind& k : kinds) {
        uint64_t bytes = 0;
        TextureFrameBytes(k.format, side, side, bytes);
        std::vector<uint8_t> blocks(bytes);
        for (uint8_t& b : blocks) b = uint8_t(rng());
        unsigned checksum = 0;
        double ours = BestSeconds(rounds, [&] {
            if (!DecodeTexturePixels(k.format, blocks.data(), bytes, side, side, out.data())) std::exit(1);
            checksum += out[out.size() / 2];
        });
        double theirs = BestSeconds(rounds, [&] {
            squish::DecompressImage(out.data(), int(side), int(side), blocks.data(), k.flags);
            checksum += out[out.size() / 2];
        });
        double mpix = double(side) * side / 1e6;
        std::printf("%s  ours %7.2f ms (%6.0f Mpixel/s)  squish %7.2f ms (%6.0f Mpixel/s)  squish/ours %.2f  [%u]\n",
                    k.name, ours * 1e3, mpix / ours, theirs * 1e3, mpix / theirs, theirs / ours, checksum & 0xFF);
    }
    return 0;
}
