// The band every scene draws into: 640 by 320 32-bit pixels, 0x00RRGGBB.
#pragma once
#include <cstdint>

struct TargetBand {
    uint32_t *pixels;  // pixel (0, 0); pixel (x, y) is pixels[y * pitch + x]
    int pitch;         // row stride in pixels, fixed at start-up
};

extern TargetBand RenderTarget;
