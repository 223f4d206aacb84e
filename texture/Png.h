// PNG pictures in and out. The codec is a library (stb_image for reading,
// stb_image_write for writing, zlib as the writer's deflate); this module
// only turns between its RGBA rows and Image32's B, G, R, A rows and guards
// the sizes.
#pragma once

#include "pack/Failure.h"
#include "texture/Image32.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FileHandle;

// Encodes the picture as an 8-bit PNG: RGB when every pixel's alpha is 255,
// RGBA otherwise, top row first. out receives the whole file. False, with out
// empty, for an image without pixels or larger than the encoder takes.
bool EncodePng(const Image32& image, std::vector<uint8_t>& out);
// The same, written at the file's position. True only when every byte was
// written.
bool WritePng(const Image32& image, FileHandle& file);

// Decodes a PNG held in data[0, size): any bit depth and colour type the
// format has (palette, grey, grey with alpha, RGB, RGBA, interlaced), as
// 8-bit B, G, R, A; 16-bit samples keep their high byte. The header's sides
// are checked against kMaxImagePixels before anything is allocated. False,
// with the image left as it was, for a file that is not a PNG, is damaged or
// truncated, or is too large. On success the record is overwritten without
// releasing what it held: pass an empty or released record.
bool ReadPngBytes(Image32& image, const uint8_t* data, size_t size);
// Reads the whole file at path and decodes it; false also when the file
// cannot be read.
bool ReadPngFile(Image32& image, const char* path);

// True when path ends in ".png", ignoring ASCII case.
bool HasPngExtension(const char* path);
// A picture file dropped or named by the user: PNG when its name says so,
// Targa otherwise. False with why (when given): NotFound when there is no
// such file, CannotRead when it cannot be opened or read, PngUnreadable, or
// the Targa reader's reason.
bool ReadPictureFile(Image32& image, const char* path, Reason* why = nullptr);
