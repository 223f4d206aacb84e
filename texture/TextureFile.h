// Game textures: a .tth header and a .ttz zlib stream holding the pixel
// levels, smallest first. TextureFile holds one parsed or encoded pair;
// Decode (PixelFormats.cpp) turns the full-size level into an Image32.
#pragma once

#include "pack/GameFiles.h"
#include "pack/Seams.h"

#include <cstdint>
#include <memory>
#include <string>

class FileHandle;
struct FileEntry;
struct Image32;

// Image format codes of the embedded texture header that Decode reads; any
// other code is reported as unsupported.
enum TextureFormat : uint32_t {
    kTextureRgba8888 = 0,   // R G B A bytes
    kTextureBgr888 = 3,     // B G R bytes, opaque
    kTextureBgra8888 = 12,  // B G R A bytes: what Encode writes
    kTextureDxt1 = 13,      // 8-byte colour blocks
    kTextureDxt3 = 14,      // 16-byte blocks: 4-bit alpha, colour block
    kTextureDxt5 = 15,      // 16-byte blocks: interpolated alpha, colour block
    kTextureUvwq8888 = 23,  // four 8-bit channels, read like code 0
};

// Where Encode puts level 0 in the embedded image: header, table and a
// 16 x 16 thumbnail of 4-byte pixels come first.
const uint32_t kEncodedDataBase = 1088;

struct TextureFile {
    uint8_t loaded = 0;  // 1 after a successful Parse
    std::unique_ptr<uint8_t[]> header;  // the whole .tth
    uint32_t headerSize = 0;
    // The inflated .ttz: byte 0 is the byte at `data base` of the embedded
    // image, and the last byte is the one before its end offset.
    std::unique_ptr<uint8_t[]> body;
    uint32_t bodySize = 0;
    uint32_t format = 0;  // TextureFormat code
    uint32_t frames = 0;
    // As the embedded header states them (facts for the user; the decoder
    // goes by the level table's end alone).
    uint32_t mipLevels = 0;
    uint32_t flags = 0;
    uint32_t width = 0xFFFFFFFF;  // all bits set until a texture is parsed
    uint32_t height = 0xFFFFFFFF;
    // Where "The TTH File Header Is Incorrect!" and the other messages go.
    MessageSeam message;

    // Takes the .tth bytes as `header` and frees the .ttz bytes before
    // returning. False, with loaded 0, the new header kept and no body, when:
    // - the magic "TTH\0" is missing (no message);
    // - the level table or the embedded header does not fit in the .tth, the
    //   image's end offset lies before `data base`, a side or the frame count
    //   is 0, or the full-size level of a decodable format does not fit
    //   between `data base` and the end offset ("The TTH File Header Is
    //   Incorrect!" / "Error In Texture File!");
    // - the embedded header lacks "VTF\0", major version 7 or minor version
    //   0 or 1 (no message; width and height are already taken);
    // - the stored compressed size exceeds the .ttz, or the stream does not
    //   inflate to exactly end offset - data base bytes ("Error Unpacking
    //   Texture" / "Error!").
    bool Parse(std::unique_ptr<uint8_t[]> tth, uint32_t tthSize, std::unique_ptr<uint8_t[]> ttz, uint32_t ttzSize);

    // Writes image as a texture of format 12 to the two open files: the
    // .tth (1108 + 8n bytes, the record keeps it as `header`) and the .ttz.
    // Levels below the full size are point-sampled; levels 0 and 1 and the
    // thumbnail area are left zero. The record's previous body is freed and
    // loaded is 0 afterwards. False when the image is empty or a side
    // exceeds 65535 (nothing written), when deflating fails ("Error Packing
    // Texture" / "Error!", nothing written) or when a write fails.
    bool Encode(const Image32& image, FileHandle& tth, FileHandle& ttz);

    // Frees header and body; loaded becomes 0.
    void Clear();

    // Decodes frame 0 of the full-size level into image (any pixels it held
    // are released first). False when nothing is parsed (image untouched),
    // when the level does not lie inside the body ("The TTH File Header Is
    // Incorrect!"), when the image cannot be created, and for an unsupported
    // format ("Texture Format '%d' Is Unsupported!" / "Error", the image
    // created and left zero).
    bool Decode(Image32& image);
};

// Bytes of one w x h frame in a decodable format; false for other codes.
// Block formats hold ceil(w/4) x ceil(h/4) blocks.
bool TextureFrameBytes(uint32_t format, uint32_t w, uint32_t h, uint64_t& bytes);

// Decodes one frame of a decodable format from src (srcSize bytes) into out,
// w x h pixels of B G R A, rows w pixels apart. False, with out untouched,
// for other codes or when src holds fewer bytes than the frame needs.
bool DecodeTexturePixels(uint32_t format, const uint8_t* src, uint64_t srcSize, uint32_t w, uint32_t h, uint8_t* out);

// What a modder needs to know about a texture before replacing it.
struct TextureFacts {
    uint32_t width = 0, height = 0;
    uint32_t format = 0;
    uint32_t mipLevels = 0;
    uint32_t flags = 0;
    uint32_t frames = 0;
};

// The name of a texture format code ("DXT1", "BGRA8888"), or null for a code
// no texture header has.
const char* TextureFormatName(uint32_t format);
// One line: "texture 256x64 DXT3, 9 mip levels, flags eightbitalpha" (the
// flags by name, unknown bits in hex, "flags none" without any; a frame
// count when there is more than one; "not shown" after a format the decoder
// does not take).
std::string TextureFactsLine(const TextureFacts& facts);

// Reads the pair named by key.name (whatever its extension: it becomes
// "tth", then "ttz", and stays so) through OpenGameFile and decodes the
// full-size level into image. Faults are told through message. False when
// either file is missing or unreadable, or parsing or decoding fails; why
// (when given) then says which: TextureNotInGame (no .tth), TextureHalfPair
// (a .tth without its .ttz), EmptyFile, OutsidePack or CannotRead (of either
// file), TextureUnreadable (parsing or decoding failed). facts (when given)
// receive the header's facts whenever it parsed.
bool LoadTexture(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image,
                 Reason* why = nullptr, TextureFacts* facts = nullptr);
