// Turning a path inside the packs into a picture: BMP and Targa images, game
// textures, and the two material dialects that name textures (.vmt key-value
// materials, .nam Redemption materials).
#pragma once

#include "pack/FileIndex.h"
#include "pack/GameFiles.h"
#include "pack/Seams.h"
#include "texture/Image32.h"
#include "texture/TextureFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct LoadResult {
    uint8_t loaded = 0;       // the image holds the picture
    uint8_t translucent = 0;  // .vmt "$translucent" 1; .nam MASKED or ADDBLEND
    uint8_t twoSided = 0;     // .vmt "$nocull" 1; .nam TWOSIDED
    // Alpha is a cut-out, not a blend: .vmt "$alphatest" 1; .nam MASKED.
    // The 3D view blends both alike; exports tell them apart.
    uint8_t alphaTest = 0;
};

// Where a .nam material's texture (and the Redemption model reader's
// materials) are looked for, in this order.
extern const char* const kMaterialFolders[6];

// A text file split into upper-cased lines. Line ends may be CR LF or bare
// LF; a line is cut at "//" or "\\" (comments). Text after the last line
// end is a line too. asWritten holds the same lines in their own case.
struct LineList {
    std::vector<std::string> lines;
    std::vector<std::string> asWritten;

    void Read(const uint8_t* bytes, size_t size);
};

// What loading a picture tells beside its pixels, for the text pane.
struct PictureNotes {
    // The texture whose pixels the picture shows: a texture's own, or the
    // one its material names.
    bool hasTexture = false;
    TextureFacts texture;
    // Why nothing loaded (None when the picture did). For a material, the
    // texture it looked for as the material names it: the key in lower case
    // ("$basetexture"), the value as written ("art/librarysign1").
    Reason why = Reason::None;
    std::string key, value;

    // "$basetexture art/librarysign1: not in the packs or the data folder";
    // the reason's words alone when no texture was named.
    std::string Line() const;
};

// Loads the picture key.name names. key.name is rewritten (extensions
// swapped, material paths written in), so pass a copy you can spare. The
// image must hold no pixels on entry; it may hold pixels afterwards even when
// nothing loaded, and the caller releases it. With text, the file's
// companion text (the material, a texture's .vmt, a Redemption Targa's .nam)
// is put there, empty when there is none. Texture faults are told through
// message. notes (when given) receive the facts and, when nothing loaded,
// why.
LoadResult LoadImage(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image,
                     std::string* text, PictureNotes* notes = nullptr);

struct NamMaterial {
    bool named = false;
    std::string texture;  // as written in the material, upper-cased
    uint8_t translucent = 0;
    uint8_t twoSided = 0;
    uint8_t alphaTest = 0;
};
// Reads a .nam material (through the game files); named is false when the
// file cannot be read or names no texture.
NamMaterial ReadNamMaterial(const GameFiles& files, FileEntry& key);
