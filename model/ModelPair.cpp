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

// The strip files of one model differ by the card they were made for
// (".dx80", ".dx90", ".sw", ".dx7_2bone", ".xbox"): NAME.VARIANT.vtx. Only
// these are cut, so a model named "wineglass.mdl_female" keeps its own dot.
bool IsStripVariant(const std::string& s, size_t from, size_t to) {
    std::string v;
    for (size_t i = from; i < to; ++i) v += AsciiLower(s[i]);
    if (v == "sw" || v == "xbox") return true;
    return v.size() > 2 && v[0] == 'd' && v[1] == 'x' && std::isdigit(static_cast<unsigned char>(v[2]));
}

}  // namespace

size_t NameStart(const std::string& path) { return FileNameStart(path); }

std::string ModelStemPath(const std::string& path) {
    size_t name = NameStart(path);
    if (EndsWithIgnoringCase(path, name, ".vtx")) {
        size_t end = path.size() - 4;
        size_t dot = path.rfind('.', end == 0 ? 0 : end - 1);
        if (dot != std::string::npos && dot >= name && dot < end && IsStripVariant(path, dot + 1, end))
            return path.substr(0, dot);
        return path.substr(0, end);
    }
    for (const char* known : {".mdl", ".phy"})
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
