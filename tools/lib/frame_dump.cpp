// PNG dumps of bands and surfaces in the three display depths, through libpng.
#include "frame_dump.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output_file.h"
#include "raster/render_target.h"

namespace {

constexpr int RgbBytes = 3;

int bytes_per_pixel(int depth)
{
    switch (depth) {
    case 32: return 4;
    case 24: return 3;
    case 16: return 2;
    default: return 0;
    }
}

// Widens a 5- or 6-bit channel to 8 bits so that full intensity stays 255.
uint8_t widen(unsigned value, int bits)
{
    return static_cast<uint8_t>((value << (8 - bits)) | (value >> (2 * bits - 8)));
}

void convert_row(const uint8_t *src, int width, int depth, uint8_t *rgb)
{
    for (int x = 0; x < width; ++x, rgb += RgbBytes) {
        if (depth == 16) {
            const unsigned word = src[2 * x] | (src[2 * x + 1] << 8);
            rgb[0] = widen((word >> 11) & 0x1F, 5);
            rgb[1] = widen((word >> 5) & 0x3F, 6);
            rgb[2] = widen(word & 0x1F, 5);
        } else {
            // 32 and 24 bits share the byte order blue, green, red.
            const uint8_t *p = src + x * bytes_per_pixel(depth);
            rgb[0] = p[2];
            rgb[1] = p[1];
            rgb[2] = p[0];
        }
    }
}

// Everything after the file is open; kept apart from the setjmp frame's caller
// so that no local with a destructor lives across the jump.
bool encode(FILE *file, const uint8_t *pixels, int width, int height, int pitch_bytes, int depth,
            uint8_t *row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        convert_row(pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch_bytes), width,
                    depth, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string write_frame_png(const char *path, const void *pixels, int width, int height, int pitch_bytes,
                            int depth)
{
    std::string name = path ? path : "(no path)";
    const int bpp = bytes_per_pixel(depth);
    if (!path || !pixels || width < 1 || height < 1)
        return name + ": no picture to write";
    if (bpp == 0)
        return name + ": depth " + std::to_string(depth) + " is not 32, 24 or 16";
    if (pitch_bytes < 0 || static_cast<long long>(pitch_bytes) < static_cast<long long>(width) * bpp)
        return name + ": rows of " + std::to_string(pitch_bytes) + " bytes are shorter than the pixels";

    std::vector<uint8_t> row(static_cast<size_t>(width) * RgbBytes);
    OutputFile out;
    std::string problem = open_output(&out, name);
    if (!problem.empty())
        return problem;
    errno = 0;
    if (!encode(out.file, static_cast<const uint8_t *>(pixels), width, height, pitch_bytes, depth, row.data()))
        out.problem = errno ? std::string(std::strerror(errno)) : "the PNG could not be written";
    return commit_output(&out);
}

std::string write_band_png(const char *path, const uint32_t *pixels, int pitch)
{
    if (pitch < BandWidth || pitch > 0x1FFFFFFF)
        return std::string(path ? path : "(no path)") + ": a band's stride of " + std::to_string(pitch) +
               " pixels is out of range";
    return write_frame_png(path, pixels, BandWidth, BandHeight, pitch * 4, 32);
}
