// The three small picture codecs: BMP reading (8 and 24 bits), Targa reading
// (uncompressed true-colour, 24 and 32 bits) and Targa writing (32 bits).
//
// Every reader checks the sizes its headers state against the bytes the file
// holds before it allocates, and refuses a file that ends early: a picture is
// either read whole or not at all. On any failure the image record is left
// exactly as it was. On success the record is overwritten without releasing
// what it held, as Image32::Create does: pass an empty or released record.
#pragma once

#include "texture/Image32.h"

#include <cstddef>
#include <cstdint>

class FileHandle;

// BMP from data[0, size): "BM", a 40-byte or longer info header (the later
// 108- and 124-byte versions only add fields), no compression, 8 bits per
// pixel with a palette of colours-used entries (256 when 0) whose fourth byte
// becomes the pixel's alpha, or 24 bits per pixel with alpha 255. Rows are
// padded to 4 bytes; a positive height means bottom row first. The pixel data
// start at the file header's offset when that lies at or after the end of the
// palette, otherwise directly after the palette (writers that leave the
// offset zero). An index beyond the palette gives a zero pixel.
// False: no "BM", another depth, compression, an OS/2 12-byte header, a zero
// or negative width, a zero height, more than 256 palette entries, more than
// kMaxImagePixels, data shorter than the headers say, or no memory.
bool ReadBmpBytes(Image32& image, const uint8_t* data, size_t size);

// Targa from data[0, size): image type 2 (uncompressed true-colour) of 24 or
// 32 bits per pixel; 24-bit pixels get alpha 255. The ID field and a colour
// map, when the header announces one, are skipped. The file is always taken
// to hold the bottom row first, whatever the descriptor's origin bit says.
// False: any other image type (colour-mapped, grey, run-length encoded) or
// depth, a zero side, data shorter than the header says, or no memory.
bool ReadTgaBytes(Image32& image, const uint8_t* data, size_t size);

// The same, reading from an open file positioned at the start of the picture.
// Only the bytes the headers ask for are read, and only when the file holds
// that many from its position on; the position afterwards is unspecified.
bool ReadBmp(Image32& image, FileHandle& file);
bool ReadTga(Image32& image, FileHandle& file);
// Opens path for reading (others may read it too), ReadTga, closes it.
// False also when the file cannot be opened.
bool ReadTgaFile(Image32& image, const char* path);

// Writes an uncompressed 32-bit Targa at the file's position: the 18-byte
// header (type 2, 32 bits per pixel, descriptor 8: eight alpha bits, origin
// bottom-left), then the rows bottom row first, B, G, R, A. True only when
// every byte was written. False, having written nothing, for an image without
// pixels or with a side beyond the header's 16 bits (65535); false when any
// write fails, with the file then holding a partial picture.
bool WriteTga(const Image32& image, FileHandle& file);
