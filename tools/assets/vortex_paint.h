// Drawing helpers of the two vortex scenes' data: swirl offset maps and
// pictures that tile with the warps' period of 255 texels (colours and
// noise come from paint.h).
//
// The warps sample source column (map_x + offset) mod 255 and row
// (map_y + offset) mod 255, so a source that repeats every 255 texels in both
// directions shows no seam however the offsets move, and a map that wraps its
// values modulo 255 stays continuous.
#pragma once
#include <cstdint>
#include <vector>

#include "assets.h"

// Texels in one period of a warp source; column and row 255 are never sampled.
constexpr int WarpPeriod = 255;
// Side of a warp source picture.
constexpr int WarpSourceSide = 256;

// A log-polar swirl about (centre_x, centre_y). At radius r and angle a a
// pixel samples
//   column = arms * 255 * a / 2pi + twist * ln r'
//   row    = depth * ln r'
// (both modulo 255), with r' = sqrt(r^2 + core^2). Growing column offsets
// then turn the picture about the centre, growing row offsets draw it inward,
// and the twist bends the source's columns into spiral arms.
struct SwirlShape {
    double centre_x, centre_y;
    int arms;       // copies of the source around the centre
    double twist;   // columns per unit of log radius
    double depth;   // rows per unit of log radius
    double core;    // pixels: softens the centre, where the log radius runs away
};

// The depth that makes square cells: rows per unit of log radius equal to
// columns per radian.
double square_cell_depth(int arms);

// Fills map_x and map_y (width * height bytes each, rows top to bottom).
void make_swirl_maps(int width, int height, const SwirlShape &shape, std::vector<uint8_t> &map_x,
                     std::vector<uint8_t> &map_y);

// Makes both maps and adds them to `entries` as grey pictures named x_name
// and y_name.
void add_swirl_maps(AssetList &entries, const char *x_name, const char *y_name, int width, int height,
                    const SwirlShape &shape);

// Copies column 0 into column 255 and row 0 into row 255 of a 256 by 256
// picture, so that even the never-sampled texels continue the pattern.
void close_warp_source(std::vector<uint32_t> &pixels);

// Distance between two points on the 255 by 255 torus of a warp source.
double torus_distance(double x0, double y0, double x1, double y1);
