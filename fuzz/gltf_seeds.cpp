// Seeds for fuzz_gltf: our own export of the models it drops its input on,
// as .glb and as .gltf text with the buffer in a data URI, and the .glb
// without the vertex map (matched by triangle order). Writes them into the
// folder named by the argument.
#include "WriteBackModels.h"
#include "model/GltfExport.h"
#include "session/AppState.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>

namespace {

// The .glb's JSON and binary chunk.
bool Split(const std::string& glb, nlohmann::json& json, std::string& bin) {
    if (glb.size() < 28) return false;
    uint32_t length = 0, binLength = 0;
    std::memcpy(&length, glb.data() + 12, 4);
    if (28 + uint64_t(length) > glb.size()) return false;
    json = nlohmann::json::parse(glb.substr(20, length), nullptr, false);
    std::memcpy(&binLength, glb.data() + 20 + length, 4);
    bin = glb.substr(28 + length, binLength);
    return !json.is_discarded();
}

std::string Base64(const std::string& in) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        size_t have = in.size() - i < 3 ? in.size() - i : 3;
        uint32_t n = uint32_t(uint8_t(in[i])) << 16 | (have > 1 ? uint32_t(uint8_t(in[i + 1])) << 8 : 0) |
                     (have > 2 ? uint8_t(in[i + 2]) : 0);
        for (size_t k = 0; k < 4; ++k) out += k <= have ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gltf_seeds FOLDER\n");
        return 2;
    }
    // The pack lies beside the corpus, not in it.
    std::string out = argv[1], data = out + "-data";
    std::filesystem::create_directories(data);
    if (!WriteWholeFile(data + "/pack000.vpk", BuildVpk(WriteBackFuzzModels()))) return 1;
    AppState app;
    if (!OpenPack(app, (data + "/pack000.vpk").c_str())) return 1;
    app.extraction.outputFolder = data + "/out";
    bool ok = true;
    for (const char* name : {"m", "p"}) {
        FileEntry key = {};
        std::snprintf(key.name, sizeof key.name, "models/f/%s.mdl", name);
        std::string glb, bin;
        nlohmann::json json;
        ok = ok && ExportModelAsGltf(app.Export(), key) &&
             ReadWholeFile(data + "/out/models/f/" + name + ".glb", glb) && Split(glb, json, bin);
        if (!ok) break;
        ok = WriteWholeFile(out + "/" + name + ".glb", glb);
        json["buffers"][0]["uri"] = "data:application/octet-stream;base64," + Base64(bin);
        ok = ok && WriteWholeFile(out + "/" + name + ".gltf", json.dump());
        // An older export's form: no vertex map.
        std::string plain = glb, marker = "\"TEXCOORD_1\"";
        for (size_t at; (at = plain.find(marker)) != std::string::npos;) plain.replace(at, marker.size(), "\"TEXCOORD_9\"");
        ok = ok && WriteWholeFile(out + "/" + name + "-unmapped.glb", plain);
    }
    return ok ? 0 : 1;
}
