// TGA writer: types 1, 2 and 3 in exactly the layout the image decoder reads.
#include "tga_writer.h"

#include <cstddef>

#include "little_endian.h"

namespace {

constexpr int TgaHeaderSize = 18;
constexpr int TgaColourMapEntries = 256;
constexpr int TgaMaxSide = 65535;

enum TgaType : uint8_t { TgaColourMapped = 1, TgaTrueColour = 2, TgaGrey = 3 };

bool valid_size(int width, int height)
{
    return width >= 1 && width <= TgaMaxSide && height >= 1 && height <= TgaMaxSide;
}

// The 18-byte header. Our decoder reads only the type, width and height; the
// colour-map fields, pixel depth and origin are filled in for other viewers.
std::vector<uint8_t> start_file(TgaType type, int width, int height, int bytes_per_pixel)
{
    std::vector<uint8_t> out(TgaHeaderSize, 0);
    out[2] = type;
    if (type == TgaColourMapped) {
        out[1] = 1;                              // a colour map is present
        store_u16(&out[5], TgaColourMapEntries);    // map length; first entry index stays 0
        out[7] = 24;                             // bits per map entry
    }
    store_u16(&out[12], width);
    store_u16(&out[14], height);
    out[16] = static_cast<uint8_t>(bytes_per_pixel * 8);
    out[17] = 0;                                 // origin bottom-left: rows bottom first
    return out;
}

}  // namespace

std::vector<uint8_t> encode_tga_colour_mapped(int width, int height, const uint8_t *indices,
                                              const uint8_t palette_bgr[768])
{
    if (!valid_size(width, height) || indices == nullptr || palette_bgr == nullptr)
        return {};
    std::vector<uint8_t> out = start_file(TgaColourMapped, width, height, 1);
    out.insert(out.end(), palette_bgr, palette_bgr + 3 * TgaColourMapEntries);
    for (int y = height - 1; y >= 0; y--) {
        const uint8_t *row = indices + static_cast<size_t>(y) * width;
        out.insert(out.end(), row, row + width);
    }
    return out;
}

std::vector<uint8_t> encode_tga_true_colour(int width, int height, const uint32_t *pixels)
{
    if (!valid_size(width, height) || pixels == nullptr)
        return {};
    std::vector<uint8_t> out = start_file(TgaTrueColour, width, height, 3);
    out.reserve(out.size() + static_cast<size_t>(width) * height * 3);
    for (int y = height - 1; y >= 0; y--) {
        const uint32_t *row = pixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; x++) {
            out.push_back(static_cast<uint8_t>(row[x] & 0xFF));
            out.push_back(static_cast<uint8_t>((row[x] >> 8) & 0xFF));
            out.push_back(static_cast<uint8_t>((row[x] >> 16) & 0xFF));
        }
    }
    return out;
}

std::vector<uint8_t> encode_tga_grey(int width, int height, const uint8_t *pixels)
{
    if (!valid_size(width, height) || pixels == nullptr)
        return {};
    std::vector<uint8_t> out = start_file(TgaGrey, width, height, 1);
    for (int y = height - 1; y >= 0; y--) {
        const uint8_t *row = pixels + static_cast<size_t>(y) * width;
        out.insert(out.end(), row, row + width);
    }
    return out;
}
