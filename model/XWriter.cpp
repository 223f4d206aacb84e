#include "model/XWriter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kMaterialFormat[] =
    "\n\t\tMaterial\n\t\t{\n\t\t\t1.000000;1.000000;1.000000;1.000000;;\n\t\t\t0.000000;\n"
    "\t\t\t0.000000;0.000000;0.000000;;\n\t\t\t0.000000;0.000000;0.000000;;\n"
    "\t\t\tTextureFilename { \"%.*s\"; }\n\t\t}\n";
const size_t kMaterialRoom = 1024;
const size_t kLineRoom = 256;

}  // namespace

void XWriter::Put(const char* text, int length) {
    if (length < 0 || !file.Write(text, uint32_t(length))) failed = true;
}

void XWriter::Format(const char* format, ...) {
    char line[kLineRoom];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Every line of ours fits; a float of huge magnitude is the only thing
    // that could make one longer, and a cut line would corrupt the mesh.
    if (n >= int(sizeof line)) n = -1;
    Put(line, n);
}

void XWriter::Begin() { Format("xof 0303txt 0032\n\n"); }
void XWriter::OpenMesh() { Format("Mesh\n{\n"); }
void XWriter::Count(uint32_t n) { Format("\t%u;\n", n); }

void XWriter::Position(float x, float y, float z, bool last) {
    Format("\t%.6f;%.6f;%.6f;%c\n", double(x), double(y), double(z), last ? ';' : ',');
}

void XWriter::Face(uint64_t a, uint64_t b, uint64_t c, bool last) {
    Format("\t3;%llu,%llu,%llu;%s\n", (unsigned long long)a, (unsigned long long)b, (unsigned long long)c,
           last ? ";\n" : ",");
}

void XWriter::OpenNormals(uint32_t vertexCount) { Format("\tMeshNormals\n\t{\n\t\t%u;\n", vertexCount); }

void XWriter::Normal(float x, float y, float z, bool last) {
    Format("\t\t%.6f;%.6f;%.6f;%c\n", double(x), double(y), double(z), last ? ';' : ',');
}

void XWriter::OpenTextureCoords(uint32_t vertexCount) {
    Format("\t}\n\n\tMeshTextureCoords\n\t{\n\t\t%u;\n", vertexCount);
}

void XWriter::TextureCoord(float u, float v, bool last) {
    Format("\t\t%.6f;%.6f;%c\n", double(u), double(v), last ? ';' : ',');
}

void XWriter::CloseTextureCoords() { Format("\t}\n\n"); }

void XWriter::OpenMaterialList(uint32_t materials, uint32_t faces) {
    Format("\tMeshMaterialList\n\t{\n\t\t%u;\n\t\t%u;\n", materials, faces);
}

void XWriter::MaterialNumber(uint32_t material, bool last) { Format("\t\t%u%c\n", material, last ? ';' : ','); }

void XWriter::Material(const char* textureFile) {
    char block[kMaterialRoom];
    // Room for the name: the block less the format's own text (without
    // "%.*s") and the terminator.
    const size_t room = kMaterialRoom - (sizeof kMaterialFormat - 1 - 4) - 1;
    size_t n = std::strlen(textureFile);
    int length = std::snprintf(block, sizeof block, kMaterialFormat, int(n < room ? n : room), textureFile);
    Put(block, length < int(sizeof block) ? length : -1);
}

void XWriter::Close() { Format("\t}\n}\n"); }
