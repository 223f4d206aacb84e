// The small picture codecs: BMP reading (8 and 24 bits), Targa reading (every
// image type and depth painting programs write) and Targa writing (32 bits).
//
// Every reader checks the sizes its headers state against the bytes the file
// holds before it allocates, and refuses a file that ends early: a picture is
// either read whole or not at all. On any failure the image record is left
// exactly as it was. On success the record is overwritten without releasing
// what it held, as Image32::Create does: pass an empty or released record.
#pragma once

#include "pack/Failure.h"
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

// Targa from data[0, size): image types 1 (colour-mapped: 8- or 16-bit
// indices into a map of 15-, 16-, 24- or 32-bit entries), 2 (true colour of
// 15, 16, 24 or 32 bits) and 3 (grey of 8 bits, or 16: grey then alpha), and
// their run-length forms 9, 10 and 11, whose packets may cross rows. Rows
// are placed as the descriptor's origin says (bottom or top row first, left
// or right column first). Alpha: a 32-bit pixel's fourth byte (but a file
// that states no alpha bits and whose fourth bytes are all 0 is opaque), a
// 16-bit pixel's top bit when the descriptor states an alpha bit, a grey
// pixel's second byte; other pixels are opaque. A colour-map index outside
// the map gives a zero pixel; a last run-length packet that overshoots the
// picture is cut. The ID field, and a map a true-colour or grey file
// carries, are skipped.
// False, with why (when given) saying which: too short for the header
// (TargaTooShort), another image type or interleaved rows
// (TargaKindUnsupported), a depth the type does not have
// (TargaDepthUnsupported), a mapped file without a usable map
// (TargaColourMapBad), a zero side (PictureNoPixels), more than
// kMaxImagePixels (PictureTooLarge), data that end before the pixels do
// (PictureCutShort), or no memory (NoMemory).
bool ReadTgaBytes(Image32& image, const uint8_t* data, size_t size, Reason* why = nullptr);

// The same, reading from an open file positioned at the start of the picture.
// Only the bytes the headers ask for are read, and only when the file holds
// that many from its position on; the position afterwards is unspecified.
bool ReadBmp(Image32& image, FileHandle& file);
// Reads no further than the most the header's picture can take.
// CannotRead when a read fails.
bool ReadTga(Image32& image, FileHandle& file, Reason* why = nullptr);
// Opens path for reading (others may read it too), ReadTga, closes it.
// False also when the file cannot be opened: NotFound when there is no such
// file, CannotRead when there is.
bool ReadTgaFile(Image32& image, const char* path, Reason* why = nullptr);

// Writes an uncompressed 32-bit Targa at the file's position: the 18-byte
// header (type 2, 32 bits per pixel, descriptor 8: eight alpha bits, origin
// bottom-left), then the rows bottom row first, B, G, R, A. True only when
// every byte was written. False, having written nothing, for an image without
// pixels or with a side beyond the header's 16 bits (65535); false when any
// write fails, with the file then holding a partial picture.
bool WriteTga(const Image32& image, FileHandle& file);
