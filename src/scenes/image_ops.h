// Full-band pixel routines several scenes share: band copy, offset-map warps,
// inversions and the colour-keyed sprite. All write through RenderTarget.
//
// Sizes are the caller's contract and are not checked:
//   copy_band    src: 640 x 320 words, row stride 640.
//   warp_band    map_x, map_y: 640 x 320 bytes; texture: 256-word rows, rows
//                and columns 0..254 are sampled (offsets use their low byte,
//                the sums wrap modulo 255).
//   warp_texture dst: 256 x 256 words; map_x, map_y: 256 x 256 bytes.
//   invert_band  every word of the 320 rows, the full pitch of each row.
//   fill_band    every byte of the 320 rows, the full pitch of each row.
//   invert_image a 32-bit picture, in place.
//   draw_sprite  w or h of -1 mean the picture's width or height; source
//                words equal to key (all 32 bits) are not written.
#pragma once
#include <cstdint>

#include "data/image.h"

void copy_band(const uint32_t *src);
// Whether the warps may use their eight-pixel loop on processors that have
// one (the same pixels as the plain loop, which tests check by clearing it).
extern bool WarpAllowWide;
void warp_band(const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture, int offset_x,
               int offset_y);
void warp_texture(uint32_t *dst, const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture,
                  int offset_x, int offset_y);
void invert_band();
void fill_band(int byte);
void invert_image(Image *image);
void draw_sprite(int x, int y, int w, int h, const Image *image, int src_x, int src_y, uint32_t key);
