#include "tools/MapWriter.h"

#include "tools/PackWriter.h"

namespace {

void AppendLE16(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8 & 0xFF);
}

}  // namespace

std::string BuildBsp(int32_t version, int32_t revision, const std::vector<std::pair<uint32_t, std::string>>& lumps) {
    std::string header = "VBSP";
    AppendLE32(header, uint32_t(version));
    std::string directory(64 * 16, '\0'), body;
    for (const auto& [index, bytes] : lumps) {
        std::string entry;
        AppendLE32(entry, uint32_t(1036 + body.size()));
        AppendLE32(entry, uint32_t(bytes.size()));
        directory.replace(16 * index, 8, entry);
        body += bytes;
    }
    header += directory;
    AppendLE32(header, uint32_t(revision));
    return header + body;
}

std::string BuildZip(const std::vector<std::pair<std::string, std::string>>& files, const std::string& comment) {
    std::string out, directory;
    for (const auto& [name, data] : files) {
        uint32_t at = uint32_t(out.size());
        // Local header: signature, version 10, flags, method 0 (stored),
        // time, date, crc (left 0: we never unpack), sizes, name length,
        // extra length.
        AppendLE32(out, 0x04034b50);
        AppendLE16(out, 10), AppendLE16(out, 0), AppendLE16(out, 0), AppendLE16(out, 0), AppendLE16(out, 0);
        AppendLE32(out, 0), AppendLE32(out, uint32_t(data.size())), AppendLE32(out, uint32_t(data.size()));
        AppendLE16(out, uint32_t(name.size())), AppendLE16(out, 0);
        out += name + data;
        AppendLE32(directory, 0x02014b50);
        AppendLE16(directory, 10), AppendLE16(directory, 10), AppendLE16(directory, 0), AppendLE16(directory, 0);
        AppendLE16(directory, 0), AppendLE16(directory, 0);
        AppendLE32(directory, 0), AppendLE32(directory, uint32_t(data.size())), AppendLE32(directory, uint32_t(data.size()));
        AppendLE16(directory, uint32_t(name.size())), AppendLE16(directory, 0), AppendLE16(directory, 0);
        AppendLE16(directory, 0), AppendLE16(directory, 0), AppendLE32(directory, 0), AppendLE32(directory, at);
        directory += name;
    }
    uint32_t directoryAt = uint32_t(out.size());
    out += directory;
    AppendLE32(out, 0x06054b50);
    AppendLE16(out, 0), AppendLE16(out, 0);
    AppendLE16(out, uint32_t(files.size())), AppendLE16(out, uint32_t(files.size()));
    AppendLE32(out, uint32_t(directory.size())), AppendLE32(out, directoryAt);
    AppendLE16(out, uint32_t(comment.size()));
    return out + comment;
}
