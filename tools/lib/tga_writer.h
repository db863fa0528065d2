// Writers of the three TGA types the image decoder reads: uncompressed,
// no identification field, rows stored bottom row first.
//
// Pictures are passed rows top to bottom with no gap between rows:
//   encode_tga_colour_mapped: width * height palette indices and a colour map
//                             of 256 (blue, green, red) entries: type 1;
//   encode_tga_true_colour:   width * height 0x00RRGGBB words, stored as
//                             (blue, green, red) bytes: type 2;
//   encode_tga_grey:          width * height grey bytes: type 3.
// Width and height are 1 to 65535. The result is the whole file's bytes.
#pragma once
#include <cstdint>
#include <vector>

std::vector<uint8_t> encode_tga_colour_mapped(int width, int height, const uint8_t *indices,
                                              const uint8_t palette_bgr[768]);
std::vector<uint8_t> encode_tga_true_colour(int width, int height, const uint32_t *pixels);
std::vector<uint8_t> encode_tga_grey(int width, int height, const uint8_t *pixels);
