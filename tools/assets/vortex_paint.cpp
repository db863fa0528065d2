// Swirl offset maps and tiling helpers of the vortex scenes' pictures.
#include "vortex_paint.h"

#include <algorithm>
#include <cmath>

#include "paint.h"
#include "picture_entry.h"

// Reduces a real source coordinate into 0..254.
static uint8_t wrap_period(double value)
{
    double wrapped = std::fmod(value, WarpPeriod);
    if (wrapped < 0)
        wrapped += WarpPeriod;
    int texel = static_cast<int>(wrapped);
    return static_cast<uint8_t>(std::min(texel, WarpPeriod - 1));
}

double square_cell_depth(int arms)
{
    return arms * WarpPeriod / (2 * Pi);
}

void make_swirl_maps(int width, int height, const SwirlShape &shape, std::vector<uint8_t> &map_x,
                     std::vector<uint8_t> &map_y)
{
    map_x.assign(static_cast<size_t>(width) * height, 0);
    map_y.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            // Pixel centres, so that the centre of an even-sized map is not a pixel.
            double dx = x + 0.5 - shape.centre_x;
            double dy = y + 0.5 - shape.centre_y;
            double log_radius = 0.5 * std::log(dx * dx + dy * dy + shape.core * shape.core);
            double angle = std::atan2(dy, dx);
            if (angle < 0)
                angle += TwoPi;
            double column = shape.arms * WarpPeriod * angle / TwoPi + shape.twist * log_radius;
            double row = shape.depth * log_radius;
            size_t i = static_cast<size_t>(y) * width + x;
            map_x[i] = wrap_period(column);
            map_y[i] = wrap_period(row);
        }
    }
}

void add_swirl_maps(AssetList &entries, const char *x_name, const char *y_name, int width, int height,
                    const SwirlShape &shape)
{
    std::vector<uint8_t> map_x, map_y;
    make_swirl_maps(width, height, shape, map_x, map_y);
    add_grey(entries, x_name, width, height, map_x);
    add_grey(entries, y_name, width, height, map_y);
}

void close_warp_source(std::vector<uint32_t> &pixels)
{
    for (int y = 0; y < WarpSourceSide; y++)
        pixels[y * WarpSourceSide + WarpPeriod] = pixels[y * WarpSourceSide];
    for (int x = 0; x < WarpSourceSide; x++)
        pixels[WarpPeriod * WarpSourceSide + x] = pixels[x];
}

double torus_distance(double x0, double y0, double x1, double y1)
{
    double dx = std::fabs(x1 - x0);
    double dy = std::fabs(y1 - y0);
    dx = std::min(dx, WarpPeriod - dx);
    dy = std::min(dy, WarpPeriod - dy);
    return std::sqrt(dx * dx + dy * dy);
}
