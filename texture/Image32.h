// The one in-memory picture: 32 bits per pixel, bytes blue, green, red,
// alpha, top row first, rows exactly `width` pixels apart. Readers, texture
// decoders, the Targa writer, the texture encoder and the 3D view's upload
// all use this layout.
#pragma once

#include <cstdint>

// Laid out as the Windows BITMAPINFOHEADER, describing the buffer as a
// top-down 32-bit bitmap. Nothing reads it back; it is kept for the GUI,
// which can hand it to the platform as it is.
struct ImageHeader {
    uint32_t size;
    int32_t width;   // the stride: width rounded up to a multiple of 4
    int32_t height;  // minus the height: top row first
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;  // stride * height * 4
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};
static_assert(sizeof(ImageHeader) == 40, "ImageHeader mirrors BITMAPINFOHEADER");

struct ImageBounds {
    uint32_t left, top, right, bottom;  // inclusive
};

// Pictures larger than this many pixels are refused: no game texture or
// image comes near it, and a damaged header must not make us allocate
// gigabytes.
const uint64_t kMaxImagePixels = uint64_t(16384) * 16384;

struct Image32 {
    ImageHeader header;
    uint32_t width;
    uint32_t height;
    ImageBounds bounds;
    uint8_t* pixels;  // owned; null when the record holds no image

    // Fills every field and allocates stride * height pixels, all zero
    // (readers that do not fill every pixel leave zeros, never old memory).
    // Does not release a previous buffer. False, with the record left empty,
    // when a side is 0, the picture exceeds kMaxImagePixels or memory fails.
    bool Create(uint32_t w, uint32_t h);
    // Frees the pixels and zeroes the record; nothing when pixels is null.
    void Release();
    // Frees the pixels only.
    void ReleasePixels();

    uint8_t* Pixel(uint32_t x, uint32_t y) { return pixels + (uint64_t(y) * width + x) * 4; }
    const uint8_t* Pixel(uint32_t x, uint32_t y) const { return pixels + (uint64_t(y) * width + x) * 4; }
};

// A record that holds no image: every field zero.
inline Image32 EmptyImage() { return Image32{}; }
