// A .glb as our export writes it, read back (and edited) without our own
// reader: its JSON, and its binary chunk with the accessors tightly packed.
#pragma once

#include "pack/FileHandle.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

struct Glb {
    using Json = nlohmann::json;
    Json json;
    std::string bin;

    Glb() = default;
    explicit Glb(const std::string& bytes) { EXPECT_TRUE(Parse(bytes)); }
    // Whether f is a whole .glb: its header, its JSON chunk, its binary chunk.
    bool Parse(const std::string& f) {
        uint32_t word[5];
        if (f.size() < 20) return false;
        std::memcpy(word, f.data(), 20);
        if (word[0] != 0x46546C67 || word[1] != 2 || word[2] != f.size() || word[4] != 0x4E4F534A) return false;
        json = Json::parse(f.substr(20, word[3]), nullptr, false);
        size_t at = 20 + size_t(word[3]);
        if (json.is_discarded() || at + 8 > f.size()) return false;
        uint32_t binSize;
        std::memcpy(&binSize, f.data() + at, 4);
        bin = f.substr(at + 8, binSize);
        return bin.size() == binSize;
    }
    bool Read(const std::string& path) {
        std::string f;
        return ReadWholeFile(path, f) && Parse(f);
    }
    std::string Bytes() const {
        std::string text = json.dump();
        while (text.size() % 4 != 0) text += ' ';
        std::string out(12, '\0');
        auto put = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
        put(uint32_t(text.size()));
        put(0x4E4F534A);
        out += text;
        put(uint32_t(bin.size()));
        put(0x004E4942);
        out += bin;
        uint32_t head[3] = {0x46546C67, 2, uint32_t(out.size())};
        std::memcpy(&out[0], head, 12);
        return out;
    }

    // Where accessor a's data starts in the binary chunk.
    size_t Start(size_t a) const {
        return json["bufferViews"][json["accessors"][a]["bufferView"].get<size_t>()]["byteOffset"].get<size_t>();
    }
    std::vector<float> Floats(size_t a) const {
        const std::map<std::string, size_t> widths = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
        const Json& accessor = json["accessors"][a];
        std::vector<float> out(accessor["count"].get<size_t>() * widths.at(accessor["type"].get<std::string>()));
        std::memcpy(out.data(), bin.data() + Start(a), out.size() * 4);
        return out;
    }
    // Whole numbers of any width: indices, joints, weights.
    std::vector<uint32_t> Indices(size_t a) const {
        const Json& accessor = json["accessors"][a];
        std::vector<uint32_t> out(accessor["count"].get<size_t>() * (accessor["type"] == "VEC4" ? 4 : 1));
        for (size_t i = 0; i < out.size(); ++i) {
            uint16_t small;
            if (accessor["componentType"] == 5121)
                out[i] = uint8_t(bin[Start(a) + i]);
            else if (accessor["componentType"] == 5123)
                std::memcpy(&small, bin.data() + Start(a) + 2 * i, 2), out[i] = small;
            else
                std::memcpy(&out[i], bin.data() + Start(a) + 4 * i, 4);
        }
        return out;
    }

    size_t Triangles() const {
        size_t n = 0;
        for (const Json& mesh : json["meshes"])
            for (const Json& p : mesh["primitives"]) n += json["accessors"][p["indices"].get<size_t>()]["count"].get<size_t>() / 3;
        return n;
    }
    // The triangles with different corners in each primitive: a mesh in
    // Blender holds one face per set of corners, so it keeps one of a
    // triangle drawn twice.
    size_t DistinctTriangles() const {
        size_t n = 0;
        for (const Json& mesh : json["meshes"])
            for (const Json& p : mesh["primitives"]) {
                std::vector<uint32_t> idx = Indices(p["indices"].get<size_t>());
                std::set<std::array<uint32_t, 3>> seen;
                for (size_t t = 0; t + 2 < idx.size(); t += 3) {
                    std::array<uint32_t, 3> corners = {idx[t], idx[t + 1], idx[t + 2]};
                    std::sort(corners.begin(), corners.end());
                    seen.insert(corners);
                }
                n += seen.size();
            }
        return n;
    }

    Json& Primitive(size_t mesh) { return json["meshes"][mesh]["primitives"][0]; }
    size_t Attribute(size_t mesh, const char* name) { return Primitive(mesh)["attributes"][name].get<size_t>(); }
    // Where component c of element i of a VEC2 or VEC3 accessor lies.
    size_t At(size_t a, size_t i, int c) const {
        return Start(a) + i * (json["accessors"][a]["type"] == "VEC3" ? 12 : 8) + 4 * c;
    }
    float Get(size_t a, size_t i, int c) const {
        float v;
        std::memcpy(&v, bin.data() + At(a, i, c), 4);
        return v;
    }
    void Set(size_t a, size_t i, int c, float v) { std::memcpy(&bin[At(a, i, c)], &v, 4); }
    // New 16-bit indices for mesh, in a view of their own at the end.
    void SetIndices(size_t mesh, const std::vector<uint32_t>& indices) {
        while (bin.size() % 4 != 0) bin += '\0';
        json["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", 2 * indices.size()}});
        for (uint32_t i : indices) bin.append(reinterpret_cast<const char*>(&i), 2);  // little-endian: the low half
        while (bin.size() % 4 != 0) bin += '\0';
        json["buffers"][0]["byteLength"] = bin.size();
        json["accessors"].push_back({{"bufferView", json["bufferViews"].size() - 1}, {"componentType", 5123},
                                     {"count", indices.size()}, {"type", "SCALAR"}});
        Primitive(mesh)["indices"] = json["accessors"].size() - 1;
    }
    // The file's vertex of mesh that carries model vertex n.
    size_t VertexOf(size_t mesh, uint32_t n) const {
        size_t map = json["meshes"][mesh]["primitives"][0]["attributes"]["TEXCOORD_1"].get<size_t>();
        for (size_t i = 0; i < json["accessors"][map]["count"].get<size_t>(); ++i)
            if (Get(map, i, 0) == float(n)) return i;
        ADD_FAILURE() << "no vertex " << n << " in mesh " << mesh;
        return 0;
    }
};
