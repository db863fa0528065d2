// Small helpers shared by the rasterizer and scene files: safe truncations and face checks.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/mesh.h"
#include "raster/raster.h"

// Fixed-point values: the line and edge walkers step in 16.16, the texture
// span in 8.24 (of which the low 32 bits are kept, so the sums wrap).
using Fixed16 = int32_t;
using Fixed24 = uint32_t;
constexpr int Fixed16Shift = 16;
constexpr Fixed16 Fixed16One = 1 << Fixed16Shift;
constexpr double Fixed24One = 16777216.0;

// Truncation towards zero that is defined for every double: values past the
// int range saturate at its ends and NaN gives 0.
inline int truncate_to_int(double value)
{
    if (!(value == value)) return 0;
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// The index 0..limit-1 nearest below `value`, for reading a picture at a
// computed position; NaN gives 0.
inline int clamp_index(double value, int limit)
{
    if (!(value >= 0.0))
        return 0;
    if (value >= limit)
        return limit - 1;
    return static_cast<int>(value);
}

inline uint32_t rgb_pixel(const Rgb *colour)
{
    return static_cast<uint32_t>(colour->red) << 16 | static_cast<uint32_t>(colour->green) << 8 |
           colour->blue;
}

// A face can be drawn only when its three vertices lie in front of the
// viewer; at depth 0 or less (or a NaN depth) the projection has no meaning.
inline bool face_in_front(const Face *f)
{
    if (!f || !f->v[0] || !f->v[1] || !f->v[2]) return false;
    return f->v[0]->vz > 0.0f && f->v[1]->vz > 0.0f && f->v[2]->vz > 0.0f;
}
