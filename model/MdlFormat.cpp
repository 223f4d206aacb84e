#include "model/MdlFormat.h"

#include <cmath>
#include <cstdio>

namespace mdlformat {

namespace {

const double kPi = 3.14159265358979323846;

// Both normal tables are rings of latitude from the -Z pole to the +Z pole;
// the entries of a ring are spaced evenly in azimuth from +X, counter-
// clockwise seen from +Z.
const uint16_t kRings8[] = {1, 8, 12, 20, 24, 24, 24, 24, 24, 20, 12, 8, 1};
const uint16_t kRings12[] = {1,   8,   16,  20,  28,  32,  40,  44,  52,  56,  60,  68,  72,  76,  84,  88,  92,
                             96,  100, 104, 108, 112, 116, 116, 120, 124, 124, 124, 128, 128, 128, 128, 128, 128,
                             128, 128, 128, 124, 124, 124, 120, 116, 116, 112, 108, 104, 100, 96,  92,  88,  84,
                             76,  72,  68,  60,  56,  52,  44,  40,  32,  28,  20,  16,  8,   1};

uint32_t VertexSize(uint32_t format) { return format == kPacked12 ? 12 : format == kPacked8 ? 8 : 44; }

// The highest quantised value of a packed layout, and the factor between
// it and the model's scale (the 8-byte layout's scale is the whole size,
// the 12-byte layout's is one step).
double Steps(uint32_t format) { return format == kPacked12 ? 65535.0 : 255.0; }
double StepSize(const MdlModel& model, int axis) {
    return model.format == kPacked12 ? double(model.scale[axis]) : double(model.scale[axis]) / 255.0;
}

bool ReadTextureTables(const Bytes& f, MdlLayout& m, std::string& why) {
    m.textureCount = f.U32(0x124);
    m.textureTable = f.U32(0x128);
    m.directoryCount = f.U32(0x12C);
    m.directoryTable = f.U32(0x130);
    if (!f.Has(m.textureTable, uint64_t(m.textureCount) * kTextureEntry))
        return Fail(why, "the texture table lies outside the file");
    for (uint32_t i = 0; i < m.textureCount; ++i) {
        uint64_t entry = m.textureTable + uint64_t(i) * kTextureEntry;
        if (CString(f, entry + f.U32(entry)) == nullptr) return Fail(why, "a texture name lies outside the file");
    }
    if (!f.Has(m.directoryTable, uint64_t(m.directoryCount) * 4))
        return Fail(why, "the texture directory table lies outside the file");
    for (uint32_t i = 0; i < m.directoryCount; ++i)
        if (CString(f, f.U32(m.directoryTable + 4 * uint64_t(i))) == nullptr)
            return Fail(why, "a texture directory lies outside the file");
    return true;
}

// One model record at rec; empty models (neither vertices nor meshes) are
// left out of the layout.
bool ReadModel(const Bytes& f, uint64_t rec, MdlModel& model, std::string& why) {
    if (!f.Has(rec, kModelFieldsRead)) return Fail(why, "a model record lies outside the file");
    model.meshCount = f.U32(rec + 0x88);
    model.meshTable = rec + f.U32(rec + 0x8C);
    model.vertexCount = f.U32(rec + 0x90);
    if (model.meshCount == 0 && model.vertexCount == 0) return true;
    uint32_t start = f.U32(rec + 0x94), end = f.U32(rec + 0x98);
    model.vertexArray = rec + start;
    model.format = f.U32(rec + 0x9C);
    if (model.format > kPacked8) {
        why = "unknown vertex format " + std::to_string(model.format) + " (0, 1 or 2 are known)";
        return false;
    }
    model.stride = VertexSize(model.format);
    for (int axis = 0; axis < 3; ++axis) {
        model.origin[axis] = model.format == kFloatVertices ? 0.0f : f.F32(rec + 0xA0 + 4 * axis);
        model.scale[axis] = model.format == kFloatVertices ? 1.0f : f.F32(rec + 0xAC + 4 * axis);
    }
    // The array runs up to the tangents; an end before the start wraps to
    // a huge length and fails too.
    if ((end - start) / model.stride != model.vertexCount) {
        why = "the vertex array does not hold " + std::to_string(model.vertexCount) + " vertices of " +
              std::to_string(model.stride) + " bytes (vertex format " + std::to_string(model.format) + ")";
        return false;
    }
    if (!f.Has(model.vertexArray, uint64_t(model.vertexCount) * model.stride))
        return Fail(why, "the vertex array lies outside the file");
    if (!f.Has(model.meshTable, uint64_t(model.meshCount) * kMeshEntry))
        return Fail(why, "the mesh table lies outside the file");
    return true;
}

// Every model of every body part, numbered into one mesh list and one
// vertex array.
bool ReadBodyParts(const Bytes& f, MdlLayout& m, std::string& why) {
    uint32_t partCount = f.U32(0x140);
    uint64_t parts = f.U32(0x144);
    if (!f.Has(parts, uint64_t(partCount) * kBodyPart)) return Fail(why, "the body part table lies outside the file");
    uint64_t meshes = 0, vertices = 0, bytes = 0;
    for (uint32_t b = 0; b < partCount; ++b) {
        uint64_t part = parts + uint64_t(b) * kBodyPart;
        uint32_t modelCount = f.U32(part + 4);
        uint64_t first = part + f.U32(part + 12);
        for (uint32_t i = 0; i < modelCount; ++i) {
            MdlModel model;
            if (!ReadModel(f, first + uint64_t(i) * kModelRecord, model, why)) return false;
            if (model.meshCount == 0 && model.vertexCount == 0) continue;
            model.bodyPart = b;
            model.index = i;
            model.firstMesh = uint32_t(meshes);
            model.firstVertex = uint32_t(vertices);
            meshes += model.meshCount;
            vertices += model.vertexCount;
            // Each model has tables of its own; body parts that share them
            // would multiply what is decoded without bound.
            bytes += uint64_t(model.vertexCount) * model.stride + uint64_t(model.meshCount) * kMeshEntry;
            if (bytes > f.size) return Fail(why, "the models' tables add up to more than the file");
            m.models.push_back(model);
        }
    }
    m.meshCount = uint32_t(meshes);
    m.vertexCount = uint32_t(vertices);
    if (meshes == 0) return Fail(why, "the model holds no meshes");
    return true;
}

bool BadNormal(std::string& why, uint32_t vertex, uint32_t code, const char* layout) {
    why = "vertex " + std::to_string(vertex) + " has normal code " + std::to_string(code) + ", outside the " + layout +
          " normal table";
    return false;
}

double Unit16(const Bytes& f, uint64_t pos) { return f.U16(pos) / 65535.0; }

}  // namespace

bool ReadTables(const Bytes& f, MdlLayout& m, bool block, std::string& why) {
    m = MdlLayout();
    if (!f.Has(0, 0x148) || f.U32(0) != kMdlMagic) return Fail(why, "not a model file (no IDST header)");
    if (!ReadTextureTables(f, m, why)) return false;
    return !block || ReadBodyParts(f, m, why);
}

void TableNormal(uint32_t count, uint32_t index, float normal[3]) {
    const uint16_t* rings = count == kPacked12Normals ? kRings12 : kRings8;
    uint32_t ringCount = count == kPacked12Normals ? sizeof kRings12 / 2 : sizeof kRings8 / 2;
    uint32_t ring = 0;
    while (ring + 1 < ringCount && index >= rings[ring]) index -= rings[ring++];
    double polar = kPi - ring * kPi / (ringCount - 1);
    double azimuth = 2 * kPi * index / rings[ring];
    normal[0] = float(std::sin(polar) * std::cos(azimuth));
    normal[1] = float(std::sin(polar) * std::sin(azimuth));
    normal[2] = float(std::cos(polar));
}

bool DecodeVertices(const Bytes& f, const MdlLayout& m, std::vector<Vertex>& out, std::string& why) {
    out.clear();
    out.reserve(m.vertexCount);
    for (const MdlModel& model : m.models) {
        for (uint32_t i = 0; i < model.vertexCount; ++i) {
            uint64_t r = model.vertexArray + uint64_t(i) * model.stride;
            uint32_t n = model.firstVertex + i;
            Vertex v;
            if (model.format == kFloatVertices) {
                for (int k = 0; k < 3; ++k) v.position[k] = f.F32(r + 0x0C + 4 * k);
                for (int k = 0; k < 3; ++k) v.normal[k] = f.F32(r + 0x18 + 4 * k);
                v.uv[0] = f.F32(r + 0x24);
                v.uv[1] = f.F32(r + 0x28);
                out.push_back(v);
                continue;
            }
            bool wide = model.format == kPacked12;
            for (int k = 0; k < 3; ++k) {
                double q = wide ? f.U16(r + 2 * k) : f.data[r + k];
                v.position[k] = float(model.origin[k] + q * StepSize(model, k));
            }
            uint32_t code = wide ? f.U16(r + 6) : f.data[r + 3];
            if (wide && (code % 12 != 0 || code / 12 >= kPacked12Normals)) return BadNormal(why, n, code, "12-byte");
            if (!wide && code >= kPacked8Normals) return BadNormal(why, n, code, "8-byte");
            TableNormal(wide ? kPacked12Normals : kPacked8Normals, wide ? code / 12 : code, v.normal);
            v.uv[0] = float(Unit16(f, r + (wide ? 8 : 4)));
            v.uv[1] = float(Unit16(f, r + (wide ? 10 : 6)));
            out.push_back(v);
        }
    }
    return true;
}

const MdlModel& ModelOfVertex(const MdlLayout& m, uint32_t n) {
    size_t i = 0;
    while (i + 1 < m.models.size() && n >= m.models[i + 1].firstVertex) ++i;
    return m.models[i];
}

bool StorePosition(uint8_t* bytes, const MdlLayout& m, uint32_t n, const float p[3], std::string& why, bool ownAxes) {
    const MdlModel& model = ModelOfVertex(m, n);
    uint64_t r = model.vertexArray + uint64_t(n - model.firstVertex) * model.stride;
    if (model.format == kFloatVertices) {
        std::memcpy(bytes + r + 0x0C, p, 12);
        return true;
    }
    double steps = Steps(model.format);
    uint32_t q[3];
    for (int k = 0; k < 3; ++k) {
        double step = StepSize(model, k);
        double t = step != 0 ? (double(p[k]) - model.origin[k]) / step : p[k] == model.origin[k] ? 0.0 : -1.0;
        // Half a step of slack at either end: the six decimals of the .x
        // may put a corner vertex just outside.
        if (!(t >= -0.5 && t < steps + 0.5)) {
            // Named in the axes of the file where the user moved the vertex.
            char text[256];
            const float* o = model.origin;
            double size[3] = {StepSize(model, 0) * steps, StepSize(model, 1) * steps, StepSize(model, 2) * steps};
            int y = ownAxes ? 1 : 2, z = ownAxes ? 2 : 1;
            std::snprintf(text, sizeof text,
                          "vertex %u at (%g, %g, %g) lies outside the model's box (%g, %g, %g) to (%g, %g, %g); "
                          "packed vertices cannot leave it",
                          n, p[0], p[y], p[z], o[0], o[y], o[z], o[0] + size[0], o[y] + size[y], o[z] + size[z]);
            why = text;
            return false;
        }
        q[k] = uint32_t(std::lround(t < 0 ? 0 : t > steps ? steps : t));
    }
    for (int k = 0; k < 3; ++k) {
        if (model.format == kPacked12) {
            bytes[r + 2 * k] = uint8_t(q[k]);
            bytes[r + 2 * k + 1] = uint8_t(q[k] >> 8);
        } else {
            bytes[r + k] = uint8_t(q[k]);
        }
    }
    return true;
}

bool LocateStripMeshes(const Bytes& vtx, const MdlModel& model, uint32_t& meshCount, uint64_t& headers,
                       std::string& why) {
    if (!vtx.Has(0x1C, 8)) return Fail(why, "the strip file is too short");
    if (model.bodyPart >= vtx.U32(0x1C)) return Fail(why, "the strip file has fewer body parts than the model");
    uint64_t part = vtx.U32(0x20) + uint64_t(model.bodyPart) * 8;
    if (!vtx.Has(part, 8)) return Fail(why, "a strip body part lies outside the file");
    if (model.index >= vtx.U32(part)) return Fail(why, "a strip body part has fewer models than the model file's");
    uint64_t rec = part + vtx.U32(part + 4) + uint64_t(model.index) * 8;
    if (!vtx.Has(rec, 8)) return Fail(why, "a strip model lies outside the file");
    if (vtx.U32(rec) == 0) return Fail(why, "a strip model has no detail levels");
    uint64_t level = rec + vtx.U32(rec + 4);
    if (!vtx.Has(level, 8)) return Fail(why, "a strip detail level lies outside the file");
    meshCount = vtx.U32(level);
    headers = level + vtx.U32(level + 4);
    if (meshCount > model.meshCount) return Fail(why, "the strip file has more meshes than the model");
    if (!vtx.Has(headers, uint64_t(meshCount) * 8)) return Fail(why, "the strip mesh table lies outside the file");
    return true;
}

bool CheckStripGroup(const Bytes& vtx, const StripGroupRef& g, std::string& why) {
    if (g.indexCount % 3 != 0) return Fail(why, "an index count is not a multiple of 3");
    if (!vtx.Has(g.list, uint64_t(g.indexCount) * 2)) return Fail(why, "an index list lies outside the file");
    for (uint32_t k = 0; k < g.indexCount; ++k) {
        uint64_t entry = VertexEntry(vtx, g, k);
        if (!vtx.Has(entry, 2)) return Fail(why, "a vertex table entry lies outside the file");
        if (vtx.U16(entry) + g.base >= g.end) return Fail(why, "a vertex id is outside the vertex array");
    }
    return true;
}

}  // namespace mdlformat
