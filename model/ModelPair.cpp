#include "model/ModelPair.h"

#include "pack/Ascii.h"

#include <cctype>
#include <cstring>

using namespace mdlformat;

namespace {

bool EndsWithIgnoringCase(const std::string& s, size_t from, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (s.size() - from < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(s[s.size() - n + i]) != suffix[i]) return false;
    return true;
}

}  // namespace

size_t NameStart(const std::string& path) { return FileNameStart(path); }

std::string ModelStemPath(const std::string& path) {
    size_t name = NameStart(path);
    // Longest first: ".dx80.vtx" before ".vtx".
    for (const char* known : {".dx80.vtx", ".dx90.vtx", ".sw.vtx", ".vtx", ".mdl", ".phy"})
        if (EndsWithIgnoringCase(path, name, known)) return path.substr(0, path.size() - std::strlen(known));
    size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? path : path.substr(0, dot);
}

bool ReadModelFile(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why) {
    p.mdlBytes = ReadGameFile(files, stemPath + ".mdl", p.mdl.size);
    if (!p.mdlBytes) return Fail(why, "the model file (.mdl) cannot be read");
    p.mdl.data = p.mdlBytes.get();
    return ReadTables(p.mdl, p.m, true, why) && DecodeVertices(p.mdl, p.m, p.vertices, why);
}

bool ReadModelPair(const GameFiles& files, const std::string& stemPath, ModelPair& p, std::string& why) {
    if (!ReadModelFile(files, stemPath, p, why)) return false;
    p.vtxBytes = ReadGameFile(files, stemPath + ".dx80.vtx", p.vtx.size);
    if (!p.vtxBytes) return Fail(why, "the strip file (.dx80.vtx) cannot be read");
    p.vtx.data = p.vtxBytes.get();
    return true;
}
