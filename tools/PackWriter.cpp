#include "tools/PackWriter.h"

#include <fstream>
#include <iterator>

void AppendLE32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string BuildNob(const std::vector<PackFile>& files) {
    std::string out;
    for (const PackFile& f : files) {
        // The first 22 header bytes are never read; fill them with something
        // that is not zero so a reader relying on them would show it.
        out.append(22, '\x5A');
        AppendLE32(out, static_cast<uint32_t>(f.data.size()));
        AppendLE32(out, static_cast<uint32_t>(f.name.size()));
        out += f.name;
        out += f.data;
    }
    return out;
}

std::string BuildVpk(const std::vector<PackFile>& files, uint8_t footerFlag) {
    std::string out;
    std::vector<uint32_t> offsets;
    for (const PackFile& f : files) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        out += f.data;
    }
    uint32_t directory = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < files.size(); ++i) {
        AppendLE32(out, static_cast<uint32_t>(files[i].name.size()));
        out += files[i].name;
        AppendLE32(out, offsets[i]);
        AppendLE32(out, static_cast<uint32_t>(files[i].data.size()));
    }
    AppendLE32(out, static_cast<uint32_t>(files.size()));
    AppendLE32(out, directory);
    out.push_back(static_cast<char>(footerFlag));
    return out;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}
