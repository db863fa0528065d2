// The picture record every texture, background, offset map and mask decodes into.
#pragma once
#include <cstdint>

struct Image {
    uint8_t kind;             // 1: one byte per pixel; 2: 0x00RRGGBB words; colour-mapped TGA leaves it
    int32_t width;
    int32_t height;
    uint8_t *pixels;          // rows top to bottom, no gap
    uint8_t *palette_planes;  // colour-mapped only: blue, green, red planes of 256
    uint8_t *palette_rgb;     // colour-mapped only: 256 (red, green, blue) >> 2 triples
};

inline uint32_t *image_words(const Image *image)
{
    return reinterpret_cast<uint32_t *>(image->pixels);
}
