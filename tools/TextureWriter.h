// Writes game textures and images for the sample data and the tests, laid
// out as the real game files are: the .tth holds the header, a level table
// whose entries before the last hold the constant 16, the embedded texture
// header and a thumbnail; the .ttz holds every level, smallest first, the
// full-size level last. Pictures are generated patterns.
#pragma once

#include <cstdint>
#include <string>

// Formats: 0 RGBA, 3 BGR, 12 BGRA, 13 DXT1, 14 DXT3, 15 DXT5, 23 RGBA.
bool BuildTexturePair(uint32_t format, uint32_t width, uint32_t height, uint32_t mips, std::string& tth,
                      std::string& ttz);

// The pattern pixel (B, G, R, A) the plain formats hold at (x, y).
void PatternPixel(uint32_t x, uint32_t y, uint8_t bgra[4]);

// A BMP of the pattern: 24-bit, or 8-bit with a 16-colour palette;
// bottom-up unless topDown.
std::string BuildBmp(uint32_t width, uint32_t height, uint32_t bits, bool topDown);
// A bottom-up Targa of the pattern, 24 or 32 bits per pixel.
std::string BuildTga(uint32_t width, uint32_t height, uint32_t bits);
