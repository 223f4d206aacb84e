// The 3D view's state that the core fills: the picture shown in image slot 0
// with its flags. The GUI uploads it to Direct3D; the CLI writes it out.
#pragma once

#include "texture/Image32.h"

#include <cstdint>

struct ShownImage {
    Image32 image = Image32{};  // owned copy; pixels null when nothing is shown
    bool twoSided = false;
    bool alpha = false;
    // Bumped whenever the picture changes, so the GUI knows to upload again.
    uint32_t revision = 0;
};

struct Viewer {
    ShownImage slot0;

    Viewer() = default;
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;
    ~Viewer() { slot0.image.Release(); }

    // Takes a copy of image for slot 0.
    bool ShowImage(const Image32& image, bool twoSided, bool alpha);
    // Fills slot 0 with one colour (B, G, R, A), as when nothing is shown.
    void FillImage(uint8_t b, uint8_t g, uint8_t r, uint8_t a);
};
