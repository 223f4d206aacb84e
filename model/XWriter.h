// Text of a DirectX .x mesh, one piece per call, into an output file the
// caller opened and will close. The layout is fixed: the vertex
// modification reads these files back by position, so every character of
// the format strings matters.
#pragma once

#include "pack/FileHandle.h"

#include <cstdint>

class XWriter {
public:
    explicit XWriter(FileHandle& out) : file(out) {}

    void Begin();                       // the "xof" header
    void OpenMesh();                    // "Mesh" and its brace
    void Count(uint32_t n);             // vertex or face count line
    void Position(float x, float y, float z, bool last);
    void Face(uint64_t a, uint64_t b, uint64_t c, bool last);
    void OpenNormals(uint32_t vertexCount);
    void Normal(float x, float y, float z, bool last);
    // Closes the normals and opens the texture coordinates.
    void OpenTextureCoords(uint32_t vertexCount);
    void TextureCoord(float u, float v, bool last);
    void CloseTextureCoords();
    void OpenMaterialList(uint32_t materials, uint32_t faces);
    void MaterialNumber(uint32_t material, bool last);
    // A white, opaque material that names its texture file; a name too long
    // for the block's room is cut.
    void Material(const char* textureFile);
    void Close();

    // True when any write failed; the .x is then not worth keeping.
    bool Failed() const { return failed; }

private:
    void Put(const char* text, int length);
    void Format(const char* format, ...);

    FileHandle& file;
    bool failed = false;
};
