// Writes the generated packs the index benchmarks open: FILES files with the
// regular names tools and mods produce (dirNN/subN/fileNNNNNNN.txt), spread
// round-robin over PACKS .vpk packs pack000.vpk, pack001.vpk, ... in DIR, and
// with --tar also DIR/names.tar, a tar of the same names and contents (what
// `tar -tf` is timed on). Each file holds its own name and a newline, so a
// `cat` shows which file was found. Packs and tar are streamed: a million
// files need no more memory than one entry.
//
// usage: make_scale_packs DIR FILES [PACKS] [--tar]
// Prints the name of the last file generated (the one a full index must
// still find).
#include "tools/PackWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string NameOf(uint32_t i) {
    char name[64];
    std::snprintf(name, sizeof name, "dir%02u/sub%u/file%07u.txt", i % 64, (i / 64) % 8, i);
    return name;
}

bool Put(FILE* f, const std::string& bytes) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); }

// One ustar header and the data padded to 512 bytes.
bool PutTarEntry(FILE* f, const std::string& name, const std::string& data) {
    char h[512] = {};
    std::memcpy(h, name.data(), name.size() < 100 ? name.size() : 99);
    std::snprintf(h + 100, 8, "%07o", 0644u);
    std::snprintf(h + 108, 8, "%07o", 0u);
    std::snprintf(h + 116, 8, "%07o", 0u);
    std::snprintf(h + 124, 12, "%011o", static_cast<unsigned>(data.size()));
    std::snprintf(h + 136, 12, "%011o", 0u);
    h[156] = '0';
    std::memcpy(h + 257, "ustar", 6);
    std::memcpy(h + 263, "00", 2);
    std::memset(h + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    std::snprintf(h + 148, 8, "%06o", sum);
    h[155] = ' ';
    std::string padded = data;
    padded.resize((data.size() + 511) / 512 * 512, '\0');
    return std::fwrite(h, 1, 512, f) == 512 && Put(f, padded);
}

bool WritePack(const std::string& path, uint32_t first, uint32_t step, uint32_t total) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::vector<uint32_t> offsets;
    uint32_t at = 0, n = 0;
    bool ok = true;
    for (uint32_t i = first; i < total && ok; i += step, ++n) {
        std::string data = NameOf(i) + "\n";
        offsets.push_back(at);
        ok = Put(f, data);
        at += static_cast<uint32_t>(data.size());
    }
    std::string dir;
    uint32_t k = 0;
    for (uint32_t i = first; i < total && ok; i += step, ++k) {
        std::string name = NameOf(i);
        AppendLE32(dir, static_cast<uint32_t>(name.size()));
        dir += name;
        AppendLE32(dir, offsets[k]);
        AppendLE32(dir, static_cast<uint32_t>(name.size() + 1));
        if (dir.size() > (1u << 20)) {
            ok = Put(f, dir);
            dir.clear();
        }
    }
    AppendLE32(dir, n);
    AppendLE32(dir, at);
    dir.push_back('\0');
    ok = ok && Put(f, dir);
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool tar = argc > 1 && std::strcmp(argv[argc - 1], "--tar") == 0;
    if (tar) --argc;
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: make_scale_packs DIR FILES [PACKS] [--tar]\n");
        return 2;
    }
    std::string dir = argv[1];
    long files = std::atol(argv[2]);
    long packs = argc > 3 ? std::atol(argv[3]) : 1;
    if (files <= 0 || files > 50000000 || packs <= 0 || packs > 100000) {
        std::fprintf(stderr, "make_scale_packs: FILES must be 1 to 50,000,000 and PACKS 1 to 100,000\n");
        return 2;
    }
    for (long p = 0; p < packs; ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "/pack%03ld.vpk", p);
        if (!WritePack(dir + name, uint32_t(p), uint32_t(packs), uint32_t(files))) {
            std::fprintf(stderr, "make_scale_packs: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }
    if (tar) {
        FILE* f = std::fopen((dir + "/names.tar").c_str(), "wb");
        bool ok = f != nullptr;
        for (uint32_t i = 0; ok && i < uint32_t(files); ++i) ok = PutTarEntry(f, NameOf(i), NameOf(i) + "\n");
        ok = ok && Put(f, std::string(1024, '\0'));
        if (f == nullptr || std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "make_scale_packs: cannot write %s/names.tar\n", dir.c_str());
            return 1;
        }
    }
    std::printf("%s\n", NameOf(uint32_t(files) - 1).c_str());
    return 0;
}
