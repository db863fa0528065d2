// Full-frame pixel routines shared by the scenes: band copy, offset-map warps,
// inversions and the colour-keyed sprite. All write through RenderTarget.
#pragma once
#include <cstdint>

#include "data/image.h"

void copy_band(const uint32_t *src);
void warp_band(const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture, int offset_x,
               int offset_y);
void warp_texture(uint32_t *dst, const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture,
                  int offset_x, int offset_y);
void invert_band();
void invert_image(Image *image);
void draw_sprite(int x, int y, int w, int h, const Image *image, int src_x, int src_y, uint32_t key);
