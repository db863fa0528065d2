// Archive entries of generated pictures, each encoded as a TGA file: the one
// way the data files add a picture.
#pragma once
#include <cstdint>
#include <vector>

#include "assets.h"
#include "tga_writer.h"

// `pixels` holds width * height 0x00RRGGBB words, rows top to bottom.
inline void add_true_colour(AssetList &entries, const char *name, int width, int height,
                            const std::vector<uint32_t> &pixels)
{
    entries.push_back({name, encode_tga_true_colour(width, height, pixels.data())});
}

// `pixels` holds width * height grey levels, rows top to bottom.
inline void add_grey(AssetList &entries, const char *name, int width, int height,
                     const std::vector<uint8_t> &pixels)
{
    entries.push_back({name, encode_tga_grey(width, height, pixels.data())});
}
